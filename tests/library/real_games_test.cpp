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
      EXPECT_EQ(feed.game.moves(), notations(game.moves.begin(), game.moves.end())) << game_name(game) << " every " << moves_between_calls;
      EXPECT_EQ(feed.game.setups(), 1) << game_name(game) << " every " << moves_between_calls;
      EXPECT_TRUE(feed.game.unmatched.empty()) << game_name(game) << " every " << moves_between_calls;
    }
  }
}

}  // namespace
}  // namespace dam::testing
