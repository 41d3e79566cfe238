#pragma once
// The user interface of a run without a window: messages go to standard
// error; a question is answered yes only when the command line said --yes or
// the user asked the program to close by a signal.
#include <atomic>
#include <mutex>
#include <ostream>

#include "app/user_interface.h"

namespace app::qt {

class HeadlessUserInterface final : public UserInterface {
public:
    HeadlessUserInterface(std::ostream& out, bool answerYes) : out_(out), answerYes_(answerYes) {}

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& title, const std::string& question) override;
    std::optional<std::string> ChooseSaveFile(const std::string& filter) override;
    // No window to draw on: board views stay closed.
    std::unique_ptr<BoardDisplay> CreateBoardDisplay() override;
    void Quit() override { quit_ = true; }

    bool QuitRequested() const { return quit_; }
    // Set while the program asks its close question on behalf of a signal.
    void SetClosingBySignal(bool closing) { closingBySignal_ = closing; }

private:
    std::mutex outLock_;  // messages may come from any thread
    std::ostream& out_;
    const bool answerYes_;
    bool closingBySignal_ = false;
    std::atomic<bool> quit_{false};
};

}  // namespace app::qt
