#include "strip/StripVisibility.h"

namespace quorvel {

StripAlignment stripAlignment(std::string_view raw) {
    if (raw == "left") return StripAlignment::left;
    if (raw == "right") return StripAlignment::right;
    return StripAlignment::centre;
}

namespace {

const char* nameOf(HiddenReason reason) {
    switch (reason) {
    case HiddenReason::preference: return "preference";
    case HiddenReason::pointerAway: return "pointerAway";
    case HiddenReason::override: return "override";
    case HiddenReason::fullScreen: return "fullScreen";
    }
    return "?";
}

const char* nameOf(VisibleReason reason) {
    switch (reason) {
    case VisibleReason::hover: return "hover";
    case VisibleReason::override: return "override";
    case VisibleReason::pinnedAlways: return "pinnedAlways";
    }
    return "?";
}

// Hover may reveal the strip only in hover mode, and over a full-screen desktop only when allowed.
bool hoverMayReveal(const VisibilityInput& input) {
    return input.mode == StripMode::onHover && !(input.currentIsFullScreen && !input.revealInFullScreen);
}

} // namespace

std::string describe(const StripVisibility& state) {
    if (const auto* hidden = std::get_if<strip::Hidden>(&state)) return std::string("hidden(") + nameOf(hidden->reason) + ")";
    if (const auto* visible = std::get_if<strip::Visible>(&state)) return std::string("visible(") + nameOf(visible->reason) + ")";
    if (std::holds_alternative<strip::Unavailable>(state)) return "unavailable";
    return "revealPending";
}

namespace StripVisibilityMachine {

StripVisibility restingState(const VisibilityInput& input) {
    if (!input.isAvailable) return strip::Unavailable{};
    if (input.visibilityOverride == VisibilityOverride::forceVisible) return strip::Visible{VisibleReason::override};
    if (input.visibilityOverride == VisibilityOverride::forceHidden) return strip::Hidden{HiddenReason::override};
    switch (input.mode) {
    case StripMode::never: return strip::Hidden{HiddenReason::preference};
    case StripMode::onHover: return strip::Hidden{HiddenReason::pointerAway};
    case StripMode::alwaysOn:
        if (input.currentIsFullScreen) return strip::Hidden{HiddenReason::fullScreen};
        return strip::Visible{VisibleReason::pinnedAlways};
    }
    return strip::Hidden{HiddenReason::preference};
}

StripVisibility next(const StripVisibility& current, StripEvent event, const VisibilityInput& input) {
    switch (event) {
    case StripEvent::spaceChanged:
    case StripEvent::overrideToggled: return restingState(input);
    case StripEvent::pointerEnteredTrigger:
        if (std::holds_alternative<strip::Hidden>(current) && hoverMayReveal(input)) return strip::RevealPending{};
        return current;
    case StripEvent::pointerLeftTrigger: return current;
    case StripEvent::revealDelayElapsed:
        if (std::holds_alternative<strip::RevealPending>(current)) return strip::Visible{VisibleReason::hover};
        return current;
    case StripEvent::hideDelayElapsed:
        if (current == StripVisibility{strip::Visible{VisibleReason::hover}}) return strip::Hidden{HiddenReason::pointerAway};
        return current;
    }
    return current;
}

} // namespace StripVisibilityMachine

} // namespace quorvel
