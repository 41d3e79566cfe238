#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "boards/reconstructor.h"
#include "componentclasses/tllist.h"

namespace QVRProjects {

class CQVRBoard;
class TPosSequence;

// Letters of the position texts: every cell has a letter (light cells "o"),
// every piece code a letter ("_" empty, "P" white man, "B" black man, "p"
// white king, "b" black king).
char CellLetter(int cell);
char PieceLetter(int8_t code);

// One board state of a sequence; never changes once appended, so its texts
// are made once and kept.
class TChessPosition {
public:
    static constexpr int kCells = 100;

    int8_t cells[kCells];
    int8_t view[kCells];
    TPosSequence* sequence = nullptr;
    TChessPosition* previous = nullptr;  // predecessor in the sequence
    std::unique_ptr<CQVR_Move> move;
    int32_t moveScore = 0;
    int32_t kingCellA = -1;  // cell of piece code 5
    int32_t kingCellB = -1;  // cell of piece code 11

    explicit TChessPosition(const int8_t* boardCells, TPosSequence* owner = nullptr);

    // Ascending cells that differ from the predecessor; for the first position
    // of a sequence the cells that are not empty.
    const std::vector<int>& ChangedCells();
    const std::string& ChangeText();
    const std::string& PositionText();

    CQVR_Move* DetectMove();
    // Long algebraic notation of the move, or the change notes when no move
    // was found; empty with hideUndone when a later move took it back.
    std::string MoveText(bool hideUndone);
    const std::string& ChangeNotes();

private:
    friend class TPosSequence;

    bool changedCellsMade_ = false;
    bool changeTextMade_ = false;
    bool moveTextMade_ = false;
    bool changeNotesMade_ = false;
    std::vector<int> changedCells_;
    std::string positionText_;
    std::string changeText_;
    std::string moveText_;
    std::string changeNotes_;
};

// Positions in the order the board showed them, with the running change text.
class TPosSequence : public CQVR_Reconstructor {
public:
    TLList<TChessPosition> positions{true};
    std::string text;  // "@" index ":" then the change text of every position
    int32_t index;
    CQVRBoard* board;

    TPosSequence(int32_t sequenceIndex, CQVRBoard* ownerBoard);

    TChessPosition* Append(std::unique_ptr<TChessPosition> position);
    // The sequence text; "#" when empty.
    const std::string& Text() const;
    TChessPosition* LastPosition() const { return last_; }

    // Finds the moves of every position up to and including `upTo`, oldest
    // first, so each search sees the moves before it.
    void DetectMovesUpTo(TChessPosition* upTo);

private:
    void DetectMove(TChessPosition* position);
    void LinkUndo(TChessPosition* position);

    TChessPosition* last_ = nullptr;
};

// The position history of one board.
class TPosSequences {
public:
    TLList<TPosSequence> sequences{true};
    int32_t nextIndex = 0;

    explicit TPosSequences(CQVRBoard* ownerBoard = nullptr) : board_(ownerBoard) {}

    // Records a board state (100 cells); nothing for absent cells.
    TChessPosition* AddPosition(const int8_t* cells);

    // Every sequence text in order; "#" without any sequence.
    std::string HistoryText() const;
    // Sequence i, or the last one when i is out of range; "#" without any.
    std::string SequenceText(int32_t i) const;
    TPosSequence* LastSequence() const { return lastSequence_; }

private:
    CQVRBoard* board_;
    TPosSequence* lastSequence_ = nullptr;
};

}  // namespace QVRProjects
