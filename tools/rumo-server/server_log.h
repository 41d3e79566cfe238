#pragma once
// The server's log: time-stamped lines to a file, or nowhere.

#include <fstream>
#include <mutex>
#include <string>

namespace rumoserver {

class ServerLog {
public:
    // "" logs nothing; false when the file cannot be opened.
    bool Open(const std::string& path);
    void Write(const std::string& message);

private:
    std::mutex mutex_;
    std::ofstream file_;
};

}  // namespace rumoserver
