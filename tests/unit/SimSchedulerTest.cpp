// Virtual time: order of due tasks, turns of the main queue, cancellation and repeating timers.
#include "SimScheduler.h"
#include "../CrossThreadPosts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;
using quorvel::sim::SimScheduler;

TEST(SimSchedulerTest, RunsDueTasksInOrderOfTimeThenScheduling) {
    SimScheduler scheduler;
    std::vector<std::string> ran;
    scheduler.after(0.5s, [&] { ran.push_back("b"); });
    scheduler.after(0.2s, [&] { ran.push_back("a"); });
    scheduler.after(0.5s, [&] { ran.push_back("c"); });
    scheduler.post([&] { ran.push_back("now"); });
    scheduler.advance(0.4s);
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "a"}));
    EXPECT_DOUBLE_EQ(scheduler.now(), 0.4);
    scheduler.advance(0.1s);
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "a", "b", "c"}));
}

TEST(SimSchedulerTest, TasksSeeTheirOwnDueTimeAndPostedWorkWaitsForTheNextTurn) {
    SimScheduler scheduler;
    double seen = -1;
    int later = 0;
    scheduler.after(1s, [&] {
        seen = scheduler.now();
        scheduler.post([&] { ++later; });
    });
    scheduler.advance(5s);
    EXPECT_DOUBLE_EQ(seen, 1.0);
    EXPECT_EQ(later, 1); // posted at t=1, due at t=1, runs within the same advance

    int turns = 0;
    scheduler.post([&] {
        ++turns;
        scheduler.post([&] { ++turns; });
    });
    EXPECT_EQ(scheduler.runPending(), 2u);
    EXPECT_EQ(turns, 2);
}

TEST(SimSchedulerTest, CancelledTasksAndTimersNeverRunAgain) {
    SimScheduler scheduler;
    int once = 0;
    int ticks = 0;
    auto task = scheduler.after(1s, [&] { ++once; });
    quorvel::TaskHandle timer;
    timer = scheduler.every(2s, [&] {
        if (++ticks == 3) timer.cancel();
    });
    task.cancel();
    task.cancel();
    scheduler.advance(20s);
    EXPECT_EQ(once, 0);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_TRUE(timer.isCancelled());
}

TEST(SimSchedulerTest, WorkFromAnotherThreadWaitsForTheNextTurnOfTheMainThread) {
    SimScheduler scheduler;
    quorvel::test::CrossThreadPosts posts;
    posts.postFromWorker(scheduler, 50);
    EXPECT_TRUE(posts.ran.empty());
    EXPECT_EQ(scheduler.pendingCount(), 50u);
    scheduler.advance(0s);
    ASSERT_EQ(posts.ran.size(), 50u);
    EXPECT_TRUE(posts.ranInOrderOnTheLoop());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}
