// The strip's pure parts: the visibility machine's whole table, where the pointer reveals the strip,
// how much each tab shows, and where the strip and its tabs go.
#include "strip/MenuBarGeometry.h"
#include "strip/StripLayout.h"
#include "strip/StripVisibility.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using strip::Hidden;
using strip::RevealPending;
using strip::Unavailable;
using strip::Visible;

VisibilityInput input(StripMode mode, bool fullScreen = false, bool revealInFullScreen = false) {
    VisibilityInput in;
    in.mode = mode;
    in.currentIsFullScreen = fullScreen;
    in.revealInFullScreen = revealInFullScreen;
    return in;
}

TEST(StripVisibilityMachine, RestingStateTakesTheFirstRuleThatApplies) {
    VisibilityInput gone = input(StripMode::alwaysOn);
    gone.isAvailable = false;
    gone.visibilityOverride = VisibilityOverride::forceVisible;
    EXPECT_EQ(StripVisibilityMachine::restingState(gone), StripVisibility{Unavailable{}});

    VisibilityInput shown = input(StripMode::never);
    shown.visibilityOverride = VisibilityOverride::forceVisible;
    EXPECT_EQ(StripVisibilityMachine::restingState(shown), StripVisibility{Visible{VisibleReason::override}});
    VisibilityInput hidden = input(StripMode::alwaysOn);
    hidden.visibilityOverride = VisibilityOverride::forceHidden;
    EXPECT_EQ(StripVisibilityMachine::restingState(hidden), StripVisibility{Hidden{HiddenReason::override}});

    EXPECT_EQ(StripVisibilityMachine::restingState(input(StripMode::never)), StripVisibility{Hidden{HiddenReason::preference}});
    EXPECT_EQ(StripVisibilityMachine::restingState(input(StripMode::onHover)), StripVisibility{Hidden{HiddenReason::pointerAway}});
    EXPECT_EQ(StripVisibilityMachine::restingState(input(StripMode::alwaysOn)), StripVisibility{Visible{VisibleReason::pinnedAlways}});
    // Over a full-screen desktop an always-on strip rests hidden, whatever "strip_fullscreen" says.
    EXPECT_EQ(StripVisibilityMachine::restingState(input(StripMode::alwaysOn, true, true)),
              StripVisibility{Hidden{HiddenReason::fullScreen}});
}

// Every state against every event, in hover mode where hover may reveal; R is the resting state.
TEST(StripVisibilityMachine, TransitionTable) {
    const VisibilityInput in = input(StripMode::onHover);
    const StripVisibility R = Hidden{HiddenReason::pointerAway};
    const StripVisibility pending = RevealPending{};
    const StripVisibility hover = Visible{VisibleReason::hover};
    struct Row {
        StripVisibility before;
        StripVisibility onEnter, onLeave, onReveal, onHide;
    };
    const std::vector<Row> rows = {
        {Hidden{HiddenReason::preference}, pending, Hidden{HiddenReason::preference}, Hidden{HiddenReason::preference},
         Hidden{HiddenReason::preference}},
        {Hidden{HiddenReason::fullScreen}, pending, Hidden{HiddenReason::fullScreen}, Hidden{HiddenReason::fullScreen},
         Hidden{HiddenReason::fullScreen}},
        {hover, hover, hover, hover, Hidden{HiddenReason::pointerAway}},
        {Visible{VisibleReason::override}, Visible{VisibleReason::override}, Visible{VisibleReason::override},
         Visible{VisibleReason::override}, Visible{VisibleReason::override}},
        {Visible{VisibleReason::pinnedAlways}, Visible{VisibleReason::pinnedAlways}, Visible{VisibleReason::pinnedAlways},
         Visible{VisibleReason::pinnedAlways}, Visible{VisibleReason::pinnedAlways}},
        {pending, pending, pending, hover, pending},
        {Unavailable{}, Unavailable{}, Unavailable{}, Unavailable{}, Unavailable{}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(describe(row.before));
        EXPECT_EQ(StripVisibilityMachine::next(row.before, StripEvent::spaceChanged, in), R);
        EXPECT_EQ(StripVisibilityMachine::next(row.before, StripEvent::overrideToggled, in), R);
        EXPECT_EQ(StripVisibilityMachine::next(row.before, StripEvent::pointerEnteredTrigger, in), row.onEnter);
        EXPECT_EQ(StripVisibilityMachine::next(row.before, StripEvent::pointerLeftTrigger, in), row.onLeave);
        EXPECT_EQ(StripVisibilityMachine::next(row.before, StripEvent::revealDelayElapsed, in), row.onReveal);
        EXPECT_EQ(StripVisibilityMachine::next(row.before, StripEvent::hideDelayElapsed, in), row.onHide);
    }
}

TEST(StripVisibilityMachine, HoverRevealsOnlyInHoverModeAndOverFullScreenOnlyWhenAllowed) {
    const StripVisibility away = Hidden{HiddenReason::pointerAway};
    EXPECT_EQ(StripVisibilityMachine::next(away, StripEvent::pointerEnteredTrigger, input(StripMode::onHover, true, false)), away);
    EXPECT_EQ(StripVisibilityMachine::next(away, StripEvent::pointerEnteredTrigger, input(StripMode::onHover, true, true)),
              StripVisibility{RevealPending{}});
    const StripVisibility fullScreen = Hidden{HiddenReason::fullScreen};
    EXPECT_EQ(StripVisibilityMachine::next(fullScreen, StripEvent::pointerEnteredTrigger, input(StripMode::alwaysOn, true, true)),
              fullScreen);
    EXPECT_EQ(StripVisibilityMachine::next(away, StripEvent::pointerEnteredTrigger, input(StripMode::never)), away);
}

TEST(MenuBarGeometry, FreeSpanEndsBeforeTheLeftmostTrayIconOnThisMonitorElseFallsBackToTheCentre) {
    const Rect screen{0, 0, 1440, 900};
    // An icon at 900: 560 … 876, 316 wide.
    EXPECT_EQ(MenuBarGeometry::triggerRegion(screen, 24, {{900, 2, 20, 20}, {1000, 2, 20, 20}}, 24),
              (TriggerRegion{{560, 0, 316, 24}, TriggerRegion::Reason::freeSpan}));
    // An icon at 700 leaves 116: a quarter of the screen (360) centred instead.
    EXPECT_EQ(MenuBarGeometry::triggerRegion(screen, 24, {{700, 2, 20, 20}}, 24),
              (TriggerRegion{{540, 0, 360, 24}, TriggerRegion::Reason::fallback}));
    // No icons: the span ends 160 before the right edge. Without a panel the region is `depth` high.
    EXPECT_EQ(MenuBarGeometry::triggerRegion(screen, 0, {}, 24),
              (TriggerRegion{{560, 0, 720, 24}, TriggerRegion::Reason::freeSpan}));
    // An icon on the monitor to the right does not shorten this one's span.
    const Rect right{1440, 0, 1440, 900};
    EXPECT_EQ(MenuBarGeometry::leftmostStatusIconX(screen, {{1500, 2, 20, 20}}), std::nullopt);
    EXPECT_EQ(MenuBarGeometry::triggerRegion(right, 30, {{1300, 2, 20, 20}, {2600, 2, 20, 20}}, 24),
              (TriggerRegion{{2000, 0, 576, 30}, TriggerRegion::Reason::freeSpan}));
    // A narrow monitor's fallback is at least 180 wide.
    EXPECT_EQ(MenuBarGeometry::triggerRegion({0, 0, 600, 800}, 0, {}, 24).rect, (Rect{210, 0, 180, 24}));
}

TEST(MenuBarGeometry, TrayIconsCountOnlyAtTheTopOfTheirMonitor) {
    const Rect lower{0, 1080, 1920, 1080};
    const auto items = MenuBarGeometry::statusItemsAtTop(lower, {{1800, 1084, 22, 22}, {1700, 1500, 22, 22},
                                                                 {1600, 1084, 0, 22}, {1500, 1084, 22, 64}});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].x, 1800);
}

std::vector<StripTab> tabs(int count) {
    std::vector<StripTab> result;
    for (int i = 1; i <= count; ++i) result.push_back({static_cast<SpaceId>(i), i, "Desktop " + std::to_string(i)});
    return result;
}

TEST(StripLayout, DensityFallsBackUntilTheStripFitsItsMonitor) {
    // Twelve desktops on 1280 without mini-maps: full needs 1612 > 1248, focused 446.
    EXPECT_EQ(stripWidth(12, MenuDensity::full, false, 0), 1612);
    EXPECT_EQ(stripWidth(12, MenuDensity::focused, false, 0), 446);
    EXPECT_EQ(chooseDensity(MenuDensity::full, 12, false, 0, 1280), MenuDensity::focused);
    EXPECT_EQ(chooseDensity(MenuDensity::full, 4, true, 0, 1280), MenuDensity::full);
    // Nothing fits: minimal all the same.
    EXPECT_EQ(chooseDensity(MenuDensity::focused, 40, true, 0, 800), MenuDensity::minimal);
}

TEST(StripLayout, TheStripHangsBelowThePanelAlignedAndKeptOnItsMonitor) {
    const Rect screen{1920, 0, 1440, 900};
    EXPECT_EQ(stripFrame(screen, 28, StripAlignment::right, 300), (Rect{3360 - 308, 28, 300, 32}));
    EXPECT_EQ(stripFrame(screen, 0, StripAlignment::left, 300).x, 1928);
    EXPECT_EQ(stripFrame(screen, 0, StripAlignment::centre, 300).x, 1920 + 720 - 150);
    EXPECT_EQ(stripFrame(screen, 0, StripAlignment::centre, 2000).x, 1920); // wider than the monitor
    EXPECT_EQ(stripAlignment("right"), StripAlignment::right);
    EXPECT_EQ(stripAlignment("middle"), StripAlignment::centre);
}

TEST(StripLayout, TabsShowWhatTheirDensityAndDesktopAllow) {
    StripPresentation presentation;
    presentation.tabs = tabs(3);
    presentation.tabs[1].isFullScreen = true;
    presentation.tabs[2].isEmpty = true;
    presentation.tabs[2].tilingActive = true;
    presentation.actualCurrentSpaceID = 1;
    presentation.requestedSpaceID = 3;
    presentation.density = MenuDensity::focused;
    presentation.showsMiniMaps = true;

    const auto layout = layOutStrip(presentation);
    ASSERT_EQ(layout.size(), 3u);
    // The requested desktop is the focus: only it shows its name.
    EXPECT_FALSE(layout[0].selected);
    EXPECT_EQ(layout[0].frame, (Rect{3, 3, 54, 26}));
    EXPECT_EQ(layout[0].miniMap, (Rect{26, 6, 22, 14}));
    EXPECT_EQ(layout[0].accessibilityLabel, "Desktop 1, Desktop 1");
    // A full-screen desktop: its mark, no mini-map (its width still counts one), a centred badge.
    EXPECT_EQ(layout[1].badgeText, "⊞");
    EXPECT_FALSE(layout[1].showsMiniMap);
    EXPECT_EQ(layout[1].frame, (Rect{59, 3, 54, 26}));
    EXPECT_EQ(layout[1].badge.x, 20);
    EXPECT_EQ(layout[1].accessibilityLabel.rfind("Fullscreen desktop", 0), 0u);
    EXPECT_TRUE(layout[2].selected);
    EXPECT_EQ(layout[2].frame, (Rect{115, 3, 160, 26}));
    EXPECT_EQ(layout[2].nameFrame, (Rect{54, 5.5, 100, 15}));
    EXPECT_EQ(layout[2].accessibilityLabel, "Desktop 3, Desktop 3, tiling on, empty, current");

    // Focused with no focus tab among them: every tab is a centred badge.
    presentation.requestedSpaceID = 99;
    presentation.actualCurrentSpaceID.reset();
    presentation.showsMiniMaps = false;
    for (const StripTabLayout& tab : layOutStrip(presentation)) {
        EXPECT_FALSE(tab.showsName);
        EXPECT_EQ(tab.badge.x, 6); // (26 − 14) / 2
        EXPECT_FALSE(tab.selected);
    }
}

} // namespace
} // namespace quorvel
