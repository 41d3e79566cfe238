#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace QVRProjects {

// "log_boards.txt": a record of every board dump, shared by all ports. The
// file is opened for appending on first use and stays open; records are
// written whole, one at a time, and flushed.
class CQVRBoardLog {
public:
    static constexpr const char* kFileName = "log_boards.txt";

    // Directory of the file; empty means the working directory. Takes effect
    // with the next record.
    static void SetDirectory(const std::string& directory);
    static std::string Path();

    static void Append(std::string_view record);

    // One record: time "hh:nn:ss.zzz", "\nBOARD" + address, ten rows of ten
    // piece characters, and an empty line.
    static std::string Record(const std::tm& localTime, int milliseconds, uint32_t busAddress,
                              const int8_t* squares);
    // The same with the current wall-clock time.
    static std::string RecordNow(uint32_t busAddress, const int8_t* squares);
};

// Character of a piece code in the board log.
char LogCharacter(int8_t code);

}  // namespace QVRProjects
