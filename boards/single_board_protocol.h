#pragma once
// One e-board on its own cable: frames and checks its messages, feeds them to
// the board model, and polls it for ten board dumps, then its clock times.
#include <cstdint>
#include <string_view>

#include "boards/board_protocol.h"
#include "boards/message_framer.h"

namespace QVRProjects {

class CQVRSingleBoardProtocol : public CQVRBoardProtocol {
public:
    // Replies the worker waits for; a board dump is 3 header bytes and 50 squares.
    static constexpr int32_t kDumpReplyLength = 53;
    static constexpr int32_t kMemoryReplyLength = 7939;
    static constexpr int32_t kPollPreWait = 250;

    int32_t preWait = 0;
    uint32_t badMessages = 0;
    int32_t pollState = -1;
    int32_t expectedBoards = 1;
    // The board that answered last and has not been charged a time-out since.
    CQVRBoard* answeringBoard = nullptr;
    // Messages that passed the checks; lets the port owner see whether a
    // reply wait ended with an answer.
    uint32_t acceptedMessages = 0;

    CQVRSingleBoardProtocol(std::string_view cablingName, CQVR_EventHandler onEvent);

    void SetExpectedBoards(int32_t count) override { expectedBoards = count; }
    void UserCommand(int32_t code, std::string_view text, int32_t number) override;

    // Received bytes; returns ReplyComplete (333) when a message completed.
    int32_t OnData(const uint8_t* bytes, int32_t length);
    void OnReplyTimeout();
    void RunPoll();

protected:
    void RemoveBoards();

private:
    bool PollStep();  // true: run the next step at once
    void HandleMessage(const uint8_t* msg, int32_t length);
    bool CheckMessage(const uint8_t* msg, int32_t length);
    void SendCommand(uint8_t command, int32_t wait, int32_t afterWrite, int32_t replyLength, bool allowDuplicate);

    CQVRMessageFramer rx_;
};

}  // namespace QVRProjects
