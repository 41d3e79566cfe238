#include "tools/eboard-sim/sim_game.h"

namespace eboardsim {

std::array<uint8_t, 51> StartPosition() {
    std::array<uint8_t, 51> squares{};
    for (int s = 1; s <= 20; ++s) squares[s] = kBlackMan;
    for (int s = 31; s <= 50; ++s) squares[s] = kWhiteMan;
    return squares;
}

uint8_t PieceAfterMove(uint8_t piece, int to) {
    if (piece == kWhiteMan && to >= 1 && to <= 5) return kWhiteKing;
    if (piece == kBlackMan && to >= 46 && to <= 50) return kBlackKing;
    return piece;
}

std::vector<std::array<uint8_t, 51>> PositionsOf(const SimGame& game) {
    std::vector<std::array<uint8_t, 51>> positions{game.start};
    auto squares = game.start;
    for (const SimMove& move : game.moves) {
        if (move.from < 1 || move.from > 50 || move.to < 1 || move.to > 50) break;
        const uint8_t piece = squares[move.from];
        squares[move.from] = kEmpty;
        for (int captured : move.captured)
            if (captured >= 1 && captured <= 50) squares[captured] = kEmpty;
        squares[move.to] = move.result ? move.result : PieceAfterMove(piece, move.to);
        positions.push_back(squares);
    }
    return positions;
}

}  // namespace eboardsim
