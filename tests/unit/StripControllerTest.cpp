// The strip controller on the simulator, in virtual time: strips per monitor, hover reveal and hide
// with their delays, the override, optimistic switching and monitors that come and go.
#include "SimServices.h"
#include "spaces/SpaceSwitcher.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorvel {
namespace {

class StripControllerTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<SpaceSwitcher> switcher;

    // One display of four desktops on a 1440×900 monitor with a 25 high panel, and a second monitor
    // to its right showing the same desktops, as on X11.
    void SetUp() override {
        sim.world.addDisplay({.uuid = "MAIN", .bounds = {0, 0, 1440, 900}, .spaceCount = 4});
        sim.defaults.set(Settings::stripDevKey, true);
        sim.defaults.set(Settings::stripModeKey, "alwaysOn");
        core = std::make_unique<CoreServices>(sim::platformServices(sim));
        core->settings.setDirectSpaceSwitchByDefault(true);
        switcher = std::make_unique<SpaceSwitcher>(core->spaces, core->api, sim.workspace, sim.helpers, sim.scheduler,
                                                   core->settings, sim.log);
    }
    void TearDown() override {
        core->strip.stop();
        switcher.reset();
        core.reset();
    }

    SpaceId space(std::size_t position) const { return sim.world.displays().at(0).spaces.at(position).id; }
    sim::SimStripWindow* strip(const Rect& monitor) const { return sim.strip.windowOn(monitor); }
    int switchesTo(SpaceId target) const {
        const std::string line = "strip: switching to space " + std::to_string(target);
        const auto lines = sim.log.lines("strip");
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    void setMode(std::string_view mode) {
        sim.defaults.set(Settings::stripModeKey, std::string(mode));
        core->strip.refresh();
    }
    static constexpr Rect left{0, 0, 1440, 900};
};

TEST_F(StripControllerTest, AlwaysOnShowsAStripBelowThePanelOfEveryMonitorEachListingEveryDesktop) {
    const Rect right{1440, 0, 1920, 1080};
    sim.world.addMonitor(0, right, 0);
    core->strip.start(*switcher);
    ASSERT_NE(strip(left), nullptr);
    ASSERT_NE(strip(right), nullptr);
    for (const Rect& monitor : {left, right}) {
        EXPECT_TRUE(strip(monitor)->visible);
        EXPECT_EQ(strip(monitor)->presentation.tabs.size(), 4u);
        EXPECT_EQ(strip(monitor)->selectedTab(), space(0));
    }
    EXPECT_EQ(strip(left)->topInset, 25);
    EXPECT_EQ(strip(right)->topInset, 0);
    // Nothing watches the pointer outside hover mode.
    EXPECT_TRUE(sim.strip.regions.empty());

    // A click on the right monitor's strip switches every monitor.
    strip(right)->click(space(2));
    EXPECT_EQ(strip(left)->selectedTab(), space(2)); // marked at once, before the switch lands
    sim.scheduler.advance(Seconds(1));
    EXPECT_EQ(sim.world.activeSpace(), space(2));
    EXPECT_EQ(strip(left)->presentation.actualCurrentSpaceID, space(2));
    EXPECT_EQ(strip(left)->presentation.requestedSpaceID, std::nullopt);
}

TEST_F(StripControllerTest, ThreeQuickClicksSwitchToTheFirstThenOnlyToTheLast) {
    core->strip.start(*switcher);
    strip(left)->click(space(1));
    strip(left)->click(space(2));
    strip(left)->click(space(3));
    EXPECT_EQ(strip(left)->selectedTab(), space(3));
    sim.scheduler.advance(Seconds(2));
    EXPECT_EQ(sim.world.activeSpace(), space(3));
    EXPECT_EQ(switchesTo(space(1)), 1);
    EXPECT_EQ(switchesTo(space(2)), 0);
    EXPECT_EQ(switchesTo(space(3)), 1);
    // The current desktop's tab does nothing.
    strip(left)->click(space(3));
    EXPECT_EQ(switchesTo(space(3)), 1);
}

TEST_F(StripControllerTest, HoverRevealsAfter120msAndHidesTheStrip700msAfterThePointerLeaves) {
    setMode("onHover");
    core->strip.start(*switcher);
    ASSERT_EQ(sim.strip.regions.count("MAIN"), 1u);
    const Rect trigger = sim.strip.regions.at("MAIN");
    EXPECT_EQ(trigger, (Rect{560, 0, 720, 25})); // the free span of the panel, no tray icons

    sim.strip.movePointer({700, 5});
    sim.scheduler.advance(Seconds(0.11));
    EXPECT_TRUE(strip(left) == nullptr || !strip(left)->visible);
    sim.scheduler.advance(Seconds(0.02));
    ASSERT_NE(strip(left), nullptr);
    EXPECT_TRUE(strip(left)->visible);

    // Onto the strip: the hide waits; off the strip and away: hidden 0.7 s later.
    sim.strip.movePointer({700, 60});
    strip(left)->hover(space(0));
    sim.scheduler.advance(Seconds(2));
    EXPECT_TRUE(strip(left)->visible);
    strip(left)->hover(std::nullopt);
    sim.scheduler.advance(Seconds(0.5));
    // Back to the trigger before the hide: the strip stays.
    sim.strip.movePointer({700, 5});
    sim.scheduler.advance(Seconds(1));
    EXPECT_TRUE(strip(left)->visible);
    sim.strip.movePointer({700, 400});
    sim.scheduler.advance(Seconds(0.69));
    EXPECT_TRUE(strip(left)->visible);
    sim.scheduler.advance(Seconds(0.02));
    EXPECT_FALSE(strip(left)->visible);

    // Leaving hover mode stops watching the pointer.
    setMode("alwaysOn");
    EXPECT_TRUE(sim.strip.regions.empty());
    EXPECT_TRUE(strip(left)->visible);
}

TEST_F(StripControllerTest, TheOverrideHidesAnAlwaysOnStripAndShowsANeverStripFor2Seconds) {
    core->strip.start(*switcher);
    core->strip.toggleVisibilityOverride();
    EXPECT_FALSE(strip(left)->visible);
    sim.scheduler.advance(Seconds(5));
    EXPECT_FALSE(strip(left)->visible);
    core->strip.toggleVisibilityOverride();
    EXPECT_TRUE(strip(left)->visible);

    setMode("never");
    EXPECT_FALSE(strip(left)->visible);
    core->strip.toggleVisibilityOverride();
    EXPECT_TRUE(strip(left)->visible);
    sim.scheduler.advance(Seconds(1.9));
    EXPECT_TRUE(strip(left)->visible);
    sim.scheduler.advance(Seconds(0.2));
    EXPECT_FALSE(strip(left)->visible);
    EXPECT_EQ(core->strip.visibilityOverride(), std::nullopt);
}

TEST_F(StripControllerTest, AnUnpluggedMonitorDropsItsStripAndAVanishedTargetDropsTheRequestOnce) {
    const DisplayNumber second = sim.world.addMonitor(0, {1440, 0, 1920, 1080}, 0);
    core->strip.start(*switcher);
    const long generation = core->strip.topologyGeneration();
    ASSERT_EQ(core->strip.monitorIDs().size(), 2u);

    strip(left)->click(space(1));
    strip(left)->click(space(3)); // pending behind the switch in flight
    sim.world.removeSpace(space(3));
    sim.world.removeMonitor(second);
    sim.scheduler.advance(Seconds(0.2)); // the screen change settles once
    EXPECT_EQ(core->strip.topologyGeneration(), generation + 1);
    EXPECT_EQ(core->strip.monitorIDs().size(), 1u);
    EXPECT_EQ(sim.strip.windows.size(), 1u); // the unplugged monitor's strip is gone
    sim.scheduler.advance(Seconds(2));
    EXPECT_EQ(sim.world.activeSpace(), space(1));
    EXPECT_EQ(strip(left)->presentation.requestedSpaceID, std::nullopt);
}

TEST_F(StripControllerTest, TwelveDesktopsOnANarrowMonitorShowOnlyTheCurrentName) {
    for (int i = 0; i < 8; ++i) sim.world.addSpace(0);
    sim.defaults.set(Settings::stripMiniMapsKey, false);
    sim.world.displays().at(0).bounds = {0, 0, 1280, 800};
    sim.world.screensChanged();
    core->strip.start(*switcher);
    const auto* shown = sim.strip.windows.back();
    EXPECT_EQ(shown->presentation.tabs.size(), 12u);
    EXPECT_EQ(shown->presentation.density, MenuDensity::focused);
}

} // namespace
} // namespace quorvel
