#include "tools/rumo-replay/game_replay.h"

#include "library/piece.h"
#include "tools/rumo-replay/library_feed.h"

namespace replay {

namespace {

constexpr double game_start_time = 100.0;
// Long enough after the last report for every event to be stable and every delay passed.
constexpr double final_quiet_time = 60.0;

} // namespace

replayed_game replay_game(void* map, const std::string& board_id, const dam::Position& start,
                          const std::vector<dam::Move>& moves, hands& hands, bool reversed,
                          const std::string& label)
{
    replayed_game game;
    library_feed feed(map, board_id, reversed);
    clock_readings remaining;
    double time = game_start_time;
    feed.reset(start, time, remaining, label);
    hands.start(start);

    dam::Position expected = start;
    bool white_moves = true;
    double turn_start = time;
    auto play = [&](const std::vector<board_report>& reports) {
        for (const board_report& report : reports) {
            if (report.delay > 1.0)
                feed.reconstruct(time + report.delay - 0.5);
            time += report.delay;
            clock_readings now = remaining;
            (white_moves ? now.white : now.black) -= time - turn_start;
            feed.report(report, time, now);
            feed.reconstruct(time);
        }
    };

    for (const dam::Move& move : moves) {
        white_moves = dam::is_white(move.piece);
        play(hands.carry_out(move));
        (white_moves ? remaining.white : remaining.black) -= time - turn_start;
        turn_start = time;
        expected.make_move(move);
    }
    play(hands.finish());
    for (int square = 1; square <= 50 && game.board_error.empty(); ++square)
        if (hands.board().piece(square) != expected.piece(square))
            game.board_error = "square " + std::to_string(square) + " differs from the game";

    game.pdn = feed.reconstruct(time + final_quiet_time);
    game.complete = feed.complete();
    game.reconstruct_seconds = feed.reconstruct_seconds();
    return game;
}

} // namespace replay
