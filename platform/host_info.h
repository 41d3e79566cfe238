#pragma once
// Names of this computer and its user, as shown to the tournament server.
#include <optional>
#include <string>

namespace platform {

// The host name up to its first "." (a "." would split a board's object
// name); nothing when the system does not tell.
std::optional<std::string> ComputerName();
// The login name of the process' user; nothing when unknown.
std::optional<std::string> UserName();
// System name and release, for example "Linux 6.1.0"; nothing when unknown.
std::optional<std::string> OsVersion();

}  // namespace platform
