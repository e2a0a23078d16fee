// Stored hot keys in X terms: virtual key codes to keysyms, Carbon modifier flags to X modifier
// masks, and the lock variants a grab must cover. Pure and free of xcb so unit tests need no server.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel::x11 {

using Keysym = std::uint32_t;

// Core-protocol modifier bits as they appear in grabs and in a key event's state.
inline constexpr std::uint16_t kShiftMask = 1u << 0;
inline constexpr std::uint16_t kLockMask = 1u << 1;
inline constexpr std::uint16_t kControlMask = 1u << 2;
inline constexpr std::uint16_t kMod1Mask = 1u << 3; // Alt
inline constexpr std::uint16_t kMod4Mask = 1u << 6; // Super
inline constexpr std::uint16_t kAllModifiersMask = 0xff;

inline constexpr Keysym kNumLockKeysym = 0xff7f;

// The keysym of the unshifted US character or the named key at that virtual key code (letters
// in lower case, as keyboard mappings list them first); none for a code we do not translate.
std::optional<Keysym> keysymForKeyCode(std::uint32_t keyCode);

// The reverse, for a key the user pressed: the virtual key code whose keysym is `keysym`. With
// shift held X reports a letter in upper case and Tab as ISO_Left_Tab; those give the same key
// code. None for a key we do not translate (the recorder beeps).
std::optional<std::uint32_t> keyCodeForKeysym(Keysym keysym);

// Control, option, shift and command become Control, Mod1, Shift and Mod4; other bits are ignored.
std::uint16_t modifierMaskForFlags(std::uint32_t carbonFlags);

// Every mask a grab of `mask` needs so that CapsLock and NumLock do not get in the way: the mask
// with none, Lock, NumLock and both (no duplicates when NumLock is not mapped, `numLockMask` 0).
std::vector<std::uint16_t> lockVariants(std::uint16_t mask, std::uint16_t numLockMask);

// The modifiers of a key event's state that decide which hot key it is: pointer buttons, the
// keyboard group, Lock and NumLock dropped.
std::uint16_t significantModifiers(std::uint16_t state, std::uint16_t numLockMask);

} // namespace quorvel::x11
