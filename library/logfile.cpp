#include "library/logfile.h"

#include <utility>

namespace dam {

logfile::logfile(std::string file_name)
    : file_name_(std::move(file_name)), out_(file_name_, std::ios::out | std::ios::trunc)
{
}

std::string logfile::name_at(std::time_t seconds)
{
    return "logs/rumo_dll" + std::to_string(static_cast<long long>(seconds)) + ".txt";
}

} // namespace dam
