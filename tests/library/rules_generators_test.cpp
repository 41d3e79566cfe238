// The bitboard generator against the published counts and against the array generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"
#include "library/fen.h"
#include "library/perft.h"
#include "tools/common/pdn_reader.h"

namespace dam {
namespace {

const char* const woldouby = "W:W25,27,28,30,32,33,34,35,37,38:B12,13,14,16,18,19,21,23,24,26";

// A move as both generators must agree on it: squares, kinds, captured set.
using MoveKey = std::tuple<int, int, Piece, Piece, std::vector<std::pair<int, Piece>>>;

MoveKey key(const Move& m) {
  auto captures = m.captures;
  std::sort(captures.begin(), captures.end());
  return {m.from, m.to, m.piece, m.result, captures};
}

std::vector<MoveKey> array_keys(const Position& p) {
  std::vector<MoveKey> keys;
  for (const auto& m : distinct_moves(p.generate_moves())) keys.push_back(key(m));
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::vector<MoveKey> bitboard_keys(const Position& p) {
  const bitboard b = to_bitboard(p);
  std::vector<MoveKey> keys;
  for (const std::uint64_t mask : bitboard_moves(b)) keys.push_back(key(convert_bitboard_moves(b, {mask}).at(0)));
  std::sort(keys.begin(), keys.end());
  return keys;
}

TEST(BitboardGenerator, MatchesPublishedCounts) {
  const std::vector<std::uint64_t> initial = {9, 81, 658, 4265, 27117, 167140, 1049442, 6483961, 41022423};
  const std::vector<std::uint64_t> wold = {6, 12, 30, 73, 215, 590, 1944, 6269, 22369, 88050, 377436};
  for (const bool popcount_instruction : {true, false}) {
    SCOPED_TRACE(popcount_instruction ? "popcount instruction where available" : "portable");
    bitboard_perft perft(popcount_instruction);
    const bitboard start = to_bitboard(initial_position());
    for (int depth = 1; depth <= 9; ++depth) {
      SCOPED_TRACE(depth);
      EXPECT_EQ(perft.run(start, depth), initial[depth - 1]);
    }
    const bitboard w = to_bitboard(read_fen(woldouby));
    for (int depth = 1; depth <= 11; ++depth) {
      SCOPED_TRACE(depth);
      EXPECT_EQ(perft.run(w, depth), wold[depth - 1]);
    }
  }
}

TEST(BitboardGenerator, AgreesWithArrayGeneratorOnCounts) {
  const char* const fens[] = {
      "W:W31-50:B1-20",
      woldouby,
      "W:WK46,K3,33:BK5,12,17,19",  // kings of both colours
      "B:WK49,28,33:BK3,22,13",
      "W:WK10,K41:BK23,18,35",
      "W:WK38,50:B32,22,23,33,5",  // king round a ring
      "W:W38,50:B32,22,23,33,5",   // man round a ring, back on its origin
  };
  for (const char* fen : fens) {
    SCOPED_TRACE(fen);
    const Position p = read_fen(fen);
    for (int depth = 1; depth <= 7; ++depth) {
      SCOPED_TRACE(depth);
      EXPECT_EQ(perft_bitboard(to_bitboard(p), depth), perft_array(p, depth));
    }
  }
}

TEST(BitboardGenerator, AgreesWithArrayGeneratorOnRandomPlayFromRealGames) {
  std::mt19937 random(20031);
  bitboard_move_generator counter;
  std::size_t positions = 0;
  for (const auto& entry : std::filesystem::directory_iterator(RUMO_GAMES_DIR)) {
    if (entry.path().extension() != ".pdn") continue;
    for (const auto& game : rumo_tools::read_pdn_file(entry.path().string())) {
      Position p = game.start;
      for (std::size_t ply = 0; ply <= game.moves.size(); ++ply) {
        if (ply % 8 == 0) {
          // From here on, random moves until the game ends or 40 plies pass.
          Position q = p;
          for (int step = 0; step < 40; ++step) {
            const auto keys = array_keys(q);
            ASSERT_EQ(bitboard_keys(q), keys) << board_printer::print(q);
            ASSERT_EQ(counter.count_moves(to_bitboard(q)), keys.size()) << board_printer::print(q);
            ++positions;
            const auto moves = q.generate_moves();
            if (moves.empty()) break;
            q.make_move(moves[random() % moves.size()]);
          }
        }
        if (ply < game.moves.size()) p.make_move(game.moves[ply]);
      }
    }
  }
  EXPECT_GT(positions, 50000u);
}

TEST(BitboardGenerator, MergesRoutesAndConvertsCaptures) {
  // The man on 38 takes the ring either way and ends on its origin: two routes, one mask.
  const Position ring = read_fen("W:W38,50:B32,K22,23,33,5");
  EXPECT_EQ(ring.generate_moves().size(), 2u);
  const bitboard b = to_bitboard(ring);
  const auto masks = bitboard_moves(b);
  ASSERT_EQ(masks.size(), 1u);
  const auto moves = convert_bitboard_moves(b, masks);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].from, 38);
  EXPECT_EQ(moves[0].to, 38);
  EXPECT_EQ(moves[0].piece, white_man);
  EXPECT_EQ(moves[0].captures,
            (std::vector<std::pair<int, Piece>>{{22, black_king}, {23, black_man}, {32, black_man}, {33, black_man}}));
  EXPECT_TRUE(moves[0].via.empty());
  EXPECT_TRUE(moves[0] == ring.generate_moves()[0]);

  bitboard after = b;
  apply_move_mask(after, masks[0]);
  EXPECT_EQ(after, string2bitboard("....x" + std::string(32, '.') + "o" + std::string(11, '.') + "oB"));
}

TEST(BothGenerators, HoldACaptureOfNineteenPiecesWhole) {
  // The white king can take every black piece, by 428 routes to three squares.
  const Position p = read_fen("W:WK16:B7,8,9,10,17,18,19,20,21,28,29,30,31,32,39,40,41,42,43");
  const auto routes = p.generate_moves();
  ASSERT_FALSE(routes.empty());
  std::vector<int> black_squares;
  for (int s = 1; s <= 50; ++s)
    if (p.piece(s) == black_man) black_squares.push_back(s);
  for (const auto& m : routes) {
    ASSERT_EQ(m.captures.size(), 19u);
    ASSERT_EQ(m.via.size(), 18u);
    ASSERT_EQ(captured_squares(m), black_squares);
  }
  std::vector<int> destinations;
  for (const auto& m : distinct_moves(routes)) destinations.push_back(m.to);
  EXPECT_EQ(destinations, (std::vector<int>{44, 49, 50}));
  EXPECT_EQ(bitboard_keys(p), array_keys(p));
  EXPECT_EQ(perft_bitboard(to_bitboard(p), 2), perft_array(p, 2));
}

TEST(BitboardGenerator, ConvertsALineOfPlayWithPromotion) {
  // Black crowns on 48; then white's king takes 20.
  const Position p = read_fen("B:WK24,42:B37,20");
  const bitboard b = to_bitboard(p);
  const std::vector<std::uint64_t> line = {square_mask(37) | square_mask(42) | square_mask(48),
                                           square_mask(24) | square_mask(20) | square_mask(15)};
  const auto moves = convert_bitboard_moves(b, line);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].notation(), "37x48");
  EXPECT_EQ(moves[0].result, black_king);
  EXPECT_EQ(moves[1].notation(), "24x15");
  EXPECT_EQ(moves[1].captures, (std::vector<std::pair<int, Piece>>{{20, black_man}}));
  EXPECT_EQ(moves[1].piece, white_king);
  EXPECT_EQ(moves[1].result, white_king);
  bitboard end = b;
  for (auto mask : line) apply_move_mask(end, mask);
  EXPECT_EQ(to_position(end), read_fen("B:WK15:BK48"));
}

TEST(BitboardText, ReadsSquaresAndSide) {
  struct Case {
    std::string text;
    const char* fen;
  };
  const Case cases[] = {
      {"xxxxxxxxxxxxxxxxxxxx..........ooooooooooooooooooooW", "W:W31-50:B1-20"},
      {"xX-oO " + std::string(44, '?') + " X B", "B:W4,K5:B1,K2,K50"},
      {"  O", "B:WK1:B"},
      {"W" + std::string(50, '.') + "o", "W:W:B"},  // the side letter takes a square's place
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(string2bitboard(c.text), to_bitboard(read_fen(c.fen)));
  }
  // Both text readers agree on the plain form.
  const Position p = read_fen("B:WK5,31,50:BK1,18,19");
  EXPECT_EQ(string2bitboard(board_printer::print(p)), to_bitboard(p));
  EXPECT_EQ(to_position(to_bitboard(p)), p);
}

}  // namespace
}  // namespace dam
