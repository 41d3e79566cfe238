#include "library/pdn_reconstructor.h"

#include "library/fen.h"
#include "library/piece.h"

namespace dam {

pdn_reconstructor::pdn_reconstructor(const std::string& board_text, double time)
    : move_reconstructor(board_text, time)
{
}

void pdn_reconstructor::reset(const std::string& board_text)
{
    move_reconstructor::reset(board_text);
    lines.clear();
    move_number = 0;
}

std::string pdn_reconstructor::print_clock(const std::string& white, const std::string& black,
                                           bool white_to_move)
{
    if (white.empty() || black.empty())
        return "";
    return std::string("{[%clock ") + (white_to_move ? 'W' : 'w') + white + ' ' +
           (white_to_move ? 'b' : 'B') + black + "]}";
}

void pdn_reconstructor::on_play_move(const Move& move)
{
    const bool white_moved = is_white(move.piece);
    if (white_moved)
        ++move_number;
    lines.push_back(move_notation(move, move_number) + ' ' +
                    print_clock(white_clock, black_clock, !white_moved));
}

void pdn_reconstructor::on_setup(const Position& setup)
{
    ++move_number;
    lines.push_back(write_fen(setup, "/", "/") + ' ' +
                    print_clock(white_clock, black_clock, setup.is_white_to_move()));
}

void pdn_reconstructor::on_erase_moves()
{
    const std::size_t kept = played.empty() ? 0 : played.size() - 1;
    if (lines.size() > kept)
        lines.resize(kept);
    // Count again what raised the number: white moves and setups. Halving the line count
    // would repeat a white move's number after an odd cut.
    move_number = 0;
    for (std::size_t i = 1; i <= kept && i < played.size(); ++i)
        if (played[i].is_setup() || is_white(played[i].move.piece))
            ++move_number;
}

std::string pdn_reconstructor::initial_position_tag() const
{
    return write_fen(setup_position, "[", "]") + ' ' +
           print_clock(start_white_clock, start_black_clock, true) + '\n';
}

std::string pdn_reconstructor::pdn_string() const
{
    std::string text = initial_position_tag();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text;
}

} // namespace dam
