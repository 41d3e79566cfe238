// Setups when the events cannot be explained, and their later repair by
// legal moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "real_games_support.h"
#include "reconstruction_fixture.h"

namespace dam::testing {
namespace {

// After a lost connection the board reports two moves at once, in square
// order: black's move comes first, so the reconstructor sets up the board
// after black's move with white to move and plays white's move on top, the
// side to move now wrong. The next moves cannot be explained until a second
// setup; its repair finds the legal moves from the start.
struct replay_result {
  std::vector<std::string> moves;
  std::vector<std::string> reports;
  int setups;
  Position position;
};

replay_result replay_with_batched_opening(const Position& start, const std::vector<Move>& moves, std::size_t plies,
                                          unsigned repair_depth) {
  scoped_configuration config;
  config->repair_setup_depth = repair_depth;
  board_feed feed(board_text(start));
  Position truth = start;
  truth.make_move(moves[0]);
  truth.make_move(moves[1]);
  feed.time += 5;
  feed.show(board_text(truth));
  feed.wait(13);
  for (std::size_t ply = 2; ply < plies; ++ply) feed.play_cleanly(moves[ply]);
  feed.wait(20);
  return {feed.game.moves(), feed.game.reports, feed.game.setups(), feed.game.position};
}

std::vector<Move> line_of(const Position& start, std::initializer_list<const char*> notations) {
  std::vector<Move> moves;
  Position p = start;
  for (const char* notation : notations) {
    moves.push_back(board_feed::find_move(p, notation));
    p.make_move(moves.back());
  }
  return moves;
}

TEST(SetupRepair, LaterRepairReplacesTheSetupsByTheMovesPlayed) {
  const Position start = initial_position();
  const auto moves = line_of(start, {"32-28", "19-23", "28x19", "14x23", "37-32"});
  Position truth = start;
  for (const Move& m : moves) truth.make_move(m);

  const auto repaired = replay_with_batched_opening(start, moves, moves.size(), 4);
  EXPECT_EQ(repaired.moves, (std::vector<std::string>{"32-28", "19-23", "28x19", "14x23", "37-32"}));
  EXPECT_EQ(repaired.setups, 1);
  EXPECT_NE(std::find(repaired.reports.begin(), repaired.reports.end(), "erase"), repaired.reports.end());
  EXPECT_EQ(repaired.position, truth);

  const auto kept = replay_with_batched_opening(start, moves, moves.size(), 0);
  EXPECT_EQ(kept.setups, 3) << "without repair both setups stay";
  EXPECT_EQ(std::find(kept.reports.begin(), kept.reports.end(), "erase"), kept.reports.end());
  EXPECT_EQ(kept.position, truth);
}

TEST(SetupRepair, RealOpeningsAreRepairedWithinTheDepth) {
  const auto games = white_start_games();
  int repaired_games = 0;
  for (const auto& game : games) {
    if (game.moves.size() < 12) continue;
    const auto repaired = replay_with_batched_opening(game.start, game.moves, 12, 4);
    const auto kept = replay_with_batched_opening(game.start, game.moves, 12, 0);
    EXPECT_EQ(kept.position, game.position_after(12)) << game_name(game);
    EXPECT_EQ(repaired.position, game.position_after(12)) << game_name(game);
    EXPECT_GE(kept.setups, 2) << game_name(game);
    EXPECT_LE(repaired.setups, kept.setups) << game_name(game);
    if (repaired.setups == 1) {
      ++repaired_games;
      EXPECT_EQ(repaired.moves.size(), 12u) << game_name(game);
    }
    if (repaired_games == 5) break;
  }
  EXPECT_EQ(repaired_games, 5);
}

TEST(SetupRepair, NothingToRepairWithoutAnEarlierPositionOrWithMovesOnTop) {
  board_feed feed;
  const std::size_t before = feed.game.played.size();
  feed.game.repair_setup();  // a single setup entry: nothing to bridge
  EXPECT_EQ(feed.game.played.size(), before);
  feed.play_cleanly(feed.legal_move("32-28"));
  feed.game.repair_setup();  // the last entry is a move
  EXPECT_EQ(feed.game.moves(), std::vector<std::string>{"32-28"});
  EXPECT_EQ(feed.game.repair_count, 0);
}

TEST(SetupRepair, DirectBridgeBetweenTwoPositions) {
  board_feed feed;
  const auto moves = line_of(initial_position(), {"32-28", "19-23", "28x19"});
  Position target = initial_position();
  for (const Move& m : moves) target.make_move(m);
  feed.game.set_position(target);
  ASSERT_TRUE(feed.game.repair_setup(initial_position(), target, 0));
  EXPECT_EQ(feed.game.moves(), (std::vector<std::string>{"32-28", "19-23", "28x19"}));
  EXPECT_EQ(feed.game.setups(), 1);
  EXPECT_EQ(feed.game.repair_count, 4);
  EXPECT_EQ(feed.game.reports, (std::vector<std::string>{"erase", "32-28", "19-23", "28x19"}));

  // Five plies with a choice at each are beyond the default depth of four
  // (forced moves, like the captures above, cost no depth).
  const auto longer = line_of(initial_position(), {"31-26", "20-25", "36-31", "15-20", "41-36"});
  Position far = initial_position();
  for (const Move& m : longer) far.make_move(m);
  board_feed other;
  other.game.set_position(far);
  EXPECT_FALSE(other.game.repair_setup(initial_position(), far, 0));
  EXPECT_EQ(other.game.setups(), 2);
}

}  // namespace
}  // namespace dam::testing
