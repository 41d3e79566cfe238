#include "platform/host_info.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::optional<std::string> ComputerName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
    std::string host(name);
    host = host.substr(0, host.find('.'));
    if (host.empty()) return std::nullopt;
    return host;
}

std::optional<std::string> UserName() {
    const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_name == nullptr || found->pw_name[0] == '\0')
        return std::nullopt;
    return std::string(found->pw_name);
}

std::optional<std::string> OsVersion() {
    utsname system{};
    if (uname(&system) != 0) return std::nullopt;
    return std::string(system.sysname) + " " + system.release;
}

}  // namespace platform
