#pragma once
// What the window model asks of its toolkit: questions, messages, a file name,
// a board display, and the end of the program. The Qt build answers with
// dialogs; the headless build on standard error and from its command line.
#include <memory>
#include <optional>
#include <string>

namespace app {

class BoardDisplay;

class UserInterface {
public:
    virtual ~UserInterface() = default;

    virtual void ShowMessage(const std::string& text) = 0;
    virtual bool AskYesNo(const std::string& title, const std::string& question) = 0;
    // filter as "Log files (*.log)|*.LOG"; none when the user cancels.
    virtual std::optional<std::string> ChooseSaveFile(const std::string& filter) = 0;
    // The surface a board view draws on.
    virtual std::unique_ptr<BoardDisplay> CreateBoardDisplay() = 0;
    // Ends the event loop; called on the main thread.
    virtual void Quit() = 0;
};

}  // namespace app
