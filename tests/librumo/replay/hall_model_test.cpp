// The hands of rumo-replay: whatever they do, the board they leave is the game's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/piece.h"
#include "tools/common/pdn_reader.h"
#include "tools/rumo-replay/hall_model.h"

namespace {

using replay::board_report;
using replay::hand_model;
using replay::hands;

std::vector<rumo_tools::PdnGame> games_of(const std::string& file)
{
    return rumo_tools::read_pdn_file(std::string(RUMO_GAMES_DIR) + "/" + file);
}

struct hands_case {
    hand_model model;
    std::uint64_t seed;
};

class Hands : public testing::TestWithParam<hands_case> {};

// Applies every reported change to a board of its own: each change must change its square,
// and after the game (and the tidying after it) the board must hold the final position.
TEST_P(Hands, ReportsLeadThroughTheGameToItsFinalPosition)
{
    hands player(GetParam().model, GetParam().seed);
    int changes = 0;
    for (const std::string file : {"wk2003.pdn", "book-sur01.pdn"}) {
        for (const auto& game : games_of(file)) {
            dam::Position board = game.start;
            auto apply = [&](const std::vector<board_report>& reports) {
                for (const board_report& report : reports) {
                    ASSERT_FALSE(report.changes.empty());
                    EXPECT_GT(report.delay, 0.0);
                    for (const auto& change : report.changes) {
                        ASSERT_TRUE(change.square >= 1 && change.square <= 50) << change.square;
                        const dam::Piece now = dam::char_piece(change.piece);
                        ASSERT_NE(board.piece(change.square), now)
                            << "no-op change on " << change.square;
                        board.set_piece(change.square, now);
                        ++changes;
                    }
                }
            };
            player.start(game.start);
            for (const dam::Move& move : game.moves)
                apply(player.carry_out(move));
            apply(player.finish());
            const dam::Position final_position = game.position_after();
            for (int square = 1; square <= 50; ++square)
                ASSERT_EQ(board.piece(square), final_position.piece(square))
                    << file << " line " << game.first_line << ", square " << square;
        }
    }
    EXPECT_GT(changes, 0);
}

INSTANTIATE_TEST_SUITE_P(Replay, Hands,
                         testing::Values(hands_case{hand_model::clean, 1},
                                         hands_case{hand_model::hall, 1},
                                         hands_case{hand_model::hall, 2},
                                         hands_case{hand_model::hall, 77}));

TEST(Hands, CleanHandsLiftPlaceAndRemoveOneAtATime)
{
    const auto game = games_of("090417ronde12.pdn").front();
    hands player(hand_model::clean, 1);
    player.start(game.start);
    for (const dam::Move& move : game.moves) {
        const auto reports = player.carry_out(move);
        ASSERT_EQ(reports.size(), 2 + move.captures.size());
        EXPECT_EQ(reports[0].changes.at(0).square, move.from);
        EXPECT_EQ(reports[0].changes.at(0).piece, '.');
        EXPECT_EQ(reports[1].changes.at(0).square, move.to);
        EXPECT_EQ(reports[1].changes.at(0).piece, dam::piece_char(move.result));
        for (std::size_t k = 0; k < move.captures.size(); ++k)
            EXPECT_EQ(reports[2 + k].changes.at(0).square, move.captures[k].first);
    }
}

TEST(Hands, SameSeedSameHands)
{
    const auto game = games_of("wk2003.pdn").front();
    auto record = [&](std::uint64_t seed) {
        hands player(hand_model::hall, seed);
        player.start(game.start);
        std::string trace;
        for (const dam::Move& move : game.moves)
            for (const auto& report : player.carry_out(move)) {
                trace += std::to_string(report.delay) + ":";
                for (const auto& change : report.changes)
                    trace += std::to_string(change.square) + change.piece;
                trace += ' ';
            }
        return trace;
    };
    EXPECT_EQ(record(5), record(5));
    EXPECT_NE(record(5), record(6));
}

struct between_case {
    int from;
    int to;
    std::vector<int> squares;
};

TEST(Hands, SquaresBetweenFollowTheDiagonal)
{
    const between_case cases[] = {
        {46, 5, {41, 37, 32, 28, 23, 19, 14, 10}},
        {5, 46, {10, 14, 19, 23, 28, 32, 37, 41}},
        {1, 45, {7, 12, 18, 23, 29, 34, 40}},
        {32, 28, {}},
        {32, 23, {28}},
        {50, 45, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replay::squares_between(c.from, c.to), c.squares) << c.from << "-" << c.to;
}

} // namespace
