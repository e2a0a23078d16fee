// Composing the problem report.
#include "reports/ProblemReport.h"

#include "reports/OsRelease.h"

namespace quorvel {

std::string ProblemReport::appVersion(const std::string& shortVersion, const std::string& buildVersion) {
    const std::string shortText = shortVersion.empty() ? "?" : shortVersion;
    const std::string build = buildVersion.empty() ? "?" : buildVersion;
    return shortText == build ? shortText : shortText + " (" + build + ")";
}

std::string ProblemReport::osVersion(const std::string& osRelease) {
    const std::string name = osReleaseValue(osRelease, "NAME");
    if (name.empty()) return "Linux";
    std::string version = osReleaseValue(osRelease, "VERSION_ID");
    if (version.empty()) version = osReleaseValue(osRelease, "BUILD_ID"); // rolling releases
    return version.empty() ? name : name + " " + version;
}

Diagnostics ProblemReport::diagnostics(const ProblemReporting& reporting, const ProblemFacts& facts,
                                       const Settings& settings) {
    return {
        {"Version", appVersion(reporting.shortVersion, reporting.buildVersion)},
        {"OS", osVersion(reporting.system.osRelease)},
        {"Architecture", reporting.system.machine.empty() ? "unknown" : reporting.system.machine},
        {"Window manager", facts.windowManagerRunning ? "running" : "NOT running"},
        {"EWMH", facts.ewmhAvailable ? "available" : "UNAVAILABLE"},
        {"Displays", std::to_string(facts.displays)},
        {"Desktops", std::to_string(facts.desktops)},
        {"Tiling", facts.tilingRunning ? "on" : "off"},
        {"Mode", settings.appMode() == AppMode::hotkey ? "hotkey" : "menubar"},
        {"Naming", settings.namingMode() == NamingMode::manual ? "manual" : "auto"},
    };
}

std::string ProblemReport::body(const Diagnostics& diagnostics) {
    std::string text = "What happened?\n\n\nWhat did you expect instead?\n\n\nSteps to reproduce:\n1.\n2.\n\n---\n"
                       "Diagnostics (please keep — this is what makes the report fixable)\n";
    for (std::size_t i = 0; i < diagnostics.size(); ++i)
        text += (i ? "\n" : "") + diagnostics[i].first + ": " + diagnostics[i].second;
    return text;
}

std::string ProblemReport::mailtoUrl(const std::string& address, const std::string& subject, const std::string& body) {
    const auto encode = [](const std::string& text) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                    (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                    byte == '~';
            if (unreserved) {
                out += c;
            } else {
                out += '%';
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            }
        }
        return out;
    };
    // The address keeps its "@" and "+" (help+quorvel@…); anything else unusual in it is encoded
    // like the rest. In the query a "+" would read as a space, so there it is always encoded.
    std::string to;
    for (const char c : address) to += c == '@' || c == '+' ? std::string(1, c) : encode(std::string(1, c));
    return "mailto:" + to + "?subject=" + encode(subject) + "&body=" + encode(body);
}

void ProblemReport::report(const ProblemReporting& reporting, const ProblemFacts& facts, const Settings& settings,
                           UserNotifier& notifier) {
    if (reporting.supportAddress.empty()) return;
    const std::string subject =
        "Quorvel " + appVersion(reporting.shortVersion, reporting.buildVersion) + " — problem report";
    const std::string text = body(diagnostics(reporting, facts, settings));
    if (reporting.mail.compose(mailtoUrl(reporting.supportAddress, subject, text))) return;

    reporting.mail.copyToClipboard("To: " + reporting.supportAddress + "\nSubject: " + subject + "\n\n" + text);
    notifier.runAlert({
        .message = "Report copied to clipboard",
        .informativeText = "No mail app is set up, so the report was copied instead. Paste it into an email to " +
                           reporting.supportAddress + ".",
        .buttons = {"OK"},
    });
}

} // namespace quorvel
