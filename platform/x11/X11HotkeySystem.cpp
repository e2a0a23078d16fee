// Hot keys as passive grabs on the root: translation, grabbing every lock variant, releasing a
// half-taken combination, and turning key presses into posted handler calls.
#include "X11HotkeySystem.h"

#include <iterator>

#include "KeyTranslation.h"

#include <algorithm>
#include <cstdlib>

namespace quorvel::x11 {

namespace {

constexpr const char* kCategory = "x11";
constexpr std::uint8_t kBadAccess = 10;

template <class T>
std::unique_ptr<T, decltype(&std::free)> owned(T* pointer) {
    return {pointer, &std::free};
}

} // namespace

X11HotkeySystem::X11HotkeySystem(X11Connection& connection, Scheduler& scheduler, Log& log)
    : m_connection(connection), m_scheduler(scheduler), m_log(log),
      m_symbols(xcb_key_symbols_alloc(connection.raw()), &xcb_key_symbols_free) {
    m_numLockMask = findNumLockMask();
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) { onEvent(event); });
}

X11HotkeySystem::~X11HotkeySystem() {
    m_connection.removeListener(m_listener);
    for (const auto& [ref, registration] : m_registrations) ungrab(registration.keycodes, registration.mask);
    m_connection.flush();
}

std::int32_t X11HotkeySystem::installPressHandler(PressHandler handler, HotkeyHandlerRef& out) {
    out = m_next++;
    m_handlers[out] = std::move(handler);
    return kHotkeyNoErr;
}

std::int32_t X11HotkeySystem::removePressHandler(HotkeyHandlerRef handler) {
    return m_handlers.erase(handler) ? kHotkeyNoErr : kHotkeyParamErr;
}

std::int32_t X11HotkeySystem::registerHotkey(std::uint32_t keyCode, std::uint32_t modifierFlags, HotkeyId id,
                                             HotkeyRef& out) {
    out = 0;
    const auto keycodes = keycodesFor(keyCode);
    if (keycodes.empty()) return kHotkeyParamErr;
    const std::uint16_t mask = modifierMaskForFlags(modifierFlags);
    // The server lets a client grab a combination it already holds; one registration would then
    // release the other's grab when it goes.
    for (const auto& [ref, registration] : m_registrations)
        if (registration.mask == mask && std::ranges::find_first_of(registration.keycodes, keycodes) !=
                                             registration.keycodes.end())
            return kHotkeyExistsErr;
    if (const std::uint8_t error = grab(keycodes, mask))
        return error == kBadAccess ? kHotkeyExistsErr : kHotkeyParamErr;
    out = m_next++;
    m_registrations[out] = {id, keyCode, mask, keycodes};
    return kHotkeyNoErr;
}

std::int32_t X11HotkeySystem::unregisterHotkey(HotkeyRef ref) {
    const auto it = m_registrations.find(ref);
    if (it == m_registrations.end()) return kHotkeyParamErr;
    ungrab(it->second.keycodes, it->second.mask);
    m_connection.flush();
    m_registrations.erase(it);
    return kHotkeyNoErr;
}

void X11HotkeySystem::onEvent(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
    case XCB_KEY_PRESS:
        onKeyPress(reinterpret_cast<const xcb_key_press_event_t&>(event));
        break;
    case XCB_KEY_RELEASE: {
        const auto& release = reinterpret_cast<const xcb_key_release_event_t&>(event);
        m_lastRelease = {release.detail, release.time};
        break;
    }
    case XCB_MAPPING_NOTIFY:
        onMappingChanged(reinterpret_cast<const xcb_mapping_notify_event_t&>(event));
        break;
    default:
        break;
    }
}

void X11HotkeySystem::onKeyPress(const xcb_key_press_event_t& press) {
    if (press.event != m_connection.root()) return;
    // Auto-repeat sends a release and a press stamped the same millisecond (the server reads its
    // clock twice, so allow one tick; the server time wraps): a held combination fires once.
    if (press.detail == m_lastRelease.keycode && xcb_timestamp_t(press.time - m_lastRelease.time) <= 1) return;
    const std::uint16_t modifiers = significantModifiers(press.state, m_numLockMask);
    for (const auto& [ref, registration] : m_registrations) {
        if (registration.mask != modifiers || std::ranges::find(registration.keycodes, press.detail) ==
                                                   registration.keycodes.end())
            continue;
        // Handlers run on a later turn of the main queue, never inside event dispatch.
        m_scheduler.post([this, alive = std::weak_ptr<bool>(m_alive), id = registration.id, time = press.time] {
            if (alive.expired()) return;
            // A handler may remove itself or others while it runs.
            const auto handlers = m_handlers;
            for (const auto& [handlerRef, handler] : handlers)
                if (m_handlers.contains(handlerRef)) handler(id, time);
        });
        return;
    }
}

void X11HotkeySystem::onMappingChanged(const xcb_mapping_notify_event_t& notify) {
    if (notify.request == XCB_MAPPING_POINTER) return;
    xcb_mapping_notify_event_t copy = notify;
    xcb_refresh_keyboard_mapping(m_symbols.get(), &copy);
    const std::uint16_t oldNumLock = m_numLockMask;
    m_numLockMask = findNumLockMask();
    // The server also says the mapping changed whenever the core keyboard switches device (a
    // second keyboard, XTest), usually with nothing moved. Only grabs that really moved change, and
    // new grabs are taken before old ones are released, so a press meanwhile is never missed.
    for (auto& [ref, registration] : m_registrations) {
        const auto keycodes = keycodesFor(registration.keyCode);
        const auto before = grabsFor(registration.keycodes, registration.mask, oldNumLock);
        const auto after = grabsFor(keycodes, registration.mask, m_numLockMask);
        if (before == after) continue;
        std::set<Grab> added, released;
        std::ranges::set_difference(after, before, std::inserter(added, added.end()));
        std::ranges::set_difference(before, after, std::inserter(released, released.end()));
        const bool grabbed = !keycodes.empty() && grab(added) == 0;
        ungrab(grabbed ? released : before);
        m_connection.flush();
        if (grabbed) {
            registration.keycodes = keycodes;
            continue;
        }
        // The reference stays valid so the owner can still unregister it; it just no longer fires.
        m_log.error(kCategory, "hot key %u lost its grab after a keyboard mapping change", registration.id.id);
        registration.keycodes.clear();
    }
}

std::optional<std::uint32_t> X11HotkeySystem::keyCodeForPress(std::uint32_t keysym, std::uint32_t keycode) {
    if (keycode >= 8 && keycode <= 255) {
        const xcb_keysym_t unshifted =
            xcb_key_symbols_get_keysym(m_symbols.get(), static_cast<xcb_keycode_t>(keycode), 0);
        if (unshifted != XCB_NO_SYMBOL)
            if (const auto code = keyCodeForKeysym(unshifted)) return code;
    }
    return keyCodeForKeysym(keysym);
}

std::vector<xcb_keycode_t> X11HotkeySystem::keycodesFor(std::uint32_t keyCode) {
    const auto keysym = keysymForKeyCode(keyCode);
    if (!keysym) return {};
    std::vector<xcb_keycode_t> keycodes;
    const auto found = owned(xcb_key_symbols_get_keycode(m_symbols.get(), *keysym));
    // A keysym may sit on several keys; a press of any of them counts.
    for (const xcb_keycode_t* code = found.get(); code && *code != XCB_NO_SYMBOL; ++code)
        if (std::ranges::find(keycodes, *code) == keycodes.end()) keycodes.push_back(*code);
    return keycodes;
}

std::uint16_t X11HotkeySystem::findNumLockMask() {
    const auto numLockKeys = owned(xcb_key_symbols_get_keycode(m_symbols.get(), kNumLockKeysym));
    if (!numLockKeys) return 0;
    xcb_connection_t* connection = m_connection.raw();
    xcb_generic_error_t* error = nullptr;
    const auto mapping =
        owned(xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), &error));
    if (error) {
        m_connection.absorb(*error, "reading the modifier mapping");
        std::free(error);
        return 0;
    }
    if (!mapping) return 0;
    // Eight rows (Shift, Lock, Control, Mod1 … Mod5) of keycodes_per_modifier keycodes each.
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == 0) continue;
            for (const xcb_keycode_t* numLock = numLockKeys.get(); *numLock != XCB_NO_SYMBOL; ++numLock)
                if (*numLock == code) return static_cast<std::uint16_t>(1u << modifier);
        }
    return 0;
}

std::set<X11HotkeySystem::Grab> X11HotkeySystem::grabsFor(const std::vector<xcb_keycode_t>& keycodes,
                                                          std::uint16_t mask, std::uint16_t numLockMask) {
    std::set<Grab> grabs;
    for (const xcb_keycode_t keycode : keycodes)
        for (const std::uint16_t modifiers : lockVariants(mask, numLockMask)) grabs.insert({keycode, modifiers});
    return grabs;
}

std::uint8_t X11HotkeySystem::grab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t mask) {
    return grab(grabsFor(keycodes, mask, m_numLockMask));
}

std::uint8_t X11HotkeySystem::grab(const std::set<Grab>& grabs) {
    // Send every grab before checking any: one round trip instead of one per variant.
    std::vector<std::pair<Grab, xcb_void_cookie_t>> attempts;
    for (const auto& [keycode, modifiers] : grabs)
        attempts.push_back({{keycode, modifiers},
                            xcb_grab_key_checked(m_connection.raw(), 0, m_connection.root(), modifiers, keycode,
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
    std::uint8_t failure = 0;
    std::set<Grab> taken;
    for (const auto& [attempt, cookie] : attempts) {
        const std::uint8_t error = m_connection.check(cookie, "grabbing a hot key");
        if (error == 0) taken.insert(attempt);
        else if (failure == 0) failure = error;
    }
    if (failure == 0) return 0;
    // Half a combination would swallow some presses and miss others: take all or nothing.
    ungrab(taken);
    m_connection.flush();
    return failure;
}

void X11HotkeySystem::ungrab(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t mask) {
    ungrab(grabsFor(keycodes, mask, m_numLockMask));
}

void X11HotkeySystem::ungrab(const std::set<Grab>& grabs) {
    for (const auto& [keycode, modifiers] : grabs)
        xcb_ungrab_key(m_connection.raw(), keycode, m_connection.root(), modifiers);
}

} // namespace quorvel::x11
