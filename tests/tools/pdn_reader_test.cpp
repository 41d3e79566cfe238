// Reading PDN games into legal moves, and writing the moves back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/fen.h"
#include "tools/common/pdn_reader.h"

namespace rumo_tools {
namespace {

std::vector<std::string> texts(const PdnGame& game) {
  std::vector<std::string> out;
  dam::Position p = game.start;
  for (const auto& m : game.moves) {
    out.push_back(pdn_move_text(p, m));
    p.make_move(m);
  }
  return out;
}

TEST(PdnReader, ReadsEveryGameOfTheGameFilesWhole) {
  struct FileCase {
    const char* name;
    std::size_t games;
  };
  const FileCase files[] = {
      {"wk2003.pdn", 23},        {"nk2003-amsterdam.pdn", 33 /* the last has tags only */}, {"candidate95.pdn", 8},
      {"DUTCH96H.pdn", 13},      {"090417ronde12.pdn", 7},     {"rk-ronde-12.pdn", 7},
      {"kurnik.pdn", 4},         {"nk-ronde-01.pdn", 7},       {"fen.pdn", 3},
  };
  std::size_t book_games = 0;
  std::size_t moves = 0;
  for (const auto& entry : std::filesystem::directory_iterator(RUMO_GAMES_DIR)) {
    if (entry.path().extension() != ".pdn") continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto games = read_pdn_file(entry.path().string());
    for (const auto& game : games) {
      SCOPED_TRACE(game.first_line);
      EXPECT_EQ(game.error, "");
      moves += game.moves.size();
      // Writing the moves and reading them back gives the same game.
      const auto again = read_pdn(write_fen(game.start, "[", "]\n") + write_pdn_moves(game.start, game.moves));
      ASSERT_EQ(again.size(), 1u);
      EXPECT_EQ(again[0].error, "");
      EXPECT_EQ(texts(again[0]), texts(game));
    }
    if (name.rfind("book-", 0) == 0) {
      book_games += games.size();
      continue;
    }
    bool listed = false;
    for (const auto& f : files)
      if (name == f.name) {
        EXPECT_EQ(games.size(), f.games);
        listed = true;
      }
    EXPECT_TRUE(listed);
  }
  EXPECT_EQ(book_games, 175u);
  EXPECT_GT(moves, 20000u);
}

TEST(PdnReader, SkipsAnnotationsAndReadsResultsAndTags) {
  const std::string text =
      "% an escaped line 99-98\n"
      "[Event \"test \\\"one\\\"\"]\n"
      "[Result \"2-0\"]\n"
      "{ opening comment ( with 1-0 inside } 1. 32-28 $1 17-22! ( 1... 19-23 { (nested } ( 2. 28x19 ) )\n"
      "2. 28x17 12x21 ; rest of line 1-0\n"
      "3. 37-32  7-12 4. 41-37  1- 7 2-0\n"
      "1. 33-29 0-2\n"
      "[Event \"third\"]\n"
      "1. 31-27 *";
  const auto games = read_pdn(text);
  ASSERT_EQ(games.size(), 3u);
  EXPECT_EQ(games[0].tag("Event"), "test \"one\"");
  EXPECT_EQ(games[0].tag("Result"), "2-0");
  EXPECT_EQ(games[0].tag("Missing"), "");
  EXPECT_EQ(games[0].result, "2-0");
  EXPECT_EQ(games[0].error, "");
  EXPECT_EQ(texts(games[0]), (std::vector<std::string>{"32-28", "17-22", "28x17", "12x21", "37-32", "7-12",
                                                        "41-37", "1-7"}));
  EXPECT_EQ(games[0].moves[2].captures, (std::vector<std::pair<int, dam::Piece>>{{22, dam::black_man}}));
  EXPECT_EQ(games[0].first_line, 2);
  EXPECT_EQ(games[1].result, "0-2");
  EXPECT_EQ(texts(games[1]), std::vector<std::string>{"33-29"});
  EXPECT_EQ(games[2].tag("Event"), "third");
  EXPECT_EQ(games[2].result, "*");
  EXPECT_EQ(games[2].first_line, 8);
}

TEST(PdnReader, ResolvesCapturesByTheirLandingSquares) {
  // The white man on 38 can take the four black men round the ring either way:
  // one move by its captured pieces, two routes.
  const std::string fen = "[FEN \"W:W38,50:B32,22,23,33,5\"]\n";
  struct Case {
    const char* moves;
    std::vector<int> via;
    const char* error_part;
  };
  const Case cases[] = {
      {"1. 38x38", {27, 18, 29}, ""},
      {"1. 38x27x38", {27, 18, 29}, ""},
      {"1. 38x29x18x27x38", {29, 18, 27}, ""},
      {"1. 38x18x38", {27, 18, 29}, ""},
      {"1. 38x23x38", {27, 18, 29}, ""},  // a captured square where no landing fits
      {"1. 38x44x38", {}, "no legal move"},
      {"1. 38x43", {}, "no legal move"},
      {"1. 50-44", {}, "no legal move"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.moves);
    const auto games = read_pdn(fen + c.moves);
    ASSERT_EQ(games.size(), 1u);
    if (*c.error_part) {
      EXPECT_NE(games[0].error.find(c.error_part), std::string::npos) << games[0].error;
      EXPECT_TRUE(games[0].moves.empty());
    } else {
      EXPECT_EQ(games[0].error, "");
      ASSERT_EQ(games[0].moves.size(), 1u);
      EXPECT_EQ(games[0].moves[0].via, c.via);
      EXPECT_EQ(pdn_move_text(games[0].start, games[0].moves[0]), "38x38");
    }
  }
}

TEST(PdnReader, StopsAtTheFirstIllegalMoveAndGoesOnWithTheNextGame) {
  const auto games = read_pdn("1. 32-28 18-23 2. 28-23 17-21 3. 31-26 *\n\n1. 31-27 16-21 *");
  ASSERT_EQ(games.size(), 2u);
  EXPECT_EQ(texts(games[0]), (std::vector<std::string>{"32-28", "18-23"}));
  EXPECT_NE(games[0].error.find("ply 3 \"28-23\""), std::string::npos) << games[0].error;
  EXPECT_EQ(games[0].result, "*");
  EXPECT_EQ(games[1].error, "");
  EXPECT_EQ(games[1].moves.size(), 2u);

  const auto bad_fen = read_pdn("[FEN \"W:W51\"]\n1. 32-28 *");
  ASSERT_EQ(bad_fen.size(), 1u);
  EXPECT_NE(bad_fen[0].error.find("FEN"), std::string::npos);
  EXPECT_TRUE(bad_fen[0].moves.empty());

  for (const char* junk : {"[", "{", "(((", "1.", "32-", "[FEN \"", "\x01\xff 99-98 0-0"}) {
    SCOPED_TRACE(junk);
    for (const auto& game : read_pdn(junk)) EXPECT_TRUE(game.moves.empty());
  }
}

TEST(PdnReader, UnknownSideIsTakenFromTheFirstMove) {
  const auto games = read_pdn("[FEN \"?:W29,13,11:B22,4,2\"]\n1... 22-27 2. 29-24 *");
  ASSERT_EQ(games.size(), 1u);
  EXPECT_EQ(games[0].error, "");
  EXPECT_FALSE(games[0].start.white_to_move);
  EXPECT_EQ(write_pdn_moves(games[0].start, games[0].moves), "1... 22-27 2. 29-24");
}

TEST(PdnWriter, NumbersMovesAndWritesLongFormsOnlyWhenNeeded) {
  const auto games = read_pdn("1. 32-28 17-22 2. 28x17 11x22 3. 37-32 *");
  ASSERT_EQ(games.size(), 1u);
  EXPECT_EQ(write_pdn_moves(games[0].start, games[0].moves), "1. 32-28 17-22 2. 28x17 11x22 3. 37-32");
  EXPECT_EQ(write_pdn_moves(games[0].start, {}), "");
}

}  // namespace
}  // namespace rumo_tools
