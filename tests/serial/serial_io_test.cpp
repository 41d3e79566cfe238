#include "serial/serial_io.h"

#include "platform/tick.h"
#include "tests/serial/pseudo_terminal.h"
#include "tests/serial/report_recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

namespace {

using testing_serial::Eventually;
using testing_serial::PseudoTerminal;
using testing_serial::ReportRecorder;
using Clock = std::chrono::steady_clock;

long long MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

// Deadlines count whole milliseconds of the tick, so a wait may end up to
// one millisecond early on the finer clock of the reports.
constexpr long long kTickGrain = 1;

// A worker on a fresh pseudo-terminal, opened and ready.
class OpenWorker : public ::testing::Test {
protected:
    void SetUp() override {
        worker = std::make_unique<TSerialIO>(recorder.Handler());
        worker->OpenPort(pty.Name(), 9600);
        ASSERT_TRUE(Eventually([&] { return recorder.Count(ioPortStatus, "OK") == 1; }));
        ASSERT_TRUE(worker->IsPortReady());
    }
    void TearDown() override { worker.reset(); }

    int IndexOfSent(const std::string& bytes) const { return recorder.Find(ioSent, bytes); }
    Clock::time_point TimeOf(int index) const {
        return recorder.Reports()[static_cast<std::size_t>(index)].at;
    }

    PseudoTerminal pty;
    ReportRecorder recorder;
    std::unique_ptr<TSerialIO> worker;
};

TEST_F(OpenWorker, OpensWithStatusLinesAndMovesBytesBothWays) {
    const auto reports = recorder.Reports();
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports[0].kind, ioStatus);
    EXPECT_EQ(reports[0].bytes, "SerialIO 1.10");
    EXPECT_EQ(reports[1].kind, ioPortStatus);
    EXPECT_EQ(reports[1].bytes, pty.Name());
    EXPECT_EQ(reports[2].kind, ioStatus);
    EXPECT_EQ(reports[2].bytes, "Opening " + pty.Name() + " (Baudrate: 9600)");
    EXPECT_EQ(reports[3].kind, ioPortStatus);
    EXPECT_EQ(reports[3].bytes, "OK");

    // Zero bytes and bytes above 0x7F pass unchanged both ways.
    const std::string fromBoard("\x02\x00\xff" "abc\r\n", 8);
    ASSERT_TRUE(pty.Send(fromBoard));
    ASSERT_TRUE(Eventually([&] { return recorder.Data().size() >= fromBoard.size(); }));
    EXPECT_EQ(recorder.Data(), fromBoard);

    const std::string toBoard("S\x00\x80\n", 4);
    ASSERT_TRUE(worker->QueueWrite(0, toBoard, true, 0, 0));
    EXPECT_EQ(pty.Receive(toBoard.size()), toBoard);
    ASSERT_TRUE(Eventually([&] { return IndexOfSent(toBoard) >= 0; }));
    EXPECT_EQ(worker->LastSent().data, toBoard);
}

TEST_F(OpenWorker, PreWaitIsAnnouncedAndKeptBeforeTheWrite) {
    const auto queued = Clock::now();
    ASSERT_TRUE(worker->QueueWrite(150, "P", -1, false, 0, 0));
    EXPECT_EQ(pty.Receive(1), "P");
    ASSERT_TRUE(Eventually([&] { return IndexOfSent("P") >= 0; }));
    const int waiting = recorder.Find(ioStatus, "waiting 150");
    ASSERT_GE(waiting, 0);
    EXPECT_LT(waiting, IndexOfSent("P"));
    EXPECT_GE(MsBetween(queued, TimeOf(IndexOfSent("P"))), 150);
}

TEST_F(OpenWorker, WriteDelayHoldsBackTheNextWrite) {
    ASSERT_TRUE(worker->QueueWrite(0, "A", -1, false, 0, -200));
    ASSERT_TRUE(worker->QueueWrite(0, "B", -1, false, 0, 0));
    EXPECT_EQ(pty.Receive(2), "AB");
    ASSERT_TRUE(Eventually([&] { return IndexOfSent("B") >= 0; }));
    const int sentA = IndexOfSent("A");
    const int done = recorder.Find(ioDelayDone, "write delay done");
    ASSERT_GE(done, 0);
    EXPECT_LT(sentA, done);
    EXPECT_LT(done, IndexOfSent("B"));
    EXPECT_GE(MsBetween(TimeOf(sentA), TimeOf(IndexOfSent("B"))), 200 - kTickGrain);
}

// The reply wait runs out with "timeout" before the next write, also when
// its deadline lies beyond the wrap of the tick count. The handler may
// queue a write from inside the timeout report.
TEST_F(OpenWorker, ReplyWaitTimesOutAlsoAcrossTheTickWrap) {
    recorder.SetAnswer([&](const TSerialReport& report) {
        if (report.kind == ioReplyTimeout) worker->QueueWrite(0, "R", -1, false, 0, 0);
        return 0;
    });
    struct Case {
        const char* what;
        // How long before the wrap of the tick count the write goes (0: no
        // shift); long enough for a loaded machine to get the write out first.
        std::uint32_t msBeforeWrap;
        std::int32_t replyWait;
    };
    for (const Case c : {Case{"plain", 0, 400}, Case{"across the wrap", 1000, 1500}}) {
        SCOPED_TRACE(c.what);
        std::uint32_t shift = 0;
        if (c.msBeforeWrap != 0) {
            shift = 0u - platform::TickCount() - c.msBeforeWrap;
            platform::ShiftTickCount(shift);
        }
        const std::size_t before = recorder.Size();
        ASSERT_TRUE(worker->QueueWrite(0, "A", -1, false, 67, c.replyWait));
        ASSERT_TRUE(worker->QueueWrite(0, "B", -1, false, 0, 0));
        EXPECT_EQ(pty.Receive(3), "ABR");
        ASSERT_TRUE(Eventually([&] { return recorder.Find(ioSent, "R", static_cast<int>(before)) >= 0; }));
        const int sentA = recorder.Find(ioSent, "A", static_cast<int>(before));
        const int timeout = recorder.Find(ioReplyTimeout, "timeout", static_cast<int>(before));
        const int sentB = recorder.Find(ioSent, "B", static_cast<int>(before));
        ASSERT_GE(timeout, 0);
        EXPECT_LT(sentA, timeout);
        EXPECT_LT(timeout, sentB);
        EXPECT_GE(MsBetween(TimeOf(sentA), TimeOf(sentB)), c.replyWait - kTickGrain);
        platform::ShiftTickCount(0u - shift);
    }
}

TEST_F(OpenWorker, ReplyOfTheAskedLengthEndsTheWait) {
    ASSERT_TRUE(worker->QueueWrite(0, "A", -1, false, 5, 60000));
    ASSERT_TRUE(worker->QueueWrite(0, "B", -1, false, 0, 0));
    EXPECT_EQ(pty.Receive(1), "A");
    ASSERT_TRUE(pty.Send("123"));
    ASSERT_TRUE(Eventually([&] { return recorder.Data() == "123"; }));
    // Three of five bytes: still waiting.
    EXPECT_EQ(worker->QueuedWrites(), 1u);
    ASSERT_TRUE(pty.Send("45"));
    EXPECT_EQ(pty.Receive(1), "B");
    EXPECT_EQ(recorder.Data(), "12345");
    EXPECT_EQ(recorder.Count(ioReplyTimeout, "timeout"), 0);
}

TEST_F(OpenWorker, HandlerEndsTheWaitByAnsweringReplyComplete) {
    recorder.SetAnswer([](const TSerialReport& report) {
        return report.kind == ioData && report.View().find('!') != std::string_view::npos ? ReplyComplete : 0;
    });
    ASSERT_TRUE(worker->QueueWrite(0, "A", -1, false, 0, 60000));
    ASSERT_TRUE(worker->QueueWrite(0, "B", -1, false, 0, 0));
    EXPECT_EQ(pty.Receive(1), "A");
    ASSERT_TRUE(pty.Send("part"));
    ASSERT_TRUE(Eventually([&] { return recorder.Data() == "part"; }));
    EXPECT_EQ(worker->QueuedWrites(), 1u);
    ASSERT_TRUE(pty.Send("end!"));
    EXPECT_EQ(pty.Receive(1), "B");
    EXPECT_EQ(recorder.Data(), "partend!");
    EXPECT_EQ(recorder.Count(ioReplyTimeout, "timeout"), 0);
}

TEST_F(OpenWorker, NineThousandBytesInOnePassOverflow) {
    const std::string flood(9000, 'x');
    // The far end writes them in one go; should the worker catch the flood
    // in the middle of a pass anyway, it is delivered and the next try counts.
    bool overflowed = false;
    for (int attempt = 0; attempt < 5 && !overflowed; ++attempt) {
        const std::size_t dataBefore = recorder.Data().size();
        ASSERT_TRUE(pty.Send(flood));
        ASSERT_TRUE(Eventually([&] {
            return recorder.Count(ioError, "Overflow") > 0 || recorder.Data().size() >= dataBefore + flood.size();
        }));
        overflowed = recorder.Count(ioError, "Overflow") > 0;
        if (overflowed) {
            EXPECT_EQ(recorder.Data().size(), dataBefore);
        }
    }
    EXPECT_TRUE(overflowed);
    // The port goes on working.
    ASSERT_TRUE(pty.Send("after"));
    ASSERT_TRUE(Eventually([&] { return recorder.Data().ends_with("after"); }));
}

TEST_F(OpenWorker, StopsAndOpensAgain) {
    worker->StopPort();
    ASSERT_TRUE(Eventually([&] { return worker->IsIdle(); }));
    EXPECT_EQ(recorder.Count(ioPortStatus, "STOPPED"), 1);
    EXPECT_FALSE(worker->IsPortReady());
    // The device is free again: another program could take it now.
    platform::SerialDevice other;
    EXPECT_EQ(other.Open(pty.Name(), 9600).status, platform::SerialDevice::OpenStatus::Opened);
    other.Close();

    worker->OpenPort(pty.Name(), 9600);
    ASSERT_TRUE(Eventually([&] { return recorder.Count(ioPortStatus, "OK") == 2; }));
    EXPECT_FALSE(worker->IsIdle());
    ASSERT_TRUE(pty.Send("again"));
    ASSERT_TRUE(Eventually([&] { return recorder.Data() == "again"; }));
}

TEST_F(OpenWorker, OpenWhileStopPendingOpensAfterTheStop) {
    worker->StopPort();
    worker->OpenPort(pty.Name(), 9600);
    ASSERT_TRUE(Eventually([&] { return recorder.Count(ioPortStatus, "OK") == 2; }));
    EXPECT_EQ(recorder.Count(ioPortStatus, "STOPPED"), 1);
    EXPECT_FALSE(worker->IsIdle());
}

TEST_F(OpenWorker, PulledCableGivesPacedErrorsAndStillStops) {
    pty.CloseMaster();
    ASSERT_TRUE(Eventually([&] { return recorder.Count(ioError, "Error while reading data") >= 2; }));
    ASSERT_TRUE(worker->QueueWrite(0, "W", -1, false, 0, 0));
    ASSERT_TRUE(Eventually([&] { return recorder.Count(ioError, "write error") >= 1; }));
    // Errors come about twice a second, not in a busy loop.
    const int before = recorder.Count(ioError, "Error while reading data");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_LT(recorder.Count(ioError, "Error while reading data") - before, 20);
    worker->StopPort();
    ASSERT_TRUE(Eventually([&] { return worker->IsIdle(); }));
    EXPECT_EQ(recorder.Count(ioPortStatus, "STOPPED"), 1);
}

TEST(SerialIO, MissingDeviceGivesKOAndRetriesEveryTwoSeconds) {
    ReportRecorder recorder;
    TSerialIO worker(recorder.Handler());
    worker.OpenPort("ttyUSB977", 9600);
    ASSERT_TRUE(Eventually([&] { return recorder.Count(ioPortStatus, "KO") >= 2; }));
    const auto reports = recorder.Reports();
    const std::string expected[] = {
        "SerialIO 1.10",       "ttyUSB977", "Opening ttyUSB977 (Baudrate: 9600)",
        "Cannot open ttyUSB977: no such device", "KO", "ttyUSB977",
    };
    ASSERT_GE(reports.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(reports[i].bytes, expected[i]) << i;
    const int firstKO = recorder.Find(ioPortStatus, "KO");
    const int secondKO = recorder.Find(ioPortStatus, "KO", firstKO + 1);
    EXPECT_GE(MsBetween(reports[static_cast<std::size_t>(firstKO)].at, reports[static_cast<std::size_t>(secondKO)].at),
              2000);
    EXPECT_FALSE(worker.IsPortReady());
    EXPECT_FALSE(worker.IsIdle());
}

// Names that are no serial device end in "KO" with a reason, never worse.
TEST(SerialIO, NamesThatAreNoSerialDeviceAreRefused) {
    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {
        {"", "not a device name"},
        {"../etc/passwd", "not a device name"},
        {"/etc/passwd", "not a device name"},
        {"null", "not a serial device"},
        {"pts", "Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportRecorder recorder;
        TSerialIO worker(recorder.Handler());
        worker.OpenPort(c.name, 9600);
        ASSERT_TRUE(Eventually([&] { return recorder.Count(ioPortStatus, "KO") >= 1; }));
        EXPECT_GE(recorder.Find(ioStatus, std::string("Cannot open ") + c.name + ": " + c.reason), 0);
    }
}

TEST(SerialIO, WritesWaitInTheQueueUntilThePortOpens) {
    PseudoTerminal pty;
    ReportRecorder recorder;
    TSerialIO worker(recorder.Handler());
    ASSERT_TRUE(worker.QueueWrite(0, "early", -1, false, 0, 0));
    EXPECT_TRUE(worker.IsIdle());
    worker.OpenPort(pty.Name(), 9600);
    EXPECT_EQ(pty.Receive(5), "early");
}

TEST(SerialIO, DuplicateRuleAndSizeLimitOfTheQueue) {
    struct Case {
        const char* what;
        bool allowDuplicate;
        std::string first;
        std::string second;
        std::size_t queued;
    };
    const Case cases[] = {
        {"same bytes, duplicates refused", false, "poll", "poll", 1},
        {"same bytes, duplicates allowed", true, "poll", "poll", 2},
        {"a prefix is no duplicate", false, "poll", "pol", 2},
        {"zero bytes count", false, std::string("a\0b", 3), std::string("a\0c", 3), 2},
        {"16000 bytes fit, 16001 do not", false, std::string(16000, 'z'), std::string(16001, 'y'), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TSerialIO worker([](const TSerialReport&) { return 0; });
        worker.QueueWrite(0, c.first, c.allowDuplicate, 0, 0);
        worker.QueueWrite(0, c.second, c.allowDuplicate, 0, 0);
        EXPECT_EQ(worker.QueuedWrites(), c.queued);
    }
    // Negative length: the data is NUL-terminated text; no data: an empty item.
    TSerialIO worker([](const TSerialReport&) { return 0; });
    EXPECT_TRUE(worker.QueueWrite(0, "text\0tail", -1, false, 0, 0));
    EXPECT_FALSE(worker.QueueWrite(0, "text", 4, false, 0, 0));
    EXPECT_TRUE(worker.QueueWrite(0, nullptr, 7, false, 0, 0));
    EXPECT_EQ(worker.QueuedWrites(), 2u);
}

TEST(SerialIO, NoReportsAfterShutdown) {
    PseudoTerminal pty;
    ReportRecorder recorder;
    auto worker = std::make_unique<TSerialIO>(recorder.Handler());
    worker->OpenPort(pty.Name(), 9600);
    ASSERT_TRUE(Eventually([&] { return recorder.Count(ioPortStatus, "OK") == 1; }));
    // A handler that is still busy when the shutdown comes finishes first.
    std::atomic<bool> inHandler{false};
    recorder.SetAnswer([&](const TSerialReport&) {
        inHandler = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        inHandler = false;
        return 0;
    });
    ASSERT_TRUE(pty.Send("busy"));
    ASSERT_TRUE(Eventually([&] { return inHandler.load(); }));
    worker->ShutdownAndWait();
    EXPECT_FALSE(inHandler.load());
    EXPECT_TRUE(worker->IsIdle());
    const std::size_t count = recorder.Size();
    ASSERT_TRUE(pty.Send("late"));
    worker->OpenPort(pty.Name(), 9600);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    worker.reset();
    EXPECT_EQ(recorder.Size(), count);
}

}  // namespace
