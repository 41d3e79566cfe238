#include "app/qt/headless_ui.h"

#include "app/board_display.h"

namespace app::qt {

void HeadlessUserInterface::ShowMessage(const std::string& text) {
    std::lock_guard lock(outLock_);
    out_ << "sornrumo: " << text << std::endl;
}

bool HeadlessUserInterface::AskYesNo(const std::string& title, const std::string& question) {
    const bool yes = answerYes_ || closingBySignal_;
    std::lock_guard lock(outLock_);
    out_ << "sornrumo: " << title << ": " << question << " " << (yes ? "yes" : "no") << std::endl;
    return yes;
}

std::optional<std::string> HeadlessUserInterface::ChooseSaveFile(const std::string&) { return std::nullopt; }

std::unique_ptr<BoardDisplay> HeadlessUserInterface::CreateBoardDisplay() { return nullptr; }

}  // namespace app::qt
