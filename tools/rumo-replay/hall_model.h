#pragma once
// How players carry out moves on an e-board: the square changes the board reports, grouped into
// reports, with the pauses between them. The clean model lifts, places and removes the captured
// pieces one by one; the hall model handles pieces as people do (touches, captured pieces taken
// first, late or in another order, hops, king slides, late crowning, changes seen together).

#include <cstdint>
#include <random>
#include <vector>

#include "library/move.h"
#include "library/position.h"

namespace replay {

struct square_change {
    int square = 0;
    char piece = '.'; // "o", "x", "O", "X" or "." once the square is empty
};

// What one scan of the board reports, `delay` seconds after the report before it.
struct board_report {
    double delay = 0;
    std::vector<square_change> changes;
};

enum class hand_model { clean, hall };

class hands {
public:
    hands(hand_model model, std::uint64_t seed);

    // A new game from this position.
    void start(const dam::Position& position);

    // The reports that carry out the move, the first one after the player's thinking time.
    // Captured pieces that the hall model leaves standing may still be taken off during the
    // opponent's next move.
    std::vector<board_report> carry_out(const dam::Move& move);

    // The reports that tidy the board at the end of the game.
    std::vector<board_report> finish();

    // The board as the reports left it.
    const dam::Position& board() const { return board_; }

private:
    struct step {
        double delay;
        square_change change;
    };

    double uniform(double low, double high);
    bool chance(double probability);
    std::vector<step> clean_steps(const dam::Move& move);
    std::vector<step> hall_steps(const dam::Move& move);
    void add(std::vector<step>& steps, double delay, int square, dam::Piece piece);
    std::vector<board_report> group(const std::vector<step>& steps);

    hand_model model_;
    std::mt19937_64 random_;
    dam::Position board_;
    std::vector<step> left_over_; // late removals of the previous move
};

// The squares a piece passes between two squares on one diagonal, both ends excluded.
std::vector<int> squares_between(int from, int to);

} // namespace replay
