// Text forms of positions and moves: notation, board text, FEN.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "library/fen.h"
#include "library/move.h"
#include "library/position.h"

namespace dam {
namespace {

TEST(MoveText, NotationAndLineItems) {
  Move white_capture;
  white_capture.from = 32;
  white_capture.to = 23;
  white_capture.piece = white_man;
  white_capture.captures = {{28, black_man}};
  EXPECT_EQ(white_capture.notation(), "32x23");
  EXPECT_EQ(move_notation(white_capture, 12), " 12. 32x23");
  EXPECT_EQ(move_notation(white_capture, 1), "  1. 32x23");

  Move black_move;
  black_move.from = 19;
  black_move.to = 24;
  black_move.piece = black_king;
  EXPECT_EQ(black_move.notation(), "19-24");
  EXPECT_EQ(move_notation(black_move, 7), "     19-24");
}

TEST(MoveText, EqualityComparesSquaresOnly) {
  Move a;
  a.from = 38;
  a.to = 38;
  a.captures = {{32, black_man}, {22, black_man}, {23, black_man}, {33, black_man}};
  a.via = {27, 18, 29};
  Move b = a;
  b.captures = {{33, black_king}, {23, black_man}, {22, black_man}, {32, black_man}};
  b.via = {29, 18, 27};
  b.piece = white_king;
  EXPECT_TRUE(a == b);
  Move c = a;
  c.captures.pop_back();
  EXPECT_FALSE(a == c);
  Move d = a;
  d.captures[3].first = 34;
  EXPECT_FALSE(a == d);
  Move e = a;
  e.to = 27;
  EXPECT_FALSE(a == e);
}

TEST(PositionText, PrintAndReadBack) {
  const Position start = initial_position();
  const std::string text = board_printer::print(start);
  EXPECT_EQ(text, std::string(20, 'x') + std::string(10, '.') + std::string(20, 'o') + "W");
  EXPECT_EQ(string2position(text), start);

  // Side letters and blanks anywhere; "-" and unknown characters are empty squares.
  const Position p = string2position(" B xX-oO?" + std::string(43, '.') + "o  Z");
  EXPECT_FALSE(p.white_to_move);
  EXPECT_EQ(p.piece(1), black_man);
  EXPECT_EQ(p.piece(2), black_king);
  EXPECT_EQ(p.piece(3), empty_square);
  EXPECT_EQ(p.piece(4), white_man);
  EXPECT_EQ(p.piece(5), white_king);
  EXPECT_EQ(p.piece(6), empty_square);
  EXPECT_EQ(p.piece(50), white_man);
  EXPECT_EQ(p.piece_count(), 5);
  EXPECT_EQ(board_printer::print(p), "xX.oO" + std::string(44, '.') + "oB");
  EXPECT_EQ(p.cells[16], off_board);
  EXPECT_EQ(p.cells[0], off_board);

  // Short texts leave the remaining squares empty; a "W" anywhere puts white to move.
  EXPECT_TRUE(string2position("xW").white_to_move);
  EXPECT_EQ(string2position("").piece_count(), 0);
}

TEST(Fen, WritesKingsAndSide) {
  Position p;
  p.white_to_move = 0;
  p.set_piece(5, white_king);
  p.set_piece(18, black_man);
  p.set_piece(19, black_man);
  EXPECT_EQ(write_fen(p), "FEN \"B:WK5:B18,19\"");
  EXPECT_EQ(write_fen(p, "[", "]"), "[FEN \"B:WK5:B18,19\"]");
  EXPECT_EQ(write_fen(Position()), "FEN \"W:W:B\"");

  std::string expected = "FEN \"W:W";
  for (int s = 31; s <= 50; ++s) expected += std::to_string(s) + (s < 50 ? "," : "");
  expected += ":B";
  for (int s = 1; s <= 20; ++s) expected += std::to_string(s) + (s < 20 ? "," : "");
  EXPECT_EQ(write_fen(initial_position()), expected + "\"");
}

TEST(Fen, ReadsThePdnForms) {
  struct Case {
    const char* text;
    const char* board;
    bool side_known;
  };
  const std::string start = board_printer::print(initial_position());
  const Case cases[] = {
      {"W:W31-50:B1-20", start.c_str(), true},
      {"[FEN \"W:B1-20:W31-50\"]", start.c_str(), true},
      {" W : W 31-50 : B 1-20 .", start.c_str(), true},
      {"B:WK5:B18,19", "....O............xx...............................B", true},
      {"?:W29,13,11:B22,4,2", ".x.x......o.o........x......o.....................W", false},
      {"W:W31,29,K15:B14,13,12,9", "........x..xxxO.............o.o...................W", true},
      {"B:WK1-3,50:BK49", "OOO.............................................XoB", true},
      {"W:W:B", "..................................................W", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    bool side_known = false;
    const Position p = read_fen(c.text, &side_known);
    EXPECT_EQ(board_printer::print(p), c.board);
    EXPECT_EQ(side_known, c.side_known);
    EXPECT_EQ(read_fen(write_fen(p)), p);
  }
}

TEST(Fen, RefusesMalformedText) {
  for (const char* text : {"", "W", "X:W1:B2", "W:W51:B1", "W:W0", "W:W1,1", "W:W1:B1", "W:W5-3", "W:W1:W2",
                           "W:Q1", "W:W1a", "W:W123", "[FEN \"W:W1"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(read_fen(text), std::invalid_argument);
  }
}

}  // namespace
}  // namespace dam
