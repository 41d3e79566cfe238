#pragma once
// How the views call into the window model: inside the event lock, with an
// exception shown to the user (outside the lock) while the program goes on.
#include <functional>

namespace app {
class UserInterface;
}

namespace app::qt {

// False when the call threw.
bool CallModel(UserInterface& ui, const std::function<void()>& call);

}  // namespace app::qt

namespace app::qt {

// The same without the event lock, for a part that takes it itself only for
// a moment (a call that opens dialogs while the ports run on).
bool CallModelUnlocked(UserInterface& ui, const std::function<void()>& call);

}  // namespace app::qt
