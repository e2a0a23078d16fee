// Automatic desktop names: the application last used on each desktop and its front document's
// title, learnt from workspace notifications. LabelStore shows them when the user gave no name.
#pragma once

#include "platform/WindowControl.h"
#include "platform/DefaultsStore.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "spaces/Space.h"
#include "spaces/WindowServerApi.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

class AutoNamer {
public:
    struct RecordedApp {
        std::string name;
        std::optional<std::string> title;
        friend bool operator==(const RecordedApp&, const RecordedApp&) = default;
    };

    // `defaults` is read for the user's labels only (desktops with a label get no automatic name).
    AutoNamer(WindowServerApi& api, Workspace& workspace, WindowControl& windows, Scheduler& scheduler,
              const DefaultsStore& defaults);
    ~AutoNamer(); // stops observing
    AutoNamer(const AutoNamer&) = delete;
    AutoNamer& operator=(const AutoNamer&) = delete;

    // Applications never used to name a desktop: our own windows. Nor is a window that is part of
    // the desktop itself (the desktop a file manager draws, a panel or dock), whatever its
    // application.
    const std::set<std::string> skipApps = {"Quorvel"};

    // Once: records the current desktop's application, then again 0.3 s after every desktop change
    // and at once on every application activation. Later calls do nothing until stopObserving.
    void startObserving();
    // Removes the workspace observers; a record still pending from a desktop change does not run.
    void stopObserving();
    bool isObserving() const { return m_isObserving; }

    // Remembers the frontmost application (unless skipped) and its document title for the active
    // desktop. Reads the window server, the workspace and window control.
    void recordCurrentSpaceApp();

    // The automatic name of every desktop in `spaces` that has no user label. Forgets the recorded
    // applications of desktops not in `spaces`.
    std::map<SpaceId, std::string> autoNameAll(const std::vector<Space>& spaces);
    // One desktop's automatic name when the cache has none; a recorded desktop gives only the
    // application's name. None when nothing is known.
    std::optional<std::string> autoName(const Space& space);
    // "App — Title" (or "App") of the frontmost application; none when there is none or it is skipped.
    // When we are frontmost ourselves (our panel has the focus), what was recorded for `space`.
    std::optional<std::string> currentSpaceAutoName(std::optional<SpaceId> space = std::nullopt);
    // The application recorded for `space`, with its document title when asked; none when nothing is.
    std::optional<std::string> recordedName(SpaceId space, bool withTitle) const;
    // The title of the application's focused window without the " — App" suffix; none when empty,
    // equal to the application's name, or unreadable.
    std::optional<std::string> documentTitle(const RunningApplication& app);

    const std::map<SpaceId, RecordedApp>& lastAppPerSpace() const { return m_lastAppPerSpace; }

private:
    static std::string appName(const RunningApplication& app);
    // Whether the application's focused window is the desktop, a panel or a dock.
    bool desktopInFront(const RunningApplication& app);

    WindowServerApi& m_api;
    Workspace& m_workspace;
    WindowControl& m_windows;
    Scheduler& m_scheduler;
    const DefaultsStore& m_defaults;

    std::map<SpaceId, RecordedApp> m_lastAppPerSpace;
    bool m_isObserving = false;
    std::vector<ObserverToken> m_observers;
    // Bumped by stopObserving so that a delayed record scheduled before it does nothing.
    std::uint64_t m_observeGeneration = 0;
    Lifetime m_lifetime;
};

} // namespace quorvel
