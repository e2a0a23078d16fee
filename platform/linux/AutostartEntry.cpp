// The autostart entry (AutostartEntry.h).
#include "AutostartEntry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quorvel {

namespace {

// Characters that make an Exec argument need quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string errorText(int error) { return std::strerror(error); }

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// True when the [Desktop Entry] group says Hidden=true.
bool saysHidden(std::istream& in) {
    bool inMainGroup = false;
    for (std::string line; std::getline(in, line);) {
        const std::string text = trim(line);
        if (text.empty() || text[0] == '#') continue;
        if (text[0] == '[') {
            inMainGroup = text == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const auto equals = text.find('=');
        if (equals == std::string::npos) continue;
        if (trim(std::string_view(text).substr(0, equals)) == "Hidden")
            return trim(std::string_view(text).substr(equals + 1)) == "true";
    }
    return false;
}

// Creates `directory` and its parents as needed; returns the problem, if any.
std::string makeDirectories(const fs::path& directory) {
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) return "creating " + directory.string() + ": " + error.message();
    return {};
}

// Temporary file beside `target`, flushed, then renamed over it: a session starting meanwhile
// sees the old entry or the new one, never half of one.
std::string writeAtomically(const fs::path& target, std::string_view bytes) {
    if (auto problem = makeDirectories(target.parent_path()); !problem.empty()) return problem;
    std::string temporary = target.string() + ".tmp-XXXXXX";
    const int file = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (file < 0) return "creating a temporary file in " + target.parent_path().string() + ": " + errorText(errno);

    std::string problem;
    const auto fail = [&problem](std::string_view step) {
        if (problem.empty()) problem = std::string(step) + ": " + errorText(errno);
    };
    if (::fchmod(file, 0644) != 0) fail("setting the file mode");
    for (std::size_t done = 0; problem.empty() && done < bytes.size();) {
        const ssize_t n = ::write(file, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("writing " + target.string());
        else done += static_cast<std::size_t>(n);
    }
    if (problem.empty() && ::fsync(file) != 0) fail("flushing to disk");
    if (::close(file) != 0) fail("closing");
    if (problem.empty() && ::rename(temporary.c_str(), target.c_str()) != 0) fail("replacing " + target.string());
    if (!problem.empty()) ::unlink(temporary.c_str());
    return problem;
}

} // namespace

AutostartEntry::AutostartEntry(fs::path entry, fs::path executable)
    : m_entry(std::move(entry)), m_executable(std::move(executable)) {}

fs::path AutostartEntry::defaultPath() {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/') config = fs::path(home) / ".config";
    else config = ".config";
    return config / "autostart" / "quorvel.desktop";
}

fs::path AutostartEntry::runningExecutable() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : exe;
}

std::string AutostartEntry::execValue(std::string_view argument) {
    std::string quoted;
    if (argument.find_first_of(kReserved) == std::string_view::npos) {
        quoted = argument;
    } else {
        quoted = "\"";
        for (const char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    std::string value;
    for (const char c : quoted) {
        switch (c) {
        case '%': value += "%%"; break;
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\t': value += "\\t"; break;
        case '\r': value += "\\r"; break;
        default: value += c;
        }
    }
    return value;
}

std::string AutostartEntry::contents(const fs::path& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvel\n"
           "Exec=" + execValue(executable.string()) + "\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEntry::isEnabled() const {
    std::ifstream in(m_entry);
    if (!in) return false;
    return !saysHidden(in);
}

LaunchAtLoginChange AutostartEntry::setEnabled(bool enabled) {
    if (enabled) {
        if (m_executable.empty()) return {.ok = false, .error = "the running program's path is unknown"};
        if (auto problem = writeAtomically(m_entry, contents(m_executable)); !problem.empty())
            return {.ok = false, .error = std::move(problem)};
        return {};
    }
    if (::unlink(m_entry.c_str()) != 0 && errno != ENOENT)
        return {.ok = false, .error = "removing " + m_entry.string() + ": " + errorText(errno)};
    return {};
}

} // namespace quorvel
