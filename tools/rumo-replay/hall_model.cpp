#include "tools/rumo-replay/hall_model.h"

#include <algorithm>
#include <cstdlib>

#include "library/piece.h"
#include "library/square.h"

namespace replay {

namespace {

// Seconds between the actions of one move, and thinking time before a move.
constexpr double clean_step = 0.5;
constexpr double clean_thinking = 5.0;

bool is_own(dam::Piece piece, bool white)
{
    return white ? dam::is_white(piece) : dam::is_black(piece);
}

} // namespace

std::vector<int> squares_between(int from, int to)
{
    std::vector<int> squares;
    const int rows = std::abs(dam::square_row(to) - dam::square_row(from));
    if (rows < 2)
        return squares;
    const int step = (dam::square_to_cell(to) - dam::square_to_cell(from)) / rows;
    for (int cell = dam::square_to_cell(from) + step; cell != dam::square_to_cell(to); cell += step)
        squares.push_back(dam::cell_to_square(cell));
    return squares;
}

hands::hands(hand_model model, std::uint64_t seed) : model_(model), random_(seed) {}

void hands::start(const dam::Position& position)
{
    board_ = position;
    left_over_.clear();
}

double hands::uniform(double low, double high)
{
    // Own mapping of the generator's bits, so that a seed gives the same games everywhere.
    const double unit = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    return low + (high - low) * unit;
}

bool hands::chance(double probability) { return uniform(0, 1) < probability; }

void hands::add(std::vector<step>& steps, double delay, int square, dam::Piece piece)
{
    board_.set_piece(square, piece);
    steps.push_back({delay, {square, dam::piece_char(piece)}});
}

std::vector<hands::step> hands::clean_steps(const dam::Move& move)
{
    std::vector<step> steps;
    add(steps, clean_thinking, move.from, dam::empty_square);
    add(steps, clean_step, move.to, move.result);
    for (const auto& [square, piece] : move.captures)
        add(steps, clean_step, square, dam::empty_square);
    return steps;
}

std::vector<hands::step> hands::hall_steps(const dam::Move& move)
{
    std::vector<step> steps;
    const bool white = dam::is_white(move.piece);
    auto pause = [this] { return uniform(0.2, 1.2); };
    double thinking = chance(0.3) ? uniform(0.5, 3.0) : uniform(3.0, 40.0);

    if (chance(0.06)) {
        // A touch: a piece lifted and put back before the move, often the one that moves.
        int touched = move.from;
        if (chance(0.3)) {
            std::vector<int> own;
            for (int s = 1; s <= 50; ++s)
                if (is_own(board_.piece(s), white))
                    own.push_back(s);
            touched = own[static_cast<std::size_t>(uniform(0, static_cast<double>(own.size())))];
        }
        const dam::Piece piece = board_.piece(touched);
        add(steps, thinking, touched, dam::empty_square);
        add(steps, pause(), touched, piece);
        thinking = pause();
    }

    std::vector<std::pair<int, dam::Piece>> captured = move.captures;
    if (captured.size() > 1 && chance(0.3))
        std::shuffle(captured.begin(), captured.end(), random_);
    const bool captured_first = !captured.empty() && chance(0.15);
    const bool captured_late = !captured.empty() && !captured_first && chance(0.1);

    if (captured_first) {
        for (const auto& [square, piece] : captured) {
            add(steps, thinking, square, dam::empty_square);
            thinking = pause();
        }
    }

    add(steps, thinking, move.from, dam::empty_square);
    std::vector<int> stops;
    if (!move.via.empty() && chance(0.3))
        stops = move.via; // the piece hopped from landing square to landing square
    else if (dam::is_king(move.piece) && move.captures.empty() && chance(0.3))
        stops = squares_between(move.from, move.to); // a king slid along its diagonal
    for (int stop : stops) {
        if (stop == move.to || stop == move.from)
            continue;
        add(steps, uniform(0.2, 0.6), stop, move.piece);
        add(steps, uniform(0.2, 0.6), stop, dam::empty_square);
    }

    const bool crowned_late = move.result != move.piece && chance(0.5);
    add(steps, pause(), move.to, crowned_late ? move.piece : move.result);

    std::vector<step> late;
    if (!captured_first) {
        for (const auto& [square, piece] : captured) {
            if (captured_late) {
                board_.set_piece(square, dam::empty_square);
                late.push_back({uniform(1.0, 8.0), {square, '.'}});
            } else {
                add(steps, pause(), square, dam::empty_square);
            }
        }
    }
    if (crowned_late) {
        if (chance(0.5)) {
            add(steps, uniform(1.0, 4.0), move.to, move.result);
        } else {
            add(steps, uniform(1.0, 4.0), move.to, dam::empty_square);
            add(steps, pause(), move.to, move.result);
        }
    }
    if (!late.empty()) {
        if (chance(0.3))
            left_over_ = std::move(late); // taken off while the opponent moves
        else
            steps.insert(steps.end(), late.begin(), late.end());
    }
    return steps;
}

std::vector<board_report> hands::group(const std::vector<step>& steps)
{
    std::vector<board_report> reports;
    for (const step& s : steps) {
        // Two changes close together may reach the same scan of the board.
        const bool same_scan = model_ == hand_model::hall && !reports.empty() && s.delay < 0.5 &&
                               chance(0.15);
        if (same_scan)
            reports.back().changes.push_back(s.change);
        else
            reports.push_back({s.delay, {s.change}});
    }
    return reports;
}

std::vector<board_report> hands::carry_out(const dam::Move& move)
{
    std::vector<step> carried = std::move(left_over_);
    left_over_.clear();
    std::vector<step> steps = model_ == hand_model::clean ? clean_steps(move) : hall_steps(move);
    if (!carried.empty()) {
        // The previous player tidies up once this one has lifted a piece.
        const bool lifted_first = steps.front().change.square == move.from;
        const auto at = lifted_first ? steps.begin() + 1 : steps.begin();
        if (!lifted_first)
            std::swap(carried.front().delay, steps.front().delay);
        steps.insert(at, carried.begin(), carried.end());
    }
    return group(steps);
}

std::vector<board_report> hands::finish()
{
    std::vector<step> steps = std::move(left_over_);
    left_over_.clear();
    return group(steps);
}

} // namespace replay
