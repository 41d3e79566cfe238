#include "boards/reconstructor.h"

#include <algorithm>
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

namespace {

// Cells whose content a move may change, each once.
int TouchedCells(const chess::Move& m, int (&cells)[4]) {
    int n = 0;
    auto add = [&](int cell) {
        for (int i = 0; i < n; ++i)
            if (cells[i] == cell) return;
        cells[n++] = cell;
    };
    add(m.from);
    if (m.kind == chess::Castling) {
        add(m.rookFrom);
        add(m.rookTo);
        add((m.rookTo / 8) * 8 + (m.rookTo % 8 == 5 ? 6 : 2));
    } else {
        add(m.to);
        if (m.kind == chess::EnPassant) add((m.from / 8) * 8 + m.to % 8);
    }
    return n;
}

}  // namespace

int32_t CQVR_Reconstructor::ScoreBound(int32_t differing) const {
    // The returned score is that of the first move alone, less at least one ply.
    if (maxPlies <= 0 || differing < 2) return 0;
    return std::max(0, chess::kCells - 1 - std::max(0, differing - 4));
}

CQVR_Reconstructor::Agreement CQVR_Reconstructor::Compare(const int8_t* board) const {
    Agreement a;
    for (int i = 0; i < chess::kCells; ++i) {
        if (board[i] == target_[i]) continue;
        ++a.differing;
        // Spoiling a cell that already agreed rules the board out.
        if (start_[i] == target_[i]) ++a.spoiled;
    }
    return a;
}

int32_t CQVR_Reconstructor::Score(const Agreement& a) {
    return a.spoiled > 0 ? 0 : chess::kCells - a.differing;
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
    if (plies > 0) Search(start_, Compare(start_), whiteToMove, 0);

    CQVR_SearchResult result;
    if (bestLine_.empty()) return result;
    const chess::Move& first = bestLine_.front();
    const int8_t piece = start_[first.from];
    if (!(whiteToMove ? chess::IsWhite(piece) : chess::IsBlack(piece))) return result;
    int8_t after[chess::kCells];
    std::memcpy(after, start_, chess::kCells);
    chess::ApplyMove(after, first);
    bestMove_ = first;
    result.score = Score(Compare(after));
    result.plies = static_cast<int32_t>(bestLine_.size());
    return result;
}

void CQVR_Reconstructor::Search(const int8_t* board, const Agreement& agreement, bool white, size_t ply) {
    // A move changes at least two cells.
    if (agreement.differing < 2) return;
    uint64_t differing = 0;
    for (int i = 0; i < chess::kCells; ++i)
        if (board[i] != target_[i]) differing |= uint64_t{1} << i;

    std::vector<chess::Move>& moves = movesPerPly_[ply];
    moves.clear();
    chess::GenerateMoves(board, white, differing, rules, moves, kMaxMovesPerPly);
    for (const chess::Move& move : moves) {
        if (nodes_ >= nodeBudget || bestScore_ == chess::kCells) return;
        ++nodes_;
        int8_t after[chess::kCells];
        std::memcpy(after, board, chess::kCells);
        chess::ApplyMove(after, move);
        // Only the cells the move touched can change the agreement.
        Agreement next = agreement;
        int touched[4];
        const int n = TouchedCells(move, touched);
        for (int k = 0; k < n; ++k) {
            const int c = touched[k];
            const bool agreedBefore = start_[c] == target_[c];
            if (board[c] != target_[c]) {
                --next.differing;
                if (agreedBefore) --next.spoiled;
            }
            if (after[c] != target_[c]) {
                ++next.differing;
                if (agreedBefore) ++next.spoiled;
            }
        }
        line_.push_back(move);
        const int32_t score = Score(next);
        if (score > bestScore_) {
            bestScore_ = score;
            bestLine_ = line_;
        }
        if (ply + 1 < movesPerPly_.size() && ply + 1 < static_cast<size_t>(maxPlies))
            Search(after, next, !white, ply + 1);
        line_.pop_back();
    }
}

}  // namespace QVRProjects
