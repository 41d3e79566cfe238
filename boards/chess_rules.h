#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Chess on the first 64 cells of a board (cell = row * 8 + column, row 0 is
// rank 8), used to name the moves seen on a board.
namespace QVRProjects::chess {

constexpr int kCells = 64;

// Piece codes: white 1-6, black 7-12 in the same order; 0 empty.
enum Piece : int8_t {
    Empty = 0,
    WhitePawn = 1, WhiteRook, WhiteKnight, WhiteBishop, WhiteKing, WhiteQueen,
    BlackPawn = 7, BlackRook, BlackKnight, BlackBishop, BlackKing, BlackQueen,
};

// Kinds of move as the move record stores them.
enum MoveKind : int32_t {
    Plain = 0,
    Castling = 1,
    EnPassant = 2,
    PromoteQueen = 3, PromoteRook = 4, PromoteBishop = 5, PromoteKnight = 6,
    FirstPosition = 100,
};

// Castling arrangements.
constexpr int32_t kStandardRules = 1;
constexpr int32_t kChess960Rules = 960;

struct Move {
    int8_t from = 0;
    int8_t to = 0;       // the king's destination for castling
    int8_t kind = Plain;
    int8_t rookFrom = -1;  // castling only
    int8_t rookTo = -1;
};

inline bool IsWhite(int8_t p) { return p >= WhitePawn && p <= WhiteQueen; }
inline bool IsBlack(int8_t p) { return p >= BlackPawn && p <= BlackQueen; }
inline bool IsPiece(int8_t p) { return IsWhite(p) || IsBlack(p); }

// Whether a piece of the given side attacks the cell.
bool IsAttacked(const int8_t* board, int cell, bool byWhite);

// Cell of the side's king, or -1.
int KingCell(const int8_t* board, bool white);

// Legal moves of the side's pieces that stand on cells marked in `fromMask`
// (bit i = cell i), at most `limit` of them. Castling and en passant are
// offered wherever the pieces stand as those moves need, since the history
// that would rule them out is not known here.
void GenerateMoves(const int8_t* board, bool white, uint64_t fromMask, int32_t rules,
                   std::vector<Move>& out, size_t limit);

// Plays the move on the board (64 cells).
void ApplyMove(int8_t* board, const Move& move);

}  // namespace QVRProjects::chess
