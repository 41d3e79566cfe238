#pragma once
// The base of every e-board protocol: the boards found on one port, the
// port's event record and the queue of user commands.
#include <cstdint>
#include <string>
#include <string_view>

#include "boards/board.h"
#include "boards/event_data.h"
#include "componentclasses/tllist.h"

namespace QVRProjects {

// The boards of one port; removing one deletes it.
class CQVRBoardCollection : public TLList<CQVRBoard> {
public:
    CQVRBoardCollection() : TLList<CQVRBoard>(true) {}
};

// A write waiting in a protocol's user command queue.
struct CUserCommand {
    static constexpr int32_t kCapacity = 1024;

    int32_t preWait = 0;
    uint8_t data[kCapacity] = {};
    int32_t length = 0;
    int32_t afterWrite = 0;
    int32_t replyLength = 0;
    uint8_t allowDuplicate = 0;

    // Bytes beyond the capacity are cut.
    CUserCommand(int32_t preWaitMs, const uint8_t* bytes, int32_t byteCount, int32_t afterWriteMs,
                 int32_t replyBytes, bool duplicateAllowed);
};

class CQVRBoardProtocol : public CQVRBoardCollection {
public:
    static constexpr size_t kNameCapacity = 1023;

    CQVR_Event_Data events;
    std::string cabling;
    std::string portName = "unknown";
    TLList<CUserCommand> userCommands{true};
    // The row of the port in the window's connection grid; not used here.
    int32_t gridRow = 0;

    CQVRBoardProtocol(std::string_view cablingName, CQVR_EventHandler onEvent);
    // Announces and deletes the boards.
    virtual ~CQVRBoardProtocol();

    CQVRBoardProtocol(const CQVRBoardProtocol&) = delete;
    CQVRBoardProtocol& operator=(const CQVRBoardProtocol&) = delete;

    // Queues bytes for the port, with the values of a serial worker write.
    virtual void Send(int32_t preWait, const uint8_t* data, int32_t length, int32_t afterWrite, int32_t replyLength,
                      bool allowDuplicate) = 0;
    // True for a protocol whose boards count as active without traffic; none of ours.
    virtual bool ActiveWithoutTraffic() const { return false; }
    virtual void SetExpectedBoards(int32_t count) = 0;
    // Opens the port that the text names; false when it names none.
    virtual bool Open(std::string_view portText) = 0;
    virtual void Stop() = 0;
    virtual bool IsStopped() = 0;
    virtual bool HasFailed() = 0;
    // Ends and joins the port's worker, if the protocol has one. Not inside
    // the event lock: a running report may be waiting for it.
    virtual void EndWorker() {}
    virtual void UserCommand(int32_t code, std::string_view text, int32_t number) = 0;

    // The board with that bus address, or none.
    CQVRBoard* BoardAt(uint32_t address) const;

protected:
    void RaiseProtocolEvent(int32_t code, std::string_view text);
    void RaiseProtocolEvent(int32_t code, const uint8_t* bytes, int32_t length);
    // Raised through the protocol's record with neither board nor protocol set.
    void RaiseCheckError(std::string_view text);
    // Creates a board, appends it and makes this protocol its owner.
    CQVRBoard* AddBoard(uint32_t address);
    // Announces every board's removal, then deletes them all.
    void RemoveAllBoards();
    // Sends the oldest user command, if any, and drops it.
    void SendOldestUserCommand();

    CQVR_EventHandler onEvent_;
};

}  // namespace QVRProjects
