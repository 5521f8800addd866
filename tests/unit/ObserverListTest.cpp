#include "base/ObserverList.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

// An owner may be destroyed once remove() returns: a call already running on
// another thread must have finished by then.
TEST(ObserverListTest, RemoveWaitsForACallRunningOnAnotherThread)
{
    ObserverList<int> list;
    std::promise<void> entered;
    std::promise<void> release;
    std::atomic<bool> finished = false;
    const auto token = list.add([&](int) {
        entered.set_value();
        release.get_future().wait();
        finished = true;
    });
    std::thread notifier([&] { list.notify(1); });
    entered.get_future().wait();

    auto removal = std::async(std::launch::async, [&] { list.remove(token); });
    EXPECT_EQ(removal.wait_for(50ms), std::future_status::timeout) << "remove returned while the observer ran";
    release.set_value();
    removal.get();
    EXPECT_TRUE(finished);
    notifier.join();
}

TEST(ObserverListTest, ObserversMayRemoveThemselvesAndOthersMidNotification)
{
    ObserverList<> list;
    int firstCalls = 0, secondCalls = 0;
    ObserverList<>::Token first = 0, second = 0;
    first = list.add([&] {
        ++firstCalls;
        list.remove(first);  // itself: must not wait for its own call
        list.remove(second); // not yet called in this round: must not be
    });
    second = list.add([&] { ++secondCalls; });
    list.notify();
    list.notify();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
}

} // namespace
} // namespace quillo::test
