// The problem report: an e-mail to the support address with a fill-in template and ten lines of
// diagnostics, handed to the user's mail program, or copied to the clipboard when there is none.
#pragma once

#include "platform/CrashReporting.h"
#include "platform/UserNotifier.h"
#include "settings/Settings.h"

#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// What the running program knows about itself when the report is composed.
struct ProblemFacts {
    bool windowManagerRunning = false; // a window manager that announces EWMH answers
    bool ewmhAvailable = false;        // every EWMH hint we rely on is announced
    int displays = 0;
    int desktops = 0;
    bool tilingRunning = false;
};

using Diagnostics = std::vector<std::pair<std::string, std::string>>;

struct ProblemReport {
    // The short version, with the build in parentheses when the two differ; "?" for either missing.
    static std::string appVersion(const std::string& shortVersion, const std::string& buildVersion);
    // The distribution's NAME and VERSION_ID from os-release ("Debian GNU/Linux 12"); "Linux" alone
    // without a name.
    static std::string osVersion(const std::string& osRelease);
    // The ten (label, value) pairs, in order.
    static Diagnostics diagnostics(const ProblemReporting& reporting, const ProblemFacts& facts,
                                   const Settings& settings);
    // The e-mail body: questions to answer, then one line per diagnostic.
    static std::string body(const Diagnostics& diagnostics);
    // "mailto:<address>?subject=…&body=…", every byte but the unreserved ones percent-encoded, so a
    // "+" stays a plus sign ("%2B") in every mail program.
    static std::string mailtoUrl(const std::string& address, const std::string& subject, const std::string& body);

    // Composes the report and opens it in the mail program; without one, copies it (a "To:" and a
    // "Subject:" line, a blank line, the body) and says so in an alert. Nothing without a support
    // address.
    static void report(const ProblemReporting& reporting, const ProblemFacts& facts, const Settings& settings,
                       UserNotifier& notifier);
};

} // namespace quorvel
