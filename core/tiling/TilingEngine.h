// The auto-tiling engine: one BSP tree per tiled desktop, kept in step with other applications'
// windows through Accessibility observers and workspace notifications, laid out and applied by
// retile. Its parts live in several files: TilingEngine.cpp (state, start/stop, shared answers),
// TilingTracking.cpp (observers, tracking, the close sweep), TilingRetile.cpp (layout and frame
// application), TilingAdoption.cpp (adoption and tree upkeep), TilingCommands.cpp (swap, flip,
// spotlight). Main thread only; delayed work holds the engine weakly and re-checks isRunning.
#pragma once

#include "platform/Accessibility.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"
#include "spaces/WindowServerApi.h"
#include "tiling/BSPTree.h"
#include "tiling/DirectionalSearch.h"
#include "tiling/FrameAnimator.h"
#include "tiling/SpotlightBorder.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

// Everything the engine talks to, built once by the composition root.
struct TilingContext {
    WindowServerApi& api;
    Accessibility& accessibility;
    Workspace& workspace;
    Screens& screens;
    Settings& settings;
    LabelStore& labels;
    SpaceManager& spaces;
    SpotlightBorder& border;
    Scheduler& scheduler;
    Log& log;
};

class TilingEngine {
public:
    struct AdoptResult {
        bool changed = false;
        std::set<WindowId> inserted;
    };

    // Applications never attached.
    static const std::set<std::string> kSkipApps;

    explicit TilingEngine(const TilingContext& context);
    ~TilingEngine();
    TilingEngine(const TilingEngine&) = delete;
    TilingEngine& operator=(const TilingEngine&) = delete;

    // --- Lifecycle (TilingEngine.cpp) ---------------------------------------------------------
    // Starts tracking; needs Accessibility trust. Does nothing when already running.
    void start();
    // Forgets everything; windows stay where they are.
    void stop();
    bool isRunning() const { return m_isRunning; }

    // Set by the shell: true while a display swap runs, so screen changes are ignored meanwhile.
    std::function<bool()> isDisplayTransitionInProgress;
    // A spotlight ended because focus moved, or was toggled.
    std::function<void()> onSpotlightChanged;
    // Retile found every window refusing to move and trust gone; the engine has stopped.
    std::function<void()> onAccessibilityRevoked;

    // --- Tracking (TilingTracking.cpp) --------------------------------------------------------
    // One Accessibility notification, as the observer callback delivers it.
    void handleAXEvent(const std::string& notification, AXElement element, std::optional<std::uint64_t> refcon);
    // True when nothing more is to be done for the application (attached with windows, or never
    // to be attached); false asks for a retry.
    bool attach(const RunningApplication& app);
    void scheduleAttach(const RunningApplication& app, int attempt);
    // Records a trackable window (element and owner) and arms its destruction notification.
    std::optional<WindowId> track(AXElement element, Pid pid);
    void detach(Pid pid);
    void refreshFocus(const RunningApplication& app);
    void startCloseSweep();
    void sweepForClosedWindows();

    // --- Retile (TilingRetile.cpp) ------------------------------------------------------------
    void retile(SpaceId space, std::optional<WindowId> grew);
    void retileAllSpaces();
    // The desktop's usable area: its monitor without panels and docks.
    Rect frameForSpace(SpaceId space);
    std::optional<ScreenInfo> screenFor(const std::optional<std::string>& uuid);
    bool isSpaceVisible(SpaceId space);
    // The windows that could not be placed.
    std::vector<WindowId> applyFrames(const FrameMap& frames);
    // The end of an animation: puts every window exactly on its tile, writing only the size or
    // position that differs from the frame last written by `animator` or noted in `settled` (a
    // window known to be exactly in place is not written); returns the windows that refused.
    std::vector<WindowId> landFrames(const FrameMap& frames, const FrameAnimator* animator,
                                     const std::map<WindowId, Rect>& settled);
    bool setFrame(AXElement element, const Rect& rect);
    std::optional<Rect> currentFrame(AXElement element);
    void dropStale(const std::vector<WindowId>& refused, BSPTree& tree, SpaceId space, double gap);
    void screenParametersChanged();

    // --- Adoption and upkeep (TilingAdoption.cpp) ---------------------------------------------
    bool adoptNewlyCreated(AXElement element, Pid pid);
    void adopt(WindowId id);
    AdoptResult adoptSpace(SpaceId space);
    std::set<SpaceId> evict(WindowId id, SpaceId except);
    void removeFromTrees(WindowId id);
    void activeSpaceChanged();
    void applicationHidden(const RunningApplication& app);
    void applicationUnhidden(const RunningApplication& app);
    void restoreHiddenLayout(Pid pid);
    void pruneDeadTrees();
    void globalTilingChanged();
    void tilingOverrideChanged(SpaceId space);

    // --- Commands (TilingCommands.cpp) --------------------------------------------------------
    bool swapFocusedWindow(Direction direction);
    bool toggleSplitOfFocusedWindow();
    void toggleSpotlight();
    std::optional<WindowId> focusedTiledWindow(SpaceId space, const FrameMap& frames);
    void noteFocus(WindowId window, SpaceId space, bool isTiled);
    void clearSpotlightIfFocusMoved(SpaceId space, WindowId window);

    // --- Shared answers (TilingEngine.cpp) ----------------------------------------------------
    bool boolAttribute(AXElement element, std::string_view name);
    std::optional<std::string> stringAttribute(AXElement element, std::string_view name);
    bool isHidden(AXElement element);
    bool isAdoptable(WindowId id);
    bool isTrackable(AXElement element);
    std::optional<SpaceId> spaceFor(WindowId id);
    bool shouldTile(SpaceId space);
    BSPTree& treeFor(SpaceId space);
    // The rectangle a tree is re-oriented for when a window leaves it; none with "keep".
    std::optional<Rect> refitRect(SpaceId space);

    // --- Read access for the shell and tests --------------------------------------------------
    const std::map<SpaceId, std::shared_ptr<BSPTree>>& trees() const { return m_trees; }
    const BSPTree* tree(SpaceId space) const;
    const std::map<WindowId, AXElement>& windowElements() const { return m_windowElements; }
    const std::map<WindowId, Pid>& windowOwners() const { return m_windowOwners; }
    const std::set<WindowId>& destroyArmed() const { return m_destroyArmed; }
    const std::map<Pid, AXObserverId>& observers() const { return m_axObservers; }
    std::optional<WindowId> spotlitWindow(SpaceId space) const;
    std::optional<WindowId> lastFocusedWindow(SpaceId space) const;
    std::optional<WindowId> previousFocusedWindow(SpaceId space) const;
    bool isAnimating(SpaceId space) const { return m_animators.contains(space); }
    std::size_t hiddenLayoutCount() const { return m_hiddenLayouts.size(); }

private:
    // A desktop's plain layout: its tree over the usable area inset by the gap (no spotlight rule).
    FrameMap plainLayout(const BSPTree& tree, SpaceId space, double gap);
    // The tree and plain layout of the active desktop for a command; none without windows.
    struct CommandLayout {
        SpaceId space;
        std::shared_ptr<BSPTree> tree;
        FrameMap frames;
    };
    std::optional<CommandLayout> commandLayout();
    void forget(WindowId id);
    void dropAnimator(SpaceId space);
    void dropObserver(Pid pid);
    void updateBorder(SpaceId space, const FrameMap& rects, const Rect& frame);
    void axCallback(AXObserverId observer, AXElement element, const std::string& notification,
                    std::optional<std::uint64_t> refcon);
    SpaceId activeSpace();

    TilingContext m_ctx;
    bool m_isRunning = false;
    std::map<Pid, AXObserverId> m_axObservers;
    std::map<WindowId, AXElement> m_windowElements;
    std::map<WindowId, Pid> m_windowOwners;
    std::map<SpaceId, std::shared_ptr<BSPTree>> m_trees;
    std::map<SpaceId, std::shared_ptr<FrameAnimator>> m_animators;
    std::map<SpaceId, WindowId> m_lastFocused;
    std::map<SpaceId, WindowId> m_previousFocused;
    std::map<SpaceId, WindowId> m_spotlit;
    std::set<WindowId> m_destroyArmed;
    TaskHandle m_closeSweepTimer;
    std::vector<ObserverToken> m_workspaceObservers;
    std::optional<ObserverToken> m_screenObserver;
    std::map<Pid, std::map<SpaceId, std::shared_ptr<BSPTree>>> m_hiddenLayouts;
    // The desktop whose spotlit window the border outlines, while it is shown.
    std::optional<SpaceId> m_borderSpace;
    void hideBorder() {
        m_ctx.border.hide();
        m_borderSpace.reset();
    }
    // Bumped by stop(): delayed work of an earlier run does nothing in a later one.
    std::uint64_t m_runGeneration = 0;
    Lifetime m_lifetime;
};

} // namespace quorvel
