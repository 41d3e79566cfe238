// The game of one board: orientation of the server's texts, refused texts, refill.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "library/rumo_game.h"

namespace {

const std::string empty_server_board(50, '_');
const std::string start_server_board = "BBBBBBBBBBBBBBBBBBBB__________PPPPPPPPPPPPPPPPPPPP";

TEST(RumoGame, CodesAndPositionsFollowTheOrientation)
{
    for (bool reversed : {false, true}) {
        dam::rumo_game game;
        std::string position = empty_server_board;
        position[2] = 'b'; // the server's third square
        game.reset(position, "1:00:00", "0:59:00", 5, "", "", "", reversed);
        game.update_events("0P", 6, "0:58:00", "0:57:00");
        std::string expected(50, '.');
        expected[reversed ? 47 : 2] = 'X';
        expected[reversed ? 0 : 49] = 'o';
        EXPECT_EQ(game.board, expected) << reversed;
        EXPECT_EQ(game.white_clock, reversed ? "0:57:00" : "0:58:00");
        EXPECT_EQ(game.black_clock, reversed ? "0:58:00" : "0:57:00");
        EXPECT_EQ(game.start_white_clock, "1:00:00");
        EXPECT_EQ(game.unmatched.size(), 1u);
    }
}

TEST(RumoGame, RefusedTextsChangeOnlyTheClocks)
{
    dam::rumo_game game;
    game.reset(start_server_board, "1:30:00", "1:30:00", 0, "", "", "", false);
    game.update_events("I_", 1, "1:29:59", "1:30:00");
    const std::string board = game.board;
    const auto unmatched = game.unmatched.size();

    EXPECT_THROW(game.update_events("J_", 2, "1:11:11", "1:22:22"), std::runtime_error);
    EXPECT_THROW(game.update_events("I_MPw_", 3, "1:11:12", "1:22:23"), std::invalid_argument);
    EXPECT_EQ(game.board, board);
    EXPECT_EQ(game.event_codes, "I_");
    EXPECT_EQ(game.unmatched.size(), unmatched);
    EXPECT_EQ(game.white_clock, "1:11:12");

    EXPECT_THROW(game.reset("PPP", "1:00:00", "1:00:00", 4, "", "", "", false),
                 std::invalid_argument);
    EXPECT_EQ(game.event_codes, "I_");
}

TEST(RumoGame, ExtraPiecesStopTheIntake)
{
    dam::rumo_game game;
    game.reset(start_server_board, "1:30:00", "1:30:00", 0, "", "", "", false);
    // White men put on 21, 22 and 23 (codes "T", "S", "R"): 43 pieces on the board.
    game.update_events("TPSPRP", 1, "", "");
    EXPECT_FALSE(game.board_refilled);
    EXPECT_EQ(game.unmatched.size(), 3u);
    game.update_events("TPSPRPI_", 2, "", "");
    EXPECT_TRUE(game.board_refilled);
    EXPECT_EQ(game.unmatched.size(), 3u);
    game.reset(start_server_board, "1:30:00", "1:30:00", 3, "", "", "", false);
    EXPECT_FALSE(game.board_refilled);
}

} // namespace
