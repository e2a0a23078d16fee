// The same story for every Scheduler's postFromAnyThread: numbered tasks posted from a worker
// thread, recorded in the order they run and checked for having run on the loop's own thread.
#pragma once

#include "platform/Scheduler.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace quorvel::test {

struct CrossThreadPosts {
    // Posts `count` tasks from a worker thread and waits for the worker (not for the tasks).
    void postFromWorker(Scheduler& scheduler, int count) {
        const auto loopThread = std::this_thread::get_id();
        std::thread worker([&] {
            for (int n = 0; n < count; ++n)
                scheduler.postFromAnyThread([this, n, loopThread] {
                    elsewhere = elsewhere || std::this_thread::get_id() != loopThread;
                    ran.push_back(n);
                });
        });
        worker.join();
    }
    // Every task ran on the loop's thread, in the order posted.
    bool ranInOrderOnTheLoop() const { return std::is_sorted(ran.begin(), ran.end()) && !elsewhere; }

    std::vector<int> ran;
    bool elsewhere = false;
};

} // namespace quorvel::test
