#include "boards/event_data.h"
#include "boards/event_lock.h"
#include "serial/serial_io.h"

#include "tests/serial/pseudo_terminal.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using QVRProjects::CQVR_Event_Data;
using testing_serial::Eventually;
using testing_serial::PseudoTerminal;

// The window side: one handler for the events of every port. Its state is
// plain on purpose; only the event lock keeps it whole.
struct EventSink {
    std::atomic<int> inside{0};
    std::atomic<bool> enteredTwice{false};
    std::vector<std::string> received;
    std::size_t bytes = 0;

    void OnEvent(CQVR_Event_Data* event) {
        if (inside.fetch_add(1) != 0) enteredTwice = true;
        received.emplace_back(event->Text());
        bytes += static_cast<std::size_t>(event->length);
        // Stay a moment, so that the other ports' events arrive meanwhile.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        inside.fetch_sub(1);
    }
};

// A port owner in miniature: its worker's data becomes raw-byte events
// raised through the owner's own record, on the worker thread.
struct PortOwner {
    explicit PortOwner(EventSink& sink)
        : record([&sink](CQVR_Event_Data* event) { sink.OnEvent(event); }),
          worker([this](const TSerialReport& report) {
              if (report.kind == ioData)
                  record.Raise(QVRProjects::EventCode::RawReceived, nullptr, nullptr, report.View());
              if (report.kind == ioPortStatus && report.bytes == "OK") ready = true;
              return 0;
          }) {}

    PseudoTerminal pty;
    CQVR_Event_Data record;
    std::atomic<bool> ready{false};
    TSerialIO worker;
};

TEST(ConcurrentEvents, WorkersRaisingAtOnceNeverEnterTheHandlerTwice) {
    constexpr int kPorts = 4;
    constexpr int kRounds = 40;
    const std::string message = "board message";
    EventSink sink;
    std::vector<std::unique_ptr<PortOwner>> owners;
    for (int i = 0; i < kPorts; ++i) {
        owners.push_back(std::make_unique<PortOwner>(sink));
        owners.back()->worker.OpenPort(owners.back()->pty.Name(), 9600);
    }
    for (auto& owner : owners) ASSERT_TRUE(Eventually([&] { return owner->ready.load(); }));

    // Every far end sends at the same moment, round after round.
    std::barrier start(kPorts);
    std::vector<std::thread> boards;
    std::atomic<bool> sent{true};
    for (auto& owner : owners) {
        boards.emplace_back([&, pty = &owner->pty] {
            for (int round = 0; round < kRounds; ++round) {
                start.arrive_and_wait();
                if (!pty->Send(message)) sent = false;
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
        });
    }
    for (auto& board : boards) board.join();
    ASSERT_TRUE(sent.load());

    const std::size_t expected = kPorts * kRounds * message.size();
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard lock(QVRProjects::EventLock());
        return sink.bytes >= expected;
    }));
    owners.clear();
    EXPECT_FALSE(sink.enteredTwice.load());
    EXPECT_EQ(sink.bytes, expected);
    std::string joined;
    for (const auto& text : sink.received) joined += text;
    EXPECT_EQ(joined.size(), expected);
}

}  // namespace
