#include "app/qt/model_call.h"

#include <exception>
#include <string>

#include "app/user_interface.h"
#include "boards/event_lock.h"

namespace app::qt {

namespace {

bool Guarded(UserInterface& ui, bool lock, const std::function<void()>& call) {
    std::string error;
    try {
        if (lock) {
            QVRProjects::EventLockGuard guard(QVRProjects::EventLock());
            call();
        } else {
            call();
        }
        return true;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    ui.ShowMessage(error);
    return false;
}

}  // namespace

bool CallModel(UserInterface& ui, const std::function<void()>& call) { return Guarded(ui, true, call); }

bool CallModelUnlocked(UserInterface& ui, const std::function<void()>& call) { return Guarded(ui, false, call); }

}  // namespace app::qt
