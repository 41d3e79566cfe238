// Matching candidate moves against board events, the depth rules, the path
// search and the move boundaries.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "library/match_result.h"
#include "library/move_boundary_finder.h"
#include "library/path_selector.h"
#include "reconstruction_fixture.h"

namespace dam::testing {
namespace {

// Board events from (square, piece, removed) triples, indexed in order.
std::vector<indexed_event> board_events(std::initializer_list<std::tuple<int, char, bool>> list) {
  std::vector<indexed_event> events;
  for (const auto& [square, piece, removed] : list)
    events.emplace_back(event{square, piece, removed, 0.0}, static_cast<int>(events.size()));
  return events;
}

match_result line(const Position& start, std::initializer_list<const char*> notations,
                  std::vector<indexed_event> events) {
  match_result result;
  result.board_events = std::move(events);
  Position p = start;
  for (const char* notation : notations) {
    Move m = board_feed::find_move(p, notation);
    result.add_move(m);
    p.make_move(m);
  }
  result.match();
  return result;
}

Position after(std::initializer_list<const char*> notations) {
  Position p = initial_position();
  for (const char* notation : notations) p.make_move(board_feed::find_move(p, notation));
  return p;
}

TEST(MoveEvents, LiftPlaceThenCapturesInOrder) {
  Move m = board_feed::find_move(after({"32-28", "19-23"}), "28x19");
  auto events = compute_events(m);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(std::make_tuple(events[0].square, events[0].piece, events[0].removed), std::make_tuple(28, 'o', true));
  EXPECT_EQ(std::make_tuple(events[1].square, events[1].piece, events[1].removed), std::make_tuple(19, 'o', false));
  EXPECT_EQ(std::make_tuple(events[2].square, events[2].piece, events[2].removed), std::make_tuple(23, 'x', true));
}

TEST(MatchResult, CountsOfAPerfectAndOfAPartialMatch) {
  struct Case {
    const char* name;
    std::vector<indexed_event> events;
    unsigned unmatched_board, crossing_board, unmatched_moves, paired_moves;
  } cases[] = {
      {"exact", board_events({{32, 'o', true}, {28, 'o', false}}), 0, 0, 0, 0},
      {"placement missing", board_events({{32, 'o', true}}), 0, 0, 1, 0},
      {"extra event inside", board_events({{32, 'o', true}, {1, 'x', true}, {28, 'o', false}}), 1, 0, 0, 0},
      {"extra event after", board_events({{32, 'o', true}, {28, 'o', false}, {1, 'x', true}}), 0, 0, 0, 0},
      // a black man lifted from 23 and put back later: inside it costs nothing...
      {"touch inside", board_events({{32, 'o', true}, {23, 'x', true}, {23, 'x', false}, {28, 'o', false}}), 0, 0, 0, 0},
      // ...reaching beyond the matched events it crosses the boundary
      {"touch crossing",
       board_events({{32, 'o', true}, {23, 'x', true}, {28, 'o', false}, {1, 'x', true}, {23, 'x', false}}), 0, 1, 0, 0},
      // put back right after the matched events, it still belongs to them
      {"touch closing the prefix",
       board_events({{32, 'o', true}, {23, 'x', true}, {28, 'o', false}, {23, 'x', false}}), 0, 0, 0, 0},
      {"nothing matched", board_events({{1, 'x', true}, {2, 'x', true}}), 0, 0, 2, 0},
  };
  for (const auto& c : cases) {
    match_result r = line(initial_position(), {"32-28"}, c.events);
    EXPECT_EQ(r.unmatched_board, c.unmatched_board) << c.name;
    EXPECT_EQ(r.crossing_board, c.crossing_board) << c.name;
    EXPECT_EQ(r.unmatched_moves, c.unmatched_moves) << c.name;
    EXPECT_EQ(r.paired_moves, c.paired_moves) << c.name;
  }
}

TEST(MatchResult, CaptureEndingOnItsOriginPairsItsOwnEvents) {
  // The man on 28 runs round the four black men and lands where it began.
  const Position p = string2position(board_with_pieces({{28, 'o'}, {23, 'x'}, {24, 'x'}, {34, 'x'}, {33, 'x'}}) + "W");
  match_result r;
  r.board_events = board_events({{23, 'x', true}, {24, 'x', true}, {34, 'x', true}, {33, 'x', true}});
  Move m = p.generate_moves().front();
  ASSERT_EQ(m.from, m.to);
  ASSERT_EQ(m.captures.size(), 4u);
  r.add_move(m);
  r.match();
  EXPECT_EQ(r.paired_moves, 1u);
  EXPECT_EQ(r.unmatched_moves, 0u);
  EXPECT_EQ(r.score(), 0u);
  EXPECT_EQ(r.compute_depth(false, p), 1);
}

TEST(MatchResult, MovesSeenInReverseOrderAreSwapped) {
  match_result in_order = line(initial_position(), {"32-28", "19-23"},
                               board_events({{32, 'o', true}, {28, 'o', false}, {19, 'x', true}, {23, 'x', false}}));
  EXPECT_FALSE(in_order.first_moves_swapped);
  EXPECT_EQ(in_order.order_flags, std::vector<int>{0});

  match_result reversed = line(initial_position(), {"32-28", "19-23"},
                               board_events({{19, 'x', true}, {23, 'x', false}, {32, 'o', true}, {28, 'o', false}}));
  EXPECT_TRUE(reversed.first_moves_swapped);
  EXPECT_EQ(reversed.compute_depth(true, initial_position()), 0);

  // Black lifts before white has put down: interleaved, still playable.
  match_result interleaved = line(initial_position(), {"32-28", "19-23"},
                                  board_events({{32, 'o', true}, {19, 'x', true}, {28, 'o', false}, {23, 'x', false}}));
  EXPECT_FALSE(interleaved.first_moves_swapped);
  EXPECT_EQ(interleaved.order_flags, std::vector<int>{1});
  EXPECT_EQ(interleaved.compute_depth(true, initial_position()), 2);
}

TEST(MatchResult, DepthRules) {
  const Position start = initial_position();
  const Position exchange = after({"32-28", "19-23"});  // white must take 28x19
  const Position king_board = string2position(board_with_pieces({{46, 'O'}, {3, 'x'}, {4, 'x'}}) + "W");
  struct Case {
    const char* name;
    Position position;
    std::vector<const char*> moves;
    std::vector<indexed_event> events;
    bool stable;
    int depth;
  } cases[] = {
      {"perfect", start, {"32-28"}, board_events({{32, 'o', true}, {28, 'o', false}}), false, 1},
      {"one event of a quiet move", start, {"32-28"}, board_events({{32, 'o', true}}), true, 0},
      {"capture missing its removal", exchange, {"28x19"}, board_events({{28, 'o', true}, {19, 'o', false}}), false, 1},
      {"king still moving", king_board, {"46-28"}, board_events({{46, 'O', true}, {28, 'O', false}}), false, 0},
      {"king at rest", king_board, {"46-28"}, board_events({{46, 'O', true}, {28, 'O', false}}), true, 1},
      {"extra board event", start, {"32-28"}, board_events({{32, 'o', true}, {1, 'x', true}, {28, 'o', false}}), true, 1},
      {"two extra board events", start, {"32-28"},
       board_events({{32, 'o', true}, {1, 'x', true}, {2, 'x', true}, {28, 'o', false}}), true, 0},
      {"second move missing its placement", start, {"32-28", "19-23"},
       board_events({{32, 'o', true}, {28, 'o', false}, {19, 'x', true}}), true, 1},
  };
  for (auto& c : cases) {
    match_result r;
    r.board_events = c.events;
    Position p = c.position;
    for (const char* notation : c.moves) {
      Move m = board_feed::find_move(p, notation);
      r.add_move(m);
      p.make_move(m);
    }
    r.match();
    EXPECT_EQ(r.compute_depth(c.stable, c.position), c.depth) << c.name;
  }
}

TEST(MatchResult, UnstableKingMoveIsHeldBackFromAPerfectLine) {
  // White 46-28... black answers, the white king moves on: without quiet the
  // last king move is not played.
  const Position p = string2position(board_with_pieces({{46, 'O'}, {3, 'x'}, {4, 'x'}}) + "W");
  match_result r = line(p, {"46-28", "3-9", "28-17"},
                        board_events({{46, 'O', true}, {28, 'O', false}, {3, 'x', true}, {9, 'x', false},
                                      {28, 'O', true}, {17, 'O', false}}));
  ASSERT_EQ(r.score(), 0u);
  EXPECT_EQ(r.compute_depth(false, p), 2);
  EXPECT_EQ(r.compute_depth(true, p), 3);
}

TEST(MatchResult, PlayedPrefixReportsItsEventsAndWhatTheBoardOwes) {
  // The captured man on 23 is never lifted, so the board shows no change on
  // 23 when black recaptures onto it: the capture's removal and the
  // recapture's placement pair with each other.
  match_result r = line(after({"32-28", "19-23"}), {"28x19", "14x23"},
                        board_events({{28, 'o', true}, {19, 'o', false}, {14, 'x', true}, {19, 'o', true}}));
  EXPECT_EQ(r.paired_moves, 1u);
  EXPECT_EQ(r.score(), 0u);
  EXPECT_EQ(r.matched_board_events(1), (std::set<int>{0, 1}));
  EXPECT_EQ(r.matched_board_events(2), (std::set<int>{0, 1, 2, 3}));
  auto owed = r.unmatched_move_events(1);
  ASSERT_EQ(owed.size(), 1u);
  EXPECT_EQ(owed[0].square, 23);
  EXPECT_TRUE(owed[0].removed);
  EXPECT_TRUE(r.unmatched_move_events(2).empty());
  EXPECT_EQ(r.event_index_guesses(), (std::vector<int>{0, 2}));
  EXPECT_EQ(r.matched_move_count(2), 2);
}

TEST(MatchResult, MatchedMoveCountStaysInsideItsTables) {
  // Board events paired with earlier ones right after the boundary stretch
  // it, but never past the move table.
  match_result r = line(initial_position(), {"32-28"},
                        board_events({{32, 'o', true}, {1, 'x', true}, {2, 'x', true}, {1, 'x', false}, {2, 'x', false},
                                      {3, 'x', true}, {3, 'x', false}, {28, 'o', false}}));
  EXPECT_EQ(r.matched_move_count(1), 1);
  EXPECT_EQ(r.matched_move_count(5), 1);
}

std::vector<std::string> line_text(const match_result& r) {
  std::vector<std::string> out;
  for (const Move& m : r.moves) out.push_back(m.notation());
  return out;
}

TEST(PathSelector, KeepsTheLowestScoringLinesAcrossDepths) {
  path_selector selector(initial_position(),
                         board_events({{32, 'o', true}, {28, 'o', false}, {19, 'x', true}, {23, 'x', false}}));
  selector.max_depth = 1;
  selector.run();
  // 32-27 (score 1) is replaced by 32-28 (score 0); 33-28 (score 2) is dropped.
  ASSERT_EQ(selector.results.size(), 1u);
  EXPECT_EQ(line_text(selector.results[0]), std::vector<std::string>{"32-28"});
  EXPECT_EQ(selector.results[0].score(), 0u);
  selector.max_depth = 2;
  selector.run();
  ASSERT_EQ(selector.results.size(), 2u);
  EXPECT_EQ(line_text(selector.results[1]), (std::vector<std::string>{"32-28", "19-23"}));
  EXPECT_EQ(choose_best_result(selector.results), 1u) << "the longer line explains more";
  selector.max_depth = 3;
  selector.run();
  EXPECT_EQ(selector.results.size(), 2u) << "no third move explains an event";
  EXPECT_GT(selector.nodes, 0u);
}

TEST(PathSelector, EveryMoveMustExplainABoardEvent) {
  path_selector selector(initial_position(), board_events({{1, 'x', true}}));
  for (int depth = 1; depth <= 3; ++depth) {
    selector.max_depth = depth;
    selector.run();
    EXPECT_TRUE(selector.results.empty()) << depth;
  }
  path_selector nothing(initial_position(), {});
  nothing.run();
  EXPECT_TRUE(nothing.results.empty());
}

TEST(ChooseBestResult, KeysInOrder) {
  auto result = [](bool swapped, unsigned unmatched_board, std::vector<int> flags, int moves, unsigned paired) {
    match_result r;
    r.first_moves_swapped = swapped;
    r.unmatched_board = unmatched_board;
    r.unmatched_moves = 0;
    r.order_flags = std::move(flags);
    r.moves.resize(moves);
    r.paired_moves = paired;
    return r;
  };
  struct Case {
    const char* name;
    std::vector<match_result> results;
    std::size_t best;
  } cases[] = {
      {"not swapped first", {result(true, 0, {}, 2, 0), result(false, 1, {}, 2, 0)}, 1},
      {"lower score", {result(false, 2, {}, 2, 0), result(false, 1, {}, 2, 0)}, 1},
      {"fewer order flags", {result(false, 0, {1}, 2, 0), result(false, 0, {0}, 2, 0)}, 1},
      {"one move loses when something is unexplained", {result(false, 1, {}, 1, 0), result(false, 1, {0, 0}, 3, 1)}, 1},
      {"fewer pairings when all is explained", {result(false, 0, {}, 1, 0), result(false, 0, {0, 0}, 3, 1)}, 0},
      {"more moves", {result(false, 0, {}, 1, 0), result(false, 0, {0}, 2, 0)}, 1},
      {"equal keeps the first", {result(false, 0, {0}, 2, 0), result(false, 0, {0}, 2, 0)}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(choose_best_result(c.results), c.best) << c.name;
}

TEST(MoveBoundaryFinder, MarksTheBoardsBetweenMoves) {
  struct Case {
    const char* name;
    std::vector<indexed_event> events;
    int start;
    std::map<int, bool> marks;
  } cases[] = {
      {"white place, black place", board_events({{28, 'o', false}, {23, 'x', false}}), 0, {{1, false}}},
      {"a move each", board_events({{32, 'o', true}, {28, 'o', false}, {19, 'x', true}, {23, 'x', false}}), 0,
       {{2, false}}},
      {"capture then reply",
       board_events({{28, 'o', true}, {19, 'o', false}, {23, 'x', true}, {14, 'x', true}, {23, 'x', false}}), 0,
       {{3, false}}},
      {"black then white", board_events({{19, 'x', true}, {23, 'x', false}, {32, 'o', true}, {28, 'o', false}}), 0,
       {{2, true}}},
      {"from a later start", board_events({{32, 'o', true}, {28, 'o', false}, {19, 'x', true}, {23, 'x', false}}), 2,
       {}},
      {"put down and lifted is skipped",
       board_events({{28, 'o', false}, {9, 'x', false}, {9, 'x', true}, {23, 'x', false}}), 0, {{3, false}}},
      {"removals only", board_events({{1, 'x', true}, {2, 'x', true}, {31, 'o', true}}), 0, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(move_boundary_finder(c.events).run(c.start), c.marks) << c.name;
}

}  // namespace
}  // namespace dam::testing
