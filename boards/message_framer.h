#pragma once
// Collects board messages from the byte stream of a port. A message starts
// with a byte that has the top bit set, followed by its 14-bit total length;
// every other byte has the top bit clear.
#include <cstdint>
#include <memory>

namespace QVRProjects {

class CQVRMessageFramer {
public:
    static constexpr int32_t kCapacity = 256000;

    CQVRMessageFramer() : buffer_(new uint8_t[kCapacity]) {}

    // Takes one byte; true when it completed a message (Message, Length).
    bool Push(uint8_t byte);
    const uint8_t* Message() const { return buffer_.get(); }
    int32_t Length() const { return length_; }
    // The message was handled; the length is forgotten.
    void Handled() { length_ = -1; }

private:
    std::unique_ptr<uint8_t[]> buffer_;
    int32_t position_ = -1;  // -1: no message open
    int32_t length_ = -1;    // -1: not yet known
};

}  // namespace QVRProjects
