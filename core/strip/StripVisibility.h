// Whether a display's strip is on screen, decided by two pure functions from the display's last
// state, one event and a snapshot of the settings and the display. The controller keeps the states,
// runs the delays and draws the result.
#pragma once

#include "settings/Settings.h"

#include <optional>
#include <string>
#include <variant>

namespace quorvel {

// Where the strip sits along the top edge (setting "strip_position").
enum class StripAlignment { left, centre, right };

// "left" and "right" as written; anything else, or nothing, centres the strip.
StripAlignment stripAlignment(std::string_view raw);

// The user's override of every display's resting state ("toggle_strip").
enum class VisibilityOverride { forceVisible, forceHidden };

enum class HiddenReason { preference, pointerAway, override, fullScreen };
enum class VisibleReason { hover, override, pinnedAlways };

namespace strip {
struct Hidden {
    HiddenReason reason = HiddenReason::preference;
    friend bool operator==(const Hidden&, const Hidden&) = default;
};
struct Visible {
    VisibleReason reason = VisibleReason::hover;
    friend bool operator==(const Visible&, const Visible&) = default;
};
struct Unavailable {
    friend bool operator==(const Unavailable&, const Unavailable&) = default;
};
// The pointer reached the trigger; the strip shows if it is still pending when the reveal delay ends.
struct RevealPending {
    friend bool operator==(const RevealPending&, const RevealPending&) = default;
};
} // namespace strip

// Equal when the case and the reason are equal. On screen exactly in the visible case.
using StripVisibility = std::variant<strip::Hidden, strip::Visible, strip::Unavailable, strip::RevealPending>;

inline bool isOnScreen(const StripVisibility& state) { return std::holds_alternative<strip::Visible>(state); }

// "hidden(pointerAway)", "visible(hover)", "unavailable", "revealPending": the text form of log lines.
std::string describe(const StripVisibility& state);

// A snapshot made fresh for every decision.
struct VisibilityInput {
    StripMode mode = StripMode::never;
    std::optional<VisibilityOverride> visibilityOverride;
    bool currentIsFullScreen = false; // the display's current desktop is full screen
    bool revealInFullScreen = false;  // "strip_fullscreen": hover may reveal over a full-screen desktop
    bool isAvailable = true;
};

enum class StripEvent {
    spaceChanged,          // the active desktop or the topology changed
    pointerEnteredTrigger,
    pointerLeftTrigger,
    overrideToggled,
    revealDelayElapsed,
    hideDelayElapsed,
};

namespace StripVisibilityMachine {

// The state a display settles in when nothing transient is going on.
StripVisibility restingState(const VisibilityInput& input);

// The state after `event`. Total: every state takes every event.
StripVisibility next(const StripVisibility& current, StripEvent event, const VisibilityInput& input);

} // namespace StripVisibilityMachine

} // namespace quorvel
