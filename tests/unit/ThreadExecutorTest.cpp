#include "platform/linux/ThreadExecutor.h"

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include <gtest/gtest.h>

namespace quillo::test {
namespace {

TEST(ThreadExecutor, RunsTasksOffTheCallingThreadAndFinishesThemAllWhenDestroyed)
{
    std::atomic<int> done{0};
    std::mutex mutex;
    std::set<std::thread::id> threads;
    const auto caller = std::this_thread::get_id();
    {
        ThreadExecutor executor(2);
        for (int i = 0; i < 20; ++i) {
            executor.run([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
                ++done;
            });
        }
    } // a dictation still queued at shutdown is finished, not dropped
    EXPECT_EQ(done.load(), 20);
    EXPECT_EQ(threads.count(caller), 0u);
    EXPECT_LE(threads.size(), 2u);

    // Stopping races with workers about to wait for work; a lost wake-up hangs here.
    for (int round = 0; round < 2000; ++round) {
        ThreadExecutor executor(2);
        if (round % 2 == 0) {
            executor.run([] {});
        }
    }
}

} // namespace
} // namespace quillo::test
