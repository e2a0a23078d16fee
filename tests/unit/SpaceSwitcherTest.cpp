// Switching desktops on the simulator in virtual time: landing, parking on an empty desktop, the
// retry, superseded switches and the direct technique, checked by where the display ends up and
// by the "switching" log.
#include "SimHelperWindow.h"
#include "SpaceFixture.h"
#include "spaces/SpaceSwitcher.h"

#include <memory>

using namespace quorvel;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

class SpaceSwitcherTest : public test::SpaceFixture {
protected:
    sim::SimHelperWindowFactory& helpers = sim.helpers;
    std::unique_ptr<SpaceSwitcher> switcher;
    Pid editor = 0;

    // One display with three desktops: 1 current and holding a window, 2 holding a window, 3 empty.
    void SetUp() override {
        world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 3});
        editor = world.launchApp({.name = "Editor"});
        world.openWindow(editor, {100, 100, 600, 400}, {.space = 1});
        world.openWindow(editor, {200, 150, 600, 400}, {.space = 2, .focus = false});
        switcher = std::make_unique<SpaceSwitcher>(spaces, api, sim.workspace, helpers, sim.scheduler, settings,
                                                   sim.log);
    }
    Space desktop(SpaceId id) const { return Space{.id = id, .index = static_cast<int>(id), .displayID = "MAIN-UUID"}; }
    SpaceId current() const { return world.displays()[0].current; }
    Lines switching() const { return sim.log.lines(SpaceSwitcher::kCategory); }
    std::size_t errors() const {
        std::size_t n = 0;
        for (const auto& e : sim.log.entries()) n += e.level == LogLevel::error && e.category == "switching";
        return n;
    }
    void parkOnEmptyDesktop() {
        switcher->switchTo(desktop(3));
        sim.scheduler.advance(600ms);
        ASSERT_EQ(switcher->parkedSpaceID(), SpaceId{3});
    }
};

TEST_F(SpaceSwitcherTest, DesktopWithWindowsIsReachedAndTheHelperClosedAfterTheSettleCheck) {
    switcher->switchTo(desktop(2));
    sim.scheduler.advance(40ms);
    EXPECT_EQ(current(), 1u) << "nothing shows before the focus step";
    sim.scheduler.advance(20ms);
    EXPECT_EQ(current(), 2u);
    // The 1×1 helper on the desktop is not an application window for the mini-maps.
    EXPECT_EQ(spaces.windowLayouts(spaces.getDisplays()).at(2).size(), 1u);
    EXPECT_TRUE(switcher->hasHelper());
    sim.scheduler.advance(600ms);
    EXPECT_FALSE(switcher->hasHelper());
    EXPECT_EQ(helpers.openCount(), 0u);
    EXPECT_EQ(world.calls("activateSelf"), 1u);
    EXPECT_EQ(switching(), (Lines{"helper switch generation=1 target=2 retry=false",
                                  "helper focus generation=1 key=true main=true",
                                  "closing helper generation=1 parked=nil"}));
}

TEST_F(SpaceSwitcherTest, EmptyDesktopParksTheHelperUntilAWindowAppears) {
    parkOnEmptyDesktop();
    EXPECT_EQ(current(), 3u);
    const auto& helper = *helpers.created().at(0);
    EXPECT_DOUBLE_EQ(helper.alpha, 0.004);
    EXPECT_TRUE(helper.ignoresMouseEvents);
    EXPECT_TRUE(helper.backgroundBlack);
    EXPECT_TRUE(sim.log.contains("space 3 has no qualifying windows — parking helper generation=1"));

    sim.scheduler.advance(160ms); // the first tick, 200 ms after parking
    EXPECT_EQ(switching().back(), "parked t+0ms: space 3 windows=0 current=Optional(3) helperAlive=true key=true");
    world.openWindow(editor, {300, 200, 500, 400}, {.space = 3, .focus = false});
    sim.scheduler.advance(180ms);
    EXPECT_TRUE(switcher->hasHelper()) << "released only on the next tick";
    sim.scheduler.advance(20ms);
    EXPECT_FALSE(switcher->hasHelper());
    EXPECT_EQ(helpers.openCount(), 0u);
    const Lines lines = switching();
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{"parked release: a real window appeared on space 3",
                                                          "closing helper generation=1 parked=Optional(3)"}));
}

TEST_F(SpaceSwitcherTest, WatchGivesUpAfterTenSecondsAndTheHelperStaysUntilTheNextSwitch) {
    parkOnEmptyDesktop(); // parked at 550 ms
    sim.scheduler.advance(9.94s);
    EXPECT_EQ(sim.log.count("parked watch giving up"), 0u);
    sim.scheduler.advance(20ms); // 50 ticks of 200 ms after parking
    EXPECT_TRUE(sim.log.contains("parked watch giving up after 10s on space 3"));
    // A settled parked desktop is logged every 2 s only.
    EXPECT_EQ(sim.log.count("parked t+"), 5u);
    sim.scheduler.advance(30s);
    EXPECT_EQ(sim.log.count("parked t+"), 5u);
    EXPECT_EQ(helpers.openCount(), 1u);

    switcher->switchTo(desktop(1));
    sim.scheduler.advance(1s);
    EXPECT_EQ(current(), 1u);
    EXPECT_EQ(helpers.openCount(), 0u);
    EXPECT_TRUE(sim.log.contains("closing helper generation=1 parked=Optional(3)"));
}

TEST_F(SpaceSwitcherTest, ParkedDesktopIsReusedAndOnlyLogsWhileItIsCurrent) {
    parkOnEmptyDesktop();
    sim.log.clear();
    switcher->switchTo(desktop(3));
    EXPECT_EQ(switching(), (Lines{"already on parked space 3; retaining helper"}));
    EXPECT_EQ(switcher->generation(), 1);

    // Once the user has left it, switching back moves the parked helper instead of a new one.
    world.switchToSpace(1);
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(600ms);
    EXPECT_EQ(current(), 3u);
    EXPECT_EQ(helpers.created().size(), 1u);
    EXPECT_EQ(sim.log.count("closing helper"), 0u);
    EXPECT_EQ(switcher->parkedSpaceID(), SpaceId{3});
}

TEST_F(SpaceSwitcherTest, ALaterSwitchDropsEveryStepOfTheEarlierOne) {
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(30ms);
    switcher->switchTo(desktop(2));
    sim.scheduler.advance(12s);
    EXPECT_EQ(current(), 2u);
    EXPECT_FALSE(switcher->hasHelper());
    EXPECT_EQ(switching(), (Lines{"helper switch generation=1 target=3 retry=false",
                                  "closing helper generation=1 parked=nil",
                                  "helper switch generation=2 target=2 retry=false",
                                  "helper focus generation=2 key=true main=true",
                                  "closing helper generation=2 parked=nil"}));
}

TEST_F(SpaceSwitcherTest, DisplayThatDoesNotMoveIsRetriedExactlyOnce) {
    world.failNext("moveWindowsToDesktop");
    switcher->switchTo(desktop(2));
    sim.scheduler.advance(2s);
    EXPECT_EQ(current(), 2u) << "the retry lands";
    EXPECT_TRUE(sim.log.contains("switch to space 2 did not take — retrying once"));
    EXPECT_TRUE(sim.log.contains("helper switch generation=2 target=2 retry=true"));
    EXPECT_EQ(errors(), 1u);

    sim.log.clear();
    world.failNext("moveWindowsToDesktop", 2); // the retry does not move it either
    switcher->switchTo(desktop(1));
    sim.scheduler.advance(5s);
    EXPECT_EQ(current(), 2u);
    EXPECT_EQ(sim.log.count("helper switch generation="), 2u);
    EXPECT_EQ(errors(), 2u);
    EXPECT_TRUE(sim.log.contains("switch to space 1 did not take — retrying once"));
    EXPECT_TRUE(sim.log.contains("switch to space 1 failed after retry — display still on 2"));

    // A window manager that cannot move windows between desktops says so in the log.
    world.setUnannounced(DesktopHint::windowDesktop);
    switcher->switchTo(desktop(3));
    EXPECT_EQ(sim.log.lines("privateapi"), std::vector<std::string>{"_NET_WM_DESKTOP unavailable"});
}

TEST_F(SpaceSwitcherTest, SettleReportsAMissingDisplayAndADisplayThatMovedElsewhere) {
    Space lost = desktop(2);
    lost.displayID = "GONE-UUID";
    switcher->switchTo(lost);
    sim.scheduler.advance(1s);
    EXPECT_TRUE(sim.log.contains("switch to space 2: display GONE-UUID not found after settle — not retrying"));
    EXPECT_EQ(sim.log.count("retrying once"), 0u);

    switcher->switchTo(desktop(1));
    sim.scheduler.advance(100ms);
    world.switchToSpace(3); // the user moves on before the check
    sim.scheduler.advance(1s);
    EXPECT_TRUE(sim.log.contains("switch to space 1 superseded — display moved to 3"));
    EXPECT_EQ(sim.log.count("retry=true"), 0u);
}

TEST_F(SpaceSwitcherTest, DirectSwitchClosesTheHelperAndIsCheckedAndRetriedOnce) {
    parkOnEmptyDesktop();
    sim.defaults.set(Settings::directSpaceSwitchKey, true);
    sim.log.clear();
    switcher->switchTo(desktop(2));
    EXPECT_EQ(switching(), (Lines{"closing helper generation=2 parked=Optional(3)",
                                  "direct switch to space 2 on display MAIN-UUID"}));
    sim.scheduler.advance(1s);
    EXPECT_EQ(current(), 2u);
    EXPECT_EQ(errors(), 0u);
    EXPECT_TRUE(sim.log.contains("parked check cancelled: target=3 generation=1 currentGeneration=2"));

    // The window manager drops the first request: the check after the settle delay asks again.
    world.failNext("setCurrentDesktop");
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(490ms);
    EXPECT_EQ(current(), 2u);
    EXPECT_EQ(sim.log.count("retrying once"), 0u);
    sim.scheduler.advance(20ms);
    EXPECT_EQ(current(), 3u) << "the retry lands, empty desktop or not";
    EXPECT_TRUE(sim.log.contains("switch to space 3 did not take — retrying once"));
    sim.scheduler.advance(1s);
    EXPECT_EQ(errors(), 1u);

    // Dropped twice: reported once more, and left alone.
    world.failNext("setCurrentDesktop", 2);
    switcher->switchTo(desktop(1));
    sim.scheduler.advance(3s);
    EXPECT_EQ(current(), 3u);
    EXPECT_TRUE(sim.log.contains("switch to space 1 failed after retry — display still on 3"));
    EXPECT_EQ(sim.log.count("direct switch to space 1"), 2u);
    EXPECT_EQ(helpers.created().size(), 1u) << "the direct technique never makes a helper";
    EXPECT_EQ(helpers.openCount(), 0u);
}

TEST_F(SpaceSwitcherTest, DirectIsTheDefaultOnlyWhereThePlatformSaysSoAndAStoredFalseWins) {
    settings.setDirectSpaceSwitchByDefault(true);
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(1ms);
    EXPECT_EQ(current(), 3u) << "direct: no focus step to wait for";
    EXPECT_EQ(helpers.created().size(), 0u);

    sim.defaults.set(Settings::directSpaceSwitchKey, false);
    switcher->switchTo(desktop(2));
    sim.scheduler.advance(1ms);
    EXPECT_EQ(current(), 3u);
    sim.scheduler.advance(60ms);
    EXPECT_EQ(current(), 2u);
    EXPECT_EQ(helpers.created().size(), 1u);

    // A stored value of another type reads as false, as every other switch in the store does.
    sim.scheduler.advance(1s);
    sim.defaults.set(Settings::directSpaceSwitchKey, "yes");
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(1ms);
    EXPECT_EQ(current(), 2u) << "the helper technique waits for its focus step";
    EXPECT_EQ(helpers.created().size(), 2u);
}

TEST_F(SpaceSwitcherTest, AMissWhoseStartWasNotReadIsRetriedOnceAndReported) {
    settings.setDirectSpaceSwitchByDefault(true);
    world.failNext("desktopTable");       // the display's desktop before the switch is unknown
    world.failNext("setCurrentDesktop");  // and the window manager drops the request
    switcher->switchTo(desktop(2));
    sim.scheduler.advance(510ms);
    EXPECT_EQ(current(), 2u) << "the retry lands";
    EXPECT_TRUE(sim.log.contains("switch to space 2 did not take — retrying once"));
    EXPECT_EQ(sim.log.count("superseded"), 0u);
    EXPECT_EQ(errors(), 1u);

    world.failNext("desktopTable");
    world.failNext("setCurrentDesktop", 2);
    switcher->switchTo(desktop(1));
    sim.scheduler.advance(3s);
    EXPECT_EQ(current(), 2u);
    EXPECT_TRUE(sim.log.contains("switch to space 1 failed after retry — display still on 2"));
    EXPECT_EQ(errors(), 3u);
}

TEST_F(SpaceSwitcherTest, WhereEmptyDesktopsStayShownTheHelperIsNeverParked) {
    helpers.setEmptyDesktopsStayShown(true);
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(600ms);
    EXPECT_EQ(current(), 3u);
    EXPECT_FALSE(switcher->hasHelper());
    EXPECT_EQ(switcher->parkedSpaceID(), std::nullopt);
    EXPECT_EQ(helpers.openCount(), 0u);
    EXPECT_TRUE(sim.log.contains("space 3 has no qualifying windows — it stays shown, closing helper generation=1"));
    EXPECT_EQ(errors(), 0u);
}

TEST_F(SpaceSwitcherTest, StepsAfterTheSwitcherIsGoneDoNothing) {
    switcher->switchTo(desktop(3));
    switcher.reset();
    sim.scheduler.advance(12s);
    EXPECT_EQ(sim.log.count("helper focus"), 0u);
    EXPECT_EQ(helpers.openCount(), 0u);
}

TEST_F(SpaceSwitcherTest, ADesktopWhoseWindowsAreAllOnTheSecondMonitorIsNotEmpty) {
    world.addMonitor(0, {1440, 0, 1280, 800});
    world.openWindow(editor, {1600, 100, 600, 400}, {.space = 3, .focus = false});
    switcher->switchTo(desktop(3));
    sim.scheduler.advance(600ms);
    EXPECT_EQ(current(), 3u);
    EXPECT_EQ(switcher->parkedSpaceID(), std::nullopt) << "the helper is not parked on a desktop with a window";
    EXPECT_FALSE(switcher->hasHelper());
}

} // namespace
