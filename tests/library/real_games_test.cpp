// Whole real games fed to the reconstructor as square events.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/position.h"
#include "reconstruction_fixture.h"
#include "tools/common/pdn_reader.h"

namespace dam::testing {
namespace {

std::vector<rumo_tools::PdnGame> all_games() {
  std::vector<rumo_tools::PdnGame> games;
  for (const auto& entry : std::filesystem::directory_iterator(RUMO_GAMES_DIR)) {
    if (entry.path().extension() != ".pdn") continue;
    for (auto& game : rumo_tools::read_pdn_file(entry.path().string())) {
      game.tags.emplace_back("File", entry.path().filename().string());
      games.push_back(std::move(game));
    }
  }
  return games;
}

std::string game_name(const rumo_tools::PdnGame& game) {
  return game.tag("File") + ":" + std::to_string(game.first_line);
}

std::string board_text(const Position& p) { return board_printer::print(p).substr(0, 50); }

std::vector<std::string> notations(const std::vector<Move>& moves) {
  std::vector<std::string> out;
  for (const Move& m : moves) out.push_back(m.notation());
  return out;
}

// Games that start with black to move need a setup: the reconstructor
// always starts a game with white to move.
std::vector<rumo_tools::PdnGame> white_starts() {
  std::vector<rumo_tools::PdnGame> games;
  for (auto& game : all_games())
    if (!game.moves.empty() && game.start.is_white_to_move()) games.push_back(std::move(game));
  return games;
}

TEST(RealGames, CleanEventsGiveExactlyTheGamesMoves) {
  const auto games = white_starts();
  ASSERT_GT(games.size(), 250u);
  // The server asks for the game whenever it likes: after every square
  // change, after every few moves, or only at the end.
  for (int moves_between_calls : {0, 3, 1000}) {
    for (const auto& game : games) {
      board_feed feed(board_text(game.start));
      feed.reconstruct_on_change = moves_between_calls == 0;
      for (std::size_t ply = 0; ply < game.moves.size(); ++ply) {
        feed.play_cleanly(game.moves[ply]);
        if (moves_between_calls > 0 && (ply + 1) % moves_between_calls == 0) feed.game.reconstruct(feed.time);
      }
      feed.wait(10.0);
      EXPECT_EQ(feed.game.moves(), notations(game.moves)) << game_name(game) << " every " << moves_between_calls;
      EXPECT_EQ(feed.game.setups(), 1) << game_name(game) << " every " << moves_between_calls;
      EXPECT_TRUE(feed.game.unmatched.empty()) << game_name(game) << " every " << moves_between_calls;
    }
  }
}

}  // namespace
}  // namespace dam::testing
