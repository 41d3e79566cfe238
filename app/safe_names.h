#pragma once
// Computer and user names made safe for object names: every character that is
// not an ASCII letter or digit becomes a lower-case letter chosen by its
// position ("MY-PC" gives "MYcPC").
#include <string>
#include <string_view>

namespace app {

std::string MakeNameSafe(std::string_view name);
// "unkown" when the system does not tell the computer name.
std::string SafeComputerName();
// "user" when the system does not tell the user name.
std::string SafeUserName();

}  // namespace app
