#include "boards/board.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <latch>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "boards/board_log.h"
#include "platform/tick.h"

namespace QVRProjects {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Raised {
    int32_t code;
    std::string text;
    CQVRBoard* board;
    CQVRBoardProtocol* protocol;
};

// A board whose events are recorded, and a board log in a directory of its own.
class BoardTest : public testing::Test {
protected:
    void SetUp() override {
        logDir_ = fs::temp_directory_path() /
                  ("boards_test_" + std::to_string(::getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(logDir_);
        fs::create_directories(logDir_);
        CQVRBoardLog::SetDirectory(logDir_.string());
        board_ = std::make_unique<CQVRBoard>(0, [this](CQVR_Event_Data* e) {
            raised_.push_back({e->code, std::string(e->Text()), e->board, e->protocol});
        });
    }
    void TearDown() override {
        CQVRBoardLog::SetDirectory("");
        fs::remove_all(logDir_);
    }

    std::vector<int32_t> Codes() const {
        std::vector<int32_t> codes;
        for (const Raised& r : raised_) codes.push_back(r.code);
        return codes;
    }

    std::string LogText() const {
        std::ifstream in(logDir_ / CQVRBoardLog::kFileName, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // A single-cable board dump: header, one byte per square, check byte.
    static Bytes CableDump(const std::vector<std::pair<int, uint8_t>>& pieces) {
        Bytes msg(53, 0);
        msg[0] = 0x86;
        for (auto [square, piece] : pieces) msg[3 + static_cast<size_t>(square)] = piece;
        return msg;
    }

    // A single-cable message: id, two header bytes, payload, check byte.
    static Bytes Message(uint8_t id, std::initializer_list<uint8_t> payload) {
        Bytes msg(3 + payload.size() + 1, 0);
        msg[0] = id;
        size_t at = 3;
        for (uint8_t b : payload) msg[at++] = b;
        return msg;
    }
    static Bytes ClockMessage(std::initializer_list<uint8_t> payload) { return Message(0x8D, payload); }
    static Bytes MemoryDump(std::initializer_list<uint8_t> entries) { return Message(0x8F, entries); }

    bool Apply(bool (CQVRBoard::*op)(const uint8_t*, int32_t, int32_t), const Bytes& msg, int32_t offset = 3) {
        return (board_.get()->*op)(msg.data(), static_cast<int32_t>(msg.size()), offset);
    }

    fs::path logDir_;
    std::vector<Raised> raised_;
    std::unique_ptr<CQVRBoard> board_;
};

TEST(BoardGeometryTest, SquareIndexesMapToDarkCells) {
    const std::pair<int, int> cases[] = {{0, 1}, {4, 9}, {5, 10}, {9, 18}, {10, 21}, {49, 98}, {-1, -1}, {50, -1}};
    for (auto [n, cell] : cases) EXPECT_EQ(CQVRBoard::CellOfSquare(n), cell) << n;
}

TEST_F(BoardTest, StartsEmptyWithCreationTick) {
    const platform::Tick before = platform::TickCount();
    board_ = std::make_unique<CQVRBoard>(0, nullptr);
    const platform::Tick after = platform::TickCount();
    EXPECT_TRUE(platform::TickReached(board_->rateTick, before));
    EXPECT_TRUE(platform::TickReached(after, board_->rateTick));
    EXPECT_EQ(board_->busAddress, 0u);
    EXPECT_EQ(board_->clockCountdown, 1);
    EXPECT_EQ(board_->clocksSwapped, 0);
    EXPECT_EQ(board_->rateBase, 0u);
    for (int8_t s : board_->squares) EXPECT_EQ(s, 0);
    EXPECT_EQ(board_->SequenceText(0), "#");
}

TEST_F(BoardTest, BoardDumpAppliesChangesOnceAndRecordsThePosition) {
    const Bytes dump = CableDump({{0, 0x84}, {49, 0x41}});
    EXPECT_TRUE(Apply(&CQVRBoard::ApplyBoardDump, dump));
    EXPECT_EQ(board_->squares[1], PieceCode::BlackMan);
    EXPECT_EQ(board_->squares[98], PieceCode::WhiteMan);
    EXPECT_EQ(board_->updates, 1u);
    ASSERT_EQ(raised_.size(), 1u);
    EXPECT_EQ(raised_[0].code, EventCode::PositionUpdate);
    EXPECT_EQ(raised_[0].text, "UPDATE");
    EXPECT_EQ(raised_[0].board, board_.get());
    EXPECT_EQ(board_->SequenceText(-1), "@0:nB0P");

    // The same dump again changes nothing but is logged.
    EXPECT_FALSE(Apply(&CQVRBoard::ApplyBoardDump, dump));
    EXPECT_EQ(board_->updates, 1u);
    EXPECT_EQ(raised_.size(), 1u);
    EXPECT_EQ(board_->SequenceText(-1), "@0:nB0P");

    // Each record shows the squares as they were before its dump.
    const std::string log = LogText();
    std::string before;
    for (int row = 0; row < 10; ++row) before += "          \n";
    std::string after = before;
    after[1] = 'x';
    after[9 * 11 + 8] = 'o';
    const size_t first = log.find("\nBOARD0\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.compare(first + 8, before.size() + 2, before + "\n\n"), 0) << log;
    const size_t second = log.find("\nBOARD0\n", first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(log.compare(second + 8, after.size() + 2, after + "\n\n"), 0) << log;
    EXPECT_EQ(log.find("\nBOARD", second + 1), std::string::npos);
}

TEST_F(BoardTest, BoardDumpOfWrongLengthIsLoggedButNotApplied) {
    struct Case {
        size_t length;
        int32_t offset;
        bool applied;
    };
    const Case cases[] = {{53, 3, true}, {56, 5, true}, {53, 5, false}, {56, 3, false}, {52, 3, false},
                          {54, 3, false}, {57, 5, false}};
    int records = 0;
    for (const Case& c : cases) {
        board_ = std::make_unique<CQVRBoard>(7, nullptr);
        Bytes msg(c.length, 0);
        msg[static_cast<size_t>(c.offset)] = PieceCode::BlackMan;
        EXPECT_EQ(Apply(&CQVRBoard::ApplyBoardDump, msg, c.offset), c.applied) << c.length << "/" << c.offset;
        EXPECT_EQ(board_->squares[1], c.applied ? PieceCode::BlackMan : PieceCode::Empty);
        ++records;
    }
    const std::string log = LogText();
    int found = 0;
    for (size_t at = log.find("\nBOARD7\n"); at != std::string::npos; at = log.find("\nBOARD7\n", at + 1)) ++found;
    EXPECT_EQ(found, records);
}

TEST(BoardLogTest, RecordLayout) {
    int8_t squares[100] = {};
    squares[0] = 2;                       // not a piece
    squares[1] = PieceCode::BlackMan;
    squares[3] = PieceCode::BlackKing;
    squares[96] = PieceCode::WhiteKing;
    squares[98] = PieceCode::WhiteMan;
    std::tm t{};
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    std::string expected = "07:05:09.042\nBOARD16383\n";
    expected += "?x X      \n";
    for (int row = 1; row < 9; ++row) expected += "          \n";
    expected += "      O o \n\n\n";
    EXPECT_EQ(CQVRBoardLog::Record(t, 42, 16383, squares), expected);
}

TEST_F(BoardTest, FieldUpdates) {
    struct Case {
        uint8_t cell;
        uint8_t piece;
        bool changed;
        int cellSet;
        int8_t value;
    };
    const Case cases[] = {
        {21, 0x04, true, 21, PieceCode::BlackMan},
        {21, 0x04, false, 21, PieceCode::BlackMan},   // already there
        {0x80 | 21, 0xF0, true, 21, PieceCode::Empty},  // high bits dropped
        {99, 0x0A, true, 99, PieceCode::BlackKing},
        {100, 0x01, false, -1, 0},                    // off the board
        {127, 0x01, false, -1, 0},
    };
    uint32_t updates = 0;
    for (const Case& c : cases) {
        const Bytes msg = {0x8E, 0, 0, c.cell, c.piece, 0};
        EXPECT_EQ(Apply(&CQVRBoard::ApplyFieldUpdate, msg), c.changed) << int{c.cell};
        if (c.changed) ++updates;
        if (c.cellSet >= 0) {
            EXPECT_EQ(board_->squares[c.cellSet], c.value);
        }
    }
    EXPECT_EQ(board_->updates, updates);
    EXPECT_EQ(raised_.size(), updates);
    EXPECT_EQ(board_->SequenceText(0), "@0:dBd_ob");
    // A message without its payload is refused.
    const Bytes shortMsg = {0x8E, 0, 0, 21};
    EXPECT_FALSE(Apply(&CQVRBoard::ApplyFieldUpdate, shortMsg));
}

TEST_F(BoardTest, ClockTimesReadBcdAndRaiseInOrder) {
    // First time 1:23.45 with flags 0x31 >> 3, second 0:59.07, status 0x11.
    EXPECT_TRUE(Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({0x31, 0x23, 0x45, 0x00, 0x59, 0x07, 0x91})));
    EXPECT_EQ(Codes(), (std::vector<int32_t>{EventCode::ClockStatus, EventCode::FirstTime, EventCode::SecondTime}));
    for (const Raised& r : raised_) EXPECT_EQ(r.text, "BWTIME");
    EXPECT_EQ(board_->clockStatus, 0x11u);
    EXPECT_EQ(board_->clock1Flags, 6u);
    EXPECT_EQ(board_->clock1Hours, 1u);
    EXPECT_EQ(board_->clock1Minutes, 23u);
    EXPECT_EQ(board_->clock1Seconds, 45u);
    EXPECT_EQ(board_->clock2Hours, 0u);
    EXPECT_EQ(board_->clock2Minutes, 59u);
    EXPECT_EQ(board_->clock2Seconds, 7u);
    // The same message again changes nothing.
    raised_.clear();
    EXPECT_FALSE(Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({0x31, 0x23, 0x45, 0x00, 0x59, 0x07, 0x91})));
    EXPECT_TRUE(raised_.empty());
}

TEST_F(BoardTest, ClockSecondsCountOnlyUnderTwentyMinutes) {
    struct Case {
        uint8_t hours;
        uint8_t minutes;  // BCD
        bool raises;
    };
    const Case cases[] = {{0, 0x25, false}, {0, 0x20, false}, {0, 0x19, true}, {0, 0x00, true}, {1, 0x05, false}};
    for (const Case& c : cases) {
        board_ = std::make_unique<CQVRBoard>(1, [this](CQVR_Event_Data* e) {
            raised_.push_back({e->code, std::string(e->Text()), e->board, e->protocol});
        });
        // Set both times, then change only the seconds of each.
        Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({c.hours, c.minutes, 0x10, c.hours, c.minutes, 0x30, 0x01}));
        raised_.clear();
        const bool changed =
            Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({c.hours, c.minutes, 0x11, c.hours, c.minutes, 0x29, 0x01}));
        EXPECT_EQ(changed, c.raises) << int{c.hours} << ":" << std::hex << int{c.minutes};
        EXPECT_EQ(Codes(), c.raises ? (std::vector<int32_t>{EventCode::FirstTime, EventCode::SecondTime})
                                    : std::vector<int32_t>{});
        // The seconds are stored either way.
        EXPECT_EQ(board_->clock1Seconds, 11u);
        EXPECT_EQ(board_->clock2Seconds, 29u);
    }
}

TEST_F(BoardTest, NoClockBitRaisesOnlyTheStatus) {
    Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({0x01, 0x30, 0x00, 0x01, 0x30, 0x00, 0x01}));
    raised_.clear();
    EXPECT_TRUE(Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({0x05, 0x45, 0x12, 0x04, 0x44, 0x11, 0x21})));
    EXPECT_EQ(Codes(), std::vector<int32_t>{EventCode::ClockStatus});
    EXPECT_EQ(board_->clockStatus, 0x21u);
    EXPECT_EQ(board_->clock1Hours, 1u);
    EXPECT_EQ(board_->clock1Minutes, 30u);
    EXPECT_EQ(board_->clock2Hours, 1u);
    // Unchanged status with the bit: nothing at all.
    raised_.clear();
    EXPECT_FALSE(Apply(&CQVRBoard::ApplyClockTimes, ClockMessage({0x05, 0x45, 0x12, 0x04, 0x44, 0x11, 0x21})));
    EXPECT_TRUE(raised_.empty());
    EXPECT_EQ(board_->clock1Minutes, 30u);
}

TEST_F(BoardTest, ClockMessagesWithHourTenOrTooShortAreIgnored) {
    const Bytes ignored[] = {
        ClockMessage({0x0A, 0x12, 0x00, 0x00, 0x12, 0x00, 0x11}),
        ClockMessage({0x00, 0x12, 0x00, 0x1A, 0x12, 0x00, 0x11}),
        Bytes{0x8D, 0, 0, 0x00, 0x12, 0x00, 0x00, 0x12, 0x00},  // no status byte
    };
    for (const Bytes& msg : ignored) {
        EXPECT_FALSE(Apply(&CQVRBoard::ApplyClockTimes, msg));
        EXPECT_EQ(board_->clockStatus, 0u);
        EXPECT_EQ(board_->clock1Minutes, 0u);
    }
    EXPECT_TRUE(raised_.empty());
}

TEST_F(BoardTest, MemoryDumpOfStartPosition) {
    board_->memoryRequested = 1;
    EXPECT_TRUE(Apply(&CQVRBoard::ApplyMemoryDump, MemoryDump({0x6F})));
    EXPECT_EQ(board_->memoryRequested, 0);
    EXPECT_EQ(Codes(), std::vector<int32_t>{EventCode::PositionUpdate});
    EXPECT_EQ(board_->updates, 1u);
    int black = 0, white = 0;
    for (int cell = 0; cell < 100; ++cell) {
        const int8_t v = board_->squares[cell];
        if (v == PieceCode::BlackMan) {
            ++black;
            EXPECT_LE(cell, 38);
        } else if (v == PieceCode::WhiteMan) {
            ++white;
            EXPECT_GE(cell, 61);
        } else {
            EXPECT_EQ(v, PieceCode::Empty) << cell;
        }
    }
    EXPECT_EQ(black, 20);
    EXPECT_EQ(white, 20);
    EXPECT_EQ(board_->SequenceText(-1),
              "@0:nBmBlBkBjBiBhBgBfBeBdBcBbBaBZBYBXBWBVBUBJPIPHPGPFPEPDPCPBPAP9P8P7P6P5P4P3P2P1P0P");
}

TEST_F(BoardTest, MemoryDumpEntries) {
    const Bytes msg = MemoryDump({
        0x6F,              // start position
        0x40, 61,          // square 31 emptied
        0xC1, 50,          // white man to square 26 (high bit dropped)
        0x41, 50,          // the same again still counts
        0x44, 100,         // off the board: skipped
        0x61, 0x02, 0x59,  // first time 1:02.59
        0x70, 0x15, 0x00,  // second time 0:15.00
        0x33,              // unknown: skipped
        0x6A,              // empty board
        0x6D,              // empty board again
        0x44,              // field change whose cell is the check byte: not read
    });
    EXPECT_TRUE(Apply(&CQVRBoard::ApplyMemoryDump, msg));
    EXPECT_EQ(Codes(), (std::vector<int32_t>{EventCode::PositionUpdate, EventCode::PositionUpdate,
                                             EventCode::PositionUpdate, EventCode::PositionUpdate,
                                             EventCode::FirstTime, EventCode::SecondTime,
                                             EventCode::PositionUpdate, EventCode::PositionUpdate}));
    EXPECT_EQ(board_->updates, 6u);
    EXPECT_EQ(board_->clock1Hours, 1u);
    EXPECT_EQ(board_->clock1Minutes, 2u);
    EXPECT_EQ(board_->clock1Seconds, 59u);
    EXPECT_EQ(board_->clock2Minutes, 15u);
    for (int8_t v : board_->squares) EXPECT_EQ(v, 0);
    const TPosSequence* s = board_->LastSequence();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->positions.Count(), 6);
}

TEST_F(BoardTest, MemoryDumpWithoutEntriesOrTruncated) {
    const Bytes cases[] = {
        MemoryDump({}),
        MemoryDump({0x33, 0x00}),
        MemoryDump({0x60, 0x12}),  // time entry cut by the check byte
        Bytes{0x8F, 0},            // shorter than its header
        Bytes{},
    };
    for (const Bytes& msg : cases) {
        board_->memoryRequested = 1;
        // Exact-size copies let the address sanitizer see any read past the end.
        auto copy = std::make_unique<uint8_t[]>(msg.size() + 1);
        std::copy(msg.begin(), msg.end(), copy.get());
        EXPECT_FALSE(board_->ApplyMemoryDump(copy.get(), static_cast<int32_t>(msg.size()), 3));
        EXPECT_EQ(board_->memoryRequested, 0);
    }
    EXPECT_TRUE(raised_.empty());
}

TEST_F(BoardTest, VersionIsTakenOnce) {
    const Bytes msg = {0x93, 0, 0, 0x82, 0x07, 0};
    EXPECT_TRUE(Apply(&CQVRBoard::ApplyVersion, msg));
    EXPECT_EQ(board_->versionMajor, 2u);
    EXPECT_EQ(board_->versionMinor, 7u);
    const Bytes later = {0x93, 0, 0, 0x05, 0x01, 0};
    EXPECT_FALSE(Apply(&CQVRBoard::ApplyVersion, later));
    EXPECT_EQ(board_->versionMajor, 2u);
    EXPECT_EQ(board_->versionMinor, 7u);
    ASSERT_EQ(raised_.size(), 1u);
    EXPECT_EQ(raised_[0].code, EventCode::Version);
    EXPECT_EQ(raised_[0].text, "VERSION");
}

TEST_F(BoardTest, ShortVersionMessageIsRefused) {
    const Bytes msg = {0x93, 0, 0, 0x02};
    EXPECT_FALSE(Apply(&CQVRBoard::ApplyVersion, msg));
    EXPECT_EQ(board_->versionMajor, 0u);
}

TEST_F(BoardTest, BusAddress) {
    struct Case {
        uint8_t high, low;
        uint32_t address;
        bool first;
    };
    const Case cases[] = {
        {0x00, 0x00, 0, true},         // still none
        {0x81, 0xFF, 255, true},       // 1 * 128 + 127
        {0x7F, 0x7F, 16383, false},
    };
    for (const Case& c : cases) {
        const Bytes msg = {0x90, 0, 0, c.high, c.low};
        EXPECT_EQ(board_->SetBusAddress(msg.data(), 5), c.first);
        EXPECT_EQ(board_->busAddress, c.address);
    }
    const Bytes shortMsg = {0x90, 0, 0, 1};
    EXPECT_FALSE(board_->SetBusAddress(shortMsg.data(), 4));
    EXPECT_EQ(board_->busAddress, 16383u);
}

TEST_F(BoardTest, EventsNameTheOwningProtocol) {
    auto* protocol = reinterpret_cast<CQVRBoardProtocol*>(0x1000);
    board_->owner = protocol;
    board_->RaiseEvent(EventCode::PacketReceived, "packet received");
    ASSERT_EQ(raised_.size(), 1u);
    EXPECT_EQ(raised_[0].protocol, protocol);
    EXPECT_EQ(raised_[0].board, board_.get());
    EXPECT_EQ(raised_[0].text, "packet received");
}

// Boards of several ports change at the same moment: their events reach the
// handler one at a time, and the shared board log holds whole records.
TEST_F(BoardTest, BoardsOnSeveralThreadsRaiseEventsOneAtATime) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 300;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    long updates = 0;  // guarded by the event lock only
    std::atomic<long> changes{0};
    auto handler = [&](CQVR_Event_Data* e) {
        if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
        if (e->code == EventCode::PositionUpdate) ++updates;
        // Read what the main window reads.
        (void)e->board->LastSequence()->Text().size();
        std::this_thread::yield();
        inside.fetch_sub(1);
    };
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CQVRBoard board(static_cast<uint32_t>(t + 1), handler);
            start.arrive_and_wait();
            for (int i = 0; i < kRounds; ++i) {
                const Bytes field = {0x8E, 0, 0, static_cast<uint8_t>(1 + 2 * (i % 5)),
                                     static_cast<uint8_t>((i / 5) % 2 == 0 ? 4 : 0), 0};
                if (board.ApplyFieldUpdate(field.data(), static_cast<int32_t>(field.size()), 3)) ++changes;
                if (i % 10 == 0) {
                    const Bytes dump = CableDump({{i % 50, 1}});
                    if (board.ApplyBoardDump(dump.data(), static_cast<int32_t>(dump.size()), 3)) ++changes;
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_GT(changes.load(), long{kThreads} * kRounds / 2);
    EXPECT_EQ(updates, changes.load());

    // Every record is whole: a time line, its BOARD line, ten rows, two blank lines.
    std::istringstream log(LogText());
    std::string line;
    int records = 0;
    while (std::getline(log, line)) {
        ASSERT_EQ(line.size(), 12u) << "record " << records;
        std::getline(log, line);
        ASSERT_EQ(line.rfind("BOARD", 0), 0u) << line;
        for (int row = 0; row < 10; ++row) {
            ASSERT_TRUE(std::getline(log, line));
            ASSERT_EQ(line.size(), 10u);
        }
        for (int blank = 0; blank < 2; ++blank) {
            ASSERT_TRUE(std::getline(log, line));
            ASSERT_TRUE(line.empty());
        }
        ++records;
    }
    EXPECT_EQ(records, kThreads * kRounds / 10);
}

// Messages of any length and content, as a faulty line may deliver them: the
// board stays in bounds, and its counters, events and history agree.
TEST_F(BoardTest, ArbitraryMessagesKeepTheBoardConsistent) {
    std::mt19937 random(20261211);
    long positionEvents = 0;
    CQVRBoard board(0, [&](CQVR_Event_Data* e) {
        if (e->code == EventCode::PositionUpdate) ++positionEvents;
    });
    using Apply = bool (CQVRBoard::*)(const uint8_t*, int32_t, int32_t);
    const Apply operations[] = {&CQVRBoard::ApplyVersion, &CQVRBoard::ApplyClockTimes, &CQVRBoard::ApplyBoardDump,
                                &CQVRBoard::ApplyFieldUpdate, &CQVRBoard::ApplyMemoryDump};
    for (int round = 0; round < 1000; ++round) {
        const size_t length = random() % 70;
        // Exactly as long as the message, so the address sanitizer sees any overrun.
        auto msg = std::make_unique<uint8_t[]>(length == 0 ? 1 : length);
        for (size_t i = 0; i < length; ++i) msg[i] = static_cast<uint8_t>(random());
        const int32_t offset = static_cast<int32_t>(random() % 8) - 1;
        const Apply op = operations[random() % std::size(operations)];
        (board.*op)(msg.get(), static_cast<int32_t>(length), offset);
        board.SetBusAddress(msg.get(), static_cast<int32_t>(length));
    }
    for (int8_t v : board.squares) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 15);
    }
    EXPECT_LT(board.busAddress, 16384u);
    EXPECT_LT(board.clockStatus, 128u);
    EXPECT_GT(board.updates, 0u);
    EXPECT_EQ(positionEvents, static_cast<long>(board.updates));
    ASSERT_NE(board.LastSequence(), nullptr);
    EXPECT_EQ(board.LastSequence()->positions.Count(), static_cast<int32_t>(board.updates));
    // The history's texts can be made from whatever arrived.
    for (TChessPosition* p : board.LastSequence()->positions) {
        EXPECT_EQ(p->PositionText().size(), 200u);
        p->MoveText(true);
    }
}

}  // namespace
}  // namespace QVRProjects
