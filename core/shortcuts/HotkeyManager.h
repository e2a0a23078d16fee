// System-wide hot keys: registers every action's shortcut (ids 1–13) and the fixed desktop keys
// ⌃⌥1…⌃⌥9 (ids 101–109), and reports presses through onAction / onSwitchToSpace on the main queue.
#pragma once

#include "platform/DefaultsStore.h"
#include "platform/HotkeySystem.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "shortcuts/HotkeyAction.h"
#include "shortcuts/ShortcutStore.h"

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace quorvel {

class HotkeyManager {
public:
    // 'QVHK', carried by every registration.
    static constexpr std::uint32_t kSignature = 0x5156484B;
    // Ids above this are desktop keys (100 + desktop number); ids up to it are actions.
    static constexpr std::uint32_t kSpaceIdBase = 100;
    // The ANSI digit keys 1 to 9, registered with control+option.
    static constexpr std::array<std::uint32_t, 9> kSpaceKeyCodes = {18, 19, 20, 21, 23, 22, 26, 28, 25};

    HotkeyManager(DefaultsStore& defaults, HotkeySystem& hotkeys, Scheduler& scheduler, Log& log);
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;
    // Does not unregister: the owner calls stop(). A press or queued report arriving after the
    // manager is gone does nothing.
    ~HotkeyManager() = default;

    // Set once by the owner before start(); called on a later turn of the main queue, never
    // from inside the press.
    // `time` is the press's time stamp: a window opened for the action takes the focus with it.
    std::function<void(HotkeyAction, InputTime time)> onAction;
    std::function<void(int desktop)> onSwitchToSpace; // 1 to 9

    // Installs the press handler if none is installed, then registers every key.
    void start();
    // Unregisters every key and registers them again from the store; the handler stays.
    void reload();
    // Unregisters every key and removes the press handler.
    void stop();

    // Actions whose key could not be registered in the last pass (taken, or stored without
    // modifiers). Desktop keys never appear here.
    const std::set<HotkeyAction>& failedActions() const { return m_failedActions; }
    // Registrations held now, action and desktop keys together.
    std::size_t registeredCount() const { return m_hotKeyRefs.size(); }
    bool isHandlerInstalled() const { return m_eventHandlerRef != 0; }

private:
    void installHandlerIfNeeded();
    void registerAllKeys();
    bool registerKey(const Shortcut& shortcut, std::uint32_t id);
    void registerSpaceKeys();
    void unregisterKeys();
    void handlePress(HotkeyId id, InputTime time);

    ShortcutStore m_store;
    HotkeySystem& m_hotkeys;
    Scheduler& m_scheduler;
    Log& m_log;

    std::vector<HotkeyRef> m_hotKeyRefs;
    HotkeyHandlerRef m_eventHandlerRef = 0;
    std::set<HotkeyAction> m_failedActions;
    Lifetime m_lifetime;
};

} // namespace quorvel
