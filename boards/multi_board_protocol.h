#pragma once
// Many e-boards on one serial bus, each with a 14-bit address: discovery,
// then one full pass of stored moves, board and clock requests for every
// board followed by fifteen passes of stored-moves requests.
#include <cstdint>
#include <string_view>

#include "boards/board_protocol.h"
#include "boards/message_framer.h"

namespace QVRProjects {

class CQVRMultiBoardProtocol : public CQVRBoardProtocol {
public:
    int32_t preWait = 0;
    uint32_t badMessages = 0;
    int32_t pollState = -1;
    int32_t lastBoardCount = 0;
    int32_t boardCount = 0;
    int32_t expectedBoards = 0;  // 0: as many as answer
    uint32_t acceptedMessages = 0;

    explicit CQVRMultiBoardProtocol(CQVR_EventHandler onEvent);

    void SetExpectedBoards(int32_t count) override { expectedBoards = count < 0 ? 0 : count; }
    // The bus knows no user commands.
    void UserCommand(int32_t, std::string_view, int32_t) override {}

    // Bus command bytes: command, address high and low, checksum.
    static void BuildCommand(uint8_t out[4], uint8_t command, uint32_t address);
    // Pause before each write for `boards` boards on the bus.
    static int32_t PreWaitFor(int32_t boards);

    int32_t OnData(const uint8_t* bytes, int32_t length);
    // `board`: the one the timed-out write was addressed to, or none.
    void OnReplyTimeout(CQVRBoard* board);
    // A write pause ended; `broadcastPause` when it was the discovery broadcast's.
    void OnDelayDone(bool broadcastPause);
    void RunPoll();

protected:
    void RemoveBoards();

private:
    bool PollStep();  // true: run the next step at once
    bool StepDiscovery();
    bool StepFullPass();
    bool StepMovesPass();
    void HandleMessage(const uint8_t* msg, int32_t length);
    const char* CheckMessage(const uint8_t* msg, int32_t length) const;
    void SendToBoard(CQVRBoard* board, uint8_t command, int32_t wait, int32_t afterWrite, int32_t replyLength,
                     bool allowDuplicate);
    void SendBroadcast(uint8_t command, int32_t wait, int32_t afterWrite);
    CQVRBoard* FirstInState(uint32_t busState) const;
    void SetAllStates(uint32_t busState);

    CQVRMessageFramer rx_;
};

}  // namespace QVRProjects
