// Stored hot keys in X terms: key codes to keysyms, modifier flags to masks, lock variants and the
// modifiers of a key event that decide which hot key it is.
#include "KeyTranslation.h"

#include <gtest/gtest.h>

#include <set>

using namespace quorvel::x11;

TEST(KeyTranslationTest, CharacterKeysBecomeTheirUnshiftedUsKeysyms) {
    // Every character key the shortcuts can show, by the character it shows.
    const std::pair<std::uint32_t, char> keys[] = {
        {0, 'a'},  {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},  {6, 'z'},  {7, 'x'},  {8, 'c'},  {9, 'v'},
        {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'}, {16, 'y'}, {17, 't'}, {18, '1'}, {19, '2'}, {20, '3'},
        {21, '4'}, {22, '6'}, {23, '5'}, {24, '='}, {25, '9'}, {26, '7'}, {27, '-'}, {28, '8'}, {29, '0'}, {30, ']'},
        {31, 'o'}, {32, 'u'}, {33, '['}, {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {39, '\''}, {40, 'k'},
        {41, ';'}, {42, '\\'}, {43, ','}, {44, '/'}, {45, 'n'}, {46, 'm'}, {47, '.'}, {50, '`'},
    };
    for (const auto& [code, character] : keys)
        EXPECT_EQ(keysymForKeyCode(code), Keysym(character)) << "key code " << code;
}

TEST(KeyTranslationTest, NamedKeysBecomeTheirKeysymsAndNoTwoCodesShareOne) {
    EXPECT_EQ(keysymForKeyCode(123), 0xff51u); // Left
    EXPECT_EQ(keysymForKeyCode(126), 0xff52u); // Up
    EXPECT_EQ(keysymForKeyCode(49), 0x20u);    // space
    EXPECT_EQ(keysymForKeyCode(117), 0xffffu); // forward Delete, not BackSpace
    EXPECT_EQ(keysymForKeyCode(116), 0xff55u); // Page_Up
    EXPECT_EQ(keysymForKeyCode(111), 0xffc9u); // F12
    // The ISO section key, keypad keys, F13 and codes out of range have no translation.
    for (const std::uint32_t code : {10u, 65u, 76u, 105u, 127u, 4096u})
        EXPECT_EQ(keysymForKeyCode(code), std::nullopt) << "key code " << code;

    // Two stored shortcuts must never land on the same X key.
    std::set<Keysym> seen;
    for (std::uint32_t code = 0; code < 256; ++code) {
        if (const auto keysym = keysymForKeyCode(code)) {
            EXPECT_TRUE(seen.insert(*keysym).second) << "key code " << code;
        }
    }
    EXPECT_EQ(seen.size(), 47u + 14u + 12u); // characters, named keys, F1 to F12
}

TEST(KeyTranslationTest, RecordedKeysymsGiveBackTheKeyCodeTheyCameFrom) {
    int translated = 0;
    for (std::uint32_t code = 0; code < 256; ++code) {
        const auto keysym = keysymForKeyCode(code);
        if (!keysym) continue;
        ++translated;
        EXPECT_EQ(keyCodeForKeysym(*keysym), code) << "key code " << code;
    }
    EXPECT_EQ(translated, 47 + 14 + 12);
    // What X reports with shift held is the same key.
    EXPECT_EQ(keyCodeForKeysym('H'), 4u);
    EXPECT_EQ(keyCodeForKeysym('Z'), 6u);
    EXPECT_EQ(keyCodeForKeysym(0xfe20), 48u); // ISO_Left_Tab is Tab
    // Keys without a stored code: keypad Enter, Shift_L, F13, Greek alpha, a shifted digit's '!'.
    for (const Keysym keysym : {0xff8du, 0xffe1u, 0xffcau, 0x7e1u, Keysym('!')})
        EXPECT_EQ(keyCodeForKeysym(keysym), std::nullopt) << std::hex << keysym;
}

TEST(KeyTranslationTest, ModifierFlagsBecomeXModifiers) {
    EXPECT_EQ(modifierMaskForFlags(0x1000), kControlMask);
    EXPECT_EQ(modifierMaskForFlags(0x0800), kMod1Mask);
    EXPECT_EQ(modifierMaskForFlags(0x0200), kShiftMask);
    EXPECT_EQ(modifierMaskForFlags(0x0100), kMod4Mask);
    EXPECT_EQ(modifierMaskForFlags(0x1800), kControlMask | kMod1Mask); // control+option
    EXPECT_EQ(modifierMaskForFlags(0x0A00), kMod1Mask | kShiftMask);   // option+shift
    // CapsLock (0x0400), the right-hand modifiers and the low bits are not part of a combination.
    EXPECT_EQ(modifierMaskForFlags(0x0400 | 0x2000 | 0x4000 | 0x8000 | 0x00ff), 0);
}

TEST(KeyTranslationTest, GrabsCoverCapsLockAndNumLock) {
    const std::uint16_t mask = kControlMask | kMod1Mask;
    const std::uint16_t numLock = 1u << 4; // Mod2, where most keyboards map it
    EXPECT_EQ(lockVariants(mask, numLock),
              (std::vector<std::uint16_t>{mask, std::uint16_t(mask | kLockMask), std::uint16_t(mask | numLock),
                                          std::uint16_t(mask | kLockMask | numLock)}));
    // Without a NumLock modifier the variants do not repeat.
    EXPECT_EQ(lockVariants(mask, 0), (std::vector<std::uint16_t>{mask, std::uint16_t(mask | kLockMask)}));
}

TEST(KeyTranslationTest, PressesMatchWhateverLocksButtonsOrGroupAreOn) {
    const std::uint16_t numLock = 1u << 4;
    const std::uint16_t mask = kControlMask | kMod1Mask;
    EXPECT_EQ(significantModifiers(mask, numLock), mask);
    EXPECT_EQ(significantModifiers(mask | kLockMask | numLock, numLock), mask);
    // Button 1 held (0x100) and the second keyboard group (0x2000).
    EXPECT_EQ(significantModifiers(mask | 0x100 | 0x2000, numLock), mask);
    // Another modifier is a different combination.
    EXPECT_EQ(significantModifiers(mask | kShiftMask, numLock), mask | kShiftMask);
    // When NumLock is not a modifier, Mod2 counts like any other.
    EXPECT_EQ(significantModifiers(mask | numLock, 0), mask | numLock);
}
