// The thirteen keyboard actions, their stored names, titles and default shortcuts. ShortcutStore
// keys its entries by rawValue; HotkeyManager registers them in this order with ids 1 to 13.
#pragma once

#include "shortcuts/Shortcut.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

// Stored by position and by raw value: append new cases only.
enum class HotkeyAction {
    togglePanel,
    toggleEditMode,
    summon,
    swapLeft,
    swapRight,
    swapUp,
    swapDown,
    toggleSplit,
    toggleTiling,
    retile,
    spotlightWindow,
    addFileManagerWindow,
    toggleStrip,
};

// Every action in declaration order: the order of registration, of hot-key ids and of the rows
// of the shortcuts window.
inline constexpr std::array<HotkeyAction, 13> kHotkeyActions = {
    HotkeyAction::togglePanel,  HotkeyAction::toggleEditMode, HotkeyAction::summon,
    HotkeyAction::swapLeft,     HotkeyAction::swapRight,      HotkeyAction::swapUp,
    HotkeyAction::swapDown,     HotkeyAction::toggleSplit,    HotkeyAction::toggleTiling,
    HotkeyAction::retile,       HotkeyAction::spotlightWindow, HotkeyAction::addFileManagerWindow,
    HotkeyAction::toggleStrip,
};

// The storage name used in preference keys and log lines ("toggle_panel").
std::string_view rawValue(HotkeyAction action);
// The title the shortcuts window shows ("Switcher panel").
std::string_view title(HotkeyAction action);
// The built-in combination used while none is stored; never written to the store.
Shortcut defaultShortcut(HotkeyAction action);
// The storage name an action had before it was renamed ("add_finder_window"); none for the rest.
// A value stored under it is read while the current name has none.
std::optional<std::string_view> formerRawValue(HotkeyAction action);
// Exact, case-sensitive match of a storage name; none for anything else.
std::optional<HotkeyAction> hotkeyActionFromRaw(std::string_view raw);
// The hot-key id of an action: its position in kHotkeyActions plus one (1 to 13).
std::uint32_t hotkeyId(HotkeyAction action);

} // namespace quorvel
