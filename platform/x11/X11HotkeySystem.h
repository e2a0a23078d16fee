// Global hot keys on X11: passive key grabs on the root of our connection (X11Connection), with
// every CapsLock/NumLock variant; stored key codes and flags are translated by KeyTranslation.h.
#pragma once

#include "X11Connection.h"
#include "platform/HotkeySystem.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace quorvel::x11 {

class X11HotkeySystem final : public HotkeySystem {
public:
    // Listens for key presses and keyboard mapping changes on `connection`.
    X11HotkeySystem(X11Connection& connection, Scheduler& scheduler, Log& log);
    // Releases every grab still held.
    ~X11HotkeySystem() override;

    std::int32_t installPressHandler(PressHandler handler, HotkeyHandlerRef& out) override;
    std::int32_t removePressHandler(HotkeyHandlerRef handler) override;
    // kHotkeyParamErr for a key with no X counterpart or not on this keyboard; kHotkeyExistsErr
    // when another client (the window manager, another program) or one of our own registrations
    // holds the combination: then nothing stays grabbed.
    std::int32_t registerHotkey(std::uint32_t keyCode, std::uint32_t modifierFlags, HotkeyId id,
                                HotkeyRef& out) override;
    std::int32_t unregisterHotkey(HotkeyRef ref) override;

    // The stored key code of a key pressed on this keyboard: that of its own unshifted symbol
    // (Shift+1 is the "1" key with shift held, as a grab takes it), else that of `keysym` as typed;
    // none for a key we do not translate.
    std::optional<std::uint32_t> keyCodeForPress(std::uint32_t keysym, std::uint32_t keycode);

private:
    struct Registration {
        HotkeyId id;
        std::uint32_t keyCode = 0; // as stored, to translate again when the keyboard changes
        std::uint16_t mask = 0;
        std::vector<xcb_keycode_t> keycodes; // grabbed now, each with every lock variant
    };

    void onEvent(const xcb_generic_event_t& event);
    void onKeyPress(const xcb_key_press_event_t& press);
    void onMappingChanged(const xcb_mapping_notify_event_t& notify);
    std::vector<xcb_keycode_t> keycodesFor(std::uint32_t keyCode);
    std::uint16_t findNumLockMask();
    // Grabs every keycode with every lock variant; on any failure releases what it took and
    // answers the X error code of the first failure (0 when all held).
    // One passive grab: a key with an exact modifier state.
    using Grab = std::pair<xcb_keycode_t, std::uint16_t>;
    // Every grab a combination needs: each key with each CapsLock/NumLock variant of `mask`.
    static std::set<Grab> grabsFor(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t mask,
                                   std::uint16_t numLockMask);
    std::uint8_t grab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t mask);
    // All or nothing: the first error, with nothing of `grabs` left grabbed; 0 on success.
    std::uint8_t grab(const std::set<Grab>& grabs);
    void ungrab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t mask);
    void ungrab(const std::set<Grab>& grabs);

    X11Connection& m_connection;
    Scheduler& m_scheduler;
    Log& m_log;
    std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> m_symbols;
    std::uint16_t m_numLockMask = 0;
    std::uint64_t m_listener = 0;
    std::map<HotkeyHandlerRef, PressHandler> m_handlers;
    std::map<HotkeyRef, Registration> m_registrations;
    std::uint64_t m_next = 1;
    struct Release {
        xcb_keycode_t keycode = 0;
        xcb_timestamp_t time = 0;
    } m_lastRelease;
    // Posted presses check this before touching the object: they may outlive it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quorvel::x11
