// Our own crash handler: on SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT (and so on std::terminate and
// Qt's fatal messages, which abort) it writes a report into the crash-reports folder, then lets the
// signal kill the process as it would have. The next launch reads the report (core/reports).
//
// Everything the handler needs is made at install: the folder (0700) and a descriptor on it, the
// buffers, an alternate signal stack, libbacktrace's state (used once so its tables are loaded) and
// the table of loaded objects. Inside the handler only async-signal-safe calls are made.
#pragma once

#include <string>

namespace quorvel {

class CrashHandler {
public:
    // `$XDG_STATE_HOME/quorvel/crash-reports`, with ~/.local/state when the variable is unset or not
    // absolute; empty when neither can be found.
    static std::string defaultFolder();

    // Installs the handler, writing reports into `folder` (created 0700). `appVersion` goes into the
    // report's header line. False when the folder cannot be made; the process then runs without.
    static bool install(const std::string& folder, const std::string& appVersion);

    // Takes the loaded objects again (objects loaded since install, such as Qt's plugins, are then
    // named in reports). Call from the main thread outside any signal handler.
    static void refreshLoadedObjects();

    // The reason the coming abort has, written as the report's termination indicator
    // (e.g. "Qt fatal message"); a static string. Safe from any thread.
    static void noteAbortReason(const char* reason);
};

} // namespace quorvel
