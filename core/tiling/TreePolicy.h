// The tiling engine's tree policy: which windows are in which desktop's tree (adoption, upkeep,
// hidden applications' saved layouts), how a tree is laid out and handed to the frame writer
// (retile), and the keyboard commands. It hears the window tracker (TrackerEvents) and the frame
// writer (FrameWriter::Listener). Implemented in TilingAdoption.cpp, TilingRetile.cpp and
// TilingCommands.cpp.
#pragma once

#include "platform/Lifetime.h"
#include "tiling/BSPTree.h"
#include "tiling/DirectionalSearch.h"
#include "tiling/FrameWriter.h"
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

    TreePolicy(const TilingContext& context, const TilingRun& run, WindowTracker& tracker, FrameWriter& writer);
    TreePolicy(const TreePolicy&) = delete;
    TreePolicy& operator=(const TreePolicy&) = delete;

    // A spotlight ended because focus moved, or was toggled.
    std::function<void()> onSpotlightChanged;
    // Every window refused to move and window control is gone: tiling must stop.
    std::function<void()> onAccessLost;

    // --- Lifecycle (TilingAdoption.cpp) -------------------------------------------------------
    // Adopts the active desktop's windows and lays it out.
    void startUp();
    // Forgets every tree, focus and saved layout; hides the border.
    void stop();

    // --- Adoption and upkeep (TilingAdoption.cpp) ---------------------------------------------
    AdoptResult adoptSpace(SpaceId space);
    void activeSpaceChanged();
    void applicationHidden(const RunningApplication& app);
    void applicationUnhidden(const RunningApplication& app);
    void globalTilingChanged();
    void tilingOverrideChanged(SpaceId space);

    // --- Retile (TilingRetile.cpp) ------------------------------------------------------------
    void retile(SpaceId space, std::optional<WindowId> grew);
    void retileAllSpaces();
    // The desktop's usable area: its monitor without panels and docks.
    Rect frameForSpace(SpaceId space) const;

    // --- Commands (TilingCommands.cpp) --------------------------------------------------------
    bool swapFocusedWindow(Direction direction);
    bool toggleSplitOfFocusedWindow();
    void toggleSpotlight();

    // --- Read access --------------------------------------------------------------------------
    const std::map<SpaceId, std::shared_ptr<BSPTree>>& trees() const { return m_trees; }
    const BSPTree* tree(SpaceId space) const;
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
    // FrameWriter::Listener
    void dropWindows(SpaceId space, const std::vector<WindowId>& refused, double gap) override;
    void accessLost() override;

    // Adoption (TilingAdoption.cpp).
    void adopt(WindowId id);
    std::set<SpaceId> evict(WindowId id, SpaceId except);
    void removeFromTrees(WindowId id);
    // Takes the window out of the desktop's tree, refitting it as set, and out of its focus.
    void removeFromTree(SpaceId space, BSPTree& tree, WindowId id);
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
    BSPTree& treeFor(SpaceId space);
    bool isInAnyTree(WindowId id) const;
    // The rectangle a tree is re-oriented for when a window leaves it; none with "keep".
    std::optional<Rect> refitRect(SpaceId space);

    // Layout (TilingRetile.cpp).
    std::optional<ScreenInfo> screenFor(const std::optional<std::string>& uuid) const;
    bool isSpaceVisible(SpaceId space);
    // A desktop's plain layout: its tree over the usable area inset by the gap (no spotlight rule).
    FrameMap plainLayout(const BSPTree& tree, SpaceId space, double gap);
    void updateBorder(SpaceId space, const FrameMap& rects, const Rect& frame);
    void hideBorder();

    // Commands and focus (TilingCommands.cpp).
    struct CommandLayout {
        SpaceId space;
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
    std::map<SpaceId, std::shared_ptr<BSPTree>> m_trees;
    std::map<SpaceId, WindowId> m_lastFocused;
    std::map<SpaceId, WindowId> m_previousFocused;
    std::map<SpaceId, WindowId> m_spotlit;
    std::map<Pid, std::map<SpaceId, std::shared_ptr<BSPTree>>> m_hiddenLayouts;
    // Where a full-screen window was: its desktop, that tree as it was, and a neighbour in it.
    struct FullScreenPlace {
        SpaceId space = 0;
        std::shared_ptr<BSPTree> tree;
        std::optional<WindowId> neighbour;
    };
    std::map<WindowId, FullScreenPlace> m_fullScreenPlaces;
    // The desktop whose spotlit window the border outlines, while it is shown.
    std::optional<SpaceId> m_borderSpace;
    Lifetime m_lifetime;
};

} // namespace quorvel
