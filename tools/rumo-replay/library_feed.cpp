#include "tools/rumo-replay/library_feed.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "library/piece.h"
#include "library/rumo.h"

namespace replay {

namespace {

double processor_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

char server_piece_letter(char piece)
{
    switch (piece) {
    case 'o': return 'P';
    case 'x': return 'B';
    case 'O': return 'p';
    case 'X': return 'b';
    default: return '_';
    }
}

char server_square_code(int square, bool reversed)
{
    const int n = reversed ? square : 51 - square;
    if (n <= 10)
        return static_cast<char>('0' + n - 1);
    if (n <= 36)
        return static_cast<char>('A' + n - 11);
    return static_cast<char>('a' + n - 37);
}

std::string server_position_text(const dam::Position& position, bool reversed)
{
    std::string text;
    for (int square = 1; square <= 50; ++square)
        text += server_piece_letter(dam::piece_char(position.piece(square)));
    if (reversed)
        std::reverse(text.begin(), text.end());
    return text;
}

std::string clock_text(double seconds)
{
    const long whole = std::max(0L, static_cast<long>(std::floor(seconds)));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

library_feed::library_feed(void* map, std::string board_id, bool reversed)
    : map_(map), board_id_(std::move(board_id)), reversed_(reversed), buffer_(1 << 16)
{
}

void library_feed::reset(const dam::Position& start, double time, const clock_readings& clocks,
                         const std::string& label)
{
    codes_.clear();
    reset_game(map_, board_id_.c_str(), server_position_text(start, reversed_).c_str(), time,
               clock_text(clocks.white).c_str(), clock_text(clocks.black).c_str(), label.c_str(),
               "", "", reversed_);
}

void library_feed::report(const board_report& report, double time, const clock_readings& clocks)
{
    for (const square_change& change : report.changes) {
        codes_ += server_square_code(change.square, reversed_);
        codes_ += server_piece_letter(change.piece);
    }
    // A board turned round shows black's clock first.
    const std::string white = clock_text(clocks.white);
    const std::string black = clock_text(clocks.black);
    update_game_events(map_, board_id_.c_str(), codes_.c_str(), time,
                       (reversed_ ? black : white).c_str(), (reversed_ ? white : black).c_str());
}

std::string library_feed::reconstruct(double time)
{
    int complete = 0;
    const double before = processor_seconds();
    int length = reconstruct_game(map_, board_id_.c_str(), time, static_cast<int>(buffer_.size()),
                                  buffer_.data(), &complete);
    seconds_.push_back(processor_seconds() - before);
    if (length < 0)
        throw std::runtime_error("reconstruct_game refused the call");
    if (static_cast<std::size_t>(length) >= buffer_.size()) {
        buffer_.resize(static_cast<std::size_t>(length) + 1);
        length = reconstruct_game(map_, board_id_.c_str(), time, static_cast<int>(buffer_.size()),
                                  buffer_.data(), &complete);
    }
    complete_ = complete == 1;
    return std::string(buffer_.data(), static_cast<std::size_t>(length));
}

} // namespace replay
