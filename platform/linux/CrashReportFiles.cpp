// Reading the crash-reports folder and describing the system.
#include "CrashReportFiles.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace quorvel {

std::optional<std::vector<ReportFileEntry>> CrashReportFiles::list() const {
    DIR* folder = ::opendir(m_folder.c_str());
    if (!folder) return std::nullopt;
    std::vector<ReportFileEntry> entries;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        std::optional<double> modified;
        if (::fstatat(::dirfd(folder), entry->d_name, &info, 0) == 0)
            modified = static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
        entries.push_back({name, modified});
    }
    ::closedir(folder);
    return entries;
}

std::optional<std::string> CrashReportFiles::read(const std::string& path) const {
    // Only a regular file of a report's size: a FIFO would block the launch, a device or a huge
    // file would be read without end. Opened without blocking, checked on the open descriptor.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uint64_t>(info.st_size) <= kMaxReportBytes) {
        std::string bytes;
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxReportBytes) {
                if (n == 0) text = std::move(bytes);
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

SystemDescription describeThisSystem() {
    SystemDescription system;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        if (!in) continue;
        std::ostringstream text;
        text << in.rdbuf();
        system.osRelease = text.str();
        break;
    }
    utsname name{};
    if (::uname(&name) == 0) {
        system.kernelRelease = name.release;
        system.machine = name.machine;
    }
    return system;
}

} // namespace quorvel
