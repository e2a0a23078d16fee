// The tiling engine's frame writer: every frame the engine gives a window goes through here, at
// once or through a FrameAnimator per desktop, writing only what differs (the write budget); it
// judges the windows that refused, and hands the dropping to its listener (the tree policy).
// Implemented in FrameWriter.cpp.
#pragma once

#include "platform/Lifetime.h"
#include "tiling/BSPTree.h"
#include "tiling/FrameAnimator.h"
#include "tiling/TilingParts.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel {

class WindowTracker;

class FrameWriter {
public:
    class Listener {
    public:
        // Some windows of the desktop refused their frames: they leave its tree, and the others are
        // laid out again with the gap of the retile that placed them.
        virtual void dropWindows(TreeKey tree, const std::vector<WindowId>& refused, double gap) = 0;
        // Every window refused and window control is gone.
        virtual void accessLost() = 0;

    protected:
        ~Listener() = default;
    };

    FrameWriter(const TilingContext& context, const TilingRun& run, WindowTracker& tracker,
                Listener& listener);
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Ends every animation without completion and forgets the frames asked of windows.
    void stop();
    // The window is gone from the tracker: what was asked of it is forgotten.
    void forgetWindow(WindowId window) { m_asked.erase(window); }

    // How long after a retile the frames that landed are compared with the tiles, and how long
    // after that the windows still off their tiles are looked at once more.
    static constexpr Seconds kLandedCheckDelay{0.1};
    // (The second look comes after the half second a maximised window may take to be restored.)
    static constexpr Seconds kLandedRecheckDelay{0.6};

    // Places a window: origin and size in one write. False (logged) when the write was refused.
    bool setFrame(WindowId window, const Rect& rect);
    std::optional<Rect> currentFrame(WindowId window);
    // Places every window of the map: the current frames are read in one batch, a window already
    // on its tile (and not asked for another frame still on its way) is not written, the others
    // get only the part (origin, size) that differs.
    // Returns the windows that could not be placed.
    std::vector<WindowId> applyFrames(const FrameMap& frames);
    // After the window manager has had time to answer, compares the frames that landed with the
    // tiles; a window off its tile (larger than it, or short of it by a whole size step or more),
    // and on a second look still there at the same frame, was refused by the window manager: it
    // leaves the desktop's tree and is not tracked again in this run (one log line, no retry). A
    // later check of the desktop supersedes this one.
    void checkLanded(TreeKey tree, FrameMap frames, double gap);
    // The end of an animation: puts every window exactly on its tile, writing only the size or
    // position that differs from the frame last written by `animator` or noted in `settled` (a
    // window known to be exactly in place is not written); returns the windows that refused.
    std::vector<WindowId> landFrames(const FrameMap& frames, const FrameAnimator* animator,
                                     const std::map<WindowId, Rect>& settled);

    // Replaces the tree's animation by one over `moves`, started on the next turn of the main
    // queue; `landed` gets the finished animator (alive until it returns) when it ends by itself.
    void animate(TreeKey tree, std::vector<FrameAnimator::Move> moves,
                 std::function<void(const FrameAnimator* finished)> landed);
    void cancelAnimation(TreeKey tree);
    // Every animation of the desktop's trees, on any monitor.
    void cancelAnimations(SpaceId space);
    bool isAnimating(SpaceId space) const;

    // Windows of a tree that holds `leafCount` windows refused their frames: either all
    // refused and window control is gone (the listener stops tiling), or they are dropped.
    void dropUnresponsive(TreeKey tree, const std::vector<WindowId>& refused, std::size_t leafCount, double gap);

private:
    // One write; false (logged with the parts refused) when the window refused it.
    bool write(WindowId window, const FrameChange& change, const Rect& target);
    // The first look has no `firstLook`; the second drops the windows still off their tiles at
    // the frames the first one saw.
    void judgeLanded(TreeKey tree, std::uint64_t check, const FrameMap& frames, double gap,
                     const std::optional<FrameMap>& firstLook);

    const TilingContext& m_ctx;
    const TilingRun& m_run;
    WindowTracker& m_tracker;
    Listener& m_listener;
    std::map<TreeKey, std::shared_ptr<FrameAnimator>> m_animators;
    // The last frame asked of each window through this writer: a write may still be on its way
    // when the window is read, so a frame read on the tile proves nothing if another was asked.
    std::map<WindowId, Rect> m_asked;
    // The latest landed check of each tree; an earlier one finding a newer number does nothing.
    std::map<TreeKey, std::uint64_t> m_landedChecks;
    Lifetime m_lifetime;
};

} // namespace quorvel
