// Focus Display on the simulator: the planner's arithmetic, and the manager's stories in virtual
// time (a change that takes, one that does not, one refused, two quick requests, the laptop panel,
// and the remembered display made main again at launch and when it comes back).
#include "CapturingLog.h"
#include "MemoryDefaults.h"
#include "SimDisplayOutputs.h"
#include "SimScheduler.h"
#include "focusdisplay/FocusDisplayManager.h"
#include "focusdisplay/FocusDisplayPlanner.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {
namespace {

using FocusDisplayPlanner::OriginShift;
using FocusDisplayPlanner::originShifts;

TEST(FocusDisplayPlannerTest, MovesEveryOriginSoTheTargetLandsAtZero) {
    const std::vector<std::pair<DisplayNumber, Point>> two{{1, {0, 0}}, {2, {1512, -200}}};
    EXPECT_EQ(originShifts(two, 2), (std::vector<OriginShift>{{1, -1512, 200}, {2, 0, 0}}));
    EXPECT_EQ(originShifts(two, 3), std::nullopt);
    EXPECT_EQ(originShifts({{7, {1920, 0}}}, 7), (std::vector<OriginShift>{{7, 0, 0}}));
    // Fractions are dropped toward zero on both sides.
    EXPECT_EQ(originShifts({{1, {0.9, -0.9}}, {2, {2.6, 0}}}, 2),
              (std::vector<OriginShift>{{1, -1, 0}, {2, 0, 0}}));
}

constexpr DisplayNumber kLaptop = 1, kDell = 2;

class FocusDisplayManagerTest : public ::testing::Test {
protected:
    FocusDisplayManagerTest() {
        outputs.plug({.id = kLaptop, .identifier = "BOE-2311-0", .name = "Built-in Display", .builtin = true,
                      .bounds = {0, 0, 1920, 1200}});
        outputs.plug({.id = kDell, .identifier = "DEL-41200-3ZXK", .name = "DELL U2720Q", .bounds = {1920, 0, 2560, 1440}});
        manager.onStateChanged = [this] { ++stateChanges; };
        manager.onSwapSettled = [this](bool ok, const std::string& name) { settled.emplace_back(ok, name); };
        scheduler.advance(Seconds(0));
    }

    sim::SimScheduler scheduler;
    sim::CapturingLog log;
    sim::MemoryDefaults defaults;
    Settings settings{defaults};
    sim::SimDisplayOutputs outputs{scheduler};
    FocusDisplayManager manager{outputs, settings, scheduler, log};
    int stateChanges = 0;
    std::vector<std::pair<bool, std::string>> settled;
};

TEST_F(FocusDisplayManagerTest, AChangeThatTakesIsCheckedLaterThenRemembered) {
    manager.activate("DEL-41200-3ZXK");
    EXPECT_TRUE(manager.isSwapping());
    scheduler.advance(Seconds(1.4));
    EXPECT_EQ(outputs.primary(), kDell);
    EXPECT_TRUE(settled.empty());
    EXPECT_EQ(settings.preferredFocusDisplayUUID(), std::nullopt);

    scheduler.advance(Seconds(0.1));
    EXPECT_FALSE(manager.isSwapping());
    EXPECT_EQ(settled, (std::vector<std::pair<bool, std::string>>{{true, "DELL U2720Q"}}));
    EXPECT_EQ(settings.preferredFocusDisplayUUID(), "DEL-41200-3ZXK");
    EXPECT_TRUE(log.contains("swap verified: DELL U2720Q is main"));
    EXPECT_GE(stateChanges, 1);
}

TEST_F(FocusDisplayManagerTest, ChoosingTheMainDisplayOnlyRemembersItAndNotifies) {
    manager.activate("BOE-2311-0");
    EXPECT_FALSE(manager.isSwapping());
    EXPECT_EQ(settings.preferredFocusDisplayUUID(), "BOE-2311-0");
    EXPECT_EQ(stateChanges, 1);
    scheduler.advance(Seconds(5));
    EXPECT_TRUE(outputs.requests.empty());
    EXPECT_TRUE(settled.empty());
}

TEST_F(FocusDisplayManagerTest, ASecondRequestWhileSwappingIsDropped) {
    manager.activate("DEL-41200-3ZXK");
    manager.returnToLaptop();
    EXPECT_TRUE(log.contains("swap ignored: already swapping"));
    scheduler.advance(Seconds(2));
    EXPECT_EQ(outputs.requests, std::vector<DisplayNumber>{kDell});
    EXPECT_EQ(settled.size(), 1u);
    EXPECT_EQ(outputs.primary(), kDell);
}

TEST_F(FocusDisplayManagerTest, AChangeTheServerIgnoresKeepsTheOldPreference) {
    settings.setPreferredFocusDisplayUUID("BOE-2311-0");
    outputs.ignoreRequests = true;
    manager.activate("DEL-41200-3ZXK");
    scheduler.advance(Seconds(1.5));
    EXPECT_EQ(settled, (std::vector<std::pair<bool, std::string>>{{false, "DELL U2720Q"}}));
    EXPECT_EQ(settings.preferredFocusDisplayUUID(), "BOE-2311-0");
    EXPECT_TRUE(log.contains("swap did not take: DELL U2720Q is not main — state unchanged"));
    EXPECT_FALSE(manager.isSwapping());
}

TEST_F(FocusDisplayManagerTest, RefusalsAndUnknownDisplaysAreOnlyLogged) {
    outputs.refuseRequests = true;
    manager.activate("DEL-41200-3ZXK");
    EXPECT_FALSE(manager.isSwapping());
    EXPECT_TRUE(log.contains("swap: setting the primary output failed"));
    manager.activate("NEC-1-1");
    EXPECT_TRUE(log.contains("activate: display NEC-1-1 not online"));
    scheduler.advance(Seconds(2));
    EXPECT_TRUE(settled.empty());
    EXPECT_EQ(outputs.primary(), kLaptop);
}

TEST_F(FocusDisplayManagerTest, ReturningToTheLaptopForgetsThePreference) {
    manager.activate("DEL-41200-3ZXK");
    scheduler.advance(Seconds(1.5));
    manager.returnToLaptop();
    scheduler.advance(Seconds(1.5));
    EXPECT_EQ(outputs.primary(), kLaptop);
    EXPECT_EQ(settings.preferredFocusDisplayUUID(), std::nullopt);
    EXPECT_EQ(settled.back(), std::make_pair(true, std::string("Built-in Display")));

    // Lid closed: nothing to return to.
    outputs.unplug(kLaptop);
    scheduler.advance(Seconds(0));
    manager.returnToLaptop();
    EXPECT_TRUE(log.contains("returnToLaptop: no built-in display online (clamshell?)"));
    EXPECT_FALSE(manager.isSwapping());
}

TEST_F(FocusDisplayManagerTest, OutputsWithoutIdentifierCannotBeChosen) {
    outputs.plug({.id = 9, .identifier = "", .name = "VGA-1"});
    scheduler.advance(Seconds(0));
    manager.refreshDisplayCache();
    ASSERT_EQ(manager.displays().size(), 2u);
    EXPECT_EQ(manager.displays()[1],
              (FocusDisplayManager::DisplayInfo{kDell, "DEL-41200-3ZXK", "DELL U2720Q", false}));
}

TEST_F(FocusDisplayManagerTest, TheRememberedDisplayIsMadeMainAtLaunchAndWhenItComesBack) {
    settings.setPreferredFocusDisplayUUID("DEL-41200-3ZXK");
    manager.start();
    scheduler.advance(Seconds(0));
    EXPECT_EQ(outputs.primary(), kDell);
    EXPECT_EQ(log.count("preferred display DELL U2720Q is online: made main again"), 1u);

    // Unplugged, the laptop takes over; plugged back, the monitor is main again, with one more line.
    outputs.unplug(kDell);
    scheduler.advance(Seconds(0));
    EXPECT_EQ(outputs.primary(), kLaptop);
    outputs.plug({.id = 5, .identifier = "DEL-41200-3ZXK", .name = "DELL U2720Q", .bounds = {1920, 0, 2560, 1440}});
    scheduler.advance(Seconds(0));
    EXPECT_EQ(outputs.primary(), 5u);
    EXPECT_EQ(log.count("made main again"), 2u);

    // Another program's choice while the monitor stays online is left alone.
    outputs.setPrimaryExternally(kLaptop);
    scheduler.advance(Seconds(0));
    EXPECT_EQ(outputs.primary(), kLaptop);
    EXPECT_EQ(log.count("made main again"), 2u);
}

} // namespace
} // namespace quorvel::test
