// Legal moves of the array generator on hand-made positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "library/moves_generator.h"
#include "library/position.h"

namespace dam {
namespace {

Position make_position(bool white_to_move, std::initializer_list<std::pair<int, Piece>> pieces) {
  Position p;
  p.white_to_move = white_to_move;
  for (const auto& [square, piece] : pieces) p.set_piece(square, piece);
  return p;
}

std::vector<std::string> notations(const std::vector<Move>& moves) {
  std::vector<std::string> out;
  for (const auto& m : moves) out.push_back(m.notation());
  return out;
}

TEST(ArrayGenerator, InitialPositionGivesNineMovesInOrder) {
  const Position p = string2position("xxxxxxxxxxxxxxxxxxxx..........ooooooooooooooooooooW");
  EXPECT_EQ(notations(p.generate_moves()),
            (std::vector<std::string>{"31-26", "31-27", "32-27", "32-28", "33-28", "33-29", "34-29", "34-30",
                                      "35-30"}));
  Position black = p;
  black.white_to_move = 0;
  EXPECT_EQ(notations(black.generate_moves()),
            (std::vector<std::string>{"16-21", "17-21", "17-22", "18-22", "18-23", "19-23", "19-24", "20-24",
                                      "20-25"}));
}

TEST(ArrayGenerator, OnlyTheLargestCaptureIsLegal) {
  // 32 takes 28 and 18; 36 could take 31 alone; 45 could move.
  const Position p = make_position(true, {{32, white_man}, {36, white_man}, {45, white_man}, {28, black_man},
                                         {18, black_man}, {31, black_man}});
  const auto moves = p.generate_moves();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].from, 32);
  EXPECT_EQ(moves[0].to, 12);
  EXPECT_EQ(moves[0].via, std::vector<int>{23});
  EXPECT_EQ(moves[0].captures, (std::vector<std::pair<int, Piece>>{{28, black_man}, {18, black_man}}));
  EXPECT_EQ(moves[0].result, white_man);
}

TEST(ArrayGenerator, KingCaptureGivesEveryLandingSquare) {
  const Position p = make_position(true, {{46, white_king}, {37, black_king}, {1, black_man}});
  EXPECT_EQ(notations(p.generate_moves()),
            (std::vector<std::string>{"46x5", "46x10", "46x14", "46x19", "46x23", "46x28", "46x32"}));
  for (const auto& m : p.generate_moves()) {
    EXPECT_EQ(m.piece, white_king);
    EXPECT_EQ(m.result, white_king);
    EXPECT_EQ(m.captures, (std::vector<std::pair<int, Piece>>{{37, black_king}}));
  }
}

TEST(ArrayGenerator, KingMayNeitherPassNorRejumpACapturedPiece) {
  // After 37, 22 and 21 the king stands on 26; 42 lies behind the captured 37.
  const Position p =
      make_position(true, {{46, white_king}, {37, black_man}, {22, black_man}, {21, black_man}, {42, black_man}});
  const auto moves = p.generate_moves();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].notation(), "46x26");
  EXPECT_EQ(moves[0].via, (std::vector<int>{28, 17}));
  EXPECT_EQ(captured_squares(moves[0]), (std::vector<int>{21, 22, 37}));
}

TEST(ArrayGenerator, CaptureRoundTripEndsOnOriginByBothRoutes) {
  const Position p =
      make_position(true, {{38, white_man}, {32, black_man}, {22, black_king}, {23, black_man}, {33, black_man}});
  const auto moves = p.generate_moves();
  ASSERT_EQ(moves.size(), 2u);
  for (const auto& m : moves) {
    EXPECT_EQ(m.from, 38);
    EXPECT_EQ(m.to, 38);
    EXPECT_EQ(m.notation(), "38x38");
    EXPECT_EQ(captured_squares(m), (std::vector<int>{22, 23, 32, 33}));
  }
  EXPECT_EQ(moves[0].via, (std::vector<int>{27, 18, 29}));
  EXPECT_EQ(moves[1].via, (std::vector<int>{29, 18, 27}));
  EXPECT_EQ(moves[0].captures[1], (std::pair<int, Piece>{22, black_king}));
  EXPECT_TRUE(moves[0] == moves[1]);

  Position after = p;
  after.make_move(moves[0]);
  EXPECT_EQ(board_printer::print(after), std::string(37, '.') + "o" + std::string(12, '.') + "B");
  after.unmake_move(moves[0]);
  EXPECT_EQ(after, p);
}

TEST(ArrayGenerator, PromotionOnlyAtTheEndOfACapture) {
  struct Case {
    const char* name;
    Position position;
    const char* notation;
    Piece result;
  };
  const Case cases[] = {
      {"ends on 3", make_position(true, {{12, white_man}, {8, black_man}}), "12x3", white_king},
      {"passes 3", make_position(true, {{12, white_man}, {8, black_man}, {9, black_man}}), "12x14", white_man},
      {"black ends on 48", make_position(false, {{37, black_man}, {42, white_man}}), "37x48", black_king},
      {"simple move to 1", make_position(true, {{7, white_man}}), "7-1", white_king},
      {"black passes its far row", make_position(false, {{37, black_man}, {42, white_man}, {43, white_man}}),
       "37x39", black_man},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto moves = c.position.generate_moves();
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves[0].notation(), c.notation);
    EXPECT_EQ(moves[0].result, c.result);
  }
}

TEST(ArrayGenerator, KingSlidesAndManStepsForwardOnly) {
  const Position p = make_position(false, {{28, black_king}, {26, white_man}, {5, black_man}, {1, black_man}});
  EXPECT_EQ(notations(p.generate_moves()),
            (std::vector<std::string>{"1-6", "1-7", "5-10", "28-6", "28-10", "28-11", "28-14", "28-17", "28-19",
                                      "28-22", "28-23", "28-32", "28-33", "28-37", "28-39", "28-41", "28-44",
                                      "28-46", "28-50"}));
}

}  // namespace
}  // namespace dam
