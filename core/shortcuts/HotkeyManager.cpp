// Hot-key registration passes and press dispatch. The press handler only logs and posts: the
// owner's callbacks run on the next turn of the main queue.
#include "shortcuts/HotkeyManager.h"

#include <limits>
#include <string>

namespace quorvel {

namespace {
constexpr std::string_view kCategory = "hotkeys";
} // namespace

HotkeyManager::HotkeyManager(DefaultsStore& defaults, HotkeySystem& hotkeys, Scheduler& scheduler, Log& log)
    : m_store(defaults), m_hotkeys(hotkeys), m_scheduler(scheduler), m_log(log) {}

void HotkeyManager::start() {
    installHandlerIfNeeded();
    registerAllKeys();
}

void HotkeyManager::reload() {
    unregisterKeys();
    registerAllKeys();
}

void HotkeyManager::stop() {
    unregisterKeys();
    if (m_eventHandlerRef != 0) {
        m_hotkeys.removePressHandler(m_eventHandlerRef);
        m_eventHandlerRef = 0;
    }
}

void HotkeyManager::installHandlerIfNeeded() {
    if (m_eventHandlerRef != 0) return;
    HotkeyHandlerRef ref = 0;
    // The handler holds the manager weakly, so a press after the manager is gone is swallowed.
    const auto status = m_hotkeys.installPressHandler(m_lifetime.guard([this](HotkeyId id, InputTime time) { handlePress(id, time); }), ref);
    if (status == kHotkeyNoErr) m_eventHandlerRef = ref;
}

void HotkeyManager::registerAllKeys() {
    m_failedActions.clear();
    for (HotkeyAction action : kHotkeyActions) {
        const Shortcut shortcut = m_store.shortcut(action);
        // A combination with no modifier the hot-key system knows would grab a bare key from
        // every program, so it is refused before the platform sees it.
        if ((shortcut.modifiers & KeyModifiers::all).isEmpty()) {
            m_failedActions.insert(action);
            continue;
        }
        if (!registerKey(shortcut, hotkeyId(action))) m_failedActions.insert(action);
    }
    registerSpaceKeys();

    if (!m_failedActions.empty()) {
        std::string names;
        for (HotkeyAction action : m_failedActions) {
            if (!names.empty()) names += ", ";
            names += rawValue(action);
        }
        m_log.error(kCategory, "hotkey registration failures: %s", names);
    } else {
        m_log.info(kCategory, "registered %ld hotkeys, none failed", static_cast<std::int64_t>(m_hotKeyRefs.size()));
    }
}

bool HotkeyManager::registerKey(const Shortcut& shortcut, std::uint32_t id) {
    // The store never yields such a code; refuse rather than truncate if one ever arrives.
    if (shortcut.keyCode < 0 || shortcut.keyCode > std::int64_t{std::numeric_limits<std::uint32_t>::max()})
        return false;
    HotkeyRef ref = 0;
    const auto status = m_hotkeys.registerHotkey(static_cast<std::uint32_t>(shortcut.keyCode),
                                                 shortcut.modifiers.carbonFlags(), HotkeyId{kSignature, id}, ref);
    if (status != kHotkeyNoErr || ref == 0) return false;
    m_hotKeyRefs.push_back(ref);
    return true;
}

void HotkeyManager::registerSpaceKeys() {
    const KeyModifiers controlOption = KeyModifiers::control | KeyModifiers::option;
    for (std::uint32_t n = 1; n <= kSpaceKeyCodes.size(); ++n) {
        // Fixed keys: a failure is dropped without a trace.
        registerKey(Shortcut{kSpaceKeyCodes[n - 1], controlOption}, kSpaceIdBase + n);
    }
}

void HotkeyManager::unregisterKeys() {
    for (HotkeyRef ref : m_hotKeyRefs) m_hotkeys.unregisterHotkey(ref);
    m_hotKeyRefs.clear();
}

void HotkeyManager::handlePress(HotkeyId id, InputTime time) {
    if (id.id > kSpaceIdBase) {
        const auto desktop = static_cast<std::int64_t>(id.id - kSpaceIdBase);
        m_log.info(kCategory, "hotkey fired: switch_space_%ld", desktop);
        m_scheduler.post(m_lifetime.guard([this, desktop] {
            if (onSwitchToSpace) onSwitchToSpace(static_cast<int>(desktop));
        }));
        return;
    }
    for (HotkeyAction action : kHotkeyActions) {
        if (hotkeyId(action) != id.id) continue;
        m_log.info(kCategory, "hotkey fired: %s", std::string(rawValue(action)));
        m_scheduler.post(m_lifetime.guard([this, action, time] {
            if (onAction) onAction(action, time);
        }));
        return;
    }
}

} // namespace quorvel
