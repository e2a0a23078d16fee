// The single-instance lock. flock locks belong to an open file description, so a second open of
// the same file conflicts even within one process, and the lock goes when the descriptor closes.
#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

void say(std::string* whyNot, std::string text) {
    if (whyNot) *whyNot = std::move(text);
}

std::string reason(int error) { return std::strerror(error); }

std::string onDisplay(std::string_view display) {
    return display.empty() ? "the default display" : "display " + std::string(display);
}

// A folder another user could have made first (or swapped for a link) must not hold our lock.
bool isPrivateFolder(const fs::path& dir) {
    struct stat info {};
    return ::lstat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 077) == 0;
}

std::optional<fs::path> privateFolder(const fs::path& dir, std::string* whyNot) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        say(whyNot, "Quorvel cannot create the folder for its lock, " + dir.string() + ": " + reason(errno) + ".");
        return std::nullopt;
    }
    if (!isPrivateFolder(dir)) {
        say(whyNot, "Quorvel will not keep its lock in " + dir.string() +
                        ": it is not a private folder of this user (it should be owned by you, mode 0700).");
        return std::nullopt;
    }
    return dir;
}

// The pid a running instance wrote into the file, if it has written it yet.
std::optional<long> pidIn(int fd) {
    char text[32] = {};
    const ssize_t size = ::pread(fd, text, sizeof(text) - 1, 0);
    if (size <= 0) return std::nullopt;
    long pid = 0;
    const auto [end, error] = std::from_chars(text, text + size, pid);
    if (error != std::errc() || end == text || pid <= 0) return std::nullopt;
    return pid;
}

} // namespace

std::optional<InstanceLock> InstanceLock::acquire(std::string_view display, std::string* whyNot) {
    const auto dir = lockDirectory(std::getenv("XDG_RUNTIME_DIR"), "/tmp", whyNot);
    if (!dir) return std::nullopt;
    return acquireIn(*dir, display, whyNot);
}

std::optional<InstanceLock> InstanceLock::acquireIn(const fs::path& dir, std::string_view display,
                                                    std::string* whyNot) {
    fs::path file = dir / lockFileName(display);
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        say(whyNot, "Quorvel cannot open its lock file " + file.string() + ": " + reason(errno) + ".");
        return std::nullopt;
    }
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        if (errno == EWOULDBLOCK) {
            const auto pid = pidIn(fd);
            say(whyNot, "Quorvel is already running on " + onDisplay(display) +
                            (pid ? " (process " + std::to_string(*pid) + ")." : "."));
        } else {
            say(whyNot, "Quorvel cannot lock " + file.string() + ": " + reason(errno) + ".");
        }
        ::close(fd);
        return std::nullopt;
    }
    // The pid is only for the message another start shows; failing to write it keeps the lock.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return InstanceLock(fd, std::move(file));
}

std::optional<fs::path> InstanceLock::lockDirectory(const char* runtimeDir, const fs::path& tmpRoot,
                                                    std::string* whyNot) {
    if (runtimeDir && *runtimeDir == '/') {
        struct stat info {};
        if (::stat(runtimeDir, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
            return privateFolder(fs::path(runtimeDir) / "quorvel", whyNot);
    }
    return privateFolder(tmpRoot / ("quorvel-" + std::to_string(::geteuid())), whyNot);
}

std::string InstanceLock::lockFileName(std::string_view display) {
    // "host:1.0" → "host:1": the screen number does not make another session.
    const auto colon = display.rfind(':');
    if (colon != std::string_view::npos) {
        const auto dot = display.find('.', colon);
        if (dot != std::string_view::npos && dot + 1 < display.size() &&
            display.find_first_not_of("0123456789", dot + 1) == std::string_view::npos)
            display = display.substr(0, dot);
    }
    if (display.empty()) return "display-default.lock";
    // A name from the environment must stay one short file name.
    display = display.substr(0, 200);
    std::string name = "display-";
    for (const char c : display) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '_' || c == '-';
        name += plain ? c : '_';
    }
    return name + ".lock";
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0) ::close(m_fd);
}

} // namespace quorvel
