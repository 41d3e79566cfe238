// Scoring: the library's PDN read back, moves in common, timing figures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/position.h"
#include "tools/rumo-replay/replay_score.h"

namespace {

const std::string start_tag =
    "[FEN \"W:W31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50"
    ":B1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20\"] {[%clock W1:30:00 b1:30:00]}\n";

std::vector<std::string> notations(const std::vector<dam::Move>& moves)
{
    std::vector<std::string> texts;
    for (const auto& move : moves)
        texts.push_back(move.notation());
    return texts;
}

TEST(ReplayScore, LibraryPdnReadsBackWithItsSetups)
{
    const std::string pdn = start_tag +
                            "  1. 32-28 {[%clock w1:29:50 B1:30:00]}\n"
                            "     19-23 {[%clock W1:29:50 b1:29:40]}\n"
                            "/FEN \"B:W28,33:B19,23\"/ {[%clock w1:29:00 B1:29:40]}\n"
                            "     23x32 {[%clock W1:29:00 b1:29:30]}\n"
                            "  3. 33-29";
    const replay::library_game read = replay::read_library_pdn(pdn);
    EXPECT_EQ(notations(read.moves), (std::vector<std::string>{"32-28", "19-23", "23x32", "33-29"}));
    EXPECT_EQ(read.setups, 1);
    EXPECT_EQ(read.unreadable, 0) << read.error;
    EXPECT_EQ(read.lines_without_clock, 1);
}

TEST(ReplayScore, IllegalMoveMakesTheStretchUnreadable)
{
    const replay::library_game read = replay::read_library_pdn(
        start_tag + "  1. 32-26 {[%clock w1:29:50 B1:30:00]}\n     19-23 {[%clock W1:2 b1:2]}");
    EXPECT_EQ(read.unreadable, 1);
    EXPECT_FALSE(read.error.empty());
}

dam::Move simple(int from, int to)
{
    dam::Move move;
    move.from = from;
    move.to = to;
    return move;
}

TEST(ReplayScore, CommonMovesKeepTheirOrder)
{
    const auto a = simple(32, 28), b = simple(19, 23), c = simple(28, 19), d = simple(14, 23);
    struct score_case {
        std::vector<dam::Move> played, read;
        std::size_t common;
    } cases[] = {
        {{a, b, c, d}, {a, b, c, d}, 4},
        {{a, b, c, d}, {a, c, d}, 3},   // a move lost in a setup
        {{a, b, c, d}, {b, a, c, d}, 3}, // two moves swapped
        {{a, b}, {}, 0},
        {{}, {a}, 0},
    };
    for (const auto& s : cases)
        EXPECT_EQ(replay::common_moves(s.played, s.read), s.common);
}

TEST(ReplayScore, TimingFigures)
{
    std::vector<double> seconds;
    for (int i = 1; i <= 200; ++i)
        seconds.push_back(i * 0.001);
    const auto summary = replay::summarize(seconds);
    EXPECT_EQ(summary.calls, 200u);
    EXPECT_DOUBLE_EQ(summary.median, 0.100);
    EXPECT_DOUBLE_EQ(summary.percentile_99, 0.198);
    EXPECT_DOUBLE_EQ(summary.maximum, 0.200);
    EXPECT_EQ(replay::summarize({}).calls, 0u);
}

} // namespace
