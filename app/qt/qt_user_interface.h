#pragma once
// The window model's questions and messages as Qt dialogs.
#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/user_interface.h"

namespace app::qt {

// "Log files (*.log)|*.LOG" (description|pattern pairs) as a Qt file dialog
// filter: "Log files (*.log *.LOG)". Patterns are matched in either case.
QString QtFileFilter(const std::string& filter);

class QtUserInterface final : public UserInterface {
public:
    // Dialogs are centred on this window once it exists.
    void SetWindow(QWidget* window) { window_ = window; }

    // Off the GUI thread the message is queued and shown later.
    void ShowMessage(const std::string& text) override;
    // Off the GUI thread there is nobody to ask: the answer is no.
    bool AskYesNo(const std::string& title, const std::string& question) override;
    std::optional<std::string> ChooseSaveFile(const std::string& filter) override;
    std::unique_ptr<BoardDisplay> CreateBoardDisplay() override;
    void Quit() override;

private:
    QPointer<QWidget> window_;
};

}  // namespace app::qt
