// The modifier keys of a shortcut as a small bit set, stored by its raw value ("3:35" holds 3).
// Shortcut shows and stores it; HotkeyManager turns it into the hot-key system's modifier flags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace quorvel {

struct KeyModifiers {
    // Stored by raw value: the bit of each member never changes.
    static constexpr std::int64_t controlBit = 1, optionBit = 2, shiftBit = 4, commandBit = 8;

    std::int64_t rawValue = 0;

    static const KeyModifiers control;
    static const KeyModifiers option;
    static const KeyModifiers shift;
    static const KeyModifiers command;
    static const KeyModifiers all;     // the four members together

    constexpr KeyModifiers() = default;
    constexpr explicit KeyModifiers(std::int64_t raw) : rawValue(raw) {}
    // The union of the listed members.
    constexpr KeyModifiers(std::initializer_list<KeyModifiers> members) {
        for (KeyModifiers m : members) rawValue |= m.rawValue;
    }

    constexpr bool isEmpty() const { return rawValue == 0; }
    // True when every member of `other` is present.
    constexpr bool contains(KeyModifiers other) const { return (rawValue & other.rawValue) == other.rawValue; }
    constexpr KeyModifiers unionWith(KeyModifiers other) const { return KeyModifiers(rawValue | other.rawValue); }
    constexpr KeyModifiers intersection(KeyModifiers other) const { return KeyModifiers(rawValue & other.rawValue); }
    constexpr KeyModifiers subtracting(KeyModifiers other) const { return KeyModifiers(rawValue & ~other.rawValue); }
    constexpr void insert(KeyModifiers other) { rawValue |= other.rawValue; }
    constexpr void remove(KeyModifiers other) { rawValue &= ~other.rawValue; }

    friend constexpr KeyModifiers operator|(KeyModifiers a, KeyModifiers b) { return a.unionWith(b); }
    friend constexpr KeyModifiers operator&(KeyModifiers a, KeyModifiers b) { return a.intersection(b); }
    friend constexpr KeyModifiers operator-(KeyModifiers a, KeyModifiers b) { return a.subtracting(b); }
    friend constexpr bool operator==(KeyModifiers, KeyModifiers) = default;

    // "⌃⌥⇧⌘" order, members present only, no separator.
    std::string symbols() const {
        std::string out;
        if (has(controlBit)) out += "\u2303";
        if (has(optionBit)) out += "\u2325";
        if (has(shiftBit)) out += "\u21E7";
        if (has(commandBit)) out += "\u2318";
        return out;
    }

    // The hot-key system's modifier flags; bits other than the four members are ignored.
    constexpr std::uint32_t carbonFlags() const {
        std::uint32_t flags = 0;
        if (has(controlBit)) flags |= 0x1000;
        if (has(optionBit)) flags |= 0x0800;
        if (has(shiftBit)) flags |= 0x0200;
        if (has(commandBit)) flags |= 0x0100;
        return flags;
    }

    // Read from the modifier flags of a key event (the recorder sees these).
    static constexpr KeyModifiers fromEventFlags(std::uint64_t flags) {
        KeyModifiers out;
        if (flags & 0x40000) out.rawValue |= controlBit;
        if (flags & 0x80000) out.rawValue |= optionBit;
        if (flags & 0x20000) out.rawValue |= shiftBit;
        if (flags & 0x100000) out.rawValue |= commandBit;
        return out;
    }

private:
    constexpr bool has(std::int64_t bit) const { return (rawValue & bit) != 0; }
};

inline constexpr KeyModifiers KeyModifiers::control(controlBit);
inline constexpr KeyModifiers KeyModifiers::option(optionBit);
inline constexpr KeyModifiers KeyModifiers::shift(shiftBit);
inline constexpr KeyModifiers KeyModifiers::command(commandBit);
inline constexpr KeyModifiers KeyModifiers::all(controlBit | optionBit | shiftBit | commandBit);

} // namespace quorvel

template <>
struct std::hash<quorvel::KeyModifiers> {
    std::size_t operator()(quorvel::KeyModifiers m) const noexcept { return std::hash<std::int64_t>{}(m.rawValue); }
};
