#include "boards/board_log.h"

#include <chrono>
#include <cstdio>
#include <mutex>

namespace QVRProjects {
namespace {

std::mutex logMutex;
std::string logDirectory;
std::FILE* logFile = nullptr;

std::string PathLocked() {
    if (logDirectory.empty()) return CQVRBoardLog::kFileName;
    std::string path = logDirectory;
    if (path.back() != '/') path += '/';
    return path + CQVRBoardLog::kFileName;
}

void CloseLocked() {
    if (logFile != nullptr) std::fclose(logFile);
    logFile = nullptr;
}

}  // namespace

char LogCharacter(int8_t code) {
    switch (code) {
        case 0: return ' ';
        case 1: return 'o';
        case 4: return 'x';
        case 7: return 'O';
        case 10: return 'X';
        default: return '?';
    }
}

void CQVRBoardLog::SetDirectory(const std::string& directory) {
    std::lock_guard<std::mutex> guard(logMutex);
    if (directory == logDirectory) return;
    CloseLocked();
    logDirectory = directory;
}

std::string CQVRBoardLog::Path() {
    std::lock_guard<std::mutex> guard(logMutex);
    return PathLocked();
}

void CQVRBoardLog::Append(std::string_view record) {
    std::lock_guard<std::mutex> guard(logMutex);
    // A file that cannot be opened is tried again with the next record.
    if (logFile == nullptr) logFile = std::fopen(PathLocked().c_str(), "ab");
    if (logFile == nullptr) return;
    std::fwrite(record.data(), 1, record.size(), logFile);
    std::fflush(logFile);
}

std::string CQVRBoardLog::Record(const std::tm& localTime, int milliseconds, uint32_t busAddress,
                                 const int8_t* squares) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec, milliseconds);
    std::string record = stamp;
    record += "\nBOARD" + std::to_string(busAddress) + "\n";
    for (int row = 0; row < 10; ++row) {
        for (int col = 0; col < 10; ++col) record += LogCharacter(squares[row * 10 + col]);
        record += '\n';
    }
    record += "\n\n";
    return record;
}

std::string CQVRBoardLog::RecordNow(uint32_t busAddress, const int8_t* squares) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return Record(local, static_cast<int>(ms), busAddress, squares);
}

}  // namespace QVRProjects
