#include "platform/thread.h"
#include "platform/tick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

// Polls a condition with a generous time-out.
template <typename F>
bool Eventually(F condition, int timeoutMs = 10000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        platform::Sleep(2);
    }
    return true;
}

TEST(Thread, CreatedSuspendedRunsOnResume) {
    std::atomic<int> runs{0};
    platform::Thread thread([&](platform::Thread&) { ++runs; });
    platform::Sleep(30);
    EXPECT_EQ(runs.load(), 0);
    EXPECT_TRUE(thread.Suspended());
    thread.Resume();
    ASSERT_TRUE(Eventually([&] { return thread.Finished(); }));
    EXPECT_EQ(runs.load(), 1);
    thread.WaitFor();
}

TEST(Thread, SuspendsItselfAndResumesWithoutLostWakeups) {
    std::atomic<int> rounds{0};
    platform::Thread thread([&](platform::Thread& self) {
        while (!self.Terminated()) {
            ++rounds;
            self.Suspend();
        }
    });
    thread.Resume();
    for (int i = 1; i <= 50; ++i) {
        // Resume may land before or after the body reaches Suspend; each one
        // must release exactly one more round.
        ASSERT_TRUE(Eventually([&] { return rounds.load() >= i; }));
        thread.Resume();
    }
    ASSERT_TRUE(Eventually([&] { return rounds.load() >= 51; }));
    thread.TerminateAndWait();
    EXPECT_TRUE(thread.Finished());
}

TEST(Thread, TerminateWakesSuspendAndSleep) {
    for (bool sleeping : {false, true}) {
        std::atomic<bool> inside{false};
        platform::Thread thread([&](platform::Thread& self) {
            inside = true;
            if (sleeping)
                EXPECT_FALSE(self.SleepFor(600000));
            else
                self.Suspend();
        });
        thread.Resume();
        ASSERT_TRUE(Eventually([&] { return inside.load(); }));
        thread.TerminateAndWait();
        EXPECT_TRUE(thread.Finished());
        EXPECT_TRUE(thread.Terminated());
    }
}

TEST(Thread, NeverStartedThreadEndsWithoutRunning) {
    bool ran = false;
    {
        platform::Thread thread([&](platform::Thread&) { ran = true; });
        thread.Terminate();
        thread.Resume();
    }
    EXPECT_FALSE(ran);
}

class CountingThread : public platform::Thread {
public:
    ~CountingThread() override { TerminateAndWait(); }
    std::atomic<int> cycles{0};

protected:
    void Execute() override {
        while (!Terminated()) {
            ++cycles;
            SleepFor(1);
        }
    }
};

TEST(Thread, DerivedExecuteStopsOnDestruction) {
    auto thread = std::make_unique<CountingThread>();
    thread->Resume();
    ASSERT_TRUE(Eventually([&] { return thread->cycles.load() > 3; }));
    thread.reset();
}

}  // namespace
