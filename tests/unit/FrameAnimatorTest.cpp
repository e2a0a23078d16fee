// The frame animator in virtual time: eased steps at 30 ticks a second, skipped unchanged writes,
// the cut-off when writes are slow, and ending without completion when the owner drops it.
#include "tiling/FrameAnimator.h"

#include "SimPlatform.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;

namespace quorvel {
namespace {

class FrameAnimatorTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    Pid pid = 0;
    int completions = 0;

    void SetUp() override {
        sim.world.addDisplay();
        pid = sim.world.launchApp({.name = "Editor"});
    }

    FrameAnimator::Move move(WindowId window, const Rect& from, const Rect& to) {
        return {window, from, to, std::nullopt};
    }
    std::unique_ptr<FrameAnimator> animator(std::vector<FrameAnimator::Move> moves, std::function<void()> completion = {}) {
        if (!completion) completion = [this] { ++completions; };
        return std::make_unique<FrameAnimator>(std::move(moves), std::move(completion), sim.windowControl,
                                               sim.scheduler, sim.log);
    }
    // What each of one window's writes named: "origin", "size" or "origin+size".
    std::vector<std::string> partsWritten(WindowId window) {
        std::vector<std::string> out;
        for (const auto& write : sim.world.writes()) {
            if (write.window != window) continue;
            const auto& change = write.change;
            out.push_back(change.origin && change.size ? "origin+size" : change.origin ? "origin" : "size");
        }
        return out;
    }
    std::vector<double> xsWritten(WindowId window) {
        std::vector<double> out;
        for (const auto& write : sim.world.writes())
            if (write.window == window && write.change.origin) out.push_back(write.change.origin->x);
        return out;
    }
};

TEST_F(FrameAnimatorTest, EasesEveryWindowToItsTileThenCompletesOnce) {
    const WindowId sliding = sim.world.openWindow(pid, {0, 0, 800, 600});
    const WindowId growing = sim.world.openWindow(pid, {0, 0, 400, 300});
    double completedAt = -1;
    auto a = animator({move(sliding, {0, 0, 800, 600}, {800, 0, 800, 600}),
                       move(growing, {0, 0, 400, 300}, {0, 0, 800, 600})},
                      [&] {
                          ++completions;
                          completedAt = sim.scheduler.now();
                      });
    a->start();
    // The starting frames, whole, in one write each.
    EXPECT_EQ(partsWritten(sliding), (std::vector<std::string>{"origin+size"}));
    EXPECT_EQ(partsWritten(growing), (std::vector<std::string>{"origin+size"}));
    sim.world.writes().clear();

    sim.scheduler.advance(Seconds(1.0 / 30));
    const double firstEase = 1 - std::pow(1 - (1.0 / 30) / 0.28, 3);
    ASSERT_EQ(xsWritten(sliding).size(), 1u);
    EXPECT_NEAR(xsWritten(sliding).front(), 800 * firstEase, 1e-9);

    sim.scheduler.advance(1s);
    EXPECT_EQ(completions, 1);
    EXPECT_NEAR(completedAt, 0.3, 1e-9); // the ninth timer fire finds the time up
    EXPECT_EQ(a->tickCount(), 8);
    EXPECT_FALSE(a->isRunning());
    EXPECT_EQ(sim.scheduler.pendingCount(), 0u);
    EXPECT_EQ(sim.log.lines("tiling"), (std::vector<std::string>{"animation finished: 8 tick(s), 0 over budget"}));

    // A move that keeps its size writes only positions, one that keeps its place only sizes;
    // the windows stop at their last intermediate frame, short of the target.
    EXPECT_EQ(partsWritten(sliding), std::vector<std::string>(8, "origin"));
    EXPECT_EQ(partsWritten(growing), std::vector<std::string>(8, "size"));
    const std::vector<double> xs = xsWritten(sliding);
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
    EXPECT_LT(xs.back(), 800);
    EXPECT_GT(xs.back(), 790);
}

TEST_F(FrameAnimatorTest, FirstTickSkipsWindowsStillWithinHalfAPoint) {
    const WindowId nudged = sim.world.openWindow(pid, {0, 0, 800, 600});
    const WindowId moved = sim.world.openWindow(pid, {0, 0, 800, 600});
    auto a = animator({move(nudged, {0, 0, 800, 600}, {1, 0, 800, 601}), move(moved, {0, 0, 800, 600}, {100, 0, 800, 600})});
    a->start();
    sim.world.writes().clear();
    sim.scheduler.advance(Seconds(1.0 / 30));
    EXPECT_EQ(a->tickCount(), 1);
    EXPECT_TRUE(partsWritten(nudged).empty());
    EXPECT_EQ(partsWritten(moved), (std::vector<std::string>{"origin"}));
}

TEST_F(FrameAnimatorTest, SlowWritesCutTheAnimationShortAfterTwoTicks) {
    // 30 ms a part written: moving only stays within the 50 ms budget a tick...
    sim.world.writeCostPerPart = 30ms;
    const WindowId window = sim.world.openWindow(pid, {0, 0, 800, 600});
    auto withinBudget = animator({move(window, {0, 0, 800, 600}, {800, 0, 800, 600})});
    withinBudget->start();
    sim.scheduler.advance(1s);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(sim.log.lines("tiling"), (std::vector<std::string>{"animation finished: 8 tick(s), 0 over budget"}));

    // ...moving and resizing does not, and the second slow tick ends it; the completion places
    // the windows.
    sim.log.clear();
    sim.world.writes().clear();
    auto slow = animator({move(window, {800, 0, 800, 600}, {0, 0, 400, 600})});
    slow->start();
    sim.scheduler.advance(1s);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(slow->tickCount(), 2);
    EXPECT_EQ(sim.log.lines("tiling"), (std::vector<std::string>{"animation finished: 2 tick(s), 2 over budget"}));
    EXPECT_EQ(sim.log.entries().back().level, LogLevel::info);
    EXPECT_EQ(sim.world.writes().size(), 1u + 2); // the starting frame, then two ticks of size and position
    EXPECT_EQ(sim.scheduler.pendingCount(), 0u);
}

TEST_F(FrameAnimatorTest, DroppedOrCancelledAnimatorNeverCompletes) {
    const WindowId window = sim.world.openWindow(pid, {0, 0, 800, 600});
    auto dropped = animator({move(window, {0, 0, 800, 600}, {800, 0, 800, 600})});
    dropped->start();
    dropped.reset();
    sim.scheduler.advance(1s);
    EXPECT_EQ(sim.world.writes().size(), 1u); // only the starting frame
    EXPECT_EQ(sim.scheduler.pendingCount(), 0u);

    sim.world.writes().clear();
    auto cancelled = animator({move(window, {0, 0, 800, 600}, {800, 0, 800, 600})});
    cancelled->start();
    sim.scheduler.advance(Seconds(3.5 / 30));
    EXPECT_EQ(cancelled->tickCount(), 3);
    cancelled->cancel();
    const std::size_t written = sim.world.writes().size();
    sim.scheduler.advance(1s);
    EXPECT_FALSE(cancelled->isRunning());
    EXPECT_EQ(sim.world.writes().size(), written);

    cancelled->start(); // never restarted
    sim.scheduler.advance(1s);
    EXPECT_EQ(sim.world.writes().size(), written);
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(sim.log.lines("tiling").empty());
}

TEST_F(FrameAnimatorTest, CompletionMayDropTheAnimator) {
    const WindowId window = sim.world.openWindow(pid, {0, 0, 800, 600});
    for (const Seconds cost : {Seconds(0), Seconds(0.03)}) { // finishing on time, and cut short
        sim.world.writeCostPerPart = cost;
        completions = 0;
        std::unique_ptr<FrameAnimator> owned;
        owned = animator({move(window, {0, 0, 800, 600}, {400, 0, 400, 600})}, [&] {
            ++completions;
            owned.reset();
        });
        owned->start();
        sim.scheduler.advance(1s);
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(owned, nullptr);
        EXPECT_EQ(sim.scheduler.pendingCount(), 0u);
    }
}

} // namespace
} // namespace quorvel
