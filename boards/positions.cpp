#include "boards/positions.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace QVRProjects {
namespace {

const std::string kNoSequence = "#";

constexpr char kPieceLetters[] = "_PRNBKQprnbkq";
constexpr int kPieceLetterCount = sizeof kPieceLetters - 1;
// Notation letters of the moving piece; pawns have none.
constexpr char kMovingPieceLetters[] = "??RNBKQ?RNBKQ";
constexpr char kFiles[] = "abcdefgh";
// Ranks of the change notes; cells beyond the chess board read on into "_PRNB".
constexpr char kNoteRanks[] = "87654321_PRNB";

// Letter of draughts square s (1-50): 1-14 "n".."a", 15-40 "Z".."A", 41-50 "9".."0".
char SquareLetter(int s) {
    if (s <= 14) return static_cast<char>('n' - (s - 1));
    if (s <= 40) return static_cast<char>('Z' - (s - 15));
    return static_cast<char>('9' - (s - 41));
}

struct CellLetterTable {
    char letters[TChessPosition::kCells];
    CellLetterTable() {
        std::memset(letters, 'o', sizeof letters);
        for (int n = 0; n < 50; ++n) {
            const int row = n / 5;
            const int col = row % 2 == 0 ? 2 * (n % 5) + 1 : 2 * (n % 5);
            letters[row * 10 + col] = SquareLetter(n + 1);
        }
    }
};

const CellLetterTable kCellLetters;

std::string ChessCellName(int cell) {
    return {kFiles[cell % 8], "87654321"[cell / 8]};
}

// The king's destinations of both board orientations; a Chess960 king that
// stays put is written as taking its rook, on the side of that rook.
bool CastlesShort(const CQVR_Move& m) {
    switch (m.toCell) {
        case 62: case 6: case 57: case 1: return true;
        case 58: case 2: case 61: case 5: return false;
        default: return m.toCell > m.fromCell;
    }
}

int32_t ChessCellsDiffering(const int8_t* a, const int8_t* b) {
    int32_t n = 0;
    for (int i = 0; i < chess::kCells; ++i) n += a[i] != b[i];
    return n;
}

bool Contains(const std::vector<int>& cells, int cell) {
    return std::find(cells.begin(), cells.end(), cell) != cells.end();
}

}  // namespace

char CellLetter(int cell) {
    return cell >= 0 && cell < TChessPosition::kCells ? kCellLetters.letters[cell] : '?';
}

char PieceLetter(int8_t code) {
    return code >= 0 && code < kPieceLetterCount ? kPieceLetters[code] : '?';
}

TChessPosition::TChessPosition(const int8_t* boardCells, TPosSequence* owner) : sequence(owner) {
    std::memcpy(cells, boardCells, kCells);
    std::memcpy(view, boardCells, kCells);
}

const std::vector<int>& TChessPosition::ChangedCells() {
    if (!changedCellsMade_) {
        for (int cell = 0; cell < kCells; ++cell) {
            const bool changed = previous != nullptr ? view[cell] != previous->view[cell] : view[cell] != 0;
            if (changed) changedCells_.push_back(cell);
        }
        changedCellsMade_ = true;
    }
    return changedCells_;
}

const std::string& TChessPosition::ChangeText() {
    if (!changeTextMade_) {
        for (int cell : ChangedCells()) {
            changeText_ += CellLetter(cell);
            changeText_ += PieceLetter(view[cell]);
        }
        changeTextMade_ = true;
    }
    return changeText_;
}

const std::string& TChessPosition::PositionText() {
    if (positionText_.empty()) {
        positionText_.reserve(2 * kCells);
        for (int cell = 0; cell < kCells; ++cell) {
            positionText_ += CellLetter(cell);
            positionText_ += PieceLetter(view[cell]);
        }
    }
    return positionText_;
}

CQVR_Move* TChessPosition::DetectMove() {
    if (!move) {
        if (sequence != nullptr) sequence->DetectMovesUpTo(this);
        if (!move) {
            // A position outside any sequence has nothing to come from.
            move = std::make_unique<CQVR_Move>();
            move->fromCell = move->toCell = move->kind = chess::FirstPosition;
        }
    }
    return move.get();
}

const std::string& TChessPosition::ChangeNotes() {
    if (!changeNotesMade_) {
        if (DetectMove()->IsFirstPosition()) changeNotes_ = "{start}";
        for (int cell : ChangedCells()) {
            changeNotes_ += " {";
            changeNotes_ += PieceLetter(view[cell]);
            changeNotes_ += '@';
            changeNotes_ += kFiles[cell % 8];
            changeNotes_ += kNoteRanks[cell / 8];
            changeNotes_ += "} ";
        }
        changeNotesMade_ = true;
    }
    return changeNotes_;
}

std::string TChessPosition::MoveText(bool hideUndone) {
    const CQVR_Move* m = DetectMove();
    if (hideUndone && m->undoneBy != nullptr) return {};
    if (moveTextMade_) return moveText_;
    if (!m->IsFound() || m->IsFirstPosition()) {
        moveText_ = ChangeNotes();
    } else if (m->kind == chess::Castling) {
        moveText_ = CastlesShort(*m) ? "O-O" : "O-O-O";
    } else {
        const int8_t piece = m->Piece();
        const bool whiteMoved = chess::IsWhite(piece);
        if (piece != chess::WhitePawn && piece != chess::BlackPawn)
            moveText_ += piece >= 0 && piece <= chess::BlackQueen ? kMovingPieceLetters[piece] : '?';
        moveText_ += ChessCellName(m->fromCell);
        moveText_ += m->IsCapture() ? 'x' : '-';
        moveText_ += ChessCellName(m->toCell);
        switch (m->kind) {
            case chess::PromoteQueen: moveText_ += "=Q"; break;
            case chess::PromoteRook: moveText_ += "=R"; break;
            case chess::PromoteBishop: moveText_ += "=B"; break;
            case chess::PromoteKnight: moveText_ += "=N"; break;
            case chess::EnPassant: moveText_ += "ep"; break;
            default: break;
        }
        if (kingCellA < 0) kingCellA = chess::KingCell(view, true);
        if (kingCellB < 0) kingCellB = chess::KingCell(view, false);
        const int32_t enemyKing = whiteMoved ? kingCellB : kingCellA;
        if (enemyKing >= 0 && chess::IsAttacked(view, enemyKing, whiteMoved)) moveText_ += '+';
    }
    moveTextMade_ = true;
    return moveText_;
}

TPosSequence::TPosSequence(int32_t sequenceIndex, CQVRBoard* ownerBoard)
    : index(sequenceIndex), board(ownerBoard) {
    text.append(1, '@').append(std::to_string(sequenceIndex)).append(1, ':');
}

TChessPosition* TPosSequence::Append(std::unique_ptr<TChessPosition> position) {
    TChessPosition* p = positions.Append(std::move(position));
    p->sequence = this;
    p->previous = last_;
    last_ = p;
    text += p->ChangeText();
    return p;
}

const std::string& TPosSequence::Text() const {
    return text.empty() ? kNoSequence : text;
}

void TPosSequence::DetectMovesUpTo(TChessPosition* upTo) {
    for (TChessPosition* p : positions) {
        if (!p->move) DetectMove(p);
        if (p == upTo) break;
    }
}

void TPosSequence::DetectMove(TChessPosition* p) {
    auto found = std::make_unique<CQVR_Move>();
    if (p->previous == nullptr) {
        found->fromCell = found->toCell = found->kind = chess::FirstPosition;
        p->move = std::move(found);
        return;
    }
    const std::vector<int>& changed = p->ChangedCells();
    bool whiteAppeared = false, blackAppeared = false;
    for (int cell : changed) {
        whiteAppeared = whiteAppeared || chess::IsWhite(p->view[cell]);
        blackAppeared = blackAppeared || chess::IsBlack(p->view[cell]);
    }
    if (!whiteAppeared && !blackAppeared) {
        p->move = std::move(found);
        return;
    }

    int32_t best = 32;
    bool holding = false;
    auto blocked = [&](int32_t score) {
        // A good special move or capture is not given up for an equal one further back.
        return holding && best > 60 && best >= score && (found->kind != chess::Plain || found->IsCapture());
    };
    auto take = [&](const chess::Move& m, int32_t score, const TChessPosition* from) {
        found->fromCell = m.from;
        found->toCell = m.to;
        found->kind = m.kind;
        found->foundIn = from->view;
        best = score;
        holding = true;
    };

    for (TChessPosition* q = p->previous; q != nullptr; q = q->previous) {
        // Boards too far apart cannot reach the best: skip their searches,
        // with the same outcome as running them.
        if (ScoreBound(ChessCellsDiffering(q->view, p->view)) < best) {
            if (best > 60) break;
            continue;
        }
        int32_t whiteScore = INT_MIN, blackScore = INT_MIN;
        chess::Move whiteMove, blackMove;
        if (whiteAppeared) {
            const CQVR_SearchResult r = FindMove(q->view, p->view, true);
            whiteScore = r.score - r.plies;
            whiteMove = BestMove();
        }
        if (blackAppeared && (!whiteAppeared || whiteScore < chess::kCells)) {
            const CQVR_SearchResult r = FindMove(q->view, p->view, false);
            blackScore = r.score - r.plies;
            blackMove = BestMove();
        }
        if (best > 60 && std::max(whiteScore, blackScore) < best) break;
        if (whiteAppeared && whiteScore >= best && !blocked(whiteScore)) take(whiteMove, whiteScore, q);
        const bool blackTouchesChange =
            Contains(changed, blackMove.from) || Contains(changed, blackMove.to) || blackMove.kind != chess::Plain;
        if (blackScore != INT_MIN && blackScore >= best && blackTouchesChange && !blocked(blackScore))
            take(blackMove, blackScore, q);
    }
    if (holding) p->moveScore = best;
    p->move = std::move(found);
    if (holding && best > 60) LinkUndo(p);
}

void TPosSequence::LinkUndo(TChessPosition* p) {
    CQVR_Move* m = p->move.get();
    for (TChessPosition* r = p->previous; r != nullptr; r = r->previous) {
        CQVR_Move* earlier = r->move.get();
        if (earlier == nullptr || !earlier->IsFound() || earlier->IsFirstPosition()) continue;
        if (earlier->fromCell == m->toCell && earlier->toCell == m->fromCell && earlier->Piece() == m->Piece()) {
            m->undoes = earlier;
            earlier->undoneBy = m;
        }
        return;
    }
}

TChessPosition* TPosSequences::AddPosition(const int8_t* cells) {
    if (cells == nullptr) return nullptr;
    if (lastSequence_ == nullptr) lastSequence_ = sequences.Append(std::make_unique<TPosSequence>(nextIndex++, board_));
    return lastSequence_->Append(std::make_unique<TChessPosition>(cells, lastSequence_));
}

std::string TPosSequences::HistoryText() const {
    std::string all;
    for (const TPosSequence* s : sequences) all += s->Text();
    return all.empty() ? kNoSequence : all;
}

std::string TPosSequences::SequenceText(int32_t i) const {
    if (lastSequence_ == nullptr) return kNoSequence;
    if (i < 0 || i >= sequences.Count()) return lastSequence_->Text();
    int32_t at = 0;
    for (const TPosSequence* s : sequences)
        if (at++ == i) return s->Text();
    return kNoSequence;
}

}  // namespace QVRProjects
