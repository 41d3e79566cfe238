#pragma once
// The Debug page's buttons: the position history of the first board of the
// first port, with the chess-style move texts of the position finder, and
// saving the text box to a file.
//
// Locking: the board buttons run inside the event lock (the view takes it).
// ButtonSaveClick takes it itself, only to copy the text box; call it without
// the lock so that the ports run on while the dialogs are open.
#include <string>

#include "app/user_interface.h"
#include "app/window_state.h"

namespace QVRProjects {
class CQVRBoard;
}

namespace app {

class DebugPage {
public:
    static constexpr const char* kSaveFilter = "Log files (*.log)|*.LOG";

    DebugPage(WindowState& state, UserInterface& ui);

    DebugPage(const DebugPage&) = delete;
    DebugPage& operator=(const DebugPage&) = delete;

    // "Position": the move of every position of the newest sequence.
    void ButtonPositionClick();
    // "Last": the move of the newest position, below what the box shows.
    void ButtonLastClick();
    // "History": every sequence text.
    void ButtonMorePositionsClick();
    // "Sequence": the longest sequence's text and its moves.
    void ButtonSequenceClick();
    // "Save": the box's lines to a file the user chooses.
    void ButtonSaveClick();

private:
    // The first board of the first protocol, or none.
    QVRProjects::CQVRBoard* FirstBoard() const;
    void ClearMemo();
    void AddMemoLine(std::string line);

    WindowState& state_;
    UserInterface& ui_;
};

}  // namespace app
