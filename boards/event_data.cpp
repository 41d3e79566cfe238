#include "boards/event_data.h"

#include <algorithm>
#include <cstring>

#include "boards/event_lock.h"

namespace QVRProjects {

void CQVR_Event_Data::Build(int32_t eventCode, CQVRBoard* eventBoard, CQVRBoardProtocol* eventProtocol,
                            const void* data, int32_t dataLength) {
    code = eventCode;
    board = eventBoard;
    protocol = eventProtocol;
    int32_t n = (data == nullptr || dataLength < 0) ? 0 : std::min(dataLength, kMaxLength);
    if (n > 0) std::memmove(text, data, static_cast<size_t>(n));
    text[n] = '\0';
    length = n;
}

void CQVR_Event_Data::Build(int32_t eventCode, CQVRBoard* eventBoard, CQVRBoardProtocol* eventProtocol,
                            std::string_view data) {
    size_t n = std::min(data.size(), static_cast<size_t>(kMaxLength));
    Build(eventCode, eventBoard, eventProtocol, data.data(), static_cast<int32_t>(n));
}

void CQVR_Event_Data::Deliver() {
    if (!onEvent) return;
    EventLockGuard guard(EventLock());
    onEvent(this);
}

}  // namespace QVRProjects
