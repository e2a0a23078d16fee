// Crash-report consent and sending. For now a shell: no crash handler is installed yet, so there is
// never a consent question to ask nor a report to send.
#pragma once

#include "settings/Settings.h"

namespace quorvel {

struct ProblemReporter {
    static void askAboutCrashReportsIfNeeded(Settings&) {}
    // Composes the problem-report e-mail; built with the crash-report handling.
    static void report() {}
};

struct CrashReports {
    static void sendIfPermitted(Settings&) {}
};

} // namespace quorvel
