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
