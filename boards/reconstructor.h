#pragma once

#include <cstdint>
#include <vector>

#include "boards/chess_rules.h"

namespace QVRProjects {

// The move that leads to a position, read on its first 64 cells as a chess
// board. Both cells 100 for the first position of a sequence, both 0 when no
// move was found.
struct CQVR_Move {
    int32_t fromCell = 0;
    int32_t toCell = 0;
    int32_t kind = chess::Plain;
    const int8_t* foundIn = nullptr;  // 64 cells of the earlier position the move starts from
    CQVR_Move* undoneBy = nullptr;    // a later move that takes this one back
    CQVR_Move* undoes = nullptr;      // the earlier move this one takes back

    bool IsFound() const { return fromCell != toCell; }
    bool IsFirstPosition() const { return kind == chess::FirstPosition; }
    // The piece that moved, or empty when unknown.
    int8_t Piece() const;
    bool IsCapture() const;
};

struct CQVR_SearchResult {
    int32_t score = 0;  // 0-64: cells that agree with the target
    int32_t plies = 0;
};

// Searches the chess move that turns one board into another.
class CQVR_Reconstructor {
public:
    static constexpr size_t kMaxMovesPerPly = 500;

    int32_t rules = chess::kStandardRules;  // chess::kChess960Rules for Chess960 castling
    int32_t maxPlies = 1;
    int32_t nodeBudget = 50000;

    // start and target are 64 cells each.
    CQVR_SearchResult FindMove(const int8_t* start, const int8_t* target, bool whiteToMove);

    // First move of the best line of the last search; valid when its plies > 0.
    const chess::Move& BestMove() const { return bestMove_; }

    // Upper bound of a search result when start and target differ in
    // `differing` cells: every ply changes at most four cells.
    int32_t ScoreBound(int32_t differing) const;

private:
    struct Agreement {
        int32_t differing = 0;  // cells unlike the target
        int32_t spoiled = 0;    // of those, cells that were like it at the start
    };
    Agreement Compare(const int8_t* board) const;
    static int32_t Score(const Agreement& a);
    void Search(const int8_t* board, const Agreement& agreement, bool white, size_t ply);

    int8_t start_[chess::kCells] = {};
    int8_t target_[chess::kCells] = {};
    std::vector<std::vector<chess::Move>> movesPerPly_;
    std::vector<chess::Move> line_;
    std::vector<chess::Move> bestLine_;
    int32_t bestScore_ = -1;
    int32_t nodes_ = 0;
    chess::Move bestMove_;
};

}  // namespace QVRProjects
