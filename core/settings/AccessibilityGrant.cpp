// Accessibility grant tracking: the two bookkeeping keys, the classification and the advice texts.
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
        log.info(kCategory, "accessibility grant seen working — recorded");
    }
    if (!executablePath) return;
    if (defaults.stringFor(grantedExecutablePathKey) == *executablePath) return;
    defaults.set(grantedExecutablePathKey, *executablePath);
    log.info(kCategory, "accessibility grant belongs to %s", *executablePath);
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
              "Accessibility was granted before and is refused now — likely a stale grant after a signature change");
}

std::optional<std::string> AccessibilityGrant::explanation(const State& state) {
    if (std::holds_alternative<Granted>(state)) return std::nullopt;
    if (std::holds_alternative<NotGranted>(state))
        return "Quorvel needs Accessibility permission to move windows. Open System Settings → Privacy & Security → "
               "Accessibility and switch Quorvel on.";
    if (std::holds_alternative<StaleGrant>(state))
        return "macOS is refusing Accessibility access even though Quorvel may still be listed as allowed — this "
               "happens after an app updates. Open System Settings → Privacy & Security → Accessibility, select "
               "Quorvel, remove it with the − button, then add it again with +. Switching it off and on is usually "
               "not enough.";
    const auto& copy = std::get<DuplicateCopy>(state);
    return "Two copies of Quorvel are installed, and the running one is not the "
           "copy macOS granted access to.\n\nRunning: " +
           copy.running + "\nAllowed: " + copy.allowed + "\n\n" +
           "System Settings shows a single Quorvel row and cannot tell them apart, so "
           "turning it off and on will not help. Quit Quorvel, delete the copy at " +
           copy.running + ", and open the one at " + copy.allowed + ".";
}

} // namespace quorvel
