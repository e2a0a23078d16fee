// The keyboard actions, modifier sets, shortcut texts and the stored shortcuts: what each action is
// called, how a combination reads and is stored, and which stored texts fall back to the default.
#include "MemoryDefaults.h"
#include "shortcuts/HotkeyAction.h"
#include "shortcuts/KeyModifiers.h"
#include "shortcuts/Shortcut.h"
#include "shortcuts/ShortcutStore.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace quorvel::test {
namespace {

constexpr KeyModifiers kControlOption = KeyModifiers::control | KeyModifiers::option;

// Each action's name, title and default combination are checked where they show: the shortcuts
// window's rows and messages, the stored texts and the registered keys.
TEST(HotkeyActionTest, EveryStorageNameReadsBackAndNoTwoDefaultsCollide) {
    ASSERT_EQ(kHotkeyActions.size(), 13u);
    std::unordered_set<Shortcut> defaults;
    for (HotkeyAction action : kHotkeyActions) {
        EXPECT_EQ(hotkeyActionFromRaw(rawValue(action)), action);
        EXPECT_FALSE(defaultShortcut(action).modifiers.isEmpty());
        defaults.insert(defaultShortcut(action));
    }
    EXPECT_EQ(defaults.size(), 13u);
    EXPECT_EQ(hotkeyActionFromRaw("Toggle_Panel"), std::nullopt);
    EXPECT_EQ(hotkeyActionFromRaw("toggle_panel "), std::nullopt);
    EXPECT_EQ(hotkeyActionFromRaw(""), std::nullopt);
}

TEST(KeyModifiersTest, SymbolsFlagsAndSetOperations) {
    EXPECT_EQ(kControlOption.rawValue, 3);
    EXPECT_EQ(kControlOption.symbols(), "⌃⌥");
    EXPECT_EQ(KeyModifiers().symbols(), "");
    // Always ⌃⌥⇧⌘ order, whatever order the members were listed in.
    EXPECT_EQ((KeyModifiers{KeyModifiers::command, KeyModifiers::shift, KeyModifiers::control}).symbols(), "⌃⇧⌘");
    EXPECT_EQ(kControlOption.carbonFlags(), 0x1800u);
    EXPECT_EQ((KeyModifiers::option | KeyModifiers::shift).carbonFlags(), 0x0A00u);
    EXPECT_EQ(KeyModifiers::all.carbonFlags(), 0x1B00u);
    EXPECT_EQ(KeyModifiers(16 | 2).carbonFlags(), 0x0800u); // unknown bits are ignored

    EXPECT_TRUE(KeyModifiers::all.contains(kControlOption));
    EXPECT_FALSE(kControlOption.contains(KeyModifiers::shift));
    EXPECT_EQ(KeyModifiers::all - kControlOption, KeyModifiers::shift | KeyModifiers::command);
    EXPECT_EQ(KeyModifiers::all & KeyModifiers::option, KeyModifiers::option);
    EXPECT_TRUE((kControlOption & KeyModifiers::shift).isEmpty());

    EXPECT_EQ(KeyModifiers::fromEventFlags(0x40000 | 0x100000 | 0x10000), KeyModifiers::control | KeyModifiers::command);
    EXPECT_EQ(KeyModifiers::fromEventFlags(0xA0000), KeyModifiers::option | KeyModifiers::shift);
}

TEST(ShortcutTest, DisplayText) {
    EXPECT_EQ((Shortcut{49, kControlOption}).displayText(), "⌃⌥Space");
    EXPECT_EQ((Shortcut{105, KeyModifiers::command}).displayText(), "⌘Key 105");
    EXPECT_EQ((Shortcut{0, KeyModifiers::all}).displayText(), "⌃⌥⇧⌘A");
    EXPECT_EQ((Shortcut{36, KeyModifiers::command}).displayText(), "⌘⏎");
    EXPECT_EQ(Shortcut::keyName(121), "⇟");
    EXPECT_EQ(Shortcut::keyName(42), "\\");
    EXPECT_EQ(Shortcut::keyName(50), "`");
    EXPECT_EQ(Shortcut::keyName(22), "6"); // the digit row is not in numeric order
    EXPECT_EQ(Shortcut::keyName(10), "Key 10");
}

TEST(ShortcutTest, StorageTextRoundTrips) {
    EXPECT_EQ((Shortcut{35, kControlOption}).storageText(), "3:35");
    EXPECT_EQ((Shortcut{123, KeyModifiers::option | KeyModifiers::shift}).storageText(), "6:123");
    for (HotkeyAction action : kHotkeyActions)
        EXPECT_EQ(Shortcut::parse(defaultShortcut(action).storageText()), defaultShortcut(action));
}

TEST(ShortcutTest, ParsingDropsEmptyPiecesAndRefusesEverythingElse) {
    EXPECT_EQ(Shortcut::parse("::3::35::"), (Shortcut{35, kControlOption}));
    EXPECT_EQ(Shortcut::parse("0:35"), (Shortcut{35, KeyModifiers()}));
    EXPECT_EQ(Shortcut::parse("+3:35"), (Shortcut{35, kControlOption}));
    for (const char* text : {"abc", "3", "3:35:1", "", ":", "3:", "3:3a", " 3:35", "3:35 ", "3.0:35", "0x3:35",
                             "3:99999999999999999999", "3:-1", "3:4294967296", "+-3:35"})
        EXPECT_EQ(Shortcut::parse(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(Shortcut::parse("3:4294967295"), (Shortcut{4294967295, kControlOption}));
}

TEST(ShortcutStoreTest, StoredTextsOverrideDefaultsUntilCleared) {
    sim::MemoryDefaults defaults;
    ShortcutStore store(defaults);
    EXPECT_EQ(ShortcutStore::key(HotkeyAction::spotlightWindow), "hotkey_spotlight_window");
    EXPECT_EQ(store.shortcut(HotkeyAction::summon), defaultShortcut(HotkeyAction::summon));

    const Shortcut custom{49, KeyModifiers::command | KeyModifiers::shift};
    store.set(custom, HotkeyAction::summon);
    EXPECT_EQ(defaults.stringFor("hotkey_summon"), "12:49");
    EXPECT_EQ(store.shortcut(HotkeyAction::summon), custom);

    store.set(std::nullopt, HotkeyAction::summon);
    EXPECT_FALSE(defaults.hasValue("hotkey_summon"));
    EXPECT_EQ(store.shortcut(HotkeyAction::summon), defaultShortcut(HotkeyAction::summon));
}

TEST(ShortcutStoreTest, AShortcutStoredUnderTheFileManagerActionsFormerNameStillCounts) {
    sim::MemoryDefaults defaults;
    ShortcutStore store(defaults);
    const HotkeyAction action = HotkeyAction::addFileManagerWindow;
    EXPECT_EQ(ShortcutStore::key(action), "hotkey_add_file_manager_window");
    const Shortcut old{5, KeyModifiers::command};
    defaults.set("hotkey_add_finder_window", old.storageText());
    EXPECT_EQ(store.shortcut(action), old);

    // The current name wins; setting or resetting the action retires the former one.
    const Shortcut chosen{14, kControlOption};
    defaults.set("hotkey_add_file_manager_window", chosen.storageText());
    EXPECT_EQ(store.shortcut(action), chosen);
    store.set(chosen, action);
    EXPECT_FALSE(defaults.hasValue("hotkey_add_finder_window"));
    defaults.set("hotkey_add_finder_window", old.storageText());
    store.set(std::nullopt, action);
    EXPECT_EQ(store.shortcut(action), defaultShortcut(action)) << "a reset does not bring the former value back";
    EXPECT_TRUE(defaults.keys().empty());

    defaults.set("hotkey_add_finder_window", old.storageText());
    store.resetAll();
    EXPECT_TRUE(defaults.keys().empty());
    EXPECT_EQ(ShortcutStore::formerKey(HotkeyAction::summon), std::nullopt);
}

TEST(ShortcutStoreTest, UnusableStoredValuesFallBackAndStayUntilReset) {
    sim::MemoryDefaults defaults;
    ShortcutStore store(defaults);
    for (const char* text : {"abc", "3", "3:35:1", ""}) {
        defaults.set("hotkey_retile", text);
        EXPECT_EQ(store.shortcut(HotkeyAction::retile), defaultShortcut(HotkeyAction::retile)) << text;
    }
    defaults.set("hotkey_toggle_split", 335); // not a string
    EXPECT_EQ(store.shortcut(HotkeyAction::toggleSplit), defaultShortcut(HotkeyAction::toggleSplit));
    EXPECT_EQ(store.storedShortcut(HotkeyAction::toggleSplit), std::nullopt);
    EXPECT_EQ(defaults.stringFor("hotkey_retile"), ""); // left in place

    defaults.set("unrelated", true);
    store.set(Shortcut{0, KeyModifiers::command}, HotkeyAction::toggleStrip);
    store.resetAll();
    EXPECT_EQ(defaults.keys(), std::vector<std::string>{"unrelated"});
}

} // namespace
} // namespace quorvel::test
