#include "platform/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(Dispatcher, SyncRunsOnTheMainThreadWhileTheCallerWaits)
{
    platform::MainThreadDispatcher dispatcher;
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> returned{false};
    std::thread::id ranOn;
    int value = 0;
    std::thread worker([&] {
        EXPECT_TRUE(dispatcher.Sync([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        }));
        EXPECT_EQ(value, 42);  // visible to the caller once Sync returns
        returned = true;
    });
    ASSERT_TRUE(dispatcher.RunUntil([&] { return returned.load(); }, 10s));
    worker.join();
    EXPECT_EQ(ranOn, mainId);
}

TEST(Dispatcher, SyncOnTheMainThreadRunsAtOnce)
{
    platform::MainThreadDispatcher dispatcher;
    bool ran = false;
    EXPECT_TRUE(dispatcher.Sync([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(dispatcher.ProcessPending(), 0u);
}

TEST(Dispatcher, PostAndSyncFromManyThreadsKeepEachSendersOrder)
{
    platform::MainThreadDispatcher dispatcher;
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::vector<int>> seen(kThreads);  // main thread only
    std::atomic<int> done{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                auto record = [&seen, t, i] { seen[t].push_back(i); };
                if (i % 3 == 0)
                    dispatcher.Sync(record);
                else
                    dispatcher.Post(record);
            }
            ++done;
        });
    }
    ASSERT_TRUE(dispatcher.RunUntil(
        [&] {
            if (done < kThreads)
                return false;
            for (const auto& s : seen)
                if (s.size() < kEach)
                    return false;
            return true;
        },
        20s));
    for (auto& s : senders)
        s.join();
    for (const auto& s : seen)
        for (int i = 0; i < kEach; ++i)
            ASSERT_EQ(s[i], i);
}

TEST(Dispatcher, CancelReleasesWaitersAndDropsTasksOfThatTagOnly)
{
    platform::MainThreadDispatcher dispatcher;
    int owner = 0, other = 0;
    std::atomic<bool> ran{false};
    std::atomic<int> syncResult{-1};
    int otherRuns = 0;
    dispatcher.Post([&] { ran = true; }, &owner);
    dispatcher.Post([&] { ++otherRuns; }, &other);
    std::thread waiter([&] { syncResult = dispatcher.Sync([&] { ran = true; }, &owner) ? 1 : 0; });
    while (syncResult == -1) {  // until the Sync was queued and cancelled
        dispatcher.Cancel(&owner);
        std::this_thread::sleep_for(2ms);
    }
    waiter.join();
    EXPECT_EQ(syncResult, 0);
    EXPECT_EQ(dispatcher.ProcessPending(), 1u);
    EXPECT_FALSE(ran);
    EXPECT_EQ(otherRuns, 1);
}

TEST(Dispatcher, ExceptionOfASyncTaskReachesTheCaller)
{
    platform::MainThreadDispatcher dispatcher;
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try {
            dispatcher.Sync([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& e) {
            caught = std::string(e.what()) == "boom";
        }
    });
    ASSERT_TRUE(dispatcher.RunUntil([&] { return caught.load(); }, 10s));
    worker.join();
}

TEST(Dispatcher, PlainLoopRunsTasksUntilQuit)
{
    platform::MainThreadDispatcher dispatcher;
    std::vector<int> order;
    std::thread worker([&] {
        dispatcher.Post([&] { order.push_back(1); });
        dispatcher.Sync([&] { order.push_back(2); });
        dispatcher.Post([&] {
            order.push_back(3);
            dispatcher.Quit();
        });
    });
    dispatcher.Run();
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Dispatcher, WakeupIsCalledForEveryQueuedTask)
{
    platform::MainThreadDispatcher dispatcher;
    std::atomic<int> wakeups{0};
    dispatcher.SetWakeup([&] { ++wakeups; });
    std::thread worker([&] {
        dispatcher.Post([] {});
        dispatcher.Post([] {});
    });
    worker.join();
    EXPECT_EQ(wakeups, 2);
    EXPECT_EQ(dispatcher.ProcessPending(), 2u);
}

}  // namespace
