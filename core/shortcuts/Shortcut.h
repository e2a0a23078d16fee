// One key combination: a virtual key code with its modifiers, how it reads ("⌃⌥P") and how it is
// stored ("3:35"). ShortcutStore keeps one per HotkeyAction; HotkeyManager registers them.
#pragma once

#include "shortcuts/KeyModifiers.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

struct Shortcut {
    std::int64_t keyCode = 0; // a virtual key code (US ANSI layout numbering)
    KeyModifiers modifiers;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

    // The modifier symbols followed by the key name: "⌃⌥P", "⌥⇧←", "⌘Key 105".
    std::string displayText() const;
    // Modifiers' raw value, a colon, the key code: "3:35".
    std::string storageText() const;
    // The reverse of storageText. Empty pieces between colons are dropped; exactly two base-10
    // integers must remain, and the key code must be a valid one (0 to 2^32 − 1); else none.
    static std::optional<Shortcut> parse(std::string_view text);

    // A named key ("←", "Space"), else the unshifted US character ("A", "="), else "Key <code>".
    static std::string keyName(std::int64_t keyCode);
};

} // namespace quorvel

template <>
struct std::hash<quorvel::Shortcut> {
    std::size_t operator()(const quorvel::Shortcut& s) const noexcept {
        return std::hash<std::int64_t>{}(s.keyCode) * 31u + std::hash<quorvel::KeyModifiers>{}(s.modifiers);
    }
};
