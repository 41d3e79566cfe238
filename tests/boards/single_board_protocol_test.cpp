#include "boards/single_board_protocol.h"

#include <gtest/gtest.h>

#include "serial/serial_io.h"
#include "tests/boards/recording_protocol.h"

namespace QVRProjects {
namespace {

using testing::CableMessage;
using testing::EventLog;
using testing::Recording;

constexpr int32_t kComplete = ReplyComplete;

std::vector<uint8_t> StartDump() {
    std::vector<uint8_t> squares(50, 0);
    for (int n = 0; n < 20; ++n) squares[n] = 4;
    for (int n = 30; n < 50; ++n) squares[n] = 1;
    return CableMessage(6, squares);
}

struct SingleFixture : ::testing::Test {
    EventLog log;
    Recording<CQVRSingleBoardProtocol> protocol{"USB", log.Handler()};

    // Runs the reset and the address exchange up to the first dump request.
    void FindBoard(uint32_t address) {
        protocol.pollState = 0;
        protocol.RunPoll();
        protocol.RunPoll();  // the reset's pause is over
        protocol.Feed(CableMessage(16, {static_cast<uint8_t>(address >> 7), static_cast<uint8_t>(address & 0x7F)}));
    }
};

TEST_F(SingleFixture, AddressMessageOnFreshProtocolCreatesTheBoard) {
    EXPECT_EQ(protocol.Feed({0x90, 0x00, 0x05, 0x00, 0x07}), kComplete);
    ASSERT_EQ(protocol.Count(), 1);
    CQVRBoard* board = protocol.First();
    EXPECT_EQ(board->busAddress, 7u);
    EXPECT_EQ(board->packets, 1u);
    EXPECT_EQ(board->owner, &protocol);
    EXPECT_EQ(log.Codes(), (std::vector<int32_t>{302, 107, 304, 100}));
    EXPECT_EQ(log.events[1].text, "packet received");
    EXPECT_EQ(log.events[2].text, "NEW BOARD FOUND");
    EXPECT_EQ(log.events[3].board, board);
    EXPECT_EQ(log.events[0].text, std::string("\x90\x00\x05\x00\x07", 5));
}

// How byte streams are cut into messages: each case feeds deliveries and
// expects the results of OnData, the check errors and the accepted count.
struct FramingCase {
    const char* name;
    std::vector<std::vector<uint8_t>> deliveries;
    std::vector<int32_t> results;
    std::vector<std::string> errors;
    uint32_t accepted;
};

class SingleFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(SingleFraming, CutsAndChecksMessages) {
    const FramingCase& c = GetParam();
    EventLog log;
    Recording<CQVRSingleBoardProtocol> protocol("serial", log.Handler());
    std::vector<int32_t> results;
    for (const auto& delivery : c.deliveries) results.push_back(protocol.Feed(delivery));
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(log.TextsOf(105), c.errors);
    EXPECT_EQ(protocol.acceptedMessages, c.accepted);
    EXPECT_EQ(protocol.badMessages, c.errors.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SingleFraming,
    ::testing::Values(
        FramingCase{"split", {{0x90, 0x00}, {0x05, 0x00}, {0x07}}, {0, 0, kComplete}, {}, 1},
        FramingCase{"whole", {{0x90, 0x00, 0x05, 0x00, 0x07}}, {kComplete}, {}, 1},
        // Announces 6 bytes, but a start byte follows the fifth: dropped silently.
        FramingCase{"cut short", {{0x93, 0x00, 0x06, 0x02, 0x07, 0x90, 0x00, 0x05, 0x00, 0x07}}, {kComplete}, {}, 1},
        // The rest of a delivery after a complete message is dropped.
        FramingCase{"tail dropped", {{0x90, 0x00, 0x05, 0x00, 0x07, 0x01, 0x00, 0x05, 0x01, 0x01}}, {kComplete}, {}, 1},
        // Bytes without a start byte: the first opens, the others are collected.
        FramingCase{"no start byte",
                    {{0x90, 0x00, 0x05, 0x00, 0x07}, {0x11, 0x22, 0x00, 0x05, 0x01, 0x02}},
                    {kComplete, kComplete},
                    {"ERROR: message bit not set"},
                    1},
        FramingCase{"announces zero", {{0x90, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}}, {0}, {}, 0},
        FramingCase{"announces two", {{0x93, 0x00, 0x02, 0x01, 0x01}}, {kComplete},
                    {"ERROR: message length to short"}, 0}),
    [](const auto& test) {
        std::string name = test.param.name;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

TEST_F(SingleFixture, PollsTenDumpsThenTheClock) {
    protocol.pollState = 0;
    protocol.RunPoll();
    ASSERT_EQ(protocol.writes.size(), 1u);
    const auto& reset = protocol.writes[0];
    EXPECT_EQ(reset.bytes, std::vector<uint8_t>{0x40});
    EXPECT_EQ(reset.afterWrite, -100);
    EXPECT_TRUE(reset.allowDuplicate);

    protocol.RunPoll();
    ASSERT_EQ(protocol.writes.size(), 2u);
    EXPECT_EQ(protocol.writes[1].bytes, std::vector<uint8_t>{0x46});
    EXPECT_EQ(protocol.writes[1].replyLength, 5);
    EXPECT_EQ(protocol.preWait, 250);

    protocol.Feed(CableMessage(16, {0, 3}));
    const auto dump = StartDump();
    for (int cycle = 0; cycle < 2; ++cycle) {
        const size_t from = protocol.writes.size() - 1;
        for (int i = 0; i < 10; ++i) protocol.Feed(dump);
        protocol.Feed(CableMessage(13, {0x01, 0x30, 0x00, 0x01, 0x30, 0x00, 0x11}));
        std::vector<uint8_t> expected(10, 0x42);
        expected.push_back(0x41);
        expected.push_back(0x42);
        EXPECT_EQ(protocol.CommandsSince(from), expected) << "cycle " << cycle;
    }
    const auto& dumpRequest = protocol.writes[2];
    EXPECT_EQ(dumpRequest.preWait, 250);
    EXPECT_EQ(dumpRequest.afterWrite, 300);
    // A dump reply is 53 bytes; waiting for more would run into the time-out every time.
    EXPECT_EQ(dumpRequest.replyLength, static_cast<int32_t>(dump.size()));
    EXPECT_FALSE(dumpRequest.allowDuplicate);
    const auto& clockRequest = protocol.writes[12];
    EXPECT_EQ(clockRequest.bytes, std::vector<uint8_t>{0x41});
    EXPECT_EQ(clockRequest.afterWrite, 200);
    EXPECT_EQ(clockRequest.replyLength, 10);
    EXPECT_EQ(protocol.First()->updates, 1u);
    EXPECT_EQ(protocol.First()->clockStatus, 0x11u);
}

TEST_F(SingleFixture, BoardWithoutAddressIsAskedAgain) {
    protocol.pollState = 0;
    protocol.RunPoll();
    protocol.RunPoll();
    protocol.OnReplyTimeout();  // no board answered the address request
    EXPECT_EQ(protocol.CommandsSince(0), (std::vector<uint8_t>{0x40, 0x46, 0x46}));
    EXPECT_EQ(log.TextsOf(300), std::vector<std::string>{"protocol.single: timeout occured"});
    EXPECT_TRUE(log.TextsOf(105).empty());
}

TEST_F(SingleFixture, TimeoutIsChargedOnlyToABoardThatAnsweredSince) {
    FindBoard(5);
    CQVRBoard* board = protocol.First();
    protocol.OnReplyTimeout();  // the address came before the board existed
    EXPECT_EQ(board->timeouts, 0u);
    protocol.Feed(StartDump());
    protocol.OnReplyTimeout();
    protocol.OnReplyTimeout();
    EXPECT_EQ(board->timeouts, 1u);
    EXPECT_EQ(board->errors, 1u);
    EXPECT_EQ(log.TextsOf(105), std::vector<std::string>{"TIMEOUT"});
    protocol.Feed(StartDump());
    protocol.OnReplyTimeout();
    EXPECT_EQ(board->timeouts, 2u);
}

TEST_F(SingleFixture, BadMessageCountsOnTheBoard) {
    FindBoard(5);
    protocol.Feed({0x86, 0x00, 0x02, 0x01, 0x01});
    EXPECT_EQ(protocol.First()->errors, 1u);
    EXPECT_EQ(protocol.badMessages, 1u);
    const auto& error = log.events.back();
    EXPECT_EQ(error.code, 105);
    EXPECT_EQ(error.board, nullptr);
    EXPECT_EQ(error.protocol, nullptr);
}

TEST_F(SingleFixture, MemoryReadShowsBusyAndEndsTheClockText) {
    FindBoard(5);
    protocol.UserCommand(504, "", 0);
    ASSERT_EQ(protocol.userCommands.Count(), 2);
    const CUserCommand* busy = protocol.userCommands.At(0);
    const std::vector<uint8_t> busyBytes(busy->data, busy->data + busy->length);
    EXPECT_EQ(busyBytes, (std::vector<uint8_t>{0x2B, 0x0B, 0x03, 0x01, 0x6D, 0x3E, 0x7C, 0x00, 0x00, 0x6E, 0x00,
                                               0x01, 0x00}));
    EXPECT_EQ(busy->afterWrite, 90);
    EXPECT_EQ(busy->preWait, 250);
    const CUserCommand* memory = protocol.userCommands.At(1);
    EXPECT_EQ(memory->data[0], 0x49);
    EXPECT_EQ(memory->replyLength, 7939);
    EXPECT_EQ(memory->afterWrite, 10000);

    // Each poll write takes one user command with it.
    const size_t from = protocol.writes.size();
    protocol.Feed(StartDump());
    protocol.Feed(StartDump());
    EXPECT_EQ(protocol.CommandsSince(from), (std::vector<uint8_t>{0x42, 0x2B, 0x42, 0x49}));

    log.events.clear();
    protocol.Feed(CableMessage(15, {0x6F, 0x7F}));
    const auto codes = log.Codes();
    const auto eeMoves = std::find(codes.begin(), codes.end(), 305);
    const auto update = std::find(codes.begin(), codes.end(), 104);
    ASSERT_NE(eeMoves, codes.end());
    ASSERT_NE(update, codes.end());
    EXPECT_LT(eeMoves, update);
    EXPECT_EQ(protocol.writes.back().bytes, (std::vector<uint8_t>{0x2B, 0x02, 0x03, 0x03, 0x00}));
}

TEST_F(SingleFixture, PollResetAnnouncesTheBoardBeforeDeletingIt) {
    FindBoard(9);
    CQVRBoard* board = protocol.First();
    protocol.Feed(StartDump());
    ASSERT_EQ(protocol.answeringBoard, board);
    // Whoever holds the board reads it while the removal is announced.
    uint32_t addressSeen = 0;
    board->events.onEvent = [&](CQVR_Event_Data* e) {
        if (e->code == EventCode::BoardRemoved) addressSeen = e->board->busAddress;
    };
    protocol.pollState = 0;
    protocol.RunPoll();
    EXPECT_EQ(addressSeen, 9u);
    EXPECT_EQ(protocol.Count(), 0);
    EXPECT_EQ(protocol.answeringBoard, nullptr);
    protocol.OnReplyTimeout();  // nothing left to charge
}

}  // namespace
}  // namespace QVRProjects
