#pragma once
// Feeds one board's game to librumo as a tournament server does: the start position in the
// server's letters, the growing event code text after every report, and reconstruct calls.

#include <string>
#include <vector>

#include "library/position.h"
#include "tools/rumo-replay/hall_model.h"

namespace replay {

// The server's letter of a board square's content ("P", "B", "p", "b", "_" for empty).
char server_piece_letter(char piece);

// The server's square character of a board square ("0"-"9", "A"-"Z", "a"-"n").
char server_square_code(int square, bool reversed);

// The 50 server letters of a position, from square 50 to 1 when reversed.
std::string server_position_text(const dam::Position& position, bool reversed);

// "H:MM:SS" of a clock holding the given seconds (never below 0).
std::string clock_text(double seconds);

struct clock_readings {
    double white = 5400;
    double black = 5400;
};

class library_feed {
public:
    library_feed(void* map, std::string board_id, bool reversed);

    void reset(const dam::Position& start, double time, const clock_readings& clocks,
               const std::string& label);
    void report(const board_report& report, double time, const clock_readings& clocks);

    // Returns the game's PDN as the library gives it at `time`.
    std::string reconstruct(double time);

    // Processor seconds of every reconstruct call.
    const std::vector<double>& reconstruct_seconds() const { return seconds_; }
    // The completeness flag of the last reconstruct call.
    bool complete() const { return complete_; }
    const std::string& event_codes() const { return codes_; }

private:
    void* map_;
    std::string board_id_;
    bool reversed_;
    std::string codes_;
    std::vector<char> buffer_;
    std::vector<double> seconds_;
    bool complete_ = false;
};

} // namespace replay
