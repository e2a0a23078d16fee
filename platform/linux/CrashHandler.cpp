// The crash handler: prepared at install, async-signal-safe when it runs. The report it writes is one
// header line and one JSON object, read back on the next launch by core/reports/CrashReports.cpp.
#include "CrashHandler.h"

#include <backtrace.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kMaxFrames = 128;
constexpr std::size_t kMaxImages = 512;
constexpr std::size_t kNameSize = 128;

struct Image {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char name[kNameSize] = {};
};

// Two tables: a refresh fills the one not in use, then publishes it, so the handler never reads a
// table being written.
struct ImageTable {
    Image images[kMaxImages];
    std::size_t count = 0;
};
ImageTable g_tables[2];
std::atomic<int> g_activeTable{0};

backtrace_state* g_backtrace = nullptr;
int g_folder = -1;
char g_version[64] = "?";
char g_exe[kNameSize] = "quorvel";
std::atomic<const char*> g_abortReason{nullptr};
char g_exceptionType[kNameSize] = {};
std::atomic_flag g_busy = ATOMIC_FLAG_INIT;
// The thread that installed the handler (the main thread), and a signal another process sent that
// landed on some other thread, handed on to it.
pid_t g_mainThread = 0;
siginfo_t g_handedOn{};
std::atomic<bool> g_handedOnValid{false};

std::uintptr_t g_frames[kMaxFrames];
std::size_t g_frameCount = 0;
char g_symbol[512];
std::terminate_handler g_previousTerminate = nullptr;

void copyText(char* to, std::size_t size, const char* from) {
    std::size_t i = 0;
    for (; from && from[i] && i + 1 < size; ++i) to[i] = from[i];
    to[i] = '\0';
}

const char* baseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// --- Writing, with nothing but write(2) ------------------------------------------------------------

class Writer {
public:
    explicit Writer(int fd) : m_fd(fd) {}
    ~Writer() { flush(); }

    void raw(const char* text) {
        for (; *text; ++text) put(*text);
    }
    void number(std::uint64_t value) {
        char digits[24];
        int n = 0;
        do digits[n++] = static_cast<char>('0' + value % 10);
        while ((value /= 10) != 0);
        while (n > 0) put(digits[--n]);
    }
    // A JSON string, quoted and escaped.
    void string(const char* text) {
        put('"');
        static constexpr char kHex[] = "0123456789abcdef";
        for (const char* c = text ? text : ""; *c; ++c) {
            const auto byte = static_cast<unsigned char>(*c);
            if (byte == '"' || byte == '\\') {
                put('\\');
                put(*c);
            } else if (byte < 0x20) {
                raw("\\u00");
                put(kHex[byte >> 4]);
                put(kHex[byte & 15]);
            } else {
                put(*c);
            }
        }
        put('"');
    }
    void flush() {
        std::size_t done = 0;
        while (done < m_used) {
            const ssize_t n = ::write(m_fd, m_buffer + done, m_used - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        m_used = 0;
    }

private:
    void put(char c) {
        if (m_used == sizeof m_buffer) flush();
        m_buffer[m_used++] = c;
    }

    int m_fd;
    std::size_t m_used = 0;
    char m_buffer[4096];
};

// --- What the signal says ---------------------------------------------------------------------------

const char* signalName(int signal) {
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "?";
    }
}

const char* signalDescription(int signal) {
    switch (signal) {
    case SIGSEGV: return "Segmentation fault";
    case SIGBUS: return "Bus error";
    case SIGFPE: return "Floating-point exception";
    case SIGILL: return "Illegal instruction";
    case SIGABRT: return "Aborted";
    default: return "Killed";
    }
}

bool sentByProcess(int code) { return code == SI_USER || code == SI_TKILL || code == SI_QUEUE; }

// The cause within the signal, by its si_code name.
const char* causeName(int signal, int code) {
    switch (code) {
    case SI_USER: return "SI_USER";
    case SI_TKILL: return "SI_TKILL";
    case SI_QUEUE: return "SI_QUEUE";
    case SI_KERNEL: return "SI_KERNEL";
    default: break;
    }
    if (signal == SIGSEGV) {
        if (code == SEGV_MAPERR) return "SEGV_MAPERR";
        if (code == SEGV_ACCERR) return "SEGV_ACCERR";
    } else if (signal == SIGBUS) {
        if (code == BUS_ADRALN) return "BUS_ADRALN";
        if (code == BUS_ADRERR) return "BUS_ADRERR";
        if (code == BUS_OBJERR) return "BUS_OBJERR";
    } else if (signal == SIGFPE) {
        if (code == FPE_INTDIV) return "FPE_INTDIV";
        if (code == FPE_INTOVF) return "FPE_INTOVF";
        if (code == FPE_FLTDIV) return "FPE_FLTDIV";
        if (code == FPE_FLTOVF) return "FPE_FLTOVF";
        if (code == FPE_FLTUND) return "FPE_FLTUND";
        if (code == FPE_FLTRES) return "FPE_FLTRES";
        if (code == FPE_FLTINV) return "FPE_FLTINV";
    } else if (signal == SIGILL) {
        if (code == ILL_ILLOPC) return "ILL_ILLOPC";
        if (code == ILL_ILLOPN) return "ILL_ILLOPN";
        if (code == ILL_PRVOPC) return "ILL_PRVOPC";
    }
    return signalName(signal);
}

// --- Frames and images ---------------------------------------------------------------------------

int collectFrame(void*, std::uintptr_t pc) {
    if (g_frameCount == kMaxFrames) return 1;
    g_frames[g_frameCount++] = pc;
    return 0;
}

void ignoreError(void*, const char*, int) {}

void keepSymbol(void*, std::uintptr_t, const char* symbol, std::uintptr_t, std::uintptr_t) {
    copyText(g_symbol, sizeof g_symbol, symbol);
}

long imageIndex(const ImageTable& table, std::uintptr_t pc) {
    for (std::size_t i = 0; i < table.count; ++i)
        if (pc >= table.images[i].start && pc < table.images[i].end) return static_cast<long>(i);
    return -1;
}

int addLoadedObject(dl_phdr_info* info, std::size_t, void* data) {
    auto& table = *static_cast<ImageTable*>(data);
    if (table.count == kMaxImages) return 1;
    std::uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        low = std::min<std::uintptr_t>(low, info->dlpi_addr + segment.p_vaddr);
        high = std::max<std::uintptr_t>(high, info->dlpi_addr + segment.p_vaddr + segment.p_memsz);
    }
    if (low >= high) return 0;
    Image& image = table.images[table.count++];
    image.start = low;
    image.end = high;
    // The program itself comes without a name.
    copyText(image.name, kNameSize, info->dlpi_name && *info->dlpi_name ? baseName(info->dlpi_name) : g_exe);
    return 0;
}

// Seconds since 1970 as a UTC civil date, by arithmetic only.
struct CivilTime {
    unsigned year, month, day, hour, minute, second;
};

CivilTime civilTime(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const auto year = static_cast<unsigned>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day, static_cast<unsigned>(rest / 3600), static_cast<unsigned>(rest / 60 % 60),
            static_cast<unsigned>(rest % 60)};
}

// Text in a fixed buffer, cut short when full.
template <std::size_t N>
class FixedText {
public:
    FixedText& operator<<(const char* text) {
        for (; text && *text && m_used + 1 < N; ++text) m_text[m_used++] = *text;
        m_text[m_used] = '\0';
        return *this;
    }
    // `value` in decimal, at least `width` digits.
    FixedText& digits(std::uint64_t value, int width = 1) {
        char reversed[24];
        int n = 0;
        do reversed[n++] = static_cast<char>('0' + value % 10);
        while ((value /= 10) != 0 || n < width);
        while (n > 0 && m_used + 1 < N) m_text[m_used++] = reversed[--n];
        m_text[m_used] = '\0';
        return *this;
    }
    const char* c_str() const { return m_text; }

private:
    char m_text[N] = {};
    std::size_t m_used = 0;
};

// "Quorvel-2026-12-07-082451.ips", or with "-<pid>" before the extension.
int openReport(const CivilTime& t, bool withPid) {
    FixedText<96> name;
    name << "Quorvel-";
    name.digits(t.year, 4) << "-";
    name.digits(t.month, 2) << "-";
    name.digits(t.day, 2) << "-";
    name.digits(t.hour, 2).digits(t.minute, 2).digits(t.second, 2);
    if (withPid) (name << "-").digits(static_cast<std::uint64_t>(::getpid()));
    name << ".ips";
    int fd = -1;
    do fd = ::openat(g_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    return fd;
}

std::uintptr_t faultingAddress(void* context) {
    if (!context) return 0;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return 0;
#endif
}

void writeReport(int fd, const CivilTime& t, int signal, const siginfo_t* info, void* context) {
    Writer out(fd);

    FixedText<40> stamp;
    stamp.digits(t.year, 4) << "-";
    stamp.digits(t.month, 2) << "-";
    stamp.digits(t.day, 2) << " ";
    stamp.digits(t.hour, 2) << ":";
    stamp.digits(t.minute, 2) << ":";
    stamp.digits(t.second, 2) << " +0000";
    out.raw("{\"app_name\":\"Quorvel\",\"app_version\":");
    out.string(g_version);
    out.raw(",\"timestamp\":");
    out.string(stamp.c_str());
    out.raw(",\"pid\":");
    out.number(static_cast<std::uint64_t>(::getpid()));
    out.raw("}\n");

    const int code = info ? info->si_code : 0;
    out.raw("{\n  \"exception\": {\"type\": ");
    out.string(causeName(signal, code));
    out.raw(", \"signal\": ");
    out.string(signalName(signal));
    out.raw("},\n  \"termination\": {\"indicator\": ");
    FixedText<256> indicator;
    if (const char* reason = g_abortReason.load(); reason && signal == SIGABRT) {
        indicator << reason;
        if (g_exceptionType[0]) indicator << ": " << g_exceptionType;
    } else {
        indicator << signalDescription(signal);
        if (info && sentByProcess(code)) (indicator << " (sent by process ").digits(static_cast<std::uint64_t>(info->si_pid)) << ")";
    }
    out.string(indicator.c_str());

    const ImageTable& table = g_tables[g_activeTable.load()];
    out.raw("},\n  \"usedImages\": [");
    for (std::size_t i = 0; i < table.count; ++i) {
        out.raw(i ? ",\n    {\"name\": " : "\n    {\"name\": ");
        out.string(table.images[i].name);
        out.raw("}");
    }
    out.raw("\n  ],\n  \"threads\": [{\"triggered\": true, \"frames\": [");

    g_frameCount = 0;
    if (g_backtrace) backtrace_simple(g_backtrace, 0, collectFrame, ignoreError, nullptr);
    // Start at the interrupted instruction: the handler's own frames and the kernel's trampoline
    // say nothing about the crash.
    std::size_t first = g_frameCount > 0 ? 1 : 0;
    if (const std::uintptr_t at = faultingAddress(context))
        for (std::size_t i = 0; i < g_frameCount; ++i)
            if (g_frames[i] == at || g_frames[i] + 1 == at) {
                first = i;
                break;
            }
    for (std::size_t i = first; i < g_frameCount; ++i) {
        g_symbol[0] = '\0';
        if (g_backtrace) backtrace_syminfo(g_backtrace, g_frames[i], keepSymbol, ignoreError, nullptr);
        out.raw(i == first ? "\n    {\"imageIndex\": " : ",\n    {\"imageIndex\": ");
        const long index = imageIndex(table, g_frames[i]);
        if (index < 0) out.raw("null");
        else out.number(static_cast<std::uint64_t>(index));
        out.raw(", \"symbol\": ");
        out.string(g_symbol);
        out.raw("}");
    }
    out.raw("\n  ]}]\n}\n");
}

void restoreDefaultAndRaise(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    // Delivered when the handler returns (the signal is blocked until then); a fault at an
    // instruction would also simply happen again.
    ::raise(signal);
}

void onCrash(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const auto thread = static_cast<pid_t>(::syscall(SYS_gettid));
    // A signal sent by another process (kill) lands on whichever thread does not block it: a helper
    // thread of a library as often as not. It is no fault of that thread's, so the report is made by
    // the main thread, with the sender's details.
    if (info && info->si_code == SI_USER && g_mainThread != 0 && thread != g_mainThread &&
        !g_handedOnValid.exchange(true)) {
        g_handedOn = *info;
        ::syscall(SYS_tgkill, ::getpid(), g_mainThread, signal);
        errno = savedErrno;
        return;
    }
    if (info && info->si_code == SI_TKILL && info->si_pid == ::getpid() && g_handedOnValid.load()) info = &g_handedOn;
    if (g_busy.test_and_set()) {
        // Another thread is writing its report and will end the process; give it time.
        for (int i = 0; i < 50; ++i) {
            timespec pause{0, 100'000'000};
            ::nanosleep(&pause, nullptr);
        }
        restoreDefaultAndRaise(signal);
        return;
    }
    if (g_folder >= 0) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const CivilTime t = civilTime(now.tv_sec);
        int fd = openReport(t, false);
        if (fd < 0 && errno == EEXIST) fd = openReport(t, true);
        if (fd >= 0) {
            writeReport(fd, t, signal, info, context);
            ::fsync(fd);
            ::close(fd);
        }
    }
    errno = savedErrno;
    restoreDefaultAndRaise(signal);
}

[[noreturn]] void onTerminate() {
    CrashHandler::noteAbortReason("std::terminate called");
    if (const std::type_info* type = abi::__cxa_current_exception_type())
        copyText(g_exceptionType, kNameSize, type->name());
    if (g_previousTerminate) g_previousTerminate();
    std::abort();
}

bool makeFolder(const std::string& path) {
    // Each missing parent, owner-only like the folder itself.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    ::chmod(path.c_str(), 0700);
    return true;
}

} // namespace

std::string CrashHandler::defaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::string(state) + "/quorvel/crash-reports";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state/quorvel/crash-reports";
    return {};
}

void CrashHandler::refreshLoadedObjects() {
    const int next = 1 - g_activeTable.load();
    g_tables[next].count = 0;
    dl_iterate_phdr(addLoadedObject, &g_tables[next]);
    g_activeTable.store(next);
}

void CrashHandler::noteAbortReason(const char* reason) { g_abortReason.store(reason); }

bool CrashHandler::install(const std::string& folder, const std::string& appVersion) {
    if (folder.empty() || !makeFolder(folder)) return false;
    g_folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_folder < 0) return false;
    g_mainThread = static_cast<pid_t>(::syscall(SYS_gettid));
    copyText(g_version, sizeof g_version, appVersion.c_str());
    char exe[4096];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0) {
        exe[length] = '\0';
        copyText(g_exe, kNameSize, baseName(exe));
    }
    refreshLoadedObjects();

    // libbacktrace reads the symbol tables on first use: do that now, outside any handler.
    g_backtrace = backtrace_create_state(nullptr, 1, ignoreError, nullptr);
    if (g_backtrace) {
        g_frameCount = 0;
        backtrace_simple(g_backtrace, 0, collectFrame, ignoreError, nullptr);
        for (std::size_t i = 0; i < g_frameCount; ++i)
            backtrace_syminfo(g_backtrace, g_frames[i], keepSymbol, ignoreError, nullptr);
        g_frameCount = 0;
    }

    // A stack overflow leaves no stack to run the handler on.
    static char alternateStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = onCrash;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
    g_previousTerminate = std::set_terminate(onTerminate);
    return true;
}

} // namespace quorvel
