#include "tools/rumo-server/server_log.h"

#include <chrono>
#include <ctime>

namespace rumoserver {

bool ServerLog::Open(const std::string& path)
{
    if (path.empty())
        return true;
    file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
    return file_.is_open();
}

void ServerLog::Write(const std::string& message)
{
    std::lock_guard lock(mutex_);
    if (!file_.is_open())
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    file_ << stamp << " - " << message << '\n';
    file_.flush();
}

}  // namespace rumoserver
