// The auto-tiling engine: one BSP tree per tiled desktop, kept in step with other applications'
// windows through window observers and workspace notifications, laid out and applied by retile.
// Three collaborating parts do the work: the window tracker (WindowTracker.h: observers, tracked
// windows, the close sweep), the frame writer (FrameWriter.h: frame writes, animations, the write
// budget, unresponsive windows) and the tree policy (TreePolicy.h: adoption, retile, commands).
// This class wires them, starts and stops them, and is all that other components call.
// Main thread only; delayed work holds its part weakly and re-checks that the run is current.
#pragma once

#include "tiling/FrameWriter.h"
#include "tiling/TilingParts.h"
#include "tiling/TreePolicy.h"
#include "tiling/WindowTracker.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace quorvel {

// What tests and diagnostics may read of a running engine; nothing here changes it.
class TilingView {
public:
    TilingView(const WindowTracker& tracker, const FrameWriter& writer, const TreePolicy& policy)
        : m_tracker(tracker), m_writer(writer), m_policy(policy) {}

    const BSPTree* tree(SpaceId space) const { return m_policy.tree(space); }
    // The desktop's tree on a further monitor (by display number), or kHomeMonitor.
    const BSPTree* tree(SpaceId space, DisplayNumber monitor) const { return m_policy.tree(space, monitor); }
    // Every tree, by desktop and monitor.
    const TreePolicy::TreeMap& treeMap() const { return m_policy.treeMap(); }
    std::set<SpaceId> trees() const { return m_policy.trees(); }
    Rect frameFor(TreeKey key) const { return m_policy.frameFor(key); }
    // The desktop's usable area: its monitor without panels and docks.
    Rect frameForSpace(SpaceId space) const { return m_policy.frameForSpace(space); }
    bool isTracked(WindowId id) const { return m_tracker.isTracked(id); }
    std::size_t trackedCount() const { return m_tracker.trackedCount(); }
    bool isDestroyArmed(WindowId id) const { return m_tracker.isDestroyArmed(id); }
    bool hasObserver(Pid pid) const { return m_tracker.hasObserver(pid); }
    std::size_t observerCount() const { return m_tracker.observerCount(); }
    std::optional<WindowId> spotlitWindow(SpaceId space) const { return m_policy.spotlitWindow(space); }
    std::optional<WindowId> lastFocusedWindow(SpaceId space) const { return m_policy.lastFocusedWindow(space); }
    std::optional<WindowId> previousFocusedWindow(SpaceId space) const {
        return m_policy.previousFocusedWindow(space);
    }
    bool isAnimating(SpaceId space) const { return m_writer.isAnimating(space); }
    std::size_t hiddenLayoutCount() const { return m_policy.hiddenLayoutCount(); }

private:
    const WindowTracker& m_tracker;
    const FrameWriter& m_writer;
    const TreePolicy& m_policy;
};

class TilingEngine {
public:
    using AdoptResult = TreePolicy::AdoptResult;

    explicit TilingEngine(const TilingContext& context);
    ~TilingEngine();
    TilingEngine(const TilingEngine&) = delete;
    TilingEngine& operator=(const TilingEngine&) = delete;

    // Starts tracking; needs window control to be available. Does nothing when already running.
    void start();
    // Forgets everything, kept trees too; windows stay where they are.
    void stop();
    bool isRunning() const { return m_run.running; }
    // Stops tracking and keeps the trees (TreePolicy::keptTrees): the window manager went away.
    // The next start() begins from them.
    void pause();
    bool isPaused() const { return m_paused; }
    // Whether window control lists every window of the kept trees (a window gone meanwhile never
    // is again).
    bool keptWindowsListed();
    // Starts again from the kept trees, with the windows that still exist, and lays every desktop
    // with a tree out again. Without kept trees, the same as start().
    void resume();

    // Set by the shell: true while a display swap runs, so screen changes are ignored meanwhile.
    std::function<bool()> isDisplayTransitionInProgress;
    // A spotlight ended because focus moved, or was toggled.
    std::function<void()> onSpotlightChanged;
    // Retile found every window refusing to move and window control gone; the engine has paused.
    std::function<void()> onAccessLost;

    // Lays the desktop's tree out again; `grew` is a window that just joined it (placed at once).
    void retile(SpaceId space, std::optional<WindowId> grew) { m_policy.retile(space, grew); }
    void retileAllSpaces() { m_policy.retileAllSpaces(); }
    // Brings the desktop's tree in line with the windows on it (no retile).
    AdoptResult adoptSpace(SpaceId space) { return m_policy.adoptSpace(space); }
    void globalTilingChanged() { m_policy.globalTilingChanged(); }
    void tilingOverrideChanged(SpaceId space) { m_policy.tilingOverrideChanged(space); }

    // Keyboard commands on the active desktop; false when nothing changed.
    bool swapFocusedWindow(Direction direction) { return m_policy.swapFocusedWindow(direction); }
    bool toggleSplitOfFocusedWindow() { return m_policy.toggleSplitOfFocusedWindow(); }
    void toggleSpotlight() { m_policy.toggleSpotlight(); }

    // The desktops that have a tree, on any monitor (the tray shows which are tiled).
    std::set<SpaceId> trees() const { return m_policy.trees(); }
    const TilingView& view() const { return m_view; }

private:
    void screenParametersChanged();

    TilingContext m_ctx;
    TilingRun m_run;
    // The policy is built first: the tracker and the writer report to it.
    TreePolicy m_policy;
    WindowTracker m_tracker;
    FrameWriter m_writer;
    TilingView m_view;
    TreePolicy::TreeMap m_kept;
    bool m_paused = false;
    std::vector<ObserverToken> m_workspaceObservers;
    std::optional<ObserverToken> m_screenObserver;
    Lifetime m_lifetime;
};

} // namespace quorvel
