// The user's shortcut for each action in the defaults store ("hotkey_<action>" = "3:35"), falling
// back to the action's default. Read by HotkeyManager, the shortcuts window and the panel.
#pragma once

#include "platform/DefaultsStore.h"
#include "shortcuts/HotkeyAction.h"
#include "shortcuts/Shortcut.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class ShortcutStore {
public:
    static constexpr std::string_view keyPrefix = "hotkey_";

    explicit ShortcutStore(DefaultsStore& defaults) : m_defaults(defaults) {}

    // "hotkey_" followed by the action's storage name.
    static std::string key(HotkeyAction action);
    // The key under the action's former storage name, for an action that was renamed.
    static std::optional<std::string> formerKey(HotkeyAction action);

    // The stored shortcut when a string is stored and parses; otherwise the default. A broken
    // value is left in place until the action is set or reset. While nothing is stored under the
    // action's key, a renamed action's former key is read instead.
    Shortcut shortcut(HotkeyAction action) const;
    // The parsed stored shortcut only; none when nothing usable is stored.
    std::optional<Shortcut> storedShortcut(HotkeyAction action) const;

    // Stores the shortcut's storage text; with none, removes the key so the default applies again.
    // Either way a renamed action's former key is removed.
    // Does not check whether another action already uses the combination.
    void set(const std::optional<Shortcut>& shortcut, HotkeyAction action);
    // Removes every action's key, in kHotkeyActions order.
    void resetAll();

private:
    DefaultsStore& m_defaults;
};

} // namespace quorvel
