#pragma once
// The library's trace of every call it receives, one line per call.

#include <ctime>
#include <fstream>
#include <string>

namespace dam {

class logfile {
public:
    // Opens (and truncates) the file; when it cannot be opened the lines are silently dropped.
    explicit logfile(std::string file_name);

    // "logs/rumo_dll" + seconds since 1970 + ".txt".
    static std::string name_at(std::time_t seconds);

    const std::string& name() const { return file_name_; }
    std::ostream& stream() { return out_; }

private:
    std::string file_name_;
    std::ofstream out_;
};

} // namespace dam
