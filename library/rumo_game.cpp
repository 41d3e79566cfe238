#include "library/rumo_game.h"

#include <stdexcept>

#include "library/event_codes.h"

namespace dam {

namespace {

const std::string initial_board = "xxxxxxxxxxxxxxxxxxxx..........oooooooooooooooooooo";

} // namespace

rumo_game::rumo_game() : pdn_reconstructor(initial_board, 0), board(initial_board)
{
    pdn_reconstructor::reset(initial_board);
}

void rumo_game::reset(const std::string& position, const std::string& white_clock,
                      const std::string& black_clock, double time, const std::string&,
                      const std::string&, const std::string&, bool reversed_board)
{
    const std::string converted = server_position_to_board(position, reversed_board);
    pdn_reconstructor fresh(converted, time);
    fresh.reset(converted);
    fresh.start_white_clock = white_clock;
    fresh.start_black_clock = black_clock;
    fresh.setup_position = fresh.position;

    static_cast<pdn_reconstructor&>(*this) = fresh;
    event_codes.clear();
    board = converted;
    reversed = reversed_board;
}

void rumo_game::update_events(const std::string& codes, double time,
                              const std::string& first_clock, const std::string& second_clock)
{
    white_clock = reversed ? second_clock : first_clock;
    black_clock = reversed ? first_clock : second_clock;
    if (codes.compare(0, event_codes.size(), event_codes) != 0)
        throw std::runtime_error(
            "Error in rumo_game::update: event sequence does not include previous one!");

    // Decoded whole first, so that a bad code refuses the text before anything changes.
    const auto changes =
        decode_event_codes(std::string_view(codes).substr(event_codes.size()), reversed);
    for (const square_change& change : changes) {
        board[static_cast<std::size_t>(change.square - 1)] = change.piece;
        add_unmatched_board_events(history.add_position(board, time));
    }
    event_codes = codes;
}

} // namespace dam
