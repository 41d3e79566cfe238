#include "app/debug_page.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <utility>
#include <vector>

#include "boards/board.h"
#include "boards/board_interface.h"
#include "boards/event_lock.h"
#include "boards/positions.h"

namespace app {

using QVRProjects::CQVRBoard;
using QVRProjects::TChessPosition;
using QVRProjects::TPosSequence;

DebugPage::DebugPage(WindowState& state, UserInterface& ui) : state_(state), ui_(ui) {}

CQVRBoard* DebugPage::FirstBoard() const {
    if (!state_.boardInterface || state_.boardInterface->protocols.Empty()) return nullptr;
    const QVRProjects::CQVRBoardProtocol* protocol = *state_.boardInterface->protocols.begin();
    return protocol->Empty() ? nullptr : *protocol->begin();
}

void DebugPage::ClearMemo() {
    state_.memo.lines.clear();
    state_.memo.selectionStart = 0;
    state_.memo.selectionLength = 0;
    ++state_.memo.revision;
}

void DebugPage::AddMemoLine(std::string line) {
    state_.memo.lines.push_back(std::move(line));
    ++state_.memo.revision;
}

void DebugPage::ButtonPositionClick() {
    CQVRBoard* board = FirstBoard();
    TPosSequence* sequence = board != nullptr ? board->sequences.Last() : nullptr;
    if (sequence == nullptr) return;
    ClearMemo();
    // Each move is found against the moves before it, so all are found first.
    sequence->DetectMovesUpTo(sequence->LastPosition());
    for (TChessPosition* position : sequence->positions) {
        std::string text = position->MoveText(true);
        if (!text.empty()) AddMemoLine(std::move(text));
    }
}

void DebugPage::ButtonLastClick() {
    CQVRBoard* board = FirstBoard();
    TPosSequence* sequence = board != nullptr ? board->sequences.Last() : nullptr;
    TChessPosition* position = sequence != nullptr ? sequence->LastPosition() : nullptr;
    if (position == nullptr) return;
    std::string text = position->MoveText(false);
    if (!text.empty()) AddMemoLine(std::move(text));
}

void DebugPage::ButtonMorePositionsClick() {
    CQVRBoard* board = FirstBoard();
    if (board == nullptr) return;
    ClearMemo();
    for (const TPosSequence* sequence : board->sequences) AddMemoLine(sequence->Text());
}

void DebugPage::ButtonSequenceClick() {
    CQVRBoard* board = FirstBoard();
    if (board == nullptr) return;
    ClearMemo();
    TPosSequence* longest = nullptr;
    for (TPosSequence* sequence : board->sequences) {
        if (longest == nullptr || sequence->positions.Count() > longest->positions.Count()) longest = sequence;
    }
    if (longest == nullptr || longest->positions.Empty()) return;
    AddMemoLine(longest->Text());
    longest->DetectMovesUpTo(longest->LastPosition());
    for (TChessPosition* position : longest->positions) {
        std::string text = position->MoveText(true);
        if (!text.empty()) AddMemoLine(std::move(text));
    }
}

void DebugPage::ButtonSaveClick() {
    std::vector<std::string> lines;
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        lines = state_.memo.lines;
    }
    const std::optional<std::string> name = ui_.ChooseSaveFile(kSaveFilter);
    if (!name) return;

    errno = 0;
    std::ofstream out(*name, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) {
        if (!out) break;
        out << line << '\n';
    }
    if (out) out.close();
    if (!out) {
        const int error = errno;
        std::string message = "Could not save the log to " + *name;
        if (error != 0) message += std::string(": ") + std::strerror(error);
        ui_.ShowMessage(message);
    }
}

}  // namespace app
