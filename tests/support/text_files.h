#pragma once
// Reading the files that programs under test write.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace testsupport
