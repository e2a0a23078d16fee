// The strip of desktop tabs along the top of every monitor, started only behind its developer switch.
// One strip per monitor, each listing every desktop of the display it shows (on X11 every monitor
// shows the same EWMH desktops, so a switch from any strip switches them all). The controller keeps
// each monitor's visibility state, watches the pointer over each monitor's trigger region while
// hover mode is on, runs the reveal (120 ms), hide (700 ms), override (2 s) and screen-change
// (150 ms) delays, chooses how much each tab shows so the strip fits, and switches desktops
// optimistically: a clicked tab is marked at once, and clicks during a switch queue per display,
// the latest winning. Main thread only.
#pragma once

#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "spaces/Space.h"
#include "strip/MenuBarGeometry.h"
#include "strip/StripPlatform.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

class LabelStore;
class Settings;
class SpaceManager;
class SpaceSwitcher;

class StripController {
public:
    struct Dependencies {
        StripPlatform* platform = nullptr; // null where the platform draws no strip: states only
        Screens& screens;
        Workspace& workspace;
        SpaceManager& spaces;
        LabelStore& labels;
        Settings& settings;
        Scheduler& scheduler;
        Log& log;
    };

    explicit StripController(Dependencies dependencies);
    ~StripController();
    StripController(const StripController&) = delete;
    StripController& operator=(const StripController&) = delete;

    // Observes desktop and monitor changes and builds every strip; tabs switch through `switcher`.
    void start(SpaceSwitcher& switcher);
    // Cancels every delay, stops observing and watching, hides and drops every strip and state.
    void stop();
    bool isRunning() const { return m_spaceObserver.has_value(); }
    // A strip setting changed: every monitor starts again from its resting state.
    void settingsChanged();
    // Names, tiling or settings may have changed: a changed strip setting starts every monitor
    // again (settingsChanged), anything else redraws the strips shown. Edits of the settings file
    // made outside the app arrive here by themselves.
    void refresh();
    // Shows the strips where they rest hidden and hides them where they rest shown, until toggled
    // again (in "never" mode for 2 s).
    void toggleVisibilityOverride();
    std::optional<VisibilityOverride> visibilityOverride() const { return m_override; }

    // The state of a monitor's strip: its stored state, else its resting state; none for a monitor
    // not in the last topology read.
    std::optional<StripVisibility> visibility(const std::string& monitor) const;
    // The monitors of the last good read, in screen order.
    std::vector<std::string> monitorIDs() const;
    long topologyGeneration() const { return m_generation; }

    // The delays, in seconds.
    static constexpr double revealDelay = 0.12;
    static constexpr double hideDelay = 0.7;
    static constexpr double overrideDelay = 2.0;
    static constexpr double screenChangeDelay = 0.15;
    // How deep the trigger region reaches where no panel reserves the top edge.
    static constexpr double triggerDepth = 24;

private:
    // A monitor and the display of the desktop table whose desktops it shows.
    struct Monitor {
        std::string id;
        std::string displayID; // the switching unit: requests, switches and the current desktop
        Rect frame;
        double topInset = 0; // the top panel's height on this monitor
    };

    void rebuild();
    void spaceChanged();
    void apply(const Monitor& monitor);
    void render(const Monitor& monitor);
    void renderDisplay(const std::string& displayID);
    void send(StripEvent event, const std::string& monitorID);
    void scheduleTimers(const StripVisibility& state, const std::string& monitorID);
    void startHideTimer(const std::string& monitorID);
    void select(SpaceId space);
    void beginSwitch(const Space& target);
    void updatePointerWatch();
    void pointerChanged(const std::string& monitorID, bool inside);
    void hoverTab(const std::string& monitorID, std::optional<SpaceId> space);

    std::vector<Monitor> readMonitors(const std::vector<Display>& displays);
    const Monitor* monitor(const std::string& id) const;
    const Display* display(const std::string& id) const;
    VisibilityInput visibilityInput(const Monitor& monitor) const;
    StripVisibility currentState(const Monitor& monitor) const;
    std::vector<StripTab> buildTabs(const Display& display);
    void refreshCurrentSpaces();
    // A request or queued click for a desktop that is gone is dropped with the display's switch.
    void dropVanishedTargets(const std::vector<Display>& displays);
    std::string settingsSignature() const;

    Dependencies m_deps;
    SpaceSwitcher* m_switcher = nullptr;

    std::vector<Display> m_displays; // the last good read
    std::vector<Monitor> m_monitors;
    long m_generation = 0;
    std::map<std::string, std::unique_ptr<StripWindowView>> m_strips;   // by monitor
    std::map<std::string, TriggerRegion> m_triggers;                   // by monitor, in hover mode
    std::map<std::string, StripVisibility> m_visibility;               // by monitor
    std::map<std::string, bool> m_pointerOverStrip, m_pointerOverTrigger; // by monitor
    std::map<std::string, SpaceId> m_actual, m_requested;              // by display
    std::set<std::string> m_inFlight;                                  // by display
    std::map<std::string, Space> m_pending;                            // by display
    std::optional<VisibilityOverride> m_override;
    bool m_watchingPointer = false;
    std::string m_settingsSignature;
    std::optional<std::size_t> m_settingsObserver;

    TaskHandle m_revealTask, m_hideTask, m_overrideTask, m_screenChangeTask;
    std::optional<ObserverToken> m_spaceObserver;
    std::optional<ObserverToken> m_screenObserver;
    Lifetime m_lifetime;
};

} // namespace quorvel
