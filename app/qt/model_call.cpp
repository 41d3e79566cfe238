#include "app/qt/model_call.h"

#include <exception>
#include <string>

#include "app/user_interface.h"
#include "boards/event_lock.h"

namespace app::qt {

bool CallModel(UserInterface& ui, const std::function<void()>& call) {
    std::string error;
    try {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        call();
        return true;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    ui.ShowMessage(error);
    return false;
}

}  // namespace app::qt
