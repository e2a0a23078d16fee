// Shortcuts in the defaults store: one string per action under the "hotkey_" prefix.
#include "shortcuts/ShortcutStore.h"

namespace quorvel {

std::string ShortcutStore::key(HotkeyAction action) {
    return std::string(keyPrefix) + std::string(rawValue(action));
}

std::optional<std::string> ShortcutStore::formerKey(HotkeyAction action) {
    const auto former = formerRawValue(action);
    if (!former) return std::nullopt;
    return std::string(keyPrefix) + std::string(*former);
}

std::optional<Shortcut> ShortcutStore::storedShortcut(HotkeyAction action) const {
    // A profile written before the action was renamed keeps its shortcut under the former name.
    std::string stored = key(action);
    if (const auto former = formerKey(action); former && !m_defaults.hasValue(stored)) stored = *former;
    // A value of another type than a string counts as nothing stored.
    const auto text = m_defaults.stringFor(stored);
    if (!text) return std::nullopt;
    return Shortcut::parse(*text);
}

Shortcut ShortcutStore::shortcut(HotkeyAction action) const {
    return storedShortcut(action).value_or(defaultShortcut(action));
}

void ShortcutStore::set(const std::optional<Shortcut>& shortcut, HotkeyAction action) {
    if (shortcut) m_defaults.set(key(action), shortcut->storageText());
    else m_defaults.remove(key(action));
    // Set or reset, the former name no longer speaks for the action.
    if (const auto former = formerKey(action); former && m_defaults.hasValue(*former)) m_defaults.remove(*former);
}

void ShortcutStore::resetAll() {
    for (HotkeyAction action : kHotkeyActions) {
        m_defaults.remove(key(action));
        if (const auto former = formerKey(action)) m_defaults.remove(*former);
    }
}

} // namespace quorvel
