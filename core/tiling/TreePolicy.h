// The tiling engine's tree policy: which windows are in which tree, one per desktop and monitor
// (adoption, upkeep, windows following their monitor, hidden applications' saved layouts), how a
// tree is laid out and handed to the frame writer (retile), and the keyboard commands. It hears the window tracker (TrackerEvents) and the frame
// writer (FrameWriter::Listener). Implemented in TilingAdoption.cpp, TilingRetile.cpp and
// TilingCommands.cpp.
#pragma once

#include "platform/Lifetime.h"
#include "tiling/BSPTree.h"
#include "tiling/DirectionalSearch.h"
#include "tiling/FrameWriter.h"
#include "tiling/LayoutMemory.h"
#include "tiling/TilingParts.h"
#include "tiling/WindowTracker.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace quorvel {

class TreePolicy final : public TrackerEvents, public FrameWriter::Listener {
public:
    struct AdoptResult {
        bool changed = false;
        std::set<WindowId> inserted;
    };

    // Windows leaving trees together (an application quitting) are retiled once, this long after
    // the first left: on X11 their ends reach us over a few reads of the connection.
    static constexpr Seconds kLeaveSettle{0.05};

    TreePolicy(const TilingContext& context, const TilingRun& run, WindowTracker& tracker, FrameWriter& writer);
    TreePolicy(const TreePolicy&) = delete;
    TreePolicy& operator=(const TreePolicy&) = delete;

    // A spotlight ended because focus moved, or was toggled.
    std::function<void()> onSpotlightChanged;
    // Every window refused to move and window control is gone: tiling must stop.
    std::function<void()> onAccessLost;

    using TreeMap = std::map<TreeKey, std::shared_ptr<BSPTree>>;

    // --- Lifecycle (TilingAdoption.cpp) -------------------------------------------------------
    // Adopts the active desktop's windows and lays it out.
    void startUp();
    // Forgets every tree, focus and saved layout; hides the border.
    void stop();

    // How long the trees as they were before windows began leaving are remembered. A window
    // manager that exits lets go of every window before it goes: the trees worth keeping over its
    // absence are those from before.
    static constexpr Seconds kLeaveMemory{1.0};
    // Copies of the trees to keep while tiling pauses: as they were before windows began leaving
    // when that began less than kLeaveMemory ago, else as they are. Empty trees are left out.
    TreeMap keptTrees() const;
    // Takes copies of `kept` as the trees, without the windows the tracker does not track now
    // (closed meanwhile). For a run that starts: after the tracker started, before startUp.
    void restoreTrees(const TreeMap& kept);

    // --- Adoption and upkeep (TilingAdoption.cpp) ---------------------------------------------
    AdoptResult adoptSpace(SpaceId space);
    void activeSpaceChanged();
    void applicationHidden(const RunningApplication& app);
    void applicationUnhidden(const RunningApplication& app);
    void globalTilingChanged();
    void tilingOverrideChanged(SpaceId space);
    // Monitors came, went or changed: windows move to the tree of the monitor now holding them
    // (the caller retiles).
    void screensChanged();

    // --- Retile (TilingRetile.cpp) ------------------------------------------------------------
    // Every tree of the desktop (one per monitor), or one tree.
    void retile(SpaceId space, std::optional<WindowId> grew);
    void retileTree(TreeKey key, std::optional<WindowId> grew);
    void retileAllSpaces();
    // The desktop's usable area: its monitor without panels and docks.
    Rect frameForSpace(SpaceId space) const;
    // A tree's usable area: its monitor without panels and docks.
    Rect frameFor(TreeKey key) const;

    // --- Commands (TilingCommands.cpp) --------------------------------------------------------
    bool swapFocusedWindow(Direction direction);
    bool toggleSplitOfFocusedWindow();
    void toggleSpotlight();

    // --- Layout memory (TilingLayoutMemory.cpp) -----------------------------------------------
    // Windows appearing this long after the first start (for a desktop not shown at the start:
    // after it is first tiled) are put back into their saved tiles; saved tiles nobody took by
    // then are forgotten.
    static constexpr Seconds kRestoreWindow{30.0};
    // Trees are saved this long after the first change of a burst, once for the burst.
    static constexpr Seconds kSaveDelay{1.0};
    // While windows leave, saving waits until this long after the latest run of them began: a
    // session ending closes every window shortly before it ends us, and the trees from before are
    // the ones to come back to.
    static constexpr Seconds kLeaveSaveDelay{5.0};
    // How soon a restoring tree looks again for a newcomer the window list did not show yet.
    static constexpr Seconds kUnlistedRetry{0.2};
    // How long a newcomer without a title waits for one before it is matched by class alone.
    static constexpr Seconds kUntitledWait{1.0};
    // Whether saved tiles of the tree still wait for their windows.
    bool isRestoring(TreeKey key) const { return m_restoring.contains(key); }

    // --- Read access --------------------------------------------------------------------------
    // The desktops that have a tree, on any monitor.
    std::set<SpaceId> trees() const;
    const TreeMap& treeMap() const { return m_trees; }
    // The desktop's tree on its home monitor (else its first one), or on the given monitor.
    const BSPTree* tree(SpaceId space) const;
    const BSPTree* tree(SpaceId space, DisplayNumber monitor) const;
    std::optional<WindowId> spotlitWindow(SpaceId space) const;
    std::optional<WindowId> lastFocusedWindow(SpaceId space) const;
    std::optional<WindowId> previousFocusedWindow(SpaceId space) const;
    std::size_t hiddenLayoutCount() const { return m_hiddenLayouts.size(); }

private:
    // TrackerEvents
    bool windowCreated(WindowId window, Pid pid) override;
    void windowFocused(WindowId window, bool tracked) override;
    void focusRefreshed(WindowId window) override;
    void windowGone(WindowId window) override {
        m_fullScreenPlaces.erase(window);
        removeFromTrees(window);
    }
    // A window minimised while full screen keeps its place for when it comes back.
    void windowMinimised(WindowId window) override { removeFromTrees(window); }
    void windowRestored(WindowId window) override { adopt(window); }
    void applicationAttached() override;
    // Moves the window manager made (TilingWindowManagerMoves.cpp).
    void windowDesktopChanged(WindowId window) override;
    void windowFullScreenEntered(WindowId window) override;
    void windowFullScreenLeft(WindowId window) override;
    void applicationQuit(Pid pid, const std::vector<WindowId>& windows) override;
    void windowFrameChanged(WindowId window) override;
    // FrameWriter::Listener
    void dropWindows(TreeKey key, const std::vector<WindowId>& refused, double gap) override;
    void accessLost() override;

    // Adoption (TilingAdoption.cpp).
    void adopt(WindowId id);
    // The tile a new window splits: the last focused window of the desktop, or the one before it
    // when the newcomer already took the focus, if that window is in the tree; none splits the
    // last leaf.
    std::optional<WindowId> splitTarget(TreeKey key, WindowId newcomer) const;
    std::set<TreeKey> evict(WindowId id, TreeKey except);
    // Takes the window out of every tree; each tree it left is retiled once, kLeaveSettle later,
    // however many windows leave it meanwhile (an application quitting).
    void removeFromTrees(WindowId id);
    void retileSoon(TreeKey key);
    // Takes the window out of the tree, refitting it as set, and out of its desktop's focus.
    void removeFromTree(TreeKey key, BSPTree& tree, WindowId id);
    void restoreHiddenLayout(Pid pid);
    void pruneDeadTrees();
    void dropTree(SpaceId space);

    // Shared answers (TilingAdoption.cpp).
    SpaceId activeSpace();
    std::optional<SpaceId> spaceFor(WindowId id);
    // The windows on screen, front to back, and their owners, from one window-list read; none
    // without an answer.
    struct OnScreen {
        std::vector<WindowId> windows;
        std::vector<Pid> owners; // each once, in order of first appearance
    };
    std::optional<OnScreen> onScreenWindows();
    bool shouldTile(SpaceId space);
    BSPTree& treeFor(TreeKey key);
    bool isInAnyTree(WindowId id) const;
    std::optional<TreeKey> keyHolding(WindowId id) const;
    std::vector<TreeKey> keysOf(SpaceId space) const;
    // The rectangle a tree is re-oriented for when a window leaves it; none with "keep".
    std::optional<Rect> refitRect(TreeKey key);

    // Monitors (TilingAdoption.cpp). The monitors a desktop spans, home first: empty when it spans
    // one (then every window is on the home monitor and no frame is read).
    std::vector<ScreenInfo> monitorsOf(SpaceId space);
    // The monitor holding the centre of the window's frame (else the nearest); none when the frame
    // cannot be read.
    std::optional<DisplayNumber> monitorOf(WindowId id, const std::vector<ScreenInfo>& monitors);
    TreeKey keyFor(WindowId id, SpaceId space);

    // Layout (TilingRetile.cpp).
    std::optional<ScreenInfo> screenFor(const std::optional<std::string>& uuid) const;
    bool isSpaceVisible(SpaceId space);
    // A desktop's plain layout: its tree over the usable area inset by the gap (no spotlight rule).
    FrameMap plainLayout(const BSPTree& tree, TreeKey key, double gap);
    void updateBorder(TreeKey key, const FrameMap& rects, const Rect& frame);
    void hideBorder();

    // Commands and focus (TilingCommands.cpp).
    struct CommandLayout {
        TreeKey key;
        std::shared_ptr<BSPTree> tree;
        FrameMap frames;
    };
    std::optional<CommandLayout> commandLayout();
    std::optional<WindowId> focusedTiledWindow(SpaceId space, const FrameMap& frames);
    void noteFocus(WindowId window, SpaceId space, bool isTiled);
    void clearSpotlightIfFocusMoved(SpaceId space, WindowId window);

    const TilingContext& m_ctx;
    const TilingRun& m_run;
    WindowTracker& m_tracker;
    FrameWriter& m_writer;
    TreeMap m_trees;
    std::map<SpaceId, WindowId> m_lastFocused;
    std::map<SpaceId, WindowId> m_previousFocused;
    std::map<SpaceId, WindowId> m_spotlit;
    std::map<Pid, TreeMap> m_hiddenLayouts;
    // The tree whose spotlit window the border outlines, while it is shown.
    std::optional<TreeKey> m_borderKey;
    // Whether more than one monitor was seen at the last look: a cheap gate for frame changes,
    // renewed when the screens change and when a desktop is swept.
    bool m_severalMonitors = false;
    // Each swept desktop's monitors (monitorsOf's last answer), for frame changes.
    std::map<SpaceId, std::vector<ScreenInfo>> m_monitors;
    // Trees waiting for the retile posted by retileSoon.
    std::set<TreeKey> m_retileSoon;
    // Where a full-screen window was: its tree's key, that tree as it was, and a neighbour in it.
    struct FullScreenPlace {
        TreeKey key;
        std::shared_ptr<BSPTree> tree;
        std::optional<WindowId> neighbour;
    };
    std::map<WindowId, FullScreenPlace> m_fullScreenPlaces;
    // Keeps where the window is in `tree` for its return from full screen.
    void rememberFullScreenPlace(TreeKey key, const BSPTree& tree, WindowId window);
    // Layout memory (TilingLayoutMemory.cpp). The first start reads the saved trees; a retile
    // puts the tree's newcomers into their saved tiles while it restores, and schedules a save.
    struct Restoring {
        SavedTree saved;
        std::map<std::size_t, WindowId> placed; // saved leaf number → window
        std::set<WindowId> considered;          // windows already matched against the leaves
        std::map<WindowId, double> firstSeen;   // when each newcomer was first looked at
        bool clockStarted = false;              // its desktop has been tiled since the start
        bool retryPending = false;              // a look again at unlisted windows is scheduled
    };
    void beginRestore();
    void endRestore(TreeKey key);
    void restoreInto(TreeKey key, BSPTree& tree);
    void layoutChanged();
    void scheduleSave(Seconds delay);
    void saveLayouts();
    // Marks of every window the window list holds; none without an answer.
    std::optional<std::map<WindowId, WindowMark>> windowMarks();
    std::map<TreeKey, Restoring> m_restoring;
    bool m_restoreBegun = false;
    bool m_savePending = false;
    // The trees before the latest run of windows leaving began, and when it began (see keptTrees).
    TreeMap m_beforeLeaving;
    std::optional<double> m_leavingSince;
    Lifetime m_lifetime;
};

} // namespace quorvel
