#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "library/event.h"
#include "library/event_codes.h"
#include "library/event_history.h"

namespace dam {
namespace {

const std::string kStart = "xxxxxxxxxxxxxxxxxxxx..........oooooooooooooooooooo";

std::string with_square(const std::string& board, int square, char c) {
  return board.substr(0, square - 1) + c + board.substr(square);
}

TEST(EventRelations, ColourSquareAndDirectionDecide) {
  struct Case {
    event a, b;
    bool matching, opposite;
  } cases[] = {
      {{23, 'x', true, 0}, {23, 'X', true, 5}, true, false},   // a man and a king share a colour
      {{23, 'x', true, 0}, {23, 'x', false, 0}, false, true},
      {{23, 'o', false, 0}, {23, 'O', true, 0}, false, true},
      {{23, 'o', true, 0}, {23, 'x', false, 0}, false, false},  // colours differ
      {{23, 'o', true, 0}, {24, 'o', false, 0}, false, false},  // squares differ
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matching_event(c.a, c.b), c.matching) << c.a.square << c.a.piece << " " << c.b.piece;
    EXPECT_EQ(opposite_event(c.a, c.b), c.opposite) << c.a.square << c.a.piece << " " << c.b.piece;
  }
}

TEST(ComputeEvents, ChangedSquaresInOrderWithRemovalBeforePlacement) {
  std::string after = with_square(with_square(with_square(kStart, 32, '.'), 28, 'o'), 19, 'O');
  auto events = compute_events(kStart, after, 7.5);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].square, 19);
  EXPECT_TRUE(events[0].removed);
  EXPECT_EQ(events[0].piece, 'x');
  EXPECT_EQ(events[1].square, 19);
  EXPECT_FALSE(events[1].removed);
  EXPECT_EQ(events[1].piece, 'O');
  EXPECT_EQ(events[2].square, 28);
  EXPECT_FALSE(events[2].removed);
  EXPECT_EQ(events[3].square, 32);
  EXPECT_TRUE(events[3].removed);
  for (const auto& e : events) EXPECT_EQ(e.time, 7.5);
}

TEST(ComputeEvents, NonPieceCharactersAndShortTextsReadAsEmpty) {
  EXPECT_TRUE(compute_events(std::string(50, '.'), std::string(50, '-'), 0).empty());
  auto events = compute_events("o", std::string(50, '.'), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].square, 1);
  EXPECT_TRUE(events[0].removed);
}

TEST(EventHistory, EveryEventGetsItsIndexAndItsOwnBoard) {
  event_history history;
  history.insert_position(" " + kStart.substr(0, 25) + " \n" + kStart.substr(25) + " W");
  ASSERT_EQ(history.boards.size(), 1u);
  EXPECT_EQ(history.boards[0], kStart);

  EXPECT_TRUE(history.add_position(kStart + "B", 1.0).empty());
  EXPECT_EQ(history.boards.size(), 1u);

  std::string moved = with_square(with_square(kStart, 32, '.'), 28, 'o');
  auto added = history.add_position(moved, 2.0);
  ASSERT_EQ(added.size(), 2u);
  EXPECT_EQ(added[0].index, 0);
  EXPECT_EQ(added[1].index, 1);
  ASSERT_EQ(history.boards.size(), 3u);
  EXPECT_EQ(history.boards[1], with_square(kStart, 28, 'o'));  // only the first change
  EXPECT_EQ(history.boards[2], moved);

  auto next = history.add_position(with_square(moved, 19, '.'), 3.0);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].index, 2);
  EXPECT_EQ(history.events.size(), 3u);
  EXPECT_EQ(history.boards.size(), 4u);
}

TEST(RemoveIndices, KeepsOrderOfTheRest) {
  std::vector<int> list{10, 11, 12, 13, 14};
  EXPECT_EQ(remove_indices(list, {0, 3, 9}), (std::vector<int>{11, 12, 14}));
  EXPECT_EQ(remove_indices(list, {}), list);
}

TEST(ServerTexts, PieceLettersMapToBoardCharacters) {
  EXPECT_EQ(rumo2position("PBpb_.x"), "oxOX...");
  EXPECT_EQ(rumo2piece('P'), 'o');
  EXPECT_EQ(rumo2piece('_'), '.');
}

TEST(ServerTexts, PositionTextFollowsOrientation) {
  std::string server = "B" + std::string(48, '_') + "P";
  EXPECT_EQ(server_position_to_board(server, false), "x" + std::string(48, '.') + "o");
  EXPECT_EQ(server_position_to_board(server, true), "o" + std::string(48, '.') + "x");
  EXPECT_THROW(server_position_to_board(std::string(49, 'P'), false), std::invalid_argument);
}

TEST(EventCodes, SquareCharactersAndOrientation) {
  struct Case {
    char code;
    int plain, reversed;
  } cases[] = {
      {'0', 50, 1}, {'9', 41, 10}, {'A', 40, 11}, {'Z', 15, 36}, {'a', 14, 37}, {'n', 1, 50},
  };
  for (const auto& c : cases) {
    auto changes = decode_event_codes(std::string{c.code, 'P'}, false);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].square, c.plain) << c.code;
    EXPECT_EQ(changes[0].piece, 'o');
    EXPECT_EQ(decode_event_codes(std::string{c.code, 'b'}, true)[0].square, c.reversed) << c.code;
  }
}

TEST(EventCodes, PiecesEmptiesAndALoneLastCharacter) {
  auto changes = decode_event_codes("0PZBnpab3_7", false);
  ASSERT_EQ(changes.size(), 6u);
  const char pieces[] = {'o', 'x', 'O', 'X', '.', '.'};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(changes[i].piece, pieces[i]) << i;
  EXPECT_EQ(changes[5].square, 43);
  EXPECT_TRUE(decode_event_codes("", false).empty());
}

TEST(EventCodes, OutOfRangeSquareCharactersAreRefused) {
  for (const char* codes : {"wB", "0PoP", "/P", "[P", "0P~", "0P\x80P"})
    EXPECT_THROW(decode_event_codes(codes, false), std::invalid_argument) << codes;
}

}  // namespace
}  // namespace dam
