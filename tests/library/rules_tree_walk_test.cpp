// The shared random numbers, the position hash and table, and the bounded tree walk.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <vector>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"
#include "library/fen.h"
#include "library/random.h"
#include "library/simple_hash.h"
#include "library/tree_walk.h"
#include "tools/common/pdn_reader.h"

namespace dam {
namespace {

using table_type = transposition_table<draughts_node, 14>;

TEST(Random, SeedFromTimeAndMinimalStandardSteps) {
  struct Case {
    std::int64_t seconds;
    std::uint32_t seed;
  };
  for (const Case c : {Case{0, 1}, Case{5, 5}, Case{2147483647, 1}, Case{2147483648, 1}, Case{1765400000, 1765400000},
                       Case{4000000000, 1852516353}}) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(random_seed(c.seconds), c.seed);
  }
  auto generator = random_generator();  // a copy: the shared one stays as it is
  generator.seed(1);
  EXPECT_EQ(generator(), 48271u);
  EXPECT_EQ(generator(), 182605794u);
}

TEST(SimpleHash, IgnoresSideAndSpreadsItsTable) {
  const bitboard white_to_move = to_bitboard(read_fen("W:W31-50:B1-20"));
  bitboard black_to_move = white_to_move;
  black_to_move.white_to_move = false;
  const simple_hash hash;
  EXPECT_EQ(hash(white_to_move), hash(black_to_move));
  // The top half of the hash keeps the top half of the mixed high word.
  bitboard other = white_to_move;
  other.white ^= square_mask(50);
  EXPECT_NE(hash(other) >> 16, hash(white_to_move) >> 16);

  const auto& table = simple_hash::table();
  ASSERT_EQ(table.size(), 65536u);
  std::set<unsigned short> distinct;
  for (std::size_t i = 0; i < table.size(); ++i) distinct.insert(table[i]);
  // 65 536 uniform draws from 65 536 values give about 63% distinct ones.
  EXPECT_GT(distinct.size(), 40000u);
  EXPECT_LT(distinct.size(), 43000u);
}

TEST(TranspositionTable, StartsWithTheStartingPositionAndAlwaysReplaces) {
  table_type table;
  const draughts_node start = starting_node();
  EXPECT_EQ(to_position(start.position), read_fen("W:W31-50:B1-20"));
  EXPECT_EQ(table.at(0), start);
  EXPECT_EQ(table.at(table_type::slot_count - 1), start);
  const draughts_node a{to_bitboard(read_fen("B:W33:B2"))};
  draughts_node b = a;
  b.position.white_to_move = true;  // same pieces, same slot
  EXPECT_EQ(table.slot(a), table.slot(b));
  EXPECT_LT(table.slot(a), table_type::slot_count);
  table.put(a);
  EXPECT_EQ(table.at(table.slot(a)), a);
  table.put(b);
  EXPECT_EQ(table.at(table.slot(a)), b);
}

// Replays a path of masks, checking each is a legal move on the way.
bool replays_to(bitboard position, const move_path& path, const bitboard& target) {
  for (const std::uint64_t mask : path) {
    const auto legal = bitboard_moves(position);
    if (std::find(legal.begin(), legal.end(), mask) == legal.end()) return false;
    apply_move_mask(position, mask);
  }
  return position == target;
}

// As the setup repair does: deepen until something is found.
std::vector<move_path> search(const bitboard& from, const bitboard& to, int max_depth) {
  table_type table;
  search_position_action action(to);
  for (int depth = 1; depth <= max_depth && action.paths.empty(); ++depth) {
    draughts_node root{from};
    move_path path;
    walk_tree(table, root, path, depth, action);
  }
  return action.paths;
}

TEST(TreeWalk, FindsTheMovesBetweenPositionsOfRealGames) {
  std::size_t searches = 0;
  for (const char* file : {"wk2003.pdn", "kurnik.pdn", "candidate95.pdn"}) {
    for (const auto& game : rumo_tools::read_pdn_file(std::string(RUMO_GAMES_DIR) + "/" + file)) {
      std::vector<bitboard> positions{to_bitboard(game.start)};
      for (const auto& m : game.moves) {
        Position p = to_position(positions.back());
        p.make_move(m);
        positions.push_back(to_bitboard(p));
      }
      for (std::size_t i = 0; i + 1 < positions.size(); i += 17) {
        for (std::size_t k = 1; k <= 4 && i + k < positions.size(); ++k) {
          SCOPED_TRACE(std::string(file) + " line " + std::to_string(game.first_line) + " ply " + std::to_string(i) +
                       " +" + std::to_string(k));
          const auto paths = search(positions[i], positions[i + k], static_cast<int>(k));
          ++searches;
          ASSERT_FALSE(paths.empty());
          for (const auto& path : paths) {
            EXPECT_LE(path.size(), 2 * k + 2);
            EXPECT_TRUE(replays_to(positions[i], path, positions[i + k]));
          }
        }
      }
    }
  }
  EXPECT_GT(searches, 300u);
}

TEST(TreeWalk, ForcedMovesCostNoDepth) {
  // White must take 28x19; black then takes back 13x24 or 14x23.
  const bitboard from = to_bitboard(read_fen("W:W28,33,45:B23,13,14,8,10"));
  bitboard_move_generator generator;
  ASSERT_EQ(generator.generate_moves(from), 1u);
  bitboard after = from;
  apply_move_mask(after, generator.moves()[0]);
  ASSERT_EQ(generator.generate_moves(after), 2u);
  bitboard target = after;
  apply_move_mask(target, generator.moves()[1]);

  table_type table;
  search_position_action action(target);
  draughts_node root{from};
  move_path path;
  walk_tree(table, root, path, 1, action);
  ASSERT_EQ(action.paths.size(), 1u);
  EXPECT_EQ(action.paths[0].size(), 2u);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(root.position, from);
}

TEST(TreeWalk, StopsAtItsLimits) {
  const bitboard start = to_bitboard(read_fen("W:W31-50:B1-20"));
  bitboard target = start;
  for (const std::uint64_t mask : {square_mask(32) | square_mask(28), square_mask(19) | square_mask(23),
                                   square_mask(28) | square_mask(23) | square_mask(19)})
    apply_move_mask(target, mask);
  {
    // The line length stops the walk before the depth does.
    table_type table;
    search_position_action action(target);
    action.max_path_length = 2;
    draughts_node root{start};
    move_path path;
    walk_tree(table, root, path, 5, action);
    EXPECT_TRUE(action.paths.empty());
    action.max_path_length = 3;
    table_type fresh;
    walk_tree(fresh, root, path, 5, action);
    EXPECT_EQ(action.paths.size(), 1u);
  }
  {
    table_type table;
    search_position_action action(target);
    action.node_limit = 50;
    draughts_node root{start};
    move_path path;
    walk_tree(table, root, path, 6, action);
    EXPECT_EQ(action.nodes, 50u);
    EXPECT_TRUE(action.paths.empty());
  }
}

}  // namespace
}  // namespace dam
