#include "app/event_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/protocol_log_file.h"
#include "app/window_state.h"
#include "boards/event_data.h"
#include "boards/event_lock.h"
#include "tests/app/scratch_folder.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;
using std::chrono::system_clock;
using QVRProjects::CQVR_Event_Data;
using QVRProjects::EventCode::BoardError;
using QVRProjects::EventCode::RawReceived;
using QVRProjects::EventCode::RawWritten;

// A wall-clock time of today's date in local time.
system_clock::time_point LocalTime(int hour, int minute, int second, int millisecond) {
    std::tm fields{};
    fields.tm_year = 2026 - 1900;
    fields.tm_mon = 5;
    fields.tm_mday = 15;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&fields)) + milliseconds(millisecond);
}

class FakeServices : public app::WindowServices {
public:
    explicit FakeServices(app::WindowState& state) : state_(state) {}

    int stopAllCalls = 0;
    // Runs inside StopAll, as the real one logs the disconnect.
    std::function<void()> whileStopping;

    void StopAll() override {
        ++stopAllCalls;
        state_.loggingStopped = 1;
        if (whileStopping) whileStopping();
    }
    void Log(bool, std::string_view) override {}
    void AppendMemoLine(std::string_view) override {}
    QVRProjects::CQVR_EventHandler BoardEventHandler() override { return {}; }
    void ButtonDisconnectClick() override {}
    void ExecuteBoardCommand(TAE_Object*, QVRProjects::CQVRBoard*, std::string_view) override {}
    void UpdateOverviewRow(TAE_Event&) override {}
    void SetPacketRate(QVRProjects::CQVRBoard*, double) override {}
    void ForgetBoardObject(TAE_Object*) override {}
    void ResetPortRates(QVRProjects::CQVRBoardProtocol*) override {}

private:
    app::WindowState& state_;
};

class EventLogTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    app::WindowState state;
    FakeServices services{state};
    app::ProtocolLogFile file{folder.Path()};
    system_clock::time_point now = LocalTime(14, 3, 7, 45);
    app::EventLog log{state, services, file, [this] { return now; }};

    std::vector<std::string> Memo() const { return state.memo.lines; }
    std::vector<std::string> FileLines() const {
        return ScratchFolder::ReadLines(folder.Path() / app::ProtocolLogFile::kFileName);
    }
    std::vector<std::string> HistoryTexts() const {
        std::vector<std::string> texts;
        for (const app::TIOMsg* record : log.History()) texts.push_back(record->text);
        return texts;
    }
    static CQVR_Event_Data Event(int32_t code, std::string_view text) {
        CQVR_Event_Data event;
        event.Build(code, nullptr, nullptr, text);
        return event;
    }
};

using Lines = std::vector<std::string>;

// prefix + number, built by appending (g++ 12 warns falsely on "x" + string).
std::string Numbered(std::string prefix, int number) {
    prefix += std::to_string(number);
    return prefix;
}

TEST_F(EventLogTest, LevelDecidesWhatTheBoxShowsButHistoryKeepsEverything) {
    const struct {
        int level;
        Lines memo;
    } cases[] = {
        {0, {}},
        {1, {"14:03:07.045 [BOARDS] error"}},
        {3, {"14:03:07.045 [DB] change", "14:03:07.045 [BOARDS] error"}},
        {4, {"14:03:07.045 [DB] change", "14:03:07.045 [BOARDS] error"}},
        {5, {"14:03:07.045 [DB] change", "14:03:07.045 [BOARDS] error"}},
        {6, {"14:03:07.045 [DB] change", "14:03:07.045 [BOARDS] error"}},
    };
    for (const auto& c : cases) {
        state.memo.lines.clear();
        state.logLevel = c.level;
        log.DumpLogHistory(false);  // empties the history
        state.memo.lines.clear();
        log.Log(false, "[DB] change");
        log.Log(true, "[BOARDS] error");
        EXPECT_EQ(Memo(), c.memo) << "level " << c.level;
        EXPECT_EQ(HistoryTexts(), (Lines{"[DB] change", "[BOARDS] error"})) << "level " << c.level;
        EXPECT_EQ(services.stopAllCalls, 0);
    }
}

TEST_F(EventLogTest, TrafficGoesToTheFileAtEveryLevelAndToTheLogAboveLevelThree) {
    const struct {
        int level;
        bool recorded;
    } cases[] = {{0, false}, {1, false}, {3, false}, {4, true}, {5, true}, {6, true}};
    int fileLines = 0;
    for (const auto& c : cases) {
        state.logLevel = c.level;
        state.memo.lines.clear();
        log.DumpLogHistory(false);
        state.memo.lines.clear();

        log.OnTraffic(Event(RawReceived, std::string_view("\x41\x0a", 2)));
        log.OnTraffic(Event(RawWritten, std::string_view("\x00\xff", 2)));
        fileLines += 2;

        const Lines file = FileLines();
        ASSERT_EQ(file.size(), static_cast<size_t>(fileLines)) << "level " << c.level;
        EXPECT_EQ(file[file.size() - 2], "14:03:07.045 [BOARDS] READ:  0x41 0x0a");
        EXPECT_EQ(file.back(), "14:03:07.045 [BOARDS] WRITE:  0x00 0xff");
        if (c.recorded) {
            EXPECT_EQ(HistoryTexts(), (Lines{"[BOARDS] READ:  0x41 0x0a", "[BOARDS] WRITE:  0x00 0xff"}));
            EXPECT_EQ(Memo(), (Lines{"14:03:07.045 [BOARDS] READ:  0x41 0x0a",
                                     "14:03:07.045 [BOARDS] WRITE:  0x00 0xff"}));
        } else {
            EXPECT_TRUE(HistoryTexts().empty()) << "level " << c.level;
            EXPECT_TRUE(Memo().empty()) << "level " << c.level;
        }
    }
}

TEST_F(EventLogTest, BoardErrorLineHasNoTimeStampAndIsWrittenAfterTheLogStopped) {
    state.logLevel = 5;
    log.OnBoardError(Event(BoardError, "TIMEOUT board 3"));
    state.loggingStopped = 1;
    log.Log(true, "[BOARDS] lost");
    log.OnBoardError(Event(BoardError, "TIMEOUT board 4"));
    log.OnTraffic(Event(RawReceived, "A"));

    EXPECT_EQ(FileLines(), (Lines{"[BOARDS ERROR] TIMEOUT board 3", "[BOARDS ERROR] TIMEOUT board 4",
                                  "14:03:07.045 [BOARDS] READ:  0x41"}));
    EXPECT_TRUE(HistoryTexts().empty());
    EXPECT_TRUE(Memo().empty());
}

TEST_F(EventLogTest, TimeStampIsLocalTimeWithMilliseconds) {
    const struct {
        system_clock::time_point time;
        const char* stamp;
    } cases[] = {
        {LocalTime(14, 3, 7, 45), "14:03:07.045"},
        {LocalTime(0, 0, 0, 0), "00:00:00.000"},
        {LocalTime(23, 59, 59, 999), "23:59:59.999"},
        {LocalTime(9, 5, 1, 7) + std::chrono::microseconds(999), "09:05:01.007"},
    };
    for (const auto& c : cases) EXPECT_EQ(app::EventLog::TimeStamp(c.time), c.stamp);

    state.logLevel = 1;
    log.Log(true, "[BOARDS] x");
    EXPECT_EQ(Memo(), Lines{"14:03:07.045 [BOARDS] x"});
}

TEST(EventLogBytes, EachByteIsBlankAndLowerCaseHex) {
    EXPECT_EQ(app::EventLog::ByteText(""), "");
    EXPECT_EQ(app::EventLog::ByteText("\x41\x0a"), " 0x41 0x0a");
    EXPECT_EQ(app::EventLog::ByteText(std::string_view("\x00\x9c\xff", 3)), " 0x00 0x9c 0xff");
}

TEST_F(EventLogTest, HistoryOverAThousandRecordsIsCutToTheNewestFiveHundred) {
    for (int i = 0; i < 1000; ++i) log.Log(false, Numbered("r", i));
    ASSERT_EQ(log.History().Count(), 1000);
    log.Log(false, "r1000");
    const Lines texts = HistoryTexts();
    ASSERT_EQ(texts.size(), 500u);
    EXPECT_EQ(texts.front(), "r501");
    EXPECT_EQ(texts.back(), "r1000");
}

// Stop after error: records at the given offsets from 14:00:00, then the error.
class StopAfterErrorTest : public EventLogTest {
protected:
    void Record(seconds offset, const std::string& text) {
        now = LocalTime(14, 0, 0, 0) + offset;
        log.Log(false, text);
    }
};

TEST_F(StopAfterErrorTest, FirstErrorStopsAllAndDumpsTheLastFiveMinutes) {
    state.logLevel = 2;
    bool loggedWhileStopping = false;
    services.whileStopping = [&] {
        // The disconnect reports itself; the log has stopped by then.
        log.Log(false, "[CLIENT] 404 ERROR - DISCONNECTING");
        loggedWhileStopping = true;
    };
    Record(seconds(0), "old 1");
    Record(seconds(30), "old 2");
    Record(minutes(1), "exactly five minutes");
    for (int i = 0; i < 11; ++i) Record(minutes(5) + seconds(i), Numbered("recent ", i));
    EXPECT_TRUE(Memo().empty());

    now = LocalTime(14, 6, 0, 0);
    log.Log(true, "[BOARDS] fault");

    EXPECT_EQ(services.stopAllCalls, 1);
    EXPECT_TRUE(loggedWhileStopping);
    Lines expected;
    for (int i = 0; i < 11; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "14:05:%02d.000 recent %d", i, i);
        expected.push_back(line);
    }
    expected.push_back("14:06:00.000 [BOARDS] fault");
    expected.push_back("14:06:00.000 [BOARDS] fault");
    EXPECT_EQ(Memo(), expected);
    EXPECT_TRUE(HistoryTexts().empty());
    // The box shows its newest line.
    EXPECT_EQ(state.memo.selectionLength, expected.back().size());

    log.Log(true, "[BOARDS] second fault");
    log.Log(false, "[DB] change");
    EXPECT_EQ(services.stopAllCalls, 1);
    EXPECT_EQ(Memo(), expected);
    EXPECT_TRUE(HistoryTexts().empty());
}

TEST_F(StopAfterErrorTest, DumpShowsAtLeastTenRecordsHoweverOld) {
    state.logLevel = 2;
    for (int i = 0; i < 12; ++i) Record(seconds(i), Numbered("old ", i));
    Record(minutes(10), "recent");
    now = LocalTime(14, 10, 1, 0);
    log.Log(true, "[BOARDS] fault");

    const Lines memo = Memo();
    ASSERT_EQ(memo.size(), 11u);  // ten dumped, then the error once more
    EXPECT_EQ(memo[0], "14:00:04.000 old 4");
    EXPECT_EQ(memo[7], "14:00:11.000 old 11");
    EXPECT_EQ(memo[8], "14:10:00.000 recent");
    EXPECT_EQ(memo[9], "14:10:01.000 [BOARDS] fault");
    EXPECT_EQ(memo[10], "14:10:01.000 [BOARDS] fault");
}

TEST_F(EventLogTest, DumpWithoutStopKeepsTheLogRunning) {
    state.logLevel = 5;
    log.DumpLogHistory(false);  // nothing recorded yet
    EXPECT_TRUE(Memo().empty());

    log.Log(false, "[DB] a");
    state.memo.lines.clear();
    log.DumpLogHistory(false);
    EXPECT_EQ(Memo(), Lines{"14:03:07.045 [DB] a"});
    EXPECT_TRUE(HistoryTexts().empty());
    log.Log(false, "[DB] b");
    EXPECT_EQ(HistoryTexts(), Lines{"[DB] b"});
    EXPECT_EQ(services.stopAllCalls, 0);
}

TEST_F(EventLogTest, AppendedLineIsSelectedWithinTheBoxText) {
    const std::uint64_t revision = state.memo.revision;
    log.AppendMemoLine("ab");
    EXPECT_EQ(state.memo.selectionStart, 0u);
    EXPECT_EQ(state.memo.selectionLength, 2u);
    log.AppendMemoLine("cde");
    EXPECT_EQ(state.memo.selectionStart, 3u);  // "ab" and its line break
    EXPECT_EQ(state.memo.selectionLength, 3u);
    EXPECT_EQ(state.memo.revision, revision + 2);

    // Someone else rewrote the box (the Debug page clears it).
    state.memo.lines = {"x"};
    ++state.memo.revision;
    log.AppendMemoLine("yz");
    EXPECT_EQ(state.memo.selectionStart, 2u);
    EXPECT_EQ(state.memo.lines, (Lines{"x", "yz"}));
}

TEST_F(EventLogTest, LogFromSeveralThreadsKeepsEveryRecord) {
    state.logLevel = 5;
    constexpr int kPerThread = 300;
    auto writer = [this](const std::string& name) {
        for (int i = 0; i < kPerThread; ++i) log.Log(false, Numbered(name, i));
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    EXPECT_EQ(log.History().Count(), 2 * kPerThread);
    EXPECT_EQ(Memo().size(), static_cast<size_t>(2 * kPerThread));
}

// The protocol log file on its own.

TEST(ProtocolLogFile, AppendsToWhatIsThereAndEveryLineIsOnDiskAtOnce) {
    ScratchFolder folder;
    const auto path = folder.Path() / "log_protocol.txt";
    {
        std::ofstream(path) << "earlier run\n";
    }
    app::ProtocolLogFile file(folder.Path());
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Path(), path);
    file.WriteLine("[BOARDS ERROR] one");
    // Read while the file is open: nothing waits in a buffer.
    EXPECT_EQ(ScratchFolder::ReadFile(path), "earlier run\n[BOARDS ERROR] one\n");
    file.Close();
    file.WriteLine("after close");
    EXPECT_EQ(ScratchFolder::ReadFile(path), "earlier run\n[BOARDS ERROR] one\n");
}

TEST(ProtocolLogFile, FileThatCannotBeOpenedLosesItsLinesQuietly) {
    ScratchFolder folder;
    app::ProtocolLogFile file(folder.Path() / "missing" / "folder");
    EXPECT_FALSE(file.IsOpen());
    file.WriteLine("lost");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "missing"));
}

TEST(ProtocolLogFile, LinesFromConcurrentWritersStayWhole) {
    ScratchFolder folder;
    constexpr int kPerThread = 400;
    const std::string longTail(200, 'x');
    {
        app::ProtocolLogFile file(folder.Path());
        auto writer = [&](char name) {
            for (int i = 0; i < kPerThread; ++i) file.WriteLine(std::string(1, name) + longTail);
        };
        std::thread a(writer, 'a');
        std::thread b(writer, 'b');
        a.join();
        b.join();
    }
    const Lines lines = ScratchFolder::ReadLines(folder.Path() / "log_protocol.txt");
    ASSERT_EQ(lines.size(), static_cast<size_t>(2 * kPerThread));
    for (const std::string& line : lines) {
        ASSERT_TRUE(line == "a" + longTail || line == "b" + longTail) << line;
    }
}

}  // namespace
