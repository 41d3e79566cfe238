#include "boards/event_data.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "boards/event_lock.h"

namespace QVRProjects {
namespace {

struct Received {
    int32_t code = 0;
    std::string text;
    int32_t length = -1;
    bool terminated = false;
    int calls = 0;
};

CQVR_EventHandler Recorder(Received& into) {
    return [&into](CQVR_Event_Data* e) {
        into.code = e->code;
        into.text.assign(e->text, static_cast<size_t>(e->length));
        into.length = e->length;
        into.terminated = e->text[e->length] == '\0';
        ++into.calls;
    };
}

TEST(EventDataTest, StartsEmptyAndUnbound) {
    CQVR_Event_Data e;
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.board, nullptr);
    EXPECT_EQ(e.protocol, nullptr);
    EXPECT_FALSE(e.onEvent);
    EXPECT_EQ(e.length, 0);
}

TEST(EventDataTest, RawBytesWithZerosAreDeliveredWhole) {
    Received got;
    CQVR_Event_Data e(Recorder(got));
    const char raw[] = {'\x86', '\0', '\x01', '\0', 'z'};
    e.Build(EventCode::RawReceived, nullptr, nullptr, raw, sizeof raw);
    e.Deliver();
    EXPECT_EQ(got.calls, 1);
    EXPECT_EQ(got.code, EventCode::RawReceived);
    EXPECT_EQ(got.text, std::string(raw, sizeof raw));
    EXPECT_TRUE(got.terminated);
}

TEST(EventDataTest, TextLengthsAreBoundedAndTerminated) {
    struct Case {
        std::string input;
        int32_t declaredLength;
        int32_t expectedLength;
    };
    const std::string tooLong(CQVR_Event_Data::kTextCapacity + 100, 'a');
    const std::string exact(CQVR_Event_Data::kMaxLength, 'b');
    const Case cases[] = {
        {"UPDATE", 6, 6},
        {"", 0, 0},
        {"ignored", -3, 0},
        {exact, CQVR_Event_Data::kMaxLength, 16383},
        {tooLong, static_cast<int32_t>(tooLong.size()), 16383},
    };
    for (const Case& c : cases) {
        Received got;
        auto e = std::make_unique<CQVR_Event_Data>(Recorder(got));
        e->Build(EventCode::StatusLine, nullptr, nullptr, c.input.data(), c.declaredLength);
        e->Deliver();
        EXPECT_EQ(got.length, c.expectedLength) << c.declaredLength;
        EXPECT_EQ(got.text, c.input.substr(0, static_cast<size_t>(c.expectedLength)));
        EXPECT_TRUE(got.terminated);
    }
    // The text form cuts the same way.
    Received got;
    auto e = std::make_unique<CQVR_Event_Data>(Recorder(got));
    e->Raise(EventCode::StatusLine, nullptr, nullptr, tooLong);
    EXPECT_EQ(got.length, 16383);
}

TEST(EventDataTest, UnboundRecordRaisesNothingAndTakesNoLock) {
    CQVR_Event_Data e;
    std::promise<void> held, release;
    std::thread holder([&] {
        EventLockGuard guard(EventLock());
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    auto raised = std::async(std::launch::async, [&] {
        e.Raise(EventCode::PositionUpdate, nullptr, nullptr, "UPDATE");
    });
    const bool returned = raised.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    release.set_value();
    holder.join();
    raised.wait();
    EXPECT_TRUE(returned) << "an unbound record waited for the event lock";
    EXPECT_EQ(e.code, EventCode::PositionUpdate);
}

TEST(EventDataTest, HandlerMayRaiseFurtherEventsOnItsThread) {
    Received inner;
    CQVR_Event_Data second(Recorder(inner));
    CQVR_Event_Data first([&](CQVR_Event_Data*) { second.Raise(EventCode::StatusLine, nullptr, nullptr, "nested"); });
    first.Raise(EventCode::StatusLine, nullptr, nullptr, "outer");
    EXPECT_EQ(inner.calls, 1);
    EXPECT_EQ(inner.text, "nested");
}

// Several port threads raise events at the same moment; the handler must
// never run twice at once, and it sees every event exactly once.
TEST(EventDataThreadedTest, HandlerIsNeverEnteredTwiceAtOnce) {
    constexpr int kThreads = 4;
    constexpr int kEventsPerThread = 2000;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    long handled = 0;  // plain on purpose: only the event lock protects it
    std::vector<int> perThread(kThreads, 0);

    auto handler = [&](CQVR_Event_Data* e) {
        if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
        ++handled;
        ++perThread[static_cast<size_t>(e->code - 1000)];
        std::this_thread::yield();
        inside.fetch_sub(1);
    };

    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto record = std::make_unique<CQVR_Event_Data>(handler);
            start.arrive_and_wait();
            for (int i = 0; i < kEventsPerThread; ++i)
                record->Raise(1000 + t, nullptr, nullptr, "BWTIME");
        });
    }
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(handled, long{kThreads} * kEventsPerThread);
    for (int count : perThread) EXPECT_EQ(count, kEventsPerThread);
}

}  // namespace
}  // namespace QVRProjects
