// What crash reporting needs from the machine: the folder our crash handler writes reports into,
// a way to post a request over HTTPS, and a description of the system. Implemented for Linux in
// platform/linux (the folder, the system) and ui/ (the transport over Qt Network); faked in
// platform/sim.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

struct ReportFileEntry {
    std::string name;
    std::optional<double> modified; // seconds since 1970; none when the file's time cannot be read
};

class CrashReportFolder {
public:
    CrashReportFolder() = default;
    CrashReportFolder(const CrashReportFolder&) = delete;
    CrashReportFolder& operator=(const CrashReportFolder&) = delete;
    virtual ~CrashReportFolder() = default;

    virtual std::string path() const = 0;
    // The folder's entries; none when it is missing or unreadable.
    virtual std::optional<std::vector<ReportFileEntry>> list() const = 0;
    // The whole file at `path`; none when it cannot be read.
    virtual std::optional<std::string> read(const std::string& path) const = 0;
};

struct HttpRequest {
    std::string url;
    std::string method;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    double timeoutSeconds = 60;
};

class HttpTransport {
public:
    HttpTransport() = default;
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;
    virtual ~HttpTransport() = default;

    // Sends `request`; `done` is called later on the main thread, with true exactly when the server
    // answered with a status from 200 to 299. Never called if the transport is destroyed first.
    virtual void send(const HttpRequest& request, std::function<void(bool delivered)> done) = 0;
};

struct SystemDescription {
    std::string osRelease;     // the text of os-release, empty when there is none
    std::string kernelRelease; // uname's release, empty when unknown
    std::string machine;       // uname's machine (x86_64, aarch64 …), empty when unknown
};

// Everything crash reporting runs on. An empty endpoint turns sending off, and with it the consent
// question.
struct CrashReporting {
    CrashReportFolder& folder;
    HttpTransport& transport;
    std::string endpoint;
    std::string appVersion;
    SystemDescription system;
};

// Handing a problem report to the user's mail program, or else to the clipboard.
class MailHandoff {
public:
    MailHandoff() = default;
    MailHandoff(const MailHandoff&) = delete;
    MailHandoff& operator=(const MailHandoff&) = delete;
    virtual ~MailHandoff() = default;

    // Opens a "mailto:" URL in the user's mail program; false when none is set up to take it.
    virtual bool compose(const std::string& mailtoUrl) = 0;
    // Puts `text` on the clipboard and in the primary selection.
    virtual void copyToClipboard(const std::string& text) = 0;
};

// What a problem report needs besides the running components. An empty support address turns
// the problem report off.
struct ProblemReporting {
    MailHandoff& mail;
    std::string supportAddress;
    std::string shortVersion;
    std::string buildVersion;
    SystemDescription system;
};

} // namespace quorvel
