// The ways players really handle pieces, each tried on positions from real
// games: the reconstruction must still give exactly the moves played.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "real_games_support.h"
#include "reconstruction_fixture.h"

namespace dam::testing {
namespace {

constexpr double kStep = 0.5;  // seconds between the square changes of one move

// The squares a king passes between `from` and `to` on a diagonal.
std::vector<int> squares_between(int from, int to) {
  auto row = [](int s) { return (s - 1) / 5; };
  auto column = [&row](int s) { return 2 * ((s - 1) % 5) + (row(s) % 2 == 0 ? 1 : 0); };
  auto square_at = [](int r, int c) { return r * 5 + c / 2 + 1; };
  const int dr = row(to) > row(from) ? 1 : -1;
  const int dc = column(to) > column(from) ? 1 : -1;
  std::vector<int> between;
  for (int r = row(from) + dr, c = column(from) + dc; r != row(to); r += dr, c += dc) between.push_back(square_at(r, c));
  return between;
}

void lift_captures(board_feed& feed, const Move& move, bool reversed = false) {
  auto captures = move.captures;
  if (reversed) std::reverse(captures.begin(), captures.end());
  for (const auto& capture : captures) {
    feed.time += kStep;
    feed.lift(capture.first);
  }
}

void step_lift(board_feed& feed, int square) {
  feed.time += kStep;
  feed.lift(square);
}

void step_place(board_feed& feed, int square, char piece) {
  feed.time += kStep;
  feed.place(square, piece);
}

// A way of showing one move on the board. It may also show (part of) the
// next move, and then returns true.
using handling = std::function<bool(board_feed&, const Move& move, const Move* next)>;

struct handling_case {
  const char* name;
  std::function<bool(const Move& move, const Move* next)> applies;
  handling show;
  // False where the matching may explain the moves with events shifted from
  // one move to the next, leaving pairs of events that cancel out until the
  // next move takes them along.
  bool settles = true;
};

const handling_case kHandlings[] = {
    {"captured pieces removed before the mover is placed",
     [](const Move& m, const Move*) { return m.is_capture(); },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       lift_captures(feed, m);
       step_place(feed, m.to, piece_char(m.result));
       return false;
     }},
    {"captured pieces removed in reverse order",
     [](const Move& m, const Move*) { return m.captures.size() >= 2; },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       step_place(feed, m.to, piece_char(m.result));
       lift_captures(feed, m, true);
       return false;
     }},
    {"captured pieces removed only after the opponent has started",
     [](const Move& m, const Move* next) { return m.is_capture() && next; },
     [](board_feed& feed, const Move& m, const Move* next) {
       step_lift(feed, m.from);
       step_place(feed, m.to, piece_char(m.result));
       feed.time += 2;
       step_lift(feed, next->from);
       lift_captures(feed, m);
       step_place(feed, next->to, piece_char(next->result));
       lift_captures(feed, *next);
       return true;
     },
     false},
    {"another own piece lifted and put back first",
     [](const Move&, const Move*) { return true; },
     [](board_feed& feed, const Move& m, const Move*) {
       const char own = piece_char(m.piece);
       int other = 0;
       for (int s = 1; s <= 50 && other == 0; ++s)
         if (s != m.from && (feed.board[s - 1] == own)) other = s;
       if (other != 0) {
         step_lift(feed, other);
         step_place(feed, other, own);
       }
       feed.play_cleanly(m, 1.0, kStep);
       return false;
     }},
    {"the mover lifted, put back, then moved",
     [](const Move&, const Move*) { return true; },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       step_place(feed, m.from, piece_char(m.piece));
       feed.play_cleanly(m, 1.0, kStep);
       return false;
     }},
    {"a multiple capture hopped through its landing squares",
     [](const Move& m, const Move*) { return !m.via.empty(); },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       for (int landing : m.via) {
         step_place(feed, landing, piece_char(m.piece));
         step_lift(feed, landing);
       }
       step_place(feed, m.to, piece_char(m.result));
       lift_captures(feed, m);
       return false;
     }},
    {"a multiple capture hopped, each piece taken as it is jumped",
     [](const Move& m, const Move*) { return !m.via.empty(); },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       for (std::size_t k = 0; k < m.via.size(); ++k) {
         step_place(feed, m.via[k], piece_char(m.piece));
         step_lift(feed, m.captures[k].first);
         step_lift(feed, m.via[k]);
       }
       step_place(feed, m.to, piece_char(m.result));
       step_lift(feed, m.captures.back().first);
       return false;
     }},
    {"a king slid over the squares between",
     [](const Move& m, const Move*) { return is_king(m.piece) && !m.is_capture() && !squares_between(m.from, m.to).empty(); },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       for (int square : squares_between(m.from, m.to)) {
         step_place(feed, square, piece_char(m.piece));
         step_lift(feed, square);
       }
       step_place(feed, m.to, piece_char(m.result));
       return false;
     }},
    {"a man crowned a few seconds after it reached the last row",
     [](const Move& m, const Move*) { return m.result != m.piece; },
     [](board_feed& feed, const Move& m, const Move*) {
       step_lift(feed, m.from);
       step_place(feed, m.to, piece_char(m.piece));
       lift_captures(feed, m);
       feed.time += 2.5;
       feed.change(m.to, piece_char(m.result));
       return false;
     }},
};

struct scene {
  const rumo_tools::PdnGame* game;
  std::size_t ply;
};

// At most one ply per game, from as many games as give one.
std::vector<scene> find_scenes(const std::vector<rumo_tools::PdnGame>& games, const handling_case& handling,
                               std::size_t limit) {
  std::vector<scene> scenes;
  for (const auto& game : games) {
    for (std::size_t ply = 1; ply < game.moves.size(); ++ply) {
      const Move* next = ply + 1 < game.moves.size() ? &game.moves[ply + 1] : nullptr;
      if (handling.applies(game.moves[ply], next)) {
        scenes.push_back({&game, ply});
        break;
      }
    }
    if (scenes.size() >= limit) break;
  }
  return scenes;
}

class MessyHandling : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { games_ = new std::vector<rumo_tools::PdnGame>(white_start_games()); }
  static void TearDownTestSuite() {
    delete games_;
    games_ = nullptr;
  }
  static std::vector<rumo_tools::PdnGame>* games_;
};
std::vector<rumo_tools::PdnGame>* MessyHandling::games_ = nullptr;

TEST_F(MessyHandling, EveryHandlingGivesTheMovesPlayed) {
  constexpr std::size_t kFollowing = 2;  // clean plies after the messy one
  for (const auto& handling : kHandlings) {
    const auto scenes = find_scenes(*games_, handling, 25);
    EXPECT_GE(scenes.size(), 3u) << handling.name << ": too few positions in the games";
    for (const auto& [game, ply] : scenes) {
      // Start with white to move, at the messy ply or the one before it.
      const std::size_t first = game->position_after(ply).is_white_to_move() ? ply : ply - 1;
      board_feed feed(board_text(game->position_after(first)));
      std::size_t at = first;
      while (at < ply) feed.play_cleanly(game->moves[at++]);
      const Move* next = at + 1 < game->moves.size() ? &game->moves[at + 1] : nullptr;
      feed.time += 4;
      at += handling.show(feed, game->moves[at], next) ? 2 : 1;
      const std::size_t last = std::min(game->moves.size(), at + kFollowing);
      while (at < last) feed.play_cleanly(game->moves[at++]);
      feed.wait(10);
      const std::string where = std::string(handling.name) + " at " + game_name(*game) + " ply " + std::to_string(ply);
      EXPECT_EQ(feed.game.moves(), notations(game->moves.begin() + first, game->moves.begin() + last)) << where;
      EXPECT_EQ(feed.game.setups(), 1) << where;
      if (handling.settles)
        EXPECT_TRUE(feed.game.unmatched.empty()) << where;
      else
        EXPECT_TRUE(move_reconstructor::remove_self_matches(feed.game.unmatched).empty()) << where;
    }
  }
}

TEST_F(MessyHandling, BoardRefilledForANewGameEndsTheIntake) {
  int refills = 0;
  for (const auto& game : *games_) {
    if (game.moves.size() < 40 || refills >= 10) continue;
    ++refills;
    const std::size_t first = 30;
    board_feed feed(board_text(game.position_after(first)));
    for (std::size_t at = first; at < 40; ++at) feed.play_cleanly(game.moves[at]);
    const auto played = feed.game.moves();
    ASSERT_EQ(played, notations(game.moves.begin() + first, game.moves.begin() + 40)) << game_name(game);
    // The pieces go back onto their start squares, the men standing there stay.
    feed.time += 5;
    const std::string start = kStartBoard;
    for (int s = 1; s <= 50; ++s) {
      if (feed.board[s - 1] != '.' || start[s - 1] == '.') continue;
      step_place(feed, s, start[s - 1]);
    }
    EXPECT_TRUE(feed.game.board_refilled) << game_name(game);
    EXPECT_EQ(feed.game.moves(), played) << game_name(game);
    EXPECT_EQ(feed.game.setups(), 1) << game_name(game);
    EXPECT_LE(feed.game.unmatched.size(), 3u) << game_name(game) << ": only what came before the refill waits";
  }
  EXPECT_EQ(refills, 10);
}

}  // namespace
}  // namespace dam::testing
