#pragma once
// The window that shows one board live: its position, the players' names and
// the clock times, drawn by a board display fed one numbered command at a
// time. The buttons of the display step through the board's position history;
// while the newest position is shown, new positions are followed.
//
// Locking: SetBoardObject, OnBoardChange and Show are called with the event
// lock held, like every part; the display's notices come without it and the
// view takes it for them.
#include <cstdint>
#include <memory>
#include <string>

#include "app/board_display.h"
#include "app/window_services.h"
#include "boards/positions.h"
#include "componentclasses/tllist.h"
#include "objects/tree.h"

namespace app {

// One command for the display: the text goes to "app_data", the code to "app_cmd".
struct TFlashCommand {
    std::int32_t code = 0;
    std::string text;
};

// The movie the display plays, beside the program.
inline constexpr const char* kBoardMovieFile = "plexaview_component.swf";

class BoardView final : public BoardViewWindow {
public:
    // The view owns its display, which must be given.
    explicit BoardView(std::unique_ptr<BoardDisplay> display);
    // Drops the queued commands and forgets the board object and the position.
    ~BoardView() override;
    BoardView(const BoardView&) = delete;
    BoardView& operator=(const BoardView&) = delete;

    // Binds the view to a board object and sends its position, players and
    // clocks; nothing for none.
    void SetBoardObject(TAE_Object* object);
    // A value event of the board object.
    void OnBoardChange(TAE_Event& event) override;
    // Shows the display (loading the movie).
    void Show() override;
    void FormShow();
    // Drops the board object, for one that is being deleted; the view then
    // shows nothing new until a board is set again.
    void ForgetBoardObject();

    // A notice of the display ("ready", "buttonclick"); the caller holds the
    // event lock. The display's own notices arrive here through the lock.
    void ShockwaveFlash1FSCommand(const std::string& command, const std::string& argument);

    TAE_Object* BoardObject() const { return boardObject_; }
    QVRProjects::TChessPosition* CurrentPosition() const { return currentPosition_; }
    bool AtEnd() const { return atEnd_ != 0; }
    bool MovieReady() const { return movieReady_ != 0; }
    // Commands not yet confirmed by the display; the first is in progress.
    std::int32_t PendingCommands() const { return commands_.Count(); }
    const std::string& Caption() const { return caption_; }

private:
    void Enqueue(std::int32_t code, std::string text);
    void Send(TFlashCommand* command);
    void ShowPosition(QVRProjects::TChessPosition* position);
    void ButtonClick(const std::string& button);
    void SetCaption(std::string caption);
    // The positions of the board record's newest sequence; none without record or sequence.
    TLList<QVRProjects::TChessPosition>* History() const;

    std::unique_ptr<BoardDisplay> display_;
    std::string caption_ = "FormBoard";
    std::uint8_t atEnd_ = 1;
    TAE_Object* boardObject_ = nullptr;
    QVRProjects::TChessPosition* currentPosition_ = nullptr;
    TLList<TFlashCommand> commands_{true};
    std::uint8_t movieReady_ = 1;
};

}  // namespace app
