#include "app/debug_page.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/board_display.h"
#include "app/window_state.h"
#include "boards/board.h"
#include "boards/board_interface.h"
#include "tests/app/scratch_folder.h"

namespace {

using Lines = std::vector<std::string>;
using QVRProjects::CQVRBoard;
using QVRProjects::CQVRBoardProtocol;

class RecordingUserInterface : public app::UserInterface {
public:
    std::optional<std::string> saveName;
    std::vector<std::string> filters;
    std::vector<std::string> messages;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseSaveFile(const std::string& filter) override {
        filters.push_back(filter);
        return saveName;
    }
    std::unique_ptr<app::BoardDisplay> CreateBoardDisplay() override { return nullptr; }
    void Quit() override {}
};

// 100 cells with the given pieces.
std::vector<int8_t> Cells(const std::map<int, int8_t>& pieces) {
    std::vector<int8_t> cells(CQVRBoard::kCells, 0);
    for (const auto& [cell, piece] : pieces) cells[cell] = piece;
    return cells;
}

// Chess codes on the first 64 cells: cell 12 is e7, 28 e5, 36 e4, 52 e2, 45 f3, 62 g1.
constexpr int8_t kWhitePawn = 1, kWhiteKnight = 3, kBlackPawn = 7;

class DebugPageTest : public ::testing::Test {
public:
    app::WindowState state;
    RecordingUserInterface ui;
    app::DebugPage page{state, ui};
    CQVRBoardProtocol* protocol = nullptr;
    CQVRBoard* board = nullptr;

    // The first port with one board that has seen no position yet.
    void AddBoard() {
        state.boardInterface = std::make_unique<QVRProjects::CQVRBoardInterface>();
        protocol = state.boardInterface->Create("serial", {});
        board = new CQVRBoard(1, {});
        board->owner = protocol;
        protocol->Append(board);
    }
    void Show(const std::map<int, int8_t>& pieces) { board->AddPosition(Cells(pieces).data()); }
    // Black man on square 1 and white man on square 50, then the white man on square 45.
    void ShowDraughtsExample() {
        Show({{1, 4}, {98, 1}});
        Show({{1, 4}, {89, 1}});
    }
    void ShowPawnMoves() {
        Show({{12, kBlackPawn}, {52, kWhitePawn}});
        Show({{12, kBlackPawn}, {36, kWhitePawn}});
        Show({{28, kBlackPawn}, {36, kWhitePawn}});
    }
};

TEST_F(DebugPageTest, ButtonsDoNothingWithoutABoardOrPositions) {
    const std::vector<std::function<void(DebugPageTest&)>> setups = {
        [](DebugPageTest&) {},                                      // no board interface
        [](DebugPageTest& t) {                                      // no protocol
            t.state.boardInterface = std::make_unique<QVRProjects::CQVRBoardInterface>();
        },
        [](DebugPageTest& t) {                                      // a protocol without boards
            t.state.boardInterface = std::make_unique<QVRProjects::CQVRBoardInterface>();
            t.state.boardInterface->Create("serial", {});
        },
    };
    for (size_t i = 0; i < setups.size(); ++i) {
        state.boardInterface.reset();
        setups[i](*this);
        state.memo.lines = {"kept"};
        page.ButtonPositionClick();
        page.ButtonLastClick();
        page.ButtonMorePositionsClick();
        page.ButtonSequenceClick();
        EXPECT_EQ(state.memo.lines, Lines{"kept"}) << "setup " << i;
    }

    // A board that has shown nothing: no moves to list, and no sequence to show.
    AddBoard();
    state.memo.lines = {"kept"};
    page.ButtonPositionClick();
    page.ButtonLastClick();
    EXPECT_EQ(state.memo.lines, Lines{"kept"});
    page.ButtonSequenceClick();
    EXPECT_TRUE(state.memo.lines.empty());
}

TEST_F(DebugPageTest, HistoryAndSequenceShowTheSequenceTexts) {
    AddBoard();
    ShowDraughtsExample();
    state.memo.lines = {"old"};
    const std::uint64_t revision = state.memo.revision;

    page.ButtonMorePositionsClick();
    EXPECT_EQ(state.memo.lines, Lines{"@0:nB0P5P0_"});
    EXPECT_GT(state.memo.revision, revision);

    // Outside the 64 chess cells no move is found: the changes are listed.
    page.ButtonSequenceClick();
    EXPECT_EQ(state.memo.lines, (Lines{"@0:nB0P5P0_", "{start} {B@b8}  {P@cB} ", " {P@bN}  {_@cB} "}));
}

TEST_F(DebugPageTest, PositionListsTheMovesAndLastAddsTheNewest) {
    AddBoard();
    ShowPawnMoves();
    state.memo.lines = {"old"};
    page.ButtonPositionClick();
    EXPECT_EQ(state.memo.lines, (Lines{"{start} {p@e7}  {P@e2} ", "e2-e4", "e7-e5"}));

    page.ButtonLastClick();
    EXPECT_EQ(state.memo.lines, (Lines{"{start} {p@e7}  {P@e2} ", "e2-e4", "e7-e5", "e7-e5"}));
}

TEST_F(DebugPageTest, ListingLeavesOutAMoveThatWasTakenBack) {
    AddBoard();
    Show({{62, kWhiteKnight}});
    Show({{45, kWhiteKnight}});
    Show({{62, kWhiteKnight}});
    page.ButtonPositionClick();
    EXPECT_EQ(state.memo.lines, (Lines{"{start} {N@g1} ", "Nf3-g1"}));
}

TEST_F(DebugPageTest, SequenceTakesTheFirstOfTheLongest) {
    AddBoard();
    // Sequences as a board would hold them if it began new ones.
    const int sizes[] = {1, 2, 2};
    for (int index = 0; index < 3; ++index) {
        auto* sequence = board->sequences.Append(std::make_unique<QVRProjects::TPosSequence>(index, board));
        for (int i = 0; i < sizes[index]; ++i) {
            sequence->Append(std::make_unique<QVRProjects::TChessPosition>(
                Cells({{62 - i * 17, kWhiteKnight}}).data(), sequence));
        }
    }
    page.ButtonSequenceClick();
    ASSERT_FALSE(state.memo.lines.empty());
    EXPECT_EQ(state.memo.lines.front().substr(0, 3), "@1:");
    EXPECT_EQ(state.memo.lines.back(), "Ng1-f3");
}

TEST_F(DebugPageTest, SaveWritesTheLinesToTheChosenFile) {
    ScratchFolder folder;
    const auto path = folder.Path() / "debug.log";
    state.memo.lines = {"14:03:07.045 [DB] a", "", "last"};
    ui.saveName = path.string();
    page.ButtonSaveClick();
    EXPECT_EQ(ui.filters, Lines{"Log files (*.log)|*.LOG"});
    EXPECT_EQ(ScratchFolder::ReadFile(path), "14:03:07.045 [DB] a\n\nlast\n");
    EXPECT_TRUE(ui.messages.empty());

    // A shorter box replaces the file.
    state.memo.lines = {"x"};
    page.ButtonSaveClick();
    EXPECT_EQ(ScratchFolder::ReadFile(path), "x\n");
}

TEST_F(DebugPageTest, SaveReportsAFileThatCannotBeWrittenAndCancelWritesNothing) {
    ScratchFolder folder;
    state.memo.lines = {"line"};
    ui.saveName = (folder.Path() / "no such folder" / "debug.log").string();
    page.ButtonSaveClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("no such folder"), std::string::npos);

    ui.saveName.reset();
    page.ButtonSaveClick();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
