// HotkeyManager on the simulator: what a registration pass holds and logs when keys are free,
// taken or stored without modifiers, how presses reach the owner, and reload/stop bookkeeping.
#include "SimPlatform.h"
#include "shortcuts/HotkeyManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quorvel::test {
namespace {

constexpr std::uint32_t kControlOption = 0x1800;
constexpr std::uint32_t kOptionShift = 0x0A00;

class HotkeyManagerTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    std::unique_ptr<HotkeyManager> manager =
        std::make_unique<HotkeyManager>(sim.defaults, sim.hotkeys, sim.scheduler, sim.log);
    std::vector<HotkeyAction> actions;
    std::vector<int> desktops;

    void SetUp() override {
        manager->onAction = [this](HotkeyAction a, InputTime) { actions.push_back(a); };
        manager->onSwitchToSpace = [this](int n) { desktops.push_back(n); };
    }
    std::vector<std::string> lines() const { return sim.log.lines("hotkeys"); }
};

TEST_F(HotkeyManagerTest, EmptyStoreRegistersEveryDefaultAndEveryDesktopKey) {
    manager->start();
    EXPECT_EQ(sim.hotkeys.registeredCount(), 22u);
    EXPECT_EQ(manager->registeredCount(), 22u);
    EXPECT_TRUE(manager->failedActions().empty());
    EXPECT_EQ(lines(), std::vector<std::string>{"registered 22 hotkeys, none failed"});
    EXPECT_TRUE(sim.hotkeys.press(35, kControlOption));  // ⌃⌥P
    EXPECT_TRUE(sim.hotkeys.press(40, kOptionShift));    // ⌥⇧K
    EXPECT_TRUE(sim.hotkeys.press(25, kControlOption));  // ⌃⌥9
    EXPECT_FALSE(sim.hotkeys.press(24, kControlOption)); // ⌃⌥= is nobody's
}

TEST_F(HotkeyManagerTest, StoredShortcutWithoutModifiersFailsWithoutAPlatformCall) {
    sim.defaults.set("hotkey_toggle_panel", "0:35");
    manager->start();
    EXPECT_EQ(sim.world.calls("registerHotkey"), 21u);
    EXPECT_EQ(manager->failedActions(), std::set<HotkeyAction>{HotkeyAction::togglePanel});
    EXPECT_EQ(lines(), std::vector<std::string>{"hotkey registration failures: toggle_panel"});
    EXPECT_EQ(sim.log.entries().back().level, LogLevel::error);
    EXPECT_FALSE(sim.hotkeys.press(35, 0));
}

TEST_F(HotkeyManagerTest, OnlyUnknownModifierBitsCountAsNoModifiers) {
    // 16 is no modifier the system knows: registering it would grab bare P from every program.
    sim.defaults.set("hotkey_toggle_panel", "16:35");
    sim.defaults.set("hotkey_summon", "24:16"); // 8 is command, 16 is ignored
    manager->start();
    EXPECT_EQ(manager->failedActions(), std::set<HotkeyAction>{HotkeyAction::togglePanel});
    EXPECT_TRUE(sim.hotkeys.press(16, 0x0100));
}

TEST_F(HotkeyManagerTest, TakenCombinationsFailTheirActionsAndTheRestRegister) {
    sim.world.takeHotkey(123, kOptionShift); // ⌥⇧← held by another program
    sim.world.takeHotkey(3, kControlOption); // ⌃⌥F as well
    sim.defaults.set("hotkey_retile", "abc"); // unusable: the default registers instead
    manager->start();
    EXPECT_EQ(manager->failedActions(),
              (std::set<HotkeyAction>{HotkeyAction::swapLeft, HotkeyAction::addFileManagerWindow}));
    EXPECT_EQ(lines(), std::vector<std::string>{"hotkey registration failures: swap_left, add_file_manager_window"});
    EXPECT_EQ(manager->registeredCount(), 20u);
    EXPECT_TRUE(sim.hotkeys.press(15, kOptionShift)); // retile's default

    // A desktop key that fails is dropped silently: not failed, not logged.
    sim.log.clear();
    sim.world.takeHotkey(23, kControlOption); // ⌃⌥5
    sim.world.takeHotkey(3, 0);               // unrelated
    manager->reload();
    EXPECT_EQ(manager->registeredCount(), 19u);
    EXPECT_EQ(manager->failedActions().size(), 2u);
    EXPECT_EQ(lines(), std::vector<std::string>{"hotkey registration failures: swap_left, add_file_manager_window"});
}

TEST_F(HotkeyManagerTest, FailingDesktopKeysAloneLeaveASuccessLine) {
    sim.world.takeHotkey(18, kControlOption);
    manager->start();
    EXPECT_TRUE(manager->failedActions().empty());
    EXPECT_EQ(lines(), std::vector<std::string>{"registered 21 hotkeys, none failed"});
}

TEST_F(HotkeyManagerTest, RefusedRegistrationCallMarksTheFirstActionFailed) {
    sim.world.failNext("registerHotkey");
    manager->start();
    EXPECT_EQ(manager->failedActions(), std::set<HotkeyAction>{HotkeyAction::togglePanel});
    EXPECT_EQ(manager->registeredCount(), 21u);
}

TEST_F(HotkeyManagerTest, PressesReachTheOwnerOnTheNextTurnOfTheMainQueue) {
    manager->start();
    sim.hotkeys.press(23, kControlOption); // ⌃⌥5, id 105
    EXPECT_TRUE(desktops.empty()) << "called inside the press";
    EXPECT_EQ(lines().back(), "hotkey fired: switch_space_5");
    sim.scheduler.runPending();
    EXPECT_EQ(desktops, std::vector<int>{5});

    sim.hotkeys.press(125, kOptionShift); // ⌥⇧↓
    sim.hotkeys.press(31, kControlOption); // ⌃⌥O
    EXPECT_TRUE(actions.empty());
    EXPECT_EQ(lines().back(), "hotkey fired: toggle_strip");
    sim.scheduler.runPending();
    EXPECT_EQ(actions, (std::vector<HotkeyAction>{HotkeyAction::swapDown, HotkeyAction::toggleStrip}));
}

TEST_F(HotkeyManagerTest, UnknownIdIsConsumedSilently) {
    manager->start();
    HotkeyRef ref = 0;
    // Something else registered under id 14 through the same system: nothing to report.
    ASSERT_EQ(sim.hotkeys.registerHotkey(10, kControlOption, {HotkeyManager::kSignature, 14}, ref), kHotkeyNoErr);
    sim.log.clear();
    EXPECT_TRUE(sim.hotkeys.press(10, kControlOption));
    sim.scheduler.runPending();
    EXPECT_TRUE(actions.empty());
    EXPECT_TRUE(desktops.empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(HotkeyManagerTest, ReloadPicksUpNewShortcutsAndKeepsOneRegistrationPerKey) {
    manager->start();
    ShortcutStore store(sim.defaults);
    store.set(Shortcut{49, KeyModifiers::control | KeyModifiers::option}, HotkeyAction::togglePanel);
    manager->reload();
    manager->reload();
    EXPECT_EQ(sim.hotkeys.registeredCount(), 22u);
    EXPECT_EQ(manager->registeredCount(), 22u);
    EXPECT_TRUE(manager->failedActions().empty());
    EXPECT_FALSE(sim.hotkeys.press(35, kControlOption)); // the old ⌃⌥P is released
    sim.hotkeys.press(49, kControlOption);
    sim.scheduler.runPending();
    EXPECT_EQ(actions, std::vector<HotkeyAction>{HotkeyAction::togglePanel}); // one handler, one report

    // Failures are recomputed on every pass.
    sim.world.takeHotkey(14, kControlOption);
    manager->reload();
    EXPECT_EQ(manager->failedActions(), std::set<HotkeyAction>{HotkeyAction::toggleEditMode});
    store.resetAll();
    sim.defaults.set("hotkey_toggle_edit_mode", "3:2");
    manager->reload();
    EXPECT_TRUE(manager->failedActions().empty());
}

TEST_F(HotkeyManagerTest, StopReleasesEverythingAndStartComesBack) {
    manager->start();
    sim.hotkeys.press(35, kControlOption); // reported after stop: the queued report still arrives
    manager->stop();
    EXPECT_EQ(sim.hotkeys.registeredCount(), 0u);
    EXPECT_EQ(manager->registeredCount(), 0u);
    EXPECT_FALSE(manager->isHandlerInstalled());
    EXPECT_FALSE(sim.hotkeys.press(35, kControlOption));
    sim.scheduler.runPending();
    EXPECT_EQ(actions.size(), 1u);

    manager->start();
    EXPECT_TRUE(manager->isHandlerInstalled());
    sim.hotkeys.press(35, kControlOption);
    sim.scheduler.runPending();
    EXPECT_EQ(actions.size(), 2u);
}

TEST_F(HotkeyManagerTest, NothingIsReportedOnceTheManagerIsGone) {
    manager->start();
    sim.hotkeys.press(19, kControlOption);
    manager.reset(); // without stop: its keys stay registered, as the owner did not release them
    EXPECT_EQ(sim.hotkeys.registeredCount(), 22u);
    sim.hotkeys.press(20, kControlOption);
    sim.scheduler.runPending();
    EXPECT_TRUE(desktops.empty());
}

} // namespace
} // namespace quorvel::test
