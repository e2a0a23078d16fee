// Reading the crash-reports folder and describing the system.
#include "CrashReportFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/utsname.h>

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
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
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
