// The write economy of an animated retile: every frame write is a request to another application,
// so a tick writes a window at most once, and a window already at its tile is not written at all. TilingBench.cpp measures the same budget on larger desktops.
#include "TilingFixture.h"

#include <cmath>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class TilingWriteBudgetTest : public TilingFixture {
protected:
    // What one tick of the animation did: the frames when it began and the writes it made.
    struct Tick {
        std::map<WindowId, Rect> framesBefore;
        std::map<WindowId, int> writes;
    };

    // Steps the clock one animation tick at a time, from the instant the animator started, until
    // the animation is over; the last tick writes the final frames.
    std::vector<Tick> runAnimation(const std::vector<WindowId>& windows) {
        std::vector<Tick> ticks;
        for (int guard = 0; guard < 30 && engine.view().isAnimating(desktop(0)); ++guard) {
            Tick tick;
            for (const WindowId id : windows) tick.framesBefore[id] = frameOf(id);
            const std::size_t before = world.writes().size();
            sim.scheduler.advance(Seconds(FrameAnimator::kTickInterval));
            for (std::size_t i = before; i < world.writes().size(); ++i) ++tick.writes[world.writes()[i].window];
            ticks.push_back(std::move(tick));
        }
        return ticks;
    }

    static bool within(const Rect& a, const Rect& b, double tolerance) {
        return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance &&
               std::abs(a.width - b.width) <= tolerance && std::abs(a.height - b.height) <= tolerance;
    }
};

} // namespace

TEST_F(TilingWriteBudgetTest, ANewWindowBesideCAnimatesOnlyCAndEachTickStaysWithinTheWriteBudget) {
    settings.setTilingAnimation(TilingAnimation::slide);
    const Pid app = launch();
    engine.start();
    const WindowId a = open(app);
    const WindowId b = open(app);
    const WindowId c = open(app);
    world.focusWindow(c);
    sim.scheduler.advance(1s); // earlier animations and deferred reconciles are over
    const Rect aBefore = frameOf(a);
    const Rect bBefore = frameOf(b);

    const WindowId d = world.openWindow(app, {40, 60, 600, 400});
    sim.scheduler.runPending(); // adoption: D jumps to its tile, the animator starts
    ASSERT_TRUE(engine.view().isAnimating(desktop(0)));
    const std::map<WindowId, std::string> names{{a, "A"}, {b, "B"}, {c, "C"}, {d, "D"}};
    const std::vector<WindowId> windows{a, b, c, d};
    const auto ticks = runAnimation(windows);

    ASSERT_FALSE(engine.view().isAnimating(desktop(0)));
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B V[C D]]]");
    EXPECT_EQ(frameOf(a), aBefore) << "A's tile did not change";
    EXPECT_EQ(frameOf(b), bBefore) << "B's tile did not change";
    std::map<WindowId, Rect> target;
    for (const WindowId id : windows) target[id] = frameOf(id);
    EXPECT_GE(ticks.size(), 8u) << "C glides over several ticks";

    for (std::size_t t = 0; t < ticks.size(); ++t) {
        const bool last = t + 1 == ticks.size();
        for (const auto& [id, count] : ticks[t].writes) {
            EXPECT_LE(count, 1) << names.at(id) << " written " << count << " times in tick " << t + 1;
            // Within half a point a window is left alone; only the last tick lands it exactly.
            const Rect& before = ticks[t].framesBefore.at(id);
            if (within(before, target.at(id), FrameAnimator::kWriteThreshold) && !(last && before != target.at(id))) {
                EXPECT_EQ(count, 0) << names.at(id) << " was already at its tile but written " << count
                                    << " times in tick " << t + 1;
            }
        }
    }
}
