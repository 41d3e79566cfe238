#pragma once
// "log_protocol.txt": the bytes read from and written to every e-board port and
// every board error, at every log level, also after the log has stopped.
//
// Each line is handed to the operating system as soon as it is written. The
// file is what is read after a crash or a power cut in the hall, so nothing
// may wait in the program's buffer; what the kernel holds reaches the disk
// within its writeback interval (seconds). A line costs one write call, little
// beside the few hundred lines a second that 9600-baud ports can produce.
//
// Lines stay whole: port workers write concurrently, kept apart by the file's
// own lock (independent of the event lock). A file that cannot be opened loses
// its lines without a word; the program runs on.
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace app {

class ProtocolLogFile {
public:
    static constexpr const char* kFileName = "log_protocol.txt";

    // Opens folder/log_protocol.txt for appending, creating it when missing.
    // An empty folder means the working directory.
    explicit ProtocolLogFile(const std::filesystem::path& folder);
    ~ProtocolLogFile();

    ProtocolLogFile(const ProtocolLogFile&) = delete;
    ProtocolLogFile& operator=(const ProtocolLogFile&) = delete;

    bool IsOpen() const;
    const std::filesystem::path& Path() const { return path_; }

    // Appends the text and a line break, and passes both on to the system.
    void WriteLine(std::string_view text);

    // Later lines are dropped. The destructor closes too.
    void Close();

private:
    const std::filesystem::path path_;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

}  // namespace app
