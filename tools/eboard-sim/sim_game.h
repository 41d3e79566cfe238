// A game as the simulated boards play it: a start position and moves given by
// their from, to and captured squares (1..50).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace eboardsim {

// Piece codes as the boards report them.
enum Piece : uint8_t { kEmpty = 0, kWhiteMan = 1, kBlackMan = 4, kWhiteKing = 7, kBlackKing = 10 };

struct SimMove {
    int from = 0;
    int to = 0;
    std::vector<int> captured;  // in capture order
    uint8_t result = 0;         // piece on `to` afterwards; 0: the moving piece, crowned on the far row
};

struct SimGame {
    std::string title;
    std::array<uint8_t, 51> start{};  // by square 1..50; entry 0 unused
    bool whiteFirst = true;
    std::vector<SimMove> moves;
};

std::array<uint8_t, 51> StartPosition();

// The position after every move of the game, the start position first.
std::vector<std::array<uint8_t, 51>> PositionsOf(const SimGame& game);

// Piece on `to` after a move of `piece` ends there (men crown on the far row).
uint8_t PieceAfterMove(uint8_t piece, int to);

}  // namespace eboardsim
