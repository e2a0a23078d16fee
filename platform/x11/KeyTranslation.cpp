// Key code and modifier translation tables for the X11 hot keys (X11HotkeySystem.cpp).
#include "KeyTranslation.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quorvel::x11 {

namespace {

// Virtual key codes of the ANSI layout and the keysyms of what the US layout prints on them.
constexpr std::pair<std::uint32_t, Keysym> kKeysyms[] = {
    // Letters.
    {0, 'a'}, {11, 'b'}, {8, 'c'}, {2, 'd'}, {14, 'e'}, {3, 'f'}, {5, 'g'}, {4, 'h'}, {34, 'i'},
    {38, 'j'}, {40, 'k'}, {37, 'l'}, {46, 'm'}, {45, 'n'}, {31, 'o'}, {35, 'p'}, {12, 'q'},
    {15, 'r'}, {1, 's'}, {17, 't'}, {32, 'u'}, {9, 'v'}, {13, 'w'}, {7, 'x'}, {16, 'y'}, {6, 'z'},
    // Digits: the ANSI codes are not in key order.
    {29, '0'}, {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {23, '5'}, {22, '6'}, {26, '7'},
    {28, '8'}, {25, '9'},
    // Punctuation: Latin-1 keysyms equal their characters.
    {24, '='}, {27, '-'}, {30, ']'}, {33, '['}, {39, '\''}, {41, ';'}, {42, '\\'}, {43, ','},
    {44, '/'}, {47, '.'}, {50, '`'},
    // Named keys.
    {49, 0x0020},  // space
    {36, 0xff0d},  // Return
    {48, 0xff09},  // Tab
    {53, 0xff1b},  // Escape
    {51, 0xff08},  // BackSpace
    {117, 0xffff}, // Delete (forward)
    {115, 0xff50}, // Home
    {119, 0xff57}, // End
    {116, 0xff55}, // Page_Up
    {121, 0xff56}, // Page_Down
    {123, 0xff51}, // Left
    {126, 0xff52}, // Up
    {124, 0xff53}, // Right
    {125, 0xff54}, // Down
    // Function keys F1 to F12 (keysyms are consecutive from F1 = 0xffbe).
    {122, 0xffbe}, {120, 0xffbf}, {99, 0xffc0}, {118, 0xffc1}, {96, 0xffc2}, {97, 0xffc3},
    {98, 0xffc4}, {100, 0xffc5}, {101, 0xffc6}, {109, 0xffc7}, {103, 0xffc8}, {111, 0xffc9},
};

constexpr std::uint32_t kControlFlag = 0x1000;
constexpr std::uint32_t kOptionFlag = 0x0800;
constexpr std::uint32_t kShiftFlag = 0x0200;
constexpr std::uint32_t kCommandFlag = 0x0100;

// Pointer buttons sit above the eight modifiers, the XKB group in bits 13 and 14.
constexpr std::uint16_t kModifierBits = kAllModifiersMask;

} // namespace

std::optional<Keysym> keysymForKeyCode(std::uint32_t keyCode) {
    const auto it = std::ranges::find(kKeysyms, keyCode, &std::pair<std::uint32_t, Keysym>::first);
    if (it == std::end(kKeysyms)) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> keyCodeForKeysym(Keysym keysym) {
    constexpr Keysym kIsoLeftTab = 0xfe20;
    if (keysym >= 'A' && keysym <= 'Z') keysym += 'a' - 'A';
    else if (keysym == kIsoLeftTab) keysym = 0xff09;
    const auto it = std::ranges::find(kKeysyms, keysym, &std::pair<std::uint32_t, Keysym>::second);
    if (it == std::end(kKeysyms)) return std::nullopt;
    return it->first;
}

std::uint16_t modifierMaskForFlags(std::uint32_t carbonFlags) {
    std::uint16_t mask = 0;
    if (carbonFlags & kControlFlag) mask |= kControlMask;
    if (carbonFlags & kOptionFlag) mask |= kMod1Mask;
    if (carbonFlags & kShiftFlag) mask |= kShiftMask;
    if (carbonFlags & kCommandFlag) mask |= kMod4Mask;
    return mask;
}

std::vector<std::uint16_t> lockVariants(std::uint16_t mask, std::uint16_t numLockMask) {
    std::vector<std::uint16_t> variants;
    const std::uint16_t bothLocks = kLockMask | numLockMask;
    for (const std::uint16_t extra : {std::uint16_t{0}, kLockMask, numLockMask, bothLocks}) {
        const auto variant = static_cast<std::uint16_t>(mask | extra);
        if (std::find(variants.begin(), variants.end(), variant) == variants.end()) variants.push_back(variant);
    }
    return variants;
}

std::uint16_t significantModifiers(std::uint16_t state, std::uint16_t numLockMask) {
    return static_cast<std::uint16_t>(state & kModifierBits & ~(kLockMask | numLockMask));
}

} // namespace quorvel::x11
