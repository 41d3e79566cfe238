// Same inputs, same game; and whatever the board reports, every move the
// reconstructor publishes is legal.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "real_games_support.h"
#include "reconstruction_fixture.h"

namespace dam::testing {
namespace {

// A game shown with sloppy hands: pieces touched, captures taken late, a
// stray piece knocked over and put back, long pauses.
std::vector<std::string> sloppy_replay(const rumo_tools::PdnGame& game) {
  board_feed feed(board_text(game.start));
  std::mt19937 random(7);
  for (std::size_t ply = 0; ply < game.moves.size(); ++ply) {
    const Move& m = game.moves[ply];
    feed.time += 1 + random() % 20;
    if (random() % 4 == 0) {
      feed.lift(m.from);
      feed.time += 0.3;
      feed.place(m.from, piece_char(m.piece));
    }
    feed.lift(m.from);
    feed.time += 0.4;
    if (random() % 3 == 0) {
      for (const auto& c : m.captures) feed.lift(c.first);
      feed.place(m.to, piece_char(m.result));
    } else {
      feed.place(m.to, piece_char(m.result));
      for (auto c = m.captures.rbegin(); c != m.captures.rend(); ++c) feed.lift(c->first);
    }
    if (random() % 10 == 0) {
      const int square = 1 + static_cast<int>(random() % 50);
      const char piece = feed.board[square - 1];
      if (piece != '.') {
        feed.lift(square);
        feed.time += 2;
        feed.place(square, piece);
      }
    }
  }
  feed.wait(30);
  auto reports = feed.game.reports;
  reports.push_back(std::to_string(feed.game.unmatched.size()));
  return reports;
}

TEST(Determinism, SameEventsGiveTheSameGame) {
  const auto games = white_start_games();
  ASSERT_GE(games.size(), 12u);
  for (std::uint64_t budget : {std::uint64_t{0}, std::uint64_t{40}}) {
    scoped_configuration config;
    // A tiny budget makes the node count, not the depth, end the searches.
    if (budget != 0) config->search_node_budget = budget;
    for (std::size_t g = 0; g < games.size(); g += games.size() / 12) {
      const auto first = sloppy_replay(games[g]);
      EXPECT_GT(first.size(), 1u);
      EXPECT_EQ(sloppy_replay(games[g]), first) << game_name(games[g]) << " budget " << budget;
    }
  }
}

// Every entry after a setup is a legal move of the position before it.
void expect_only_legal_moves(const move_reconstructor& game, const std::string& where) {
  for (std::size_t k = 1; k < game.played.size(); ++k) {
    const played_entry& entry = game.played[k];
    if (entry.is_setup()) continue;
    const auto legal = game.played[k - 1].position.generate_moves();
    const bool found = std::find(legal.begin(), legal.end(), entry.move) != legal.end();
    EXPECT_TRUE(found) << where << ": entry " << k << " " << entry.move.notation() << " is not legal";
    Position after = game.played[k - 1].position;
    after.make_move(entry.move);
    EXPECT_EQ(after, entry.position) << where << ": entry " << k;
  }
  EXPECT_EQ(game.position, game.played.back().position) << where;
  EXPECT_EQ(game.piece_count, game.position.piece_count()) << where;
}

TEST(Robustness, RandomSquareChangesNeverGiveAnIllegalMove) {
  const char pieces[] = {'o', 'x', 'O', 'X'};
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    board_feed feed;
    for (int step = 0; step < 150; ++step) {
      feed.time += (random() % 40) / 10.0;
      // Pieces are lifted more often than dropped, so the board does not
      // fill up and stop the intake.
      const int square = 1 + static_cast<int>(random() % 50);
      const bool occupied = feed.board[square - 1] != '.';
      if (occupied && random() % 4 != 0)
        feed.lift(square);
      else if (random() % 3 == 0)
        feed.change(square, pieces[random() % 4]);
    }
    EXPECT_GT(feed.game.history.events.size(), 60u);
    feed.wait(60);
    expect_only_legal_moves(feed.game, "seed " + std::to_string(seed));
  }
}

TEST(Robustness, SloppyGamesPublishOnlyLegalMoves) {
  const auto games = white_start_games();
  for (std::size_t g = 0; g < games.size(); g += 9) {
    board_feed feed(board_text(games[g].start));
    std::mt19937 random(static_cast<unsigned>(g));
    for (const Move& m : games[g].moves) {
      feed.play_cleanly(m, 1 + random() % 6, 0.2);
      // Now and then a square flickers or a piece is dropped on a wrong square first.
      if (random() % 8 == 0) {
        const int square = 1 + static_cast<int>(random() % 50);
        const char was = feed.board[square - 1];
        feed.change(square, was == '.' ? 'x' : '.');
        feed.time += 0.2;
        feed.change(square, was);
      }
    }
    feed.wait(30);
    expect_only_legal_moves(feed.game, game_name(games[g]));
  }
}

}  // namespace
}  // namespace dam::testing
