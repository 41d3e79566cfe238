// The reconstructor driven directly, one square change at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/move_reconstructor.h"
#include "reconstruction_fixture.h"

namespace dam::testing {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

TEST(MoveReconstructor, StartsWithASetupEntryWhiteToMove) {
  recording_reconstructor game(kStartBoard + "B", 5.0);
  ASSERT_EQ(game.played.size(), 1u);
  EXPECT_TRUE(game.played[0].is_setup());
  EXPECT_EQ(game.played[0].event_index, -1);
  EXPECT_TRUE(game.position.is_white_to_move());
  EXPECT_EQ(game.piece_count, 40);
  EXPECT_EQ(game.history.boards, std::vector<std::string>{kStartBoard});
  EXPECT_TRUE(game.history.events.empty());
  EXPECT_TRUE(game.reports.empty());
}

TEST(MoveReconstructor, FirstMoveIsPlayedOnceItsSecondEventArrives) {
  board_feed feed;
  feed.lift(32);
  EXPECT_TRUE(feed.game.moves().empty());
  EXPECT_EQ(feed.game.unmatched.size(), 1u);
  feed.time += 0.4;
  feed.place(28, 'o');
  EXPECT_EQ(feed.game.moves(), std::vector<std::string>{"32-28"});
  EXPECT_TRUE(feed.game.unmatched.empty());
  EXPECT_EQ(feed.game.played.back().event_index, 0);
  EXPECT_FALSE(feed.game.position.is_white_to_move());
  EXPECT_EQ(feed.game.reports, std::vector<std::string>{"32-28"});
}

TEST(MoveReconstructor, CaptureIsPlayedBeforeTheCapturedPieceLeaves) {
  board_feed feed;
  feed.play_cleanly(feed.legal_move("32-28"));
  feed.play_cleanly(feed.legal_move("19-23"));
  feed.time += 3;
  feed.lift(28);
  feed.place(19, 'o');
  EXPECT_EQ(feed.game.moves(), (std::vector<std::string>{"32-28", "19-23", "28x19"}));
  // The black man still on 23 waits as a placement the board owes us.
  ASSERT_EQ(feed.game.unmatched.size(), 1u);
  EXPECT_EQ(feed.game.unmatched[0].square, 23);
  EXPECT_EQ(feed.game.unmatched[0].piece, 'x');
  EXPECT_FALSE(feed.game.unmatched[0].removed);
  EXPECT_EQ(feed.game.unmatched[0].index, -1);
  feed.time += 1;
  feed.lift(23);
  EXPECT_TRUE(feed.game.unmatched.empty());
  feed.play_cleanly(feed.legal_move("14x23"));
  EXPECT_EQ(feed.game.moves(), (std::vector<std::string>{"32-28", "19-23", "28x19", "14x23"}));
  EXPECT_EQ(feed.game.setups(), 1);
}

TEST(MoveReconstructor, KingMoveWaitsUntilTheBoardIsQuiet) {
  board_feed feed(board_with_pieces({{46, 'O'}, {3, 'x'}, {4, 'x'}}));
  feed.lift(46);
  feed.time += 0.5;
  feed.place(28, 'O');
  EXPECT_TRUE(feed.game.moves().empty()) << "the king may still be on its way";
  feed.wait(2.0);
  EXPECT_TRUE(feed.game.moves().empty());
  feed.wait(1.5);
  EXPECT_EQ(feed.game.moves(), std::vector<std::string>{"46-28"});
  EXPECT_TRUE(feed.game.unmatched.empty());
}

TEST(MoveReconstructor, PieceLiftedAndPutBackLeavesNoTrace) {
  board_feed feed;
  feed.lift(31);
  feed.time += 1;
  feed.place(31, 'o');
  EXPECT_TRUE(feed.game.unmatched.empty());
  EXPECT_TRUE(feed.game.moves().empty());
  feed.play_cleanly(feed.legal_move("31-27"));
  EXPECT_EQ(feed.game.moves(), std::vector<std::string>{"31-27"});
}

TEST(MoveReconstructor, UnexplainedEventsEndInASetupByCountOrByAge) {
  scoped_configuration config;
  config->repair_setup_depth = 0;
  struct Case {
    int lifted;        // black men knocked off while white is to move
    double waited;     // seconds after the last one
    bool setup;
  } cases[] = {
      {16, 0.0, false},  // at most MAX_EVENTS events wait for an explanation
      {17, 0.0, true},
      {2, 13.0, true},   // old enough: 12 s after the second, 5 s after the last
      {2, 4.0, false},
      {1, 60.0, false},  // a lone event never forces a setup
  };
  for (const auto& c : cases) {
    board_feed feed;
    for (int square = 1; square <= c.lifted; ++square) {
      feed.time += 0.2;
      feed.lift(square);
    }
    feed.wait(c.waited);
    EXPECT_EQ(feed.game.setups(), c.setup ? 2 : 1) << c.lifted << " lifted, " << c.waited << " s";
    if (!c.setup) continue;
    EXPECT_TRUE(feed.game.unmatched.empty());
    EXPECT_EQ(feed.game.position, string2position(feed.board + "W")) << "the board as it stands, white to move";
    EXPECT_EQ(feed.game.reports.back(), "setup " + feed.board + "W");
  }
}

TEST(MoveReconstructor, SetupRestartsAtTheLastMoveBoundary) {
  scoped_configuration config;
  config->repair_setup_depth = 0;
  board_feed feed;
  // Black moves out of turn, then white answers: nothing explains this order.
  for (auto [square, piece] : std::vector<std::pair<int, char>>{{19, '.'}, {23, 'x'}, {32, '.'}, {28, 'o'}}) {
    feed.time += 0.5;
    feed.change(square, piece);
  }
  EXPECT_EQ(feed.game.setups(), 1);
  feed.wait(13.0);
  // The board after black's move, white to move, then white's move on top.
  EXPECT_EQ(feed.game.setups(), 2);
  ASSERT_EQ(feed.game.played.size(), 3u);
  EXPECT_TRUE(feed.game.played[1].is_setup());
  EXPECT_EQ(board_printer::print(feed.game.played[1].position),
            "xxxxxxxxxxxxxxxxxx.x..x.......oooooooooooooooooooo" "W");
  EXPECT_EQ(feed.game.moves(), std::vector<std::string>{"32-28"});
  EXPECT_TRUE(feed.game.unmatched.empty());
}

TEST(MoveReconstructor, ResetKeepsThePositionAndRestartsTheHistory) {
  board_feed feed;
  feed.play_cleanly(feed.legal_move("32-28"));
  feed.lift(19);
  const Position before = feed.game.position;
  feed.game.reset(kStartBoard);
  EXPECT_EQ(feed.game.position, before);
  ASSERT_EQ(feed.game.played.size(), 1u);
  EXPECT_TRUE(feed.game.played[0].is_setup());
  EXPECT_TRUE(feed.game.unmatched.empty());
  EXPECT_TRUE(feed.game.history.events.empty());
  EXPECT_EQ(feed.game.history.boards, std::vector<std::string>{kStartBoard});
}

TEST(MoveReconstructor, BaseHooksWriteMovesAndSetupsToStandardOutput) {
  move_reconstructor game(kStartBoard, 0);
  Move move = board_feed::find_move(game.position, "32-28");
  CaptureStdout();
  game.on_play_move(move);
  game.on_setup(string2position(board_with_pieces({{1, 'x'}, {6, 'X'}, {45, 'O'}, {50, 'o'}}) + "B"));
  game.on_erase_moves();
  EXPECT_EQ(GetCapturedStdout(),
            "32-28\n"
            "<setup>\n"
            "   x . . . .\n"
            " X . . . .\n"
            "   . . . . .\n"
            " . . . . .\n"
            "   . . . . .\n"
            " . . . . .\n"
            "   . . . . .\n"
            " . . . . .\n"
            "   . . . . O\n"
            " . . . . o\n"
            "B\n\n");
}

TEST(MoveReconstructor, SelfMatchesAndPutDownLiftedPairs) {
  auto make = [](std::initializer_list<std::tuple<int, char, bool>> list) {
    std::vector<indexed_event> events;
    for (const auto& [square, piece, removed] : list)
      events.emplace_back(event{square, piece, removed, 0.0}, static_cast<int>(events.size()));
    return events;
  };
  auto indices = [](const std::vector<indexed_event>& events) {
    std::vector<int> out;
    for (const auto& e : events) out.push_back(e.index);
    return out;
  };
  struct Case {
    std::vector<indexed_event> events;
    std::vector<int> left_by_self_matches, left_by_filter;
  } cases[] = {
      {make({}), {}, {}},
      {make({{28, 'o', false}}), {0}, {0}},
      // lifted and put back: both pair off; the filter keeps it
      {make({{28, 'o', true}, {28, 'O', false}}), {}, {0, 1}},
      // put down and lifted: the filter drops it
      {make({{28, 'o', false}, {28, 'o', true}}), {}, {}},
      // colours differ: nothing pairs
      {make({{28, 'o', false}, {28, 'x', true}}), {0, 1}, {0, 1}},
      // the pairing takes the first undoing event, even a consumed one
      {make({{23, 'x', true}, {23, 'x', false}, {23, 'x', true}, {40, 'o', true}}), {2, 3}, {0, 3}},
      {make({{23, 'x', true}, {40, 'o', true}, {23, 'x', false}}), {1}, {0, 1, 2}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(indices(move_reconstructor::remove_self_matches(c.events)), c.left_by_self_matches);
    EXPECT_EQ(indices(move_reconstructor::filter_events(c.events)), c.left_by_filter);
  }
}

TEST(MoveReconstructor, RefilledBoardStopsTheIntake) {
  board_feed feed;
  feed.play_cleanly(feed.legal_move("32-28"));
  feed.play_cleanly(feed.legal_move("19-23"));
  feed.play_cleanly(feed.legal_move("28x19"));
  feed.play_cleanly(feed.legal_move("14x23"));
  ASSERT_EQ(feed.game.piece_count, 38);
  feed.place(32, 'o');
  feed.place(19, 'x');
  EXPECT_FALSE(feed.game.board_refilled) << "39 and 40 pieces are still below 38 + 3";
  feed.place(14, 'x');
  feed.place(28, 'o');  // the board before this event holds 41 pieces
  EXPECT_TRUE(feed.game.board_refilled);
  feed.lift(28);
  EXPECT_TRUE(feed.game.board_refilled);
  EXPECT_EQ(feed.game.moves(), (std::vector<std::string>{"32-28", "19-23", "28x19", "14x23"}));
}

TEST(MoveReconstructor, ZeroChunkSizeSearchesAtEveryEvent) {
  scoped_configuration config;
  config->event_chunk_size = 0;
  board_feed feed;
  feed.reconstruct_on_change = false;
  Position shown = initial_position();
  for (const char* notation : {"32-28", "19-23", "28x19", "14x23"}) {
    Move move = board_feed::find_move(shown, notation);
    feed.play_cleanly(move);
    shown.make_move(move);
  }
  feed.wait(5);
  EXPECT_EQ(feed.game.moves(), (std::vector<std::string>{"32-28", "19-23", "28x19", "14x23"}));
}

}  // namespace
}  // namespace dam::testing
