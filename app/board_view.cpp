#include "app/board_view.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "boards/board.h"
#include "boards/event_lock.h"

namespace app {

namespace {

// The folder of the running program; the working directory when the system
// does not tell.
std::filesystem::path ProgramFolder() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) {
        return std::filesystem::current_path(error);
    }
    return program.parent_path();
}

}  // namespace

BoardView::BoardView(std::unique_ptr<BoardDisplay> display) : display_(std::move(display)) {
    display_->SetNoticeHandler([this](const std::string& command, const std::string& argument) {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        ShockwaveFlash1FSCommand(command, argument);
    });
}

BoardView::~BoardView() {
    // A port worker may be handing the display a command right now.
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    display_->SetNoticeHandler(nullptr);
    commands_.Clear();
    boardObject_ = nullptr;
    currentPosition_ = nullptr;
    display_.reset();
}

void BoardView::FormShow() {
    display_->SetMovie((ProgramFolder() / kBoardMovieFile).string());
}

void BoardView::Show() {
    FormShow();
    display_->Show();
}

void BoardView::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    display_->SetCaption(caption_);
}

TLList<QVRProjects::TChessPosition>* BoardView::History() const {
    if (boardObject_ == nullptr) {
        return nullptr;
    }
    auto* board = static_cast<QVRProjects::CQVRBoard*>(boardObject_->ptrTags[0]);
    if (board == nullptr || board->LastSequence() == nullptr) {
        return nullptr;
    }
    return &board->LastSequence()->positions;
}

void BoardView::Enqueue(std::int32_t code, std::string text) {
    auto* command = commands_.Append(std::make_unique<TFlashCommand>(TFlashCommand{code, std::move(text)}));
    Send(command);
}

void BoardView::Send(TFlashCommand* command) {
    if (movieReady_ == 0 || command == nullptr) {
        return;
    }
    movieReady_ = 0;
    display_->SetVariable("app_data", command->text);
    display_->SetVariable("app_cmd", std::to_string(command->code));
}

void BoardView::ShowPosition(QVRProjects::TChessPosition* position) {
    currentPosition_ = position;
    TLList<QVRProjects::TChessPosition>* history = History();
    // With no history yet the empty board is the newest there is: keep
    // following, or a view opened before the first position never moves.
    const bool newest = position != nullptr ? history != nullptr && history->Last() == position
                                            : history == nullptr || history->Empty();
    atEnd_ = newest ? 1 : 0;
    Enqueue(FlashCode::Position, position != nullptr ? position->PositionText() : std::string(kEmptyBoardText));
}

void BoardView::SetBoardObject(TAE_Object* object) {
    if (object == nullptr) {
        return;
    }
    boardObject_ = object;
    if (object->ptrTags[0] == nullptr) {
        SetCaption("not a local board?");
        return;
    }
    TLList<QVRProjects::TChessPosition>* history = History();
    ShowPosition(history != nullptr ? history->Last() : nullptr);
    SetCaption("Table " + object->GetValue("table") + " (" + object->GetValue("busadres") + ")");
    Enqueue(FlashCode::WhitePlayer, object->GetValue("whiteplayer"));
    Enqueue(FlashCode::BlackPlayer, object->GetValue("blackplayer"));
    Enqueue(FlashCode::WhiteClock, object->GetValue("clockwhite"));
    Enqueue(FlashCode::BlackClock, object->GetValue("clockblack"));
}

void BoardView::ForgetBoardObject() {
    boardObject_ = nullptr;
    currentPosition_ = nullptr;
}

void BoardView::OnBoardChange(TAE_Event& event) {
    if (boardObject_ == nullptr || event.value == nullptr) {
        return;
    }
    const std::string& name = event.value->name;
    // A removed value still holds its old text while its event runs.
    const std::string text = event.deleted ? std::string() : event.value->value;
    if (name == "clockwhite") {
        Enqueue(FlashCode::WhiteClock, text);
    } else if (name == "clockblack") {
        Enqueue(FlashCode::BlackClock, text);
    } else if (name == "whiteplayer") {
        Enqueue(FlashCode::WhitePlayer, text);
    } else if (name == "blackplayer") {
        Enqueue(FlashCode::BlackPlayer, text);
    } else if (name == "sequence" && atEnd_ != 0) {
        TLList<QVRProjects::TChessPosition>* history = History();
        ShowPosition(history != nullptr ? history->Last() : nullptr);
    }
}

void BoardView::ShockwaveFlash1FSCommand(const std::string& command, const std::string& argument) {
    if (boardObject_ == nullptr) {
        return;
    }
    if (command == "ready") {
        movieReady_ = 1;
        if (TFlashCommand* done = commands_.First()) {
            commands_.Remove(done, true);
        }
        Send(commands_.First());
    } else if (command == "buttonclick" && boardObject_->ptrTags[0] != nullptr) {
        ButtonClick(argument);
    }
}

void BoardView::ButtonClick(const std::string& button) {
    if (button != "First" && button != "Last" && button != "Previous" && button != "Next") {
        return;
    }
    TLList<QVRProjects::TChessPosition>* history = History();
    if (history == nullptr || history->Empty()) {
        ShowPosition(nullptr);
        return;
    }
    if (button == "First") {
        ShowPosition(history->First());
        return;
    }
    if (button == "Last") {
        ShowPosition(history->Last());
        return;
    }
    // The shown position may come from an earlier e-board of this object; one
    // that is not in the history counts as none.
    const std::int32_t index = currentPosition_ != nullptr ? history->Find(currentPosition_) : -1;
    const bool previous = button == "Previous";
    if (index < 0) {
        ShowPosition(previous ? history->First() : history->Last());
        return;
    }
    if (QVRProjects::TChessPosition* next = history->At(previous ? index - 1 : index + 1)) {
        ShowPosition(next);
    }
}

}  // namespace app
