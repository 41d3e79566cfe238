#include "app/safe_names.h"

#include "platform/host_info.h"

namespace app {

std::string MakeNameSafe(std::string_view name) {
    std::string safe(name);
    for (std::size_t i = 0; i < safe.size(); ++i) {
        const char c = safe[i];
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit) safe[i] = static_cast<char>('a' + i % 26);
    }
    return safe;
}

std::string SafeComputerName() { return MakeNameSafe(platform::ComputerName().value_or("unkown")); }

std::string SafeUserName() { return MakeNameSafe(platform::UserName().value_or("user")); }

}  // namespace app
