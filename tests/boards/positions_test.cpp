#include "boards/positions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "boards/board.h"

namespace QVRProjects {
namespace {

using Cells = std::vector<int8_t>;

Cells EmptyCells() { return Cells(100, 0); }

// Cells with pieces on draughts squares (1-50).
Cells WithSquares(const std::vector<std::pair<int, int8_t>>& pieces) {
    Cells cells = EmptyCells();
    for (auto [square, code] : pieces) cells[static_cast<size_t>(CQVRBoard::CellOfSquare(square - 1))] = code;
    return cells;
}

Cells StartPosition() {
    Cells cells = EmptyCells();
    for (int s = 1; s <= 20; ++s) cells[static_cast<size_t>(CQVRBoard::CellOfSquare(s - 1))] = PieceCode::BlackMan;
    for (int s = 31; s <= 50; ++s) cells[static_cast<size_t>(CQVRBoard::CellOfSquare(s - 1))] = PieceCode::WhiteMan;
    return cells;
}

TEST(PositionLettersTest, CellAndPieceLetters) {
    std::string table;
    for (int cell = 0; cell < 100; ++cell) table += CellLetter(cell);
    EXPECT_EQ(table,
              "onomolokojiohogofoeoodocoboaoZYoXoWoVoUooToSoRoQoPOoNoMoLoKooJoIoHoGoFEoDoCoBoAoo9o8o7o6o54o3o2o1o0o");
    std::string pieces;
    for (int8_t code = 0; code < 13; ++code) pieces += PieceLetter(code);
    EXPECT_EQ(pieces, "_PRNBKQprnbkq");
    // Codes without a letter must not read past the table.
    EXPECT_EQ(PieceLetter(13), '?');
    EXPECT_EQ(PieceLetter(15), '?');
    EXPECT_EQ(PieceLetter(-1), '?');
}

TEST(PositionSequenceTest, ChangeTextsBuildTheSequenceText) {
    TPosSequences history;
    history.AddPosition(WithSquares({{1, PieceCode::BlackMan}, {50, PieceCode::WhiteMan}}).data());
    history.AddPosition(WithSquares({{1, PieceCode::BlackMan}, {45, PieceCode::WhiteMan}}).data());
    EXPECT_EQ(history.SequenceText(-1), "@0:nB0P5P0_");
    EXPECT_EQ(history.HistoryText(), "@0:nB0P5P0_");
}

TEST(PositionSequenceTest, StartPositionAsFirstPosition) {
    TPosSequences history;
    TChessPosition* first = history.AddPosition(StartPosition().data());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ChangeText(), "nBmBlBkBjBiBhBgBfBeBdBcBbBaBZBYBXBWBVBUBJPIPHPGPFPEPDPCPBPAP9P8P7P6P5P4P3P2P1P0P");
    EXPECT_EQ(history.SequenceText(0), "@0:" + first->ChangeText());
    EXPECT_EQ(first->PositionText(),
              "o_nBo_mBo_lBo_kBo_jB"
              "iBo_hBo_gBo_fBo_eBo_"
              "o_dBo_cBo_bBo_aBo_ZB"
              "YBo_XBo_WBo_VBo_UBo_"
              "o_T_o_S_o_R_o_Q_o_P_"
              "O_o_N_o_M_o_L_o_K_o_"
              "o_JPo_IPo_HPo_GPo_FP"
              "EPo_DPo_CPo_BPo_APo_"
              "o_9Po_8Po_7Po_6Po_5P"
              "4Po_3Po_2Po_1Po_0Po_");
}

TEST(PositionSequenceTest, LiftedAndPutBack) {
    TPosSequences history;
    Cells cells = StartPosition();
    history.AddPosition(cells.data());
    const std::string before = history.SequenceText(0);
    const size_t cell32 = static_cast<size_t>(CQVRBoard::CellOfSquare(31));
    cells[cell32] = PieceCode::Empty;
    TChessPosition* lifted = history.AddPosition(cells.data());
    cells[cell32] = PieceCode::WhiteMan;
    TChessPosition* back = history.AddPosition(cells.data());
    EXPECT_EQ(lifted->ChangeText(), "I_");
    EXPECT_EQ(back->ChangeText(), "IP");
    EXPECT_EQ(history.SequenceText(0), before + "I_IP");
    EXPECT_EQ(history.LastSequence()->positions.Count(), 3);
}

TEST(PositionSequenceTest, RepeatedAndEmptyPositions) {
    TPosSequences history;
    const Cells empty = EmptyCells();
    TChessPosition* first = history.AddPosition(empty.data());
    EXPECT_EQ(first->ChangeText(), "");
    EXPECT_EQ(history.SequenceText(0), "@0:");
    // Every call adds a position, even an unchanged one.
    TChessPosition* again = history.AddPosition(empty.data());
    EXPECT_NE(again, first);
    EXPECT_TRUE(again->ChangedCells().empty());
    EXPECT_EQ(history.LastSequence()->positions.Count(), 2);
    EXPECT_EQ(history.SequenceText(0), "@0:");
    // Positions keep their own copy of the cells.
    Cells cells = WithSquares({{3, PieceCode::BlackKing}});
    TChessPosition* king = history.AddPosition(cells.data());
    cells[5] = PieceCode::WhiteKing;
    EXPECT_EQ(king->PositionText().substr(10, 2), "lb");
    EXPECT_EQ(king->ChangeText(), "lb");
}

TEST(PositionSequenceTest, TextsWithoutSequences) {
    TPosSequences history;
    EXPECT_EQ(history.AddPosition(nullptr), nullptr);
    EXPECT_EQ(history.SequenceText(5), "#");
    EXPECT_EQ(history.SequenceText(0), "#");
    EXPECT_EQ(history.HistoryText(), "#");
    EXPECT_EQ(history.LastSequence(), nullptr);
    EXPECT_EQ(history.nextIndex, 0);
}

TEST(PositionSequenceTest, SequenceIndexOutOfRangeMeansTheLast) {
    TPosSequences history;
    history.AddPosition(WithSquares({{50, PieceCode::WhiteKing}}).data());
    for (int32_t i : {-1, 0, 1, 5}) EXPECT_EQ(history.SequenceText(i), "@0:0p") << i;
    EXPECT_EQ(history.nextIndex, 1);
    EXPECT_EQ(history.sequences.Count(), 1);
}

TEST(PositionSequenceTest, BoardIsTheSequencesOwner) {
    CQVRBoard board(12, nullptr);
    const Cells cells = StartPosition();
    TChessPosition* p = board.AddPosition(cells.data());
    ASSERT_NE(board.LastSequence(), nullptr);
    EXPECT_EQ(board.LastSequence()->board, &board);
    EXPECT_EQ(p->sequence, board.LastSequence());
}

}  // namespace
}  // namespace QVRProjects
