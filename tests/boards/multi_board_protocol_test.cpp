#include "boards/multi_board_protocol.h"

#include <gtest/gtest.h>

#include "tests/boards/recording_protocol.h"

namespace QVRProjects {
namespace {

using testing::BusMessage;
using testing::EventLog;
using testing::Recording;

std::vector<uint8_t> Command(uint8_t command, uint32_t address) {
    std::vector<uint8_t> bytes(4);
    CQVRMultiBoardProtocol::BuildCommand(bytes.data(), command, address);
    return bytes;
}

std::vector<uint8_t> Ack(uint32_t address) { return BusMessage(7, address, {}); }

struct BusFixture : ::testing::Test {
    EventLog log;
    Recording<CQVRMultiBoardProtocol> bus{log.Handler()};

    // Starts the cycle expecting `addresses`, which answer the first
    // broadcast; the last answer starts the polling.
    void Discover(const std::vector<uint32_t>& addresses) {
        bus.SetExpectedBoards(static_cast<int32_t>(addresses.size()));
        bus.pollState = 0;
        bus.RunPoll();
        bus.OnDelayDone(false);  // the pause after 0x89
        for (uint32_t a : addresses) bus.Feed(Ack(a));
    }
    // Commands with their addresses since write `from`.
    std::vector<std::pair<uint8_t, uint32_t>> Sent(size_t from) const {
        std::vector<std::pair<uint8_t, uint32_t>> sent;
        for (size_t i = from; i < bus.writes.size(); ++i) {
            const auto& b = bus.writes[i].bytes;
            sent.emplace_back(b[0], b.size() == 4 ? (b[1] << 7) | b[2] : 0u);
        }
        return sent;
    }
    // Answers the last write as the board would: moves, dump, clock or acknowledgement.
    void Answer() {
        const auto& b = bus.writes.back().bytes;
        const uint32_t address = (b[1] << 7) | b[2];
        switch (b[0]) {
            case 0x83:
            case 0x84:
            case 0x86:
                bus.Feed(BusMessage(5, address, {}));
                break;
            case 0x82:
                bus.Feed(BusMessage(10, address, std::vector<uint8_t>(50, 0)));
                break;
            case 0x81:
                bus.Feed(BusMessage(4, address, {0x01, 0x30, 0x00, 0x01, 0x30, 0x00, 0x00}));
                break;
            default:
                bus.Feed(Ack(address));
        }
    }
    // Answers requests until the next stored-moves request; returns its command.
    uint8_t NextMovesRequest() {
        for (int i = 0; i < 10; ++i) {
            Answer();
            const uint8_t command = bus.writes.back().bytes[0];
            if (command == 0x83 || command == 0x84) return command;
        }
        return 0;
    }
};

TEST(BusCommand, BytesAndPreWaits) {
    EXPECT_EQ(Command(0x82, 300), (std::vector<uint8_t>{0x82, 0x02, 0x2C, 0x30}));
    EXPECT_EQ(Command(0x87, 0), (std::vector<uint8_t>{0x87, 0x00, 0x00, 0x07}));
    EXPECT_EQ(Command(0x89, 0), (std::vector<uint8_t>{0x89, 0x00, 0x00, 0x09}));
    const std::vector<std::pair<int32_t, int32_t>> waits{{1, 308}, {2, 141}, {3, 100}, {40, 100}};
    for (const auto& [boards, wait] : waits) EXPECT_EQ(CQVRMultiBoardProtocol::PreWaitFor(boards), wait) << boards;
}

TEST_F(BusFixture, AutoDiscoveryFindsTheBoardsThatAnswer) {
    bus.pollState = 0;
    bus.RunPoll();
    ASSERT_EQ(bus.writes.size(), 3u);
    EXPECT_EQ(bus.writes[0].bytes, std::vector<uint8_t>{0x4A});
    EXPECT_EQ(bus.writes[1].bytes, Command(0x89, 0));
    EXPECT_EQ(bus.writes[1].preWait, 80);
    EXPECT_EQ(bus.writes[1].afterWrite, -3000);
    EXPECT_EQ(bus.writes[2].bytes, Command(0x87, 0));
    EXPECT_EQ(bus.writes[2].afterWrite, -1200);
    bus.OnDelayDone(false);  // the pause after 0x89 ends before the broadcast goes out
    EXPECT_EQ(bus.writes.size(), 3u);

    bus.Feed(Ack(12));
    bus.Feed(Ack(300));
    ASSERT_EQ(bus.Count(), 2);
    EXPECT_EQ(log.TextsOf(304).size(), 2u);
    EXPECT_EQ(Sent(3), (std::vector<std::pair<uint8_t, uint32_t>>{{0x8A, 12}, {0x8A, 300}}));
    EXPECT_EQ(bus.writes[3].replyLength, 6);
    EXPECT_EQ(bus.writes[3].afterWrite, 80);
    bus.OnDelayDone(true);
    EXPECT_EQ(Sent(5), (std::vector<std::pair<uint8_t, uint32_t>>{{0x87, 0}}));
    // Nobody new: polling starts, with the pause of two boards.
    bus.Feed(Ack(12));
    bus.Feed(Ack(300));
    EXPECT_EQ(Sent(6), (std::vector<std::pair<uint8_t, uint32_t>>{{0x83, 12}}));
    EXPECT_EQ(bus.preWait, 141);
    EXPECT_EQ(bus.writes[6].preWait, 141);
    // The last broadcast's pause may end after polling began; it adds no request.
    bus.OnDelayDone(true);
    EXPECT_EQ(bus.writes.size(), 7u);
}

TEST_F(BusFixture, MissingBoardsKeepTheBroadcastGoing) {
    bus.SetExpectedBoards(3);
    bus.pollState = 0;
    bus.RunPoll();
    bus.OnDelayDone(false);
    bus.Feed(Ack(1));
    bus.Feed(Ack(2));
    for (int round = 0; round < 4; ++round) {
        // Each broadcast pause ends with the known boards addressed again and a new broadcast.
        const size_t before = bus.writes.size();
        bus.OnDelayDone(true);
        ASSERT_GT(bus.writes.size(), before) << "round " << round;
        for (int reply = 0; reply < 3 && bus.writes.back().bytes[0] == 0x8A; ++reply) Answer();
        EXPECT_EQ(bus.writes.back().bytes, Command(0x87, 0)) << "round " << round;
    }
    bus.Feed(Ack(3));  // the third board answers at last
    bus.OnDelayDone(true);
    EXPECT_EQ(bus.writes.back().bytes, Command(0x83, 1));
    EXPECT_EQ(bus.preWait, 100);
}

TEST_F(BusFixture, OneFullPassThenFifteenMovesPasses) {
    bus.SetExpectedBoards(2);
    Discover({4, 5});
    const size_t from = bus.writes.size() - 1;
    // Two full rounds of the cycle, each board answering at once.
    for (int reply = 0; reply < 2 * (6 + 15 * 2); ++reply) Answer();
    const std::vector<std::pair<uint8_t, uint32_t>> round{{0x83, 4}, {0x83, 5}, {0x82, 4},
                                                          {0x82, 5}, {0x81, 4}, {0x81, 5}};
    std::vector<std::pair<uint8_t, uint32_t>> expected;
    for (int cycle = 0; cycle < 2; ++cycle) {
        expected.insert(expected.end(), round.begin(), round.end());
        for (int pass = 0; pass < 15; ++pass) {
            expected.emplace_back(0x83, 4);
            expected.emplace_back(0x83, 5);
        }
    }
    expected.emplace_back(0x83, 4);
    EXPECT_EQ(Sent(from), expected);
    EXPECT_EQ(bus.writes[from].afterWrite, 800);
    EXPECT_EQ(bus.writes[from + 2].replyLength, 56);
    EXPECT_EQ(bus.writes[from + 2].afterWrite, 2000);
    EXPECT_EQ(bus.writes[from + 4].replyLength, 13);
    EXPECT_EQ(bus.writes[from + 6].afterWrite, 10000);
}

// Each bad message from board 3 after a moves request: the check text, one
// error on the board, and a repeat request for its moves.
struct CheckCase {
    const char* name;
    std::vector<uint8_t> message;
    const char* error;
    bool chargedToBoard;
};

class BusChecks : public BusFixture, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(BusChecks, RejectsAndChargesTheSender) {
    const CheckCase& c = GetParam();
    Discover({3});
    ASSERT_EQ(bus.writes.back().bytes[0], 0x83);
    CQVRBoard* board = bus.First();
    log.events.clear();
    const size_t writes = bus.writes.size();
    bus.Feed(c.message);
    EXPECT_EQ(log.TextsOf(105).front(), c.error);
    EXPECT_EQ(bus.badMessages, 1u);
    EXPECT_EQ(board->errors, c.chargedToBoard ? 1u : 0u);
    EXPECT_EQ(board->memoryRequested, c.chargedToBoard ? 1 : 0);
    if (c.chargedToBoard) {
        EXPECT_EQ(log.TextsOf(105).back(), "BOARD MESSAGE KO");
    }
    EXPECT_EQ(bus.writes.size(), writes) << "a rejected message does not advance the cycle";
    // The reply wait then runs out; either way the moves are asked for again.
    bus.OnReplyTimeout(board);
    EXPECT_EQ(NextMovesRequest(), 0x84);
}

std::vector<uint8_t> WithChecksum(std::vector<uint8_t> message, int delta) {
    message.back() = static_cast<uint8_t>((message.back() + delta) & 0x7F);
    return message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BusChecks,
    ::testing::Values(
        CheckCase{"checksum", WithChecksum(BusMessage(5, 3, {0x41, 0x01}), 1), "ERROR: checksum error", true},
        CheckCase{"short", {0x85, 0x00, 0x05, 0x00, 0x03, 0x00}, "ERROR: message length to short", true},
        CheckCase{"address zero", BusMessage(5, 0, {}), "ERROR: address not correct", false}),
    [](const auto& test) {
        std::string name = test.param.name;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

TEST_F(BusFixture, TimeoutChargesTheAddressedBoard) {
    Discover({6, 7});
    CQVRBoard* six = bus.BoardAt(6);
    bus.OnReplyTimeout(six);
    EXPECT_EQ(six->timeouts, 1u);
    EXPECT_EQ(six->memoryRequested, 1);
    EXPECT_EQ(bus.BoardAt(7)->errors, 0u);
    EXPECT_EQ(log.TextsOf(300).back(), "timeout occured");
    bus.OnReplyTimeout(nullptr);  // a broadcast timed out: nobody to charge
    EXPECT_EQ(six->errors, 1u);
}

TEST_F(BusFixture, RequestFlagsAreSentInTheMovesPasses) {
    bus.SetExpectedBoards(1);
    Discover({8});
    for (int reply = 0; reply < 3; ++reply) Answer();  // the full pass
    CQVRBoard* board = bus.First();
    board->fromStartRequested = 1;
    Answer();
    ASSERT_EQ(bus.writes.back().bytes[0], 0x86);
    EXPECT_EQ(bus.writes.back().afterWrite, 800);
    EXPECT_EQ(bus.writes.back().replyLength, 0);
    EXPECT_EQ(board->fromStartRequested, 0);
    board->writeTagRequested = 1;
    Answer();
    ASSERT_EQ(bus.writes.back().bytes[0], 0x85);
    EXPECT_EQ(bus.writes.back().replyLength, 6);
    EXPECT_EQ(board->writeTagRequested, 0);
    Answer();
    EXPECT_EQ(bus.writes.back().bytes[0], 0x83);
}

TEST_F(BusFixture, UnknownMessageIdIsReportedOnTheBoard) {
    Discover({2});
    bus.Feed(BusMessage(9, 2, {}));
    EXPECT_EQ(log.TextsOf(105), std::vector<std::string>{"Unknown command received from board"});
}

TEST_F(BusFixture, ResetAfterACompleteDiscoveryStartsAfresh) {
    bus.SetExpectedBoards(2);
    Discover({1, 2});
    CQVRBoard* one = bus.BoardAt(1);
    std::vector<CQVRBoard*> removed;
    log.events.clear();
    bus.pollState = 0;
    bus.RunPoll();  // must return, with the boards gone and a new discovery under way
    for (const auto& e : log.events)
        if (e.code == kBoardRemovedEvent) removed.push_back(e.board);
    EXPECT_EQ(removed.size(), 2u);
    EXPECT_EQ(removed.front(), one);
    EXPECT_EQ(bus.Count(), 0);
    EXPECT_EQ(bus.boardCount, 0);
    EXPECT_EQ(bus.writes.back().bytes, Command(0x87, 0));
}

}  // namespace
}  // namespace QVRProjects
