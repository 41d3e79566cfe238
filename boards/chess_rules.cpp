#include "boards/chess_rules.h"

#include <algorithm>
#include <cstring>

namespace QVRProjects::chess {
namespace {

constexpr int kKnightSteps[8][2] = {{-2, -1}, {-2, 1}, {-1, -2}, {-1, 2}, {1, -2}, {1, 2}, {2, -1}, {2, 1}};
constexpr int kKingSteps[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
constexpr int kStraight[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
constexpr int kDiagonal[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};

bool OnBoard(int row, int col) { return row >= 0 && row < 8 && col >= 0 && col < 8; }
int CellAt(int row, int col) { return row * 8 + col; }

// Piece kind without colour: 1 pawn, 2 rook, 3 knight, 4 bishop, 5 king, 6 queen.
int KindOf(int8_t p) { return IsWhite(p) ? p : (IsBlack(p) ? p - 6 : 0); }
bool IsOwn(int8_t p, bool white) { return white ? IsWhite(p) : IsBlack(p); }
int8_t Colored(int kind, bool white) { return static_cast<int8_t>(white ? kind : kind + 6); }

bool RayAttacks(const int8_t* board, int row, int col, const int (&dirs)[4][2], int8_t a, int8_t b) {
    for (const auto& d : dirs) {
        for (int r = row + d[0], c = col + d[1]; OnBoard(r, c); r += d[0], c += d[1]) {
            const int8_t p = board[CellAt(r, c)];
            if (p == Empty) continue;
            if (p == a || p == b) return true;
            break;
        }
    }
    return false;
}

class Generator {
public:
    Generator(const int8_t* board, bool white, int32_t rules, std::vector<Move>& out, size_t limit)
        : board_(board), white_(white), rules_(rules), out_(out), limit_(limit), king_(KingCell(board, white)) {}

    void PieceMoves(int cell) {
        const int row = cell / 8, col = cell % 8;
        switch (KindOf(board_[cell])) {
            case 1: PawnMoves(cell, row, col); break;
            case 2: Rays(cell, row, col, kStraight); break;
            case 3: Steps(cell, row, col, kKnightSteps); break;
            case 4: Rays(cell, row, col, kDiagonal); break;
            case 5:
                Steps(cell, row, col, kKingSteps);
                Castlings(cell, row, col);
                break;
            case 6:
                Rays(cell, row, col, kStraight);
                Rays(cell, row, col, kDiagonal);
                break;
            default: break;
        }
    }

private:
    void Add(Move m) {
        if (out_.size() >= limit_) return;
        // Without a king of the side to move there is nothing to leave in check.
        if (king_ >= 0) {
            int8_t after[kCells];
            std::memcpy(after, board_, kCells);
            ApplyMove(after, m);
            const bool kingMoves = board_[m.from] == Colored(5, white_);
            const int king = kingMoves ? KingCell(after, white_) : king_;
            if (IsAttacked(after, king, !white_)) return;
        }
        out_.push_back(m);
    }

    void AddTo(int from, int to, int8_t kind = Plain) {
        Move m;
        m.from = static_cast<int8_t>(from);
        m.to = static_cast<int8_t>(to);
        m.kind = kind;
        Add(m);
    }

    bool Enterable(int cell) const { return !IsOwn(board_[cell], white_); }

    void Steps(int from, int row, int col, const int (&steps)[8][2]) {
        for (const auto& s : steps) {
            const int r = row + s[0], c = col + s[1];
            if (OnBoard(r, c) && Enterable(CellAt(r, c))) AddTo(from, CellAt(r, c));
        }
    }

    void Rays(int from, int row, int col, const int (&dirs)[4][2]) {
        for (const auto& d : dirs) {
            for (int r = row + d[0], c = col + d[1]; OnBoard(r, c); r += d[0], c += d[1]) {
                const int to = CellAt(r, c);
                if (!Enterable(to)) break;
                AddTo(from, to);
                if (board_[to] != Empty) break;
            }
        }
    }

    void PawnStep(int from, int to) {
        if (to / 8 == (white_ ? 0 : 7)) {
            for (int8_t kind : {PromoteQueen, PromoteRook, PromoteBishop, PromoteKnight}) AddTo(from, to, kind);
        } else {
            AddTo(from, to);
        }
    }

    void PawnMoves(int from, int row, int col) {
        const int dir = white_ ? -1 : 1;
        const int ahead = row + dir;
        if (!OnBoard(ahead, col)) return;
        if (board_[CellAt(ahead, col)] == Empty) {
            PawnStep(from, CellAt(ahead, col));
            const int startRow = white_ ? 6 : 1;
            if (row == startRow && board_[CellAt(ahead + dir, col)] == Empty) AddTo(from, CellAt(ahead + dir, col));
        }
        const int epRow = white_ ? 3 : 4;
        const int8_t enemyPawn = white_ ? BlackPawn : WhitePawn;
        for (int dc : {-1, 1}) {
            const int c = col + dc;
            if (!OnBoard(ahead, c)) continue;
            const int to = CellAt(ahead, c);
            if (IsPiece(board_[to]) && !IsOwn(board_[to], white_)) {
                PawnStep(from, to);
            } else if (board_[to] == Empty && row == epRow && board_[CellAt(row, c)] == enemyPawn &&
                       board_[CellAt(row + 2 * dir, c)] == Empty) {
                // The enemy pawn may just have passed with a double step.
                AddTo(from, to, EnPassant);
            }
        }
    }

    void Castlings(int kingCell, int row, int col) {
        if (row != (white_ ? 7 : 0)) return;
        if (rules_ != kChess960Rules && col != 4) return;
        const int8_t rook = Colored(2, white_);
        for (int rookCol = 0; rookCol < 8; ++rookCol) {
            if (rookCol == col || board_[CellAt(row, rookCol)] != rook) continue;
            if (rules_ != kChess960Rules && rookCol != 0 && rookCol != 7) continue;
            const bool shortSide = rookCol > col;
            const int kingTo = shortSide ? 6 : 2, rookTo = shortSide ? 5 : 3;
            const int lo = std::min({col, rookCol, kingTo, rookTo});
            const int hi = std::max({col, rookCol, kingTo, rookTo});
            bool clear = true;
            for (int c = lo; c <= hi && clear; ++c)
                clear = c == col || c == rookCol || board_[CellAt(row, c)] == Empty;
            for (int c = std::min(col, kingTo); c <= std::max(col, kingTo) && clear; ++c)
                clear = !IsAttacked(board_, CellAt(row, c), !white_);
            if (!clear) continue;
            Move m;
            m.from = static_cast<int8_t>(kingCell);
            // A king that stays put is written as taking its rook, so the move keeps two cells.
            m.to = static_cast<int8_t>(CellAt(row, kingTo == col ? rookCol : kingTo));
            m.kind = Castling;
            m.rookFrom = static_cast<int8_t>(CellAt(row, rookCol));
            m.rookTo = static_cast<int8_t>(CellAt(row, rookTo));
            Add(m);
        }
    }

    const int8_t* board_;
    bool white_;
    int32_t rules_;
    std::vector<Move>& out_;
    size_t limit_;
    int king_;
};

}  // namespace

bool IsAttacked(const int8_t* board, int cell, bool byWhite) {
    const int row = cell / 8, col = cell % 8;
    const int8_t pawn = Colored(1, byWhite), rook = Colored(2, byWhite), knight = Colored(3, byWhite);
    const int8_t bishop = Colored(4, byWhite), king = Colored(5, byWhite), queen = Colored(6, byWhite);
    // A white pawn attacks upwards, so it stands one row below the cell.
    const int pawnRow = row + (byWhite ? 1 : -1);
    for (int dc : {-1, 1})
        if (OnBoard(pawnRow, col + dc) && board[CellAt(pawnRow, col + dc)] == pawn) return true;
    for (const auto& s : kKnightSteps)
        if (OnBoard(row + s[0], col + s[1]) && board[CellAt(row + s[0], col + s[1])] == knight) return true;
    for (const auto& s : kKingSteps)
        if (OnBoard(row + s[0], col + s[1]) && board[CellAt(row + s[0], col + s[1])] == king) return true;
    return RayAttacks(board, row, col, kStraight, rook, queen) || RayAttacks(board, row, col, kDiagonal, bishop, queen);
}

int KingCell(const int8_t* board, bool white) {
    const int8_t king = Colored(5, white);
    for (int i = 0; i < kCells; ++i)
        if (board[i] == king) return i;
    return -1;
}

void GenerateMoves(const int8_t* board, bool white, uint64_t fromMask, int32_t rules, std::vector<Move>& out,
                   size_t limit) {
    Generator generator(board, white, rules, out, limit);
    for (int cell = 0; cell < kCells; ++cell)
        if ((fromMask >> cell & 1) != 0 && IsOwn(board[cell], white)) generator.PieceMoves(cell);
}

void ApplyMove(int8_t* board, const Move& move) {
    const int8_t piece = board[move.from];
    const bool white = IsWhite(piece);
    switch (move.kind) {
        case Castling: {
            const int kingTo = (move.rookTo / 8) * 8 + (move.rookTo % 8 == 5 ? 6 : 2);
            board[move.from] = Empty;
            board[move.rookFrom] = Empty;
            board[kingTo] = piece;
            board[move.rookTo] = Colored(2, white);
            return;
        }
        case EnPassant:
            board[(move.from / 8) * 8 + move.to % 8] = Empty;
            break;
        default:
            break;
    }
    board[move.from] = Empty;
    switch (move.kind) {
        case PromoteQueen: board[move.to] = Colored(6, white); break;
        case PromoteRook: board[move.to] = Colored(2, white); break;
        case PromoteBishop: board[move.to] = Colored(4, white); break;
        case PromoteKnight: board[move.to] = Colored(3, white); break;
        default: board[move.to] = piece; break;
    }
}

}  // namespace QVRProjects::chess
