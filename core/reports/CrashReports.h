// Crash reports: at launch, the newest report our crash handler wrote is reduced to a short excerpt
// and, with the user's consent, posted as JSON to the crash-report endpoint; each crash is dealt
// with once ("last_seen_crash_report"). ProblemReporter asks for that consent once.
#pragma once

#include "platform/CrashReporting.h"
#include "platform/Log.h"
#include "platform/UserNotifier.h"
#include "settings/Settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

struct ProblemReporter {
    // Without crash reporting on the platform there is nothing to ask.
    static void askAboutCrashReportsIfNeeded(Settings&) {}
    // The one-time consent question; asked only when sending is configured (a non-empty endpoint).
    static void askAboutCrashReportsIfNeeded(Settings& settings, const CrashReporting& reporting,
                                             UserNotifier& notifier, Log& log);
    // Composes the problem-report e-mail; built with the crash-report handling.
    static void report() {}

    static constexpr std::string_view consentMessage = "Send crash reports?";
};

struct CrashReport {
    std::string path;
    double date = 0; // the file's modification time, seconds since 1970
    std::string excerpt;
};

struct CrashReports {
    static constexpr std::string_view lastSeenKey = "last_seen_crash_report";
    static constexpr double kStaleSeconds = 604800;
    static constexpr int kMaxFrames = 18;

    // Without crash reporting on the platform there is nothing to send.
    static void sendIfPermitted(Settings&) {}
    // With consent and a report not yet dealt with, posts it; a delivered report is remembered, one
    // that was not is offered again next launch. `now` is seconds since 1970.
    static void sendIfPermitted(Settings& settings, CrashReporting& reporting, double now, Log& log);

    // The newest report not yet dealt with. A stale one is remembered as dealt with and not offered.
    static std::optional<CrashReport> unreported(const CrashReportFolder& folder, DefaultsStore& defaults, double now);
    // The excerpt of a report file's text (a header line, then one JSON object); none when it has
    // nothing to say. Pure.
    static std::optional<std::string> excerpt(std::string_view reportText, int maxFrames);
    // The JSON object posted for `report`.
    static std::string payload(const CrashReport& report, const CrashReporting& reporting);
    // "<PRETTY_NAME> (Linux <kernel release>)", with "Linux" standing in for a missing name.
    static std::string osDescription(const SystemDescription& system);
    // `url` when it may stand in for the configured endpoint: an https:// URL on this machine
    // (localhost, 127.0.0.1, [::1]), so that a test can run its own server while no setting of the
    // environment can send a report anywhere else.
    static std::optional<std::string> localEndpoint(std::string_view url);
    // The processor architecture this program was built for: "x86_64", "aarch64", ….
    static std::string_view architecture();
};

} // namespace quorvel
