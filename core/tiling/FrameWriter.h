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

    FrameWriter(const TilingContext& context, const TilingRun& run, const WindowTracker& tracker,
                Listener& listener);
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Ends every animation without completion.
    void stop();

    // Places a window: origin and size, then both again for windows that clamp or shift while
    // being resized. False (logged) when the first write was refused.
    bool setFrame(WindowId window, const Rect& rect);
    std::optional<Rect> currentFrame(WindowId window);
    // Places every window of the map; returns the windows that could not be placed.
    std::vector<WindowId> applyFrames(const FrameMap& frames);
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
    const TilingContext& m_ctx;
    const TilingRun& m_run;
    const WindowTracker& m_tracker;
    Listener& m_listener;
    std::map<TreeKey, std::shared_ptr<FrameAnimator>> m_animators;
    Lifetime m_lifetime;
};

} // namespace quorvel
