// Games played through the exported functions: moves, clocks, orientation, broken texts, refill.
#include <gtest/gtest.h>

#include <string>

#include "rumo_test_support.h"

namespace {

using rumo_test::code;
using rumo_test::game_map;
using rumo_test::reconstruct;
using rumo_test::start_fen_line;

std::string reversed_text(std::string text) { return {text.rbegin(), text.rend()}; }

// The board as the server sees it: the growing code text and the clocks in the board's order.
class board_feed {
public:
    board_feed(void* map, const char* id, bool reversed) : map_(map), id_(id), reversed_(reversed)
    {
    }

    void reset(double time)
    {
        const std::string position = reversed_ ? reversed_text(rumo_test::start_position)
                                               : rumo_test::start_position;
        reset_game(map_, id_, position.c_str(), time, "1:30:00", "1:30:00", "a", "b", "c",
                   reversed_);
    }

    void change(int square, char piece, double time, const char* white, const char* black)
    {
        codes_ += code(square, piece, reversed_);
        update_game_events(map_, id_, codes_.c_str(), time, reversed_ ? black : white,
                           reversed_ ? white : black);
    }

    const std::string& codes() const { return codes_; }

private:
    void* map_;
    const char* id_;
    bool reversed_;
    std::string codes_;
};

TEST(Game, BoardNeverResetShowsAnEmptyBoard)
{
    game_map map;
    const auto result = reconstruct(map.get(), "never reset", 5);
    EXPECT_EQ(result.text, "[FEN \"W:W:B\"] {[%clock W0:00:00 b0:00:00]}\n");
    EXPECT_EQ(result.length, static_cast<int>(result.text.size()));
    EXPECT_EQ(result.complete, 1);
}

class Orientation : public testing::TestWithParam<bool> {};

TEST_P(Orientation, MovesCarryTheClocksOfTheirTime)
{
    game_map map;
    board_feed board(map.get(), "12", GetParam());
    board.reset(10);
    EXPECT_EQ(reconstruct(map.get(), "12", 11).text, start_fen_line);

    board.change(32, '_', 20, "1:29:52", "1:30:00");
    board.change(28, 'P', 21, "1:29:50", "1:30:00");
    const auto first = reconstruct(map.get(), "12", 30);
    EXPECT_EQ(first.text, start_fen_line + "  1. 32-28 {[%clock w1:29:50 B1:30:00]}");
    EXPECT_EQ(first.complete, 1);

    board.change(19, '_', 40, "1:29:50", "1:29:45");
    board.change(23, 'B', 41, "1:29:50", "1:29:40");
    EXPECT_EQ(reconstruct(map.get(), "12", 50).text,
              start_fen_line +
                  "  1. 32-28 {[%clock w1:29:50 B1:30:00]}\n"
                  "     19-23 {[%clock W1:29:50 b1:29:40]}");
}

INSTANTIATE_TEST_SUITE_P(Game, Orientation, testing::Values(false, true),
                         [](const auto& param_info) { return param_info.param ? "Reversed" : "Upright"; });

TEST(Game, HalfMadeMoveLeavesTheGameIncomplete)
{
    game_map map;
    board_feed board(map.get(), "1", false);
    board.reset(0);
    board.change(32, '_', 1, "1:29:59", "1:30:00");
    const auto result = reconstruct(map.get(), "1", 1.5);
    EXPECT_EQ(result.text, start_fen_line);
    EXPECT_EQ(result.complete, 0);
}

TEST(Game, BrokenEventSequenceIsRefusedAndTheNextTextContinues)
{
    game_map map;
    board_feed board(map.get(), "3", false);
    board.reset(0);
    board.change(32, '_', 1, "1:29:59", "1:30:00");
    board.change(28, 'P', 2, "1:29:58", "1:30:00");

    testing::internal::CaptureStderr();
    update_game_events(map.get(), "3", (code(33, '_') + code(28, 'P')).c_str(), 3, "1:11:11",
                       "1:22:22");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error in rumo_game::update: event sequence does not include previous one!\n");

    // The refused call still brought the clock readings of its time.
    const auto result = reconstruct(map.get(), "3", 10);
    EXPECT_EQ(result.text, start_fen_line + "  1. 32-28 {[%clock w1:11:11 B1:22:22]}");

    board.change(19, '_', 20, "1:29:58", "1:29:50");
    board.change(23, 'B', 21, "1:29:58", "1:29:49");
    EXPECT_EQ(reconstruct(map.get(), "3", 30).text,
              start_fen_line +
                  "  1. 32-28 {[%clock w1:11:11 B1:22:22]}\n"
                  "     19-23 {[%clock W1:29:58 b1:29:49]}");
}

TEST(Game, SameTextAgainChangesOnlyTheClocks)
{
    game_map map;
    board_feed board(map.get(), "4", false);
    board.reset(0);
    board.change(32, '_', 1, "1:29:59", "1:30:00");
    board.change(28, 'P', 2, "1:29:58", "1:30:00");
    update_game_events(map.get(), "4", board.codes().c_str(), 3, "1:29:40", "1:30:00");
    const auto result = reconstruct(map.get(), "4", 10);
    EXPECT_EQ(result.text, start_fen_line + "  1. 32-28 {[%clock w1:29:40 B1:30:00]}");
    EXPECT_EQ(result.complete, 1);
}

TEST(Game, BoardsInterleaveWithoutMixing)
{
    game_map map;
    board_feed white_moves(map.get(), "A", false);
    board_feed black_waits(map.get(), "B", true);
    white_moves.reset(0);
    black_waits.reset(0);
    white_moves.change(32, '_', 1, "1:29:59", "1:30:00");
    black_waits.change(31, '_', 1, "1:29:59", "1:30:00");
    white_moves.change(28, 'P', 2, "1:29:58", "1:30:00");
    black_waits.change(26, 'P', 2, "1:29:58", "1:30:00");
    EXPECT_EQ(reconstruct(map.get(), "A", 10).text,
              start_fen_line + "  1. 32-28 {[%clock w1:29:58 B1:30:00]}");
    EXPECT_EQ(reconstruct(map.get(), "B", 10).text,
              start_fen_line + "  1. 31-26 {[%clock w1:29:58 B1:30:00]}");
}

TEST(Game, ResetStartsAFreshGame)
{
    game_map map;
    board_feed board(map.get(), "5", false);
    board.reset(0);
    board.change(32, '_', 1, "1:29:59", "1:30:00");
    board.change(28, 'P', 2, "1:29:58", "1:30:00");
    ASSERT_NE(reconstruct(map.get(), "5", 10).text, start_fen_line);

    board_feed again(map.get(), "5", false);
    again.reset(20);
    EXPECT_EQ(reconstruct(map.get(), "5", 21).text, start_fen_line);
    again.change(33, '_', 22, "1:29:59", "1:30:00");
    again.change(29, 'P', 23, "1:29:58", "1:30:00");
    EXPECT_EQ(reconstruct(map.get(), "5", 30).text,
              start_fen_line + "  1. 33-29 {[%clock w1:29:58 B1:30:00]}");
}

TEST(Game, ResetPositionAndClocksFormTheFenLine)
{
    game_map map;
    // A white king on 5 and black men on 18 and 19; the library starts with white to move.
    std::string position(50, '_');
    position[4] = 'p';
    position[17] = 'B';
    position[18] = 'B';
    reset_game(map.get(), "6", position.c_str(), 0, "0:05:00", "", "", "", "", false);
    EXPECT_EQ(reconstruct(map.get(), "6", 1).text, "[FEN \"W:WK5:B18,19\"] \n");
}

} // namespace
