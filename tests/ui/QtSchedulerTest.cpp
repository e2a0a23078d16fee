// The scheduler on Qt's real event loop: order of posted work, one-shot and repeating timers and
// their cancellation, descriptors and the hook run before the loop waits.
#include "QtScheduler.h"
#include "../CrossThreadPosts.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using quorvel::TaskHandle;
using quorvel::ui::QtScheduler;

namespace {
// A loop that really waits, as the app's does (qWait only polls, so it never blocks).
void runLoopFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

TEST(QtSchedulerTest, PostedTasksRunInOrderAndWorkTheyPostWaitsItsTurn) {
    QtScheduler scheduler;
    std::vector<std::string> ran;
    scheduler.post([&] {
        ran.push_back("a");
        scheduler.post([&] { ran.push_back("c"); });
        EXPECT_EQ(ran.back(), "a"); // never inline
    });
    scheduler.post([&] { ran.push_back("b"); });
    scheduler.post([&] { ran.push_back("cancelled"); }).cancel();
    EXPECT_TRUE(ran.empty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() >= 3; }, 2000));
    // Posted tasks run in order: once a task posted now has run, nothing posted before is left.
    bool drained = false;
    scheduler.post([&] { drained = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return drained; }, 2000));
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(QtSchedulerTest, CancelledTimersNeverRunAndAreReleased) {
    QtScheduler scheduler;
    int once = 0, cancelledOnce = 0, ticks = 0, ticksCancelledOutside = 0;
    scheduler.after(10ms, [&] { ++once; });
    scheduler.after(10ms, [&] { ++cancelledOnce; }).cancel();
    TaskHandle timer;
    timer = scheduler.every(5ms, [&] {
        if (++ticks == 3) timer.cancel();
    });
    TaskHandle outside = scheduler.every(1h, [&] { ++ticksCancelledOutside; });
    outside.cancel();

    ASSERT_TRUE(QTest::qWaitFor([&] { return once == 1 && ticks == 3; }, 2000));
    // Timers fire in the order of their deadlines: by the time one due 20 ms from now has fired,
    // the cancelled 10 ms timer and a fourth tick would have fired too.
    bool marker = false;
    scheduler.after(20ms, [&] { marker = true; });
    // Cancelled timers, the hour-long one included, are released when anything is scheduled.
    EXPECT_EQ(scheduler.armedTimerCount(), 1u) << "only the marker is armed";
    const double start = scheduler.now();
    ASSERT_TRUE(QTest::qWaitFor([&] { return marker; }, 2000));
    EXPECT_GE(scheduler.now() - start, 0.02);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(cancelledOnce, 0);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(ticksCancelledOutside, 0);
    EXPECT_EQ(scheduler.armedTimerCount(), 0u);
}

TEST(QtSchedulerTest, ReadableDescriptorsAndTheBeforeBlockingHookRunOnTheLoop) {
    QtScheduler scheduler;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    scheduler.watch(fds[0], [&] {
        char buffer[16];
        const auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
        if (received == "xy") scheduler.unwatch(fds[0]); // from inside its own notification
    });
    int beforeBlocking = 0;
    scheduler.setBeforeBlocking([&] { ++beforeBlocking; });

    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received == "x"; }, 2000));
    ASSERT_EQ(::write(fds[1], "y", 1), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received == "xy"; }, 2000));
    runLoopFor(20ms);
    EXPECT_GT(beforeBlocking, 0);

    ASSERT_EQ(::write(fds[1], "z", 1), 1);
    scheduler.setBeforeBlocking({});
    const int seen = beforeBlocking;
    runLoopFor(20ms);
    EXPECT_EQ(received, "xy");
    EXPECT_EQ(beforeBlocking, seen);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(QtSchedulerTest, WorkFromAnotherThreadRunsOnTheLoopInOrder) {
    QtScheduler scheduler;
    quorvel::test::CrossThreadPosts posts;
    posts.postFromWorker(scheduler, 50);
    EXPECT_TRUE(posts.ran.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return posts.ran.size() == 50; }, 2000));
    EXPECT_TRUE(posts.ranInOrderOnTheLoop());
}
