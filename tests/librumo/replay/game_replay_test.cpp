// Whole games through librumo, and the tool itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "library/rumo.h"
#include "tools/common/pdn_reader.h"
#include "tools/rumo-replay/game_replay.h"
#include "tools/rumo-replay/replay_score.h"

namespace {

struct replay_case {
    replay::hand_model model;
    bool reversed;
};

class GameReplay : public testing::TestWithParam<replay_case> {};

// Clean hands give every game back exactly; the hall's hands may cost a setup, but every move
// the library writes is legal and carries its clock comment.
TEST_P(GameReplay, GamesComeBackAsPlayed)
{
    const auto games = rumo_tools::read_pdn_file(std::string(RUMO_GAMES_DIR) + "/wk2003.pdn");
    ASSERT_GE(games.size(), 6u);
    testing::internal::CaptureStdout();
    void* map = create_rumo_game_map();
    replay::hands hands(GetParam().model, 3);
    for (std::size_t k = 0; k < 6; ++k) {
        SCOPED_TRACE("game " + std::to_string(k + 1));
        const auto played = replay::replay_game(map, "board", games[k].start, games[k].moves,
                                                hands, GetParam().reversed, "test");
        const auto read = replay::read_library_pdn(played.pdn);
        EXPECT_EQ(played.board_error, "");
        EXPECT_EQ(read.unreadable, 0) << read.error;
        EXPECT_EQ(read.lines_without_clock, 0);
        if (GetParam().model == replay::hand_model::clean) {
            EXPECT_EQ(read.setups, 0);
            EXPECT_EQ(read.moves, games[k].moves);
            EXPECT_TRUE(played.complete);
        }
    }
    destroy_rumo_game_map(map);
    testing::internal::GetCapturedStdout();
}

INSTANTIATE_TEST_SUITE_P(Replay, GameReplay,
                         testing::Values(replay_case{replay::hand_model::clean, false},
                                         replay_case{replay::hand_model::clean, true},
                                         replay_case{replay::hand_model::hall, false},
                                         replay_case{replay::hand_model::hall, true}));

TEST(ReplayTool, PrintsOneLinePerGameAndTheSummary)
{
    const std::string command = std::string("'") + RUMO_REPLAY_TOOL +
                                "' --model hall --seed 4 --games 2,4-5 '" + RUMO_GAMES_DIR +
                                "/090417ronde12.pdn' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    EXPECT_EQ(::pclose(pipe), 0) << output;
    for (const char* part : {"\n2 090417ronde12.pdn#2 ", "\n4 090417ronde12.pdn#4 ",
                             "\n5 090417ronde12.pdn#5 ", "\ngames 3, exact ",
                             "\nreconstruct calls "})
        EXPECT_NE(("\n" + output).find(part), std::string::npos) << part << " in\n" << output;
    EXPECT_EQ(output.find("move reconstructor configuration"), std::string::npos);
    EXPECT_EQ(output.find("\n3 "), std::string::npos);
}

} // namespace
