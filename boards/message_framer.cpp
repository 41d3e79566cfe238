#include "boards/message_framer.h"

namespace QVRProjects {

bool CQVRMessageFramer::Push(uint8_t byte) {
    if (byte & 0x80) {
        buffer_[0] = byte;
        position_ = 1;
        length_ = -1;
        return false;
    }
    if (position_ < 0) {
        // A byte without a start byte before it opens a message but is not kept.
        position_ = 0;
        return false;
    }
    // A header that announces 0 never completes; what does not fit is dropped.
    if (position_ >= kCapacity) return false;
    buffer_[position_++] = byte;
    if (position_ == 3) {
        length_ = ((buffer_[1] & 0x7F) << 7) | (buffer_[2] & 0x7F);
    } else if (length_ > 0 && position_ >= length_) {
        position_ = -1;
        return true;
    }
    return false;
}

}  // namespace QVRProjects
