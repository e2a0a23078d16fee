// Window manager tracking: the two bookkeeping keys, the classification and the advice texts.
#include "settings/AccessibilityGrant.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "app";
} // namespace

void AccessibilityGrant::noteCurrentState(DefaultsStore& defaults, const std::function<bool()>& isTrusted,
                                          const std::optional<std::string>& executablePath, Log& log) {
    if (!isTrusted || !isTrusted()) return;
    if (!defaults.boolFor(everGrantedKey)) {
        defaults.set(everGrantedKey, true);
        log.info(kCategory, "EWMH window manager seen working — recorded");
    }
    if (!executablePath) return;
    if (defaults.stringFor(grantedExecutablePathKey) == *executablePath) return;
    defaults.set(grantedExecutablePathKey, *executablePath);
    log.info(kCategory, "window manager access recorded for %s", *executablePath);
}

AccessibilityGrant::State AccessibilityGrant::classify(bool isTrusted, const DefaultsStore& defaults,
                                                       const std::optional<std::string>& runningExecutablePath) {
    if (isTrusted) return Granted{};
    if (!defaults.boolFor(everGrantedKey)) return NotGranted{};
    const auto recorded = defaults.stringFor(grantedExecutablePathKey);
    if (recorded && runningExecutablePath && *recorded != *runningExecutablePath)
        return DuplicateCopy{.allowed = *recorded, .running = *runningExecutablePath};
    return StaleGrant{};
}

void AccessibilityGrant::logStaleGrantIfNeeded(bool isTrusted, const DefaultsStore& defaults,
                                               const std::optional<std::string>& runningExecutablePath, Log& log) {
    if (!std::holds_alternative<StaleGrant>(classify(isTrusted, defaults, runningExecutablePath))) return;
    log.error(kCategory,
              "An EWMH window manager ran before and none answers now — likely the session's window manager did not start");
}

std::optional<std::string> AccessibilityGrant::explanation(const State& state) {
    if (std::holds_alternative<Granted>(state)) return std::nullopt;
    if (std::holds_alternative<NotGranted>(state))
        return "Quorvel needs a window manager that supports EWMH to move windows. Start one for this display "
               "(Openbox, Xfwm4, Fluxbox, IceWM, KWin, …) and tiling begins.";
    if (std::holds_alternative<StaleGrant>(state))
        return "No window manager is answering even though one worked with Quorvel before — this happens when the "
               "window manager crashed, was stopped or is being replaced. Start it again (for Openbox: openbox "
               "--replace &), or log out and back in. Quorvel resumes tiling by itself once it runs.";
    const auto& copy = std::get<DuplicateCopy>(state);
    return "No window manager is running, and the running copy of Quorvel is not the "
           "copy that last worked on this desktop.\n\nRunning: " +
           copy.running + "\nLast worked: " + copy.allowed + "\n\n" +
           "Either copy works once a window manager that supports EWMH runs: start one for this display. "
           "To keep a single copy, quit Quorvel, delete the copy at " +
           copy.running + ", and open the one at " + copy.allowed + ".";
}

} // namespace quorvel
