// The PDN lines kept beside the reconstruction: numbering, clock comments, setups, rollback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/fen.h"
#include "library/pdn_reconstructor.h"
#include "library/position.h"

namespace {

using dam::pdn_reconstructor;

const std::string initial_board = "xxxxxxxxxxxxxxxxxxxx..........oooooooooooooooooooo";

// Plays moves and setups the way the reconstructor does: entry first, then the hook.
class scorer {
public:
    scorer() : game_(initial_board, 0) { game_.reset(initial_board); }

    void move(const std::string& notation, const std::string& white, const std::string& black)
    {
        game_.white_clock = white;
        game_.black_clock = black;
        for (const dam::Move& m : game_.position.generate_moves())
            if (m.notation() == notation) {
                game_.position.make_move(m);
                game_.played.push_back({m, game_.position, -1});
                game_.on_play_move(m);
                return;
            }
        FAIL() << notation << " is not legal here";
    }

    void setup(const dam::Position& position)
    {
        game_.set_position(position);
        game_.on_setup(position);
    }

    void cut_back_to(std::size_t entries)
    {
        game_.played.resize(entries);
        game_.position = game_.played.back().position;
        game_.on_erase_moves();
    }

    pdn_reconstructor& game() { return game_; }

private:
    pdn_reconstructor game_;
};

TEST(PdnReconstructor, ClockComments)
{
    struct clock_case {
        const char* white;
        const char* black;
        bool white_to_move;
        const char* comment;
    } cases[] = {
        {"1:25:10", "1:24:02", true, "{[%clock W1:25:10 b1:24:02]}"},
        {"1:25:10", "1:24:02", false, "{[%clock w1:25:10 B1:24:02]}"},
        {"", "1:24:02", true, ""},
        {"1:25:10", "", false, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pdn_reconstructor::print_clock(c.white, c.black, c.white_to_move), c.comment);
}

TEST(PdnReconstructor, MovesAndSetupsAreNumberedAsPlayed)
{
    scorer s;
    s.game().setup_position = s.game().position;
    s.game().start_white_clock = "1:30:00";
    s.game().start_black_clock = "1:30:00";
    s.move("32-28", "1:29:50", "1:30:00");
    s.move("19-23", "1:29:50", "1:29:40");
    dam::Position jumped = s.game().position;
    jumped.set_piece(33, dam::empty_square);
    jumped.set_piece(29, dam::white_man);
    jumped.white_to_move = 0;
    s.setup(jumped);
    s.move("23x32", "1:29:30", "1:29:20");
    s.move("37x28", "1:29:10", "1:29:20");

    const std::string expected =
        dam::write_fen(dam::initial_position(), "[", "]") + " {[%clock W1:30:00 b1:30:00]}\n" +
        "  1. 32-28 {[%clock w1:29:50 B1:30:00]}\n"
        "     19-23 {[%clock W1:29:50 b1:29:40]}\n" +
        dam::write_fen(jumped, "/", "/") + " {[%clock w1:29:50 B1:29:40]}\n" +
        "     23x32 {[%clock W1:29:30 b1:29:20]}\n"
        "  3. 37x28 {[%clock w1:29:10 B1:29:20]}";
    EXPECT_EQ(s.game().pdn_string(), expected);
}

TEST(PdnReconstructor, WithoutClocksLinesEndInABlank)
{
    scorer s;
    s.game().start_white_clock = "";
    s.move("32-28", "", "");
    EXPECT_EQ(s.game().pdn_string(), "[FEN \"W:W:B\"] \n  1. 32-28 ");
}

// After a cut the number counts the white moves and setups kept, whatever the parity.
TEST(PdnReconstructor, RollbackRestoresTheMoveNumber)
{
    struct cut_case {
        std::size_t entries;
        std::vector<const char*> then; // moves played after the cut
        const char* white_line;
    } cases[] = {
        {4, {"12-18", "41-37"}, "  3. 41-37 "}, // three moves kept, black to move
        {3, {"37-32"}, "  2. 37-32 "},          // two moves kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        scorer s;
        for (const char* m : {"32-28", "18-22", "37-32", "12-18", "41-37"})
            s.move(m, "", "");
        s.cut_back_to(c.entries);
        EXPECT_EQ(s.game().lines.size(), c.entries - 1);
        for (const char* m : c.then)
            s.move(m, "", "");
        EXPECT_EQ(s.game().lines.back(), c.white_line);
    }
}

TEST(PdnReconstructor, ResetForgetsTheLines)
{
    scorer s;
    s.move("32-28", "1:00:00", "1:00:00");
    s.game().reset(initial_board);
    EXPECT_TRUE(s.game().lines.empty());
    EXPECT_EQ(s.game().move_number, 0);
}

} // namespace
