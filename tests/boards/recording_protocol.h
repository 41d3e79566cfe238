#pragma once
// A protocol whose writes and events are recorded instead of reaching a port,
// for driving the protocol logic message by message.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "boards/board_protocol.h"

namespace QVRProjects::testing {

struct Write {
    std::vector<uint8_t> bytes;
    int32_t preWait = 0;
    int32_t afterWrite = 0;
    int32_t replyLength = 0;
    bool allowDuplicate = false;
};

struct Event {
    int32_t code = 0;
    std::string text;
    CQVRBoard* board = nullptr;
    CQVRBoardProtocol* protocol = nullptr;
};

struct EventLog {
    std::vector<Event> events;
    CQVR_EventHandler Handler() {
        return [this](CQVR_Event_Data* e) { events.push_back({e->code, std::string(e->Text()), e->board, e->protocol}); };
    }
    std::vector<int32_t> Codes() const {
        std::vector<int32_t> codes;
        for (const auto& e : events) codes.push_back(e.code);
        return codes;
    }
    std::vector<std::string> TextsOf(int32_t code) const {
        std::vector<std::string> texts;
        for (const auto& e : events)
            if (e.code == code) texts.push_back(e.text);
        return texts;
    }
};

template <class Protocol>
class Recording : public Protocol {
public:
    std::vector<Write> writes;

    template <class... Args>
    explicit Recording(Args&&... args) : Protocol(std::forward<Args>(args)...) {}

    void Send(int32_t preWait, const uint8_t* data, int32_t length, int32_t afterWrite, int32_t replyLength,
              bool allowDuplicate) override {
        writes.push_back({std::vector<uint8_t>(data, data + length), preWait, afterWrite, replyLength, allowDuplicate});
    }
    bool Open(std::string_view) override { return true; }
    void Stop() override {}
    bool IsStopped() override { return true; }
    bool HasFailed() override { return false; }

    int32_t Feed(const std::vector<uint8_t>& bytes) {
        return this->OnData(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    // First byte of every write since `from`.
    std::vector<uint8_t> CommandsSince(size_t from) const {
        std::vector<uint8_t> commands;
        for (size_t i = from; i < writes.size(); ++i) commands.push_back(writes[i].bytes.front());
        return commands;
    }
};

// Board-side framing, written out here so that the tests do not reuse the
// code under test.
inline std::vector<uint8_t> CableMessage(uint8_t id, std::vector<uint8_t> payload) {
    const size_t length = payload.size() + 3;
    std::vector<uint8_t> message(length);
    message[0] = static_cast<uint8_t>(0x80 | id);
    message[1] = static_cast<uint8_t>(length >> 7);
    message[2] = static_cast<uint8_t>(length & 0x7F);
    std::copy(payload.begin(), payload.end(), message.begin() + 3);
    return message;
}

inline std::vector<uint8_t> BusMessage(uint8_t id, uint32_t address, std::vector<uint8_t> payload) {
    const size_t length = payload.size() + 6;
    std::vector<uint8_t> message(length);
    message[0] = static_cast<uint8_t>(0x80 | id);
    message[1] = static_cast<uint8_t>(length >> 7);
    message[2] = static_cast<uint8_t>(length & 0x7F);
    message[3] = static_cast<uint8_t>(address >> 7);
    message[4] = static_cast<uint8_t>(address & 0x7F);
    std::copy(payload.begin(), payload.end(), message.begin() + 5);
    unsigned sum = 0;
    for (size_t i = 0; i + 1 < length; ++i) sum += message[i];
    message[length - 1] = static_cast<uint8_t>(sum & 0x7F);
    return message;
}

}  // namespace QVRProjects::testing
