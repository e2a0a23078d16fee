// The crash-reports folder on disk (written by CrashHandler) and the description of this system
// (os-release and the kernel release) that a crash report is sent with.
#pragma once

#include "platform/CrashReporting.h"

namespace quorvel {

class CrashReportFiles final : public CrashReportFolder {
public:
    explicit CrashReportFiles(std::string folder) : m_folder(std::move(folder)) {}

    std::string path() const override { return m_folder; }
    std::optional<std::vector<ReportFileEntry>> list() const override;
    // None for anything but a regular file of at most kMaxReportBytes (a report of ours is far
    // smaller); never blocks.
    std::optional<std::string> read(const std::string& path) const override;

    static constexpr std::size_t kMaxReportBytes = 4 * 1024 * 1024;

private:
    std::string m_folder;
};

// /etc/os-release (else /usr/lib/os-release) and uname's release.
SystemDescription describeThisSystem();

} // namespace quorvel
