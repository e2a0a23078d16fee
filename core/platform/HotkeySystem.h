// System-wide hot keys. Key codes and modifier flags are the stored ones (virtual key codes,
// control 0x1000, option 0x0800, shift 0x0200, command 0x0100); backends translate them.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>

namespace quorvel {

struct HotkeyId {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    friend bool operator==(const HotkeyId&, const HotkeyId&) = default;
};

using HotkeyRef = std::uint64_t;       // 0 is no registration
using HotkeyHandlerRef = std::uint64_t; // 0 is no handler

// Status codes; 0 is success.
inline constexpr std::int32_t kHotkeyNoErr = 0;
inline constexpr std::int32_t kHotkeyExistsErr = -9878; // the combination is held by someone else
inline constexpr std::int32_t kHotkeyParamErr = -50;

class HotkeySystem {
public:
    // Called on the main thread for every press of a registered combination, with the press's
    // time stamp (0 when the backend has none).
    using PressHandler = std::function<void(HotkeyId id, InputTime time)>;

    HotkeySystem() = default;
    HotkeySystem(const HotkeySystem&) = delete;
    HotkeySystem& operator=(const HotkeySystem&) = delete;
    virtual ~HotkeySystem() = default;

    virtual std::int32_t installPressHandler(PressHandler handler, HotkeyHandlerRef& out) = 0;
    virtual std::int32_t removePressHandler(HotkeyHandlerRef handler) = 0;
    // Succeeds only with status 0 and a non-zero `out`.
    virtual std::int32_t registerHotkey(std::uint32_t keyCode, std::uint32_t modifierFlags, HotkeyId id,
                                        HotkeyRef& out) = 0;
    virtual std::int32_t unregisterHotkey(HotkeyRef ref) = 0;
};

} // namespace quorvel
