#include "boards/reconstructor.h"

#include <cstring>

namespace QVRProjects {

int8_t CQVR_Move::Piece() const {
    if (foundIn == nullptr || fromCell < 0 || fromCell >= chess::kCells) return chess::Empty;
    return foundIn[fromCell];
}

bool CQVR_Move::IsCapture() const {
    if (kind == chess::EnPassant) return true;
    if (kind == chess::Castling || foundIn == nullptr || toCell < 0 || toCell >= chess::kCells) return false;
    return foundIn[toCell] != chess::Empty;
}

int32_t CQVR_Reconstructor::Score(const int8_t* board) const {
    int32_t differing = 0;
    for (int i = 0; i < chess::kCells; ++i) {
        if (board[i] == target_[i]) continue;
        // Spoiling a cell that already agreed rules the board out.
        if (start_[i] == target_[i]) return 0;
        ++differing;
    }
    return chess::kCells - differing;
}

CQVR_SearchResult CQVR_Reconstructor::FindMove(const int8_t* start, const int8_t* target, bool whiteToMove) {
    std::memcpy(start_, start, chess::kCells);
    std::memcpy(target_, target, chess::kCells);
    bestLine_.clear();
    line_.clear();
    bestScore_ = -1;
    nodes_ = 0;
    bestMove_ = chess::Move{};
    const size_t plies = maxPlies > 0 ? static_cast<size_t>(maxPlies) : 0;
    if (movesPerPly_.size() < plies) movesPerPly_.resize(plies);
    if (plies > 0) Search(start_, whiteToMove, 0);

    CQVR_SearchResult result;
    if (bestLine_.empty()) return result;
    const chess::Move& first = bestLine_.front();
    const int8_t piece = start_[first.from];
    if (!(whiteToMove ? chess::IsWhite(piece) : chess::IsBlack(piece))) return result;
    int8_t after[chess::kCells];
    std::memcpy(after, start_, chess::kCells);
    chess::ApplyMove(after, first);
    bestMove_ = first;
    result.score = Score(after);
    result.plies = static_cast<int32_t>(bestLine_.size());
    return result;
}

void CQVR_Reconstructor::Search(const int8_t* board, bool white, size_t ply) {
    uint64_t differing = 0;
    int count = 0;
    for (int i = 0; i < chess::kCells; ++i) {
        if (board[i] != target_[i]) {
            differing |= uint64_t{1} << i;
            ++count;
        }
    }
    // A move changes at least two cells.
    if (count < 2) return;

    std::vector<chess::Move>& moves = movesPerPly_[ply];
    moves.clear();
    chess::GenerateMoves(board, white, differing, rules, moves, kMaxMovesPerPly);
    for (const chess::Move& move : moves) {
        if (nodes_ >= nodeBudget || bestScore_ == chess::kCells) return;
        ++nodes_;
        int8_t after[chess::kCells];
        std::memcpy(after, board, chess::kCells);
        chess::ApplyMove(after, move);
        line_.push_back(move);
        const int32_t score = Score(after);
        if (score > bestScore_) {
            bestScore_ = score;
            bestLine_ = line_;
        }
        if (ply + 1 < movesPerPly_.size() && ply + 1 < static_cast<size_t>(maxPlies))
            Search(after, !white, ply + 1);
        line_.pop_back();
    }
}

}  // namespace QVRProjects
