// Whole real games fed to the reconstructor as square events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/position.h"
#include "real_games_support.h"
#include "reconstruction_fixture.h"
#include "tools/common/pdn_reader.h"

namespace dam::testing {
namespace {

TEST(RealGames, CleanEventsGiveExactlyTheGamesMoves) {
  const auto games = white_start_games();
  ASSERT_GT(games.size(), 250u);
  // The server asks for the game whenever it likes: after every square
  // change (every game), after every few moves or only at the end (a
  // sample of the games).
  for (int moves_between_calls : {0, 3, 1000}) {
    for (std::size_t g = 0; g < games.size(); g += moves_between_calls == 0 ? 1 : 5) {
      const auto& game = games[g];
      board_feed feed(board_text(game.start));
      feed.reconstruct_on_change = moves_between_calls == 0;
      for (std::size_t ply = 0; ply < game.moves.size(); ++ply) {
        feed.play_cleanly(game.moves[ply]);
        if (moves_between_calls > 0 && (ply + 1) % moves_between_calls == 0) feed.game.reconstruct(feed.time);
      }
      feed.wait(10.0);
      const std::string where = game_name(game) + " every " + std::to_string(moves_between_calls);
      EXPECT_EQ(feed.game.moves(), notations(game.moves.begin(), game.moves.end())) << where;
      EXPECT_EQ(feed.game.setups(), 1) << where;
      EXPECT_TRUE(feed.game.unmatched.empty()) << where;
    }
  }
}

}  // namespace
}  // namespace dam::testing
