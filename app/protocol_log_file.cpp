#include "app/protocol_log_file.h"

namespace app {

ProtocolLogFile::ProtocolLogFile(const std::filesystem::path& folder)
    : path_(folder.empty() ? std::filesystem::path(kFileName) : folder / kFileName) {
    file_ = std::fopen(path_.c_str(), "ab");
}

ProtocolLogFile::~ProtocolLogFile() { Close(); }

bool ProtocolLogFile::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ != nullptr;
}

void ProtocolLogFile::WriteLine(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr) return;
    // A full disk or a lost drive only costs lines; the next write tries again.
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void ProtocolLogFile::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace app
