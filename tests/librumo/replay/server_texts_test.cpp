// The texts rumo-replay sends as a server: they must mean to the library what the board shows.
#include <gtest/gtest.h>

#include "library/event_codes.h"
#include "library/position.h"
#include "tools/rumo-replay/library_feed.h"

namespace {

TEST(ServerTexts, SquareCodesDecodeToTheirSquareInBothOrientations)
{
    for (bool reversed : {false, true})
        for (int square = 1; square <= 50; ++square) {
            const char code = replay::server_square_code(square, reversed);
            EXPECT_EQ(dam::event_code_square(dam::event_code_number(code), reversed), square)
                << "square " << square << (reversed ? " reversed" : "");
        }
    // The change text letters of the hall program: "n" square 1, "Z" square 15, "0" square 50.
    EXPECT_EQ(replay::server_square_code(1, false), 'n');
    EXPECT_EQ(replay::server_square_code(15, false), 'Z');
    EXPECT_EQ(replay::server_square_code(50, false), '0');
}

TEST(ServerTexts, PositionTextReadsBackAsTheBoard)
{
    dam::Position position = dam::initial_position();
    position.set_piece(3, dam::white_king);
    position.set_piece(48, dam::black_king);
    position.set_piece(33, dam::empty_square);
    const std::string board = dam::board_printer::print(position).substr(0, 50);
    for (bool reversed : {false, true})
        EXPECT_EQ(dam::server_position_to_board(
                      replay::server_position_text(position, reversed), reversed),
                  board);
}

TEST(ServerTexts, ClockTexts)
{
    const std::pair<double, const char*> cases[] = {
        {5400, "1:30:00"}, {3661.9, "1:01:01"}, {59.99, "0:00:59"}, {0, "0:00:00"},
        {-12, "0:00:00"},  {36000, "10:00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(replay::clock_text(seconds), text) << seconds;
}

} // namespace
