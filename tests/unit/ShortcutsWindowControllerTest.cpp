// The shortcuts window on the simulator: recording a combination into the store, the keys a
// recorder refuses, the red conflict line, the orange line of refused combinations, Restore
// Defaults, and the hot keys registered again after every change.
#include "SimPlatform.h"
#include "shortcuts/HotkeyManager.h"
#include "shortcuts/ShortcutsWindowController.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::test {
namespace {

constexpr KeyModifiers kControlOption{KeyModifiers::control, KeyModifiers::option};
constexpr KeyModifiers kAll3{KeyModifiers::control, KeyModifiers::option, KeyModifiers::shift};
constexpr std::uint32_t kControlOptionFlags = 0x1800;
constexpr std::uint32_t kOptionShiftFlags = 0x0A00;
constexpr std::uint32_t kControlOptionShiftFlags = 0x1A00;
constexpr std::int64_t kE = 14, kH = 4, kP = 35, kY = 16, kLeft = 123, kRight = 124;
constexpr std::int64_t kDelete = 51, kEscape = 53;

class ShortcutsWindowControllerTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    HotkeyManager manager{sim.defaults, sim.hotkeys, sim.scheduler, sim.log};
    ShortcutsWindowController controller{&sim.shortcutViews, sim.defaults, &manager};
    std::vector<HotkeyAction> fired;
    int changes = 0;

    void SetUp() override {
        manager.onAction = [this](HotkeyAction a, InputTime) { fired.push_back(a); };
        controller.onChanged = [this] { ++changes; };
    }
    sim::SimShortcutsView& open() {
        manager.start();
        controller.show();
        return *sim.shortcutViews.window;
    }
    bool stored(HotkeyAction action) const { return sim.defaults.object(ShortcutStore::key(action)).has_value(); }
    // Presses a combination system-wide and lets the queued report arrive.
    bool press(std::int64_t keyCode, std::uint32_t flags) {
        const bool caught = sim.hotkeys.press(static_cast<std::uint32_t>(keyCode), flags);
        sim.scheduler.runPending();
        return caught;
    }
};

TEST_F(ShortcutsWindowControllerTest, ACombinationAnotherActionUsesIsRefusedWithTheRedLine) {
    auto& view = open();
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.content.rows.size(), 13u);
    EXPECT_EQ(view.row(HotkeyAction::spotlightWindow).title, "Spotlight Window");

    view.clickField(HotkeyAction::togglePanel);
    EXPECT_TRUE(view.keyboardGrabbed);
    EXPECT_EQ(view.row(HotkeyAction::togglePanel).fieldText, "Type a shortcut\u2026");
    EXPECT_TRUE(view.type(kE, kControlOption)); // the edit-mode default

    EXPECT_EQ(view.beeps, 1);
    EXPECT_EQ(view.content.status, (ShortcutsStatus{"\u2303\u2325E is already used by \u201CEdit mode\u201D.",
                                                    ShortcutsStatus::Tone::red}));
    EXPECT_FALSE(stored(HotkeyAction::togglePanel));
    EXPECT_EQ(view.row(HotkeyAction::togglePanel).fieldText, "\u2303\u2325P");
    EXPECT_FALSE(view.keyboardGrabbed);
    EXPECT_EQ(changes, 0);

    // The check is against each action's current shortcut, not its default: once summon moves to
    // ⌃⌥H, its old ⌃⌥Y is free and ⌃⌥H is taken.
    view.clickField(HotkeyAction::summon);
    view.type(kH, kControlOption);
    view.clickField(HotkeyAction::toggleEditMode);
    view.type(kH, kControlOption);
    EXPECT_EQ(view.content.status.text, "\u2303\u2325H is already used by \u201CSummon app to this desktop\u201D.");
    view.clickField(HotkeyAction::toggleEditMode);
    view.type(kY, kControlOption);
    EXPECT_EQ(view.row(HotkeyAction::toggleEditMode).fieldText, "\u2303\u2325Y");
    // An action's own shortcut recorded again is no conflict.
    view.clickField(HotkeyAction::togglePanel);
    view.type(kP, kControlOption);
    EXPECT_EQ(sim.defaults.stringFor("hotkey_toggle_panel"), "3:35");
    EXPECT_EQ(view.beeps, 2);
    EXPECT_EQ(changes, 3);
}

TEST_F(ShortcutsWindowControllerTest, RecorderKeysEscapeDeletePlainLettersShiftAndSuper) {
    sim.defaults.set("hotkey_swap_left", "7:4"); // ⌃⌥⇧H
    auto& view = open();
    EXPECT_EQ(view.row(HotkeyAction::swapLeft).fieldText, "\u2303\u2325\u21E7H");

    // Escape: recording stops and nothing changes.
    view.clickField(HotkeyAction::swapLeft);
    EXPECT_TRUE(view.type(kEscape));
    EXPECT_FALSE(view.keyboardGrabbed);
    EXPECT_EQ(sim.defaults.stringFor("hotkey_swap_left"), "7:4");
    EXPECT_EQ(changes, 0);

    // A plain letter or a key with no code: a beep, still recording; modifiers alone are swallowed.
    view.clickField(HotkeyAction::swapLeft);
    EXPECT_TRUE(view.type(kH));
    EXPECT_TRUE(view.type(std::nullopt, kControlOption));
    EXPECT_EQ(view.beeps, 2);
    EXPECT_TRUE(controller.handleKey({.kind = RecordedKey::Kind::modifiersChanged, .modifiers = kControlOption}));
    EXPECT_EQ(controller.recordingAction(), HotkeyAction::swapLeft);
    // Super passes through without being recorded.
    EXPECT_FALSE(view.type(kH, {KeyModifiers::command, KeyModifiers::shift}));
    EXPECT_EQ(controller.recordingAction(), HotkeyAction::swapLeft);

    // Delete: back to the default, registered again at once.
    EXPECT_TRUE(view.type(kDelete));
    EXPECT_FALSE(stored(HotkeyAction::swapLeft));
    EXPECT_EQ(view.row(HotkeyAction::swapLeft).fieldText, "\u2325\u21E7\u2190");
    EXPECT_TRUE(press(kLeft, kOptionShiftFlags));
    EXPECT_FALSE(press(kH, kControlOptionShiftFlags));
    EXPECT_EQ(fired, std::vector<HotkeyAction>{HotkeyAction::swapLeft});

    // Shift with a letter is a shortcut.
    view.clickField(HotkeyAction::retile);
    view.type(kH, KeyModifiers::shift);
    EXPECT_EQ(sim.defaults.stringFor("hotkey_retile"), "4:4");
    EXPECT_EQ(view.row(HotkeyAction::retile).fieldText, "\u21E7H");

    // A second click on the recording field, or losing the focus, stops without a change.
    view.clickField(HotkeyAction::retile);
    view.clickField(HotkeyAction::retile);
    EXPECT_FALSE(controller.recordingAction());
    view.clickField(HotkeyAction::summon);
    view.clickField(HotkeyAction::retile); // another field takes over the recording
    EXPECT_EQ(view.row(HotkeyAction::summon).fieldText, "\u2303\u2325Y");
    view.loseFocus();
    EXPECT_FALSE(view.keyboardGrabbed);
    EXPECT_FALSE(view.type(kH, kControlOption));
    EXPECT_EQ(sim.defaults.stringFor("hotkey_retile"), "4:4");
    EXPECT_EQ(changes, 2);
}

TEST_F(ShortcutsWindowControllerTest, RefusedCombinationsAreListedSortedAndAChangeRegistersAgain) {
    // The window manager holds the swap keys and ⌃⌥E; ⌃⌥P as well.
    sim.world.takeHotkey(kLeft, kOptionShiftFlags);
    sim.world.takeHotkey(kRight, kOptionShiftFlags);
    sim.world.takeHotkey(kE, kControlOptionFlags);
    sim.world.takeHotkey(kP, kControlOptionFlags);
    auto& view = open();
    EXPECT_EQ(view.content.status,
              (ShortcutsStatus{"In use by another app: \u2303\u2325E, \u2303\u2325P, \u2325\u21E7\u2190, "
                               "\u2325\u21E7\u2192. Pick a different combination.",
                               ShortcutsStatus::Tone::orange}));

    // Moving swap-left to a free combination takes it off the line, and the new keys work.
    view.clickField(HotkeyAction::swapLeft);
    view.type(kH, kAll3);
    EXPECT_EQ(sim.defaults.stringFor("hotkey_swap_left"), "7:4");
    EXPECT_EQ(view.content.status.text, "In use by another app: \u2303\u2325E, \u2303\u2325P, \u2325\u21E7\u2192. "
                                        "Pick a different combination.");
    EXPECT_TRUE(press(kH, kControlOptionShiftFlags));
    EXPECT_EQ(fired, std::vector<HotkeyAction>{HotkeyAction::swapLeft});
    EXPECT_EQ(manager.registeredCount(), 22u - 3u); // no registration left behind by the old pass

    // A refused combination is stored anyway and listed.
    view.clickField(HotkeyAction::retile);
    view.type(kLeft, KeyModifiers{KeyModifiers::option, KeyModifiers::shift});
    EXPECT_EQ(sim.defaults.stringFor("hotkey_retile"), "6:123");
    EXPECT_NE(view.content.status.text.find("\u2325\u21E7\u2190"), std::string::npos);
    EXPECT_EQ(view.content.status.tone, ShortcutsStatus::Tone::orange);
}

TEST_F(ShortcutsWindowControllerTest, RestoreDefaultsClearsEveryShortcutAndRegistersTheDefaults) {
    sim.defaults.set("hotkey_summon", "7:4");
    sim.defaults.set("hotkey_toggle_strip", "0:31"); // without modifiers: fails
    auto& view = open();
    EXPECT_EQ(view.content.status.text, "In use by another app: O. Pick a different combination.");
    EXPECT_FALSE(press(kY, kControlOptionFlags));

    view.clickField(HotkeyAction::retile); // recording ends with the reset
    view.clickRestoreDefaults();

    for (const HotkeyAction action : kHotkeyActions) {
        EXPECT_FALSE(stored(action)) << rawValue(action);
        EXPECT_EQ(view.row(action).fieldText, defaultShortcut(action).displayText()) << rawValue(action);
        EXPECT_FALSE(view.row(action).recording);
    }
    EXPECT_FALSE(view.keyboardGrabbed);
    EXPECT_EQ(view.content.status.text, "");
    EXPECT_EQ(view.content.status.tone, ShortcutsStatus::Tone::orange); // an emptied line keeps its colour
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(press(kY, kControlOptionFlags));
    EXPECT_EQ(manager.registeredCount(), 22u);

    // Done closes; the next show brings the same window back.
    view.clickDone();
    EXPECT_FALSE(controller.isVisible());
    controller.show();
    EXPECT_TRUE(controller.isVisible());
    EXPECT_EQ(sim.shortcutViews.createdCount, 1);
    EXPECT_EQ(view.centredCount, 2);
}

} // namespace
} // namespace quorvel::test
