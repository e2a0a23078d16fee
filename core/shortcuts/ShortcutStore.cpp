// Shortcuts in the defaults store: one string per action under the "hotkey_" prefix.
#include "shortcuts/ShortcutStore.h"

namespace quorvel {

std::string ShortcutStore::key(HotkeyAction action) {
    return std::string(keyPrefix) + std::string(rawValue(action));
}

std::optional<Shortcut> ShortcutStore::storedShortcut(HotkeyAction action) const {
    // A value of another type than a string counts as nothing stored.
    const auto text = m_defaults.stringFor(key(action));
    if (!text) return std::nullopt;
    return Shortcut::parse(*text);
}

Shortcut ShortcutStore::shortcut(HotkeyAction action) const {
    return storedShortcut(action).value_or(defaultShortcut(action));
}

void ShortcutStore::set(const std::optional<Shortcut>& shortcut, HotkeyAction action) {
    if (shortcut) m_defaults.set(key(action), shortcut->storageText());
    else m_defaults.remove(key(action));
}

void ShortcutStore::resetAll() {
    for (HotkeyAction action : kHotkeyActions) m_defaults.remove(key(action));
}

} // namespace quorvel
