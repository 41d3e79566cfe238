#pragma once
// Binds a board protocol to its own serial worker: the port-related
// operations, and the translation of every worker report into protocol
// actions and events. The whole handling of one report runs inside the event
// lock, so the boards, the protocol and everything the event handler touches
// change one report at a time across all ports.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "boards/event_lock.h"
#include "boards/multi_board_protocol.h"
#include "boards/single_board_protocol.h"
#include "serial/serial_io.h"

namespace QVRProjects {

// Every port runs at this rate.
constexpr uint32_t kPortBaudRate = 9600;
// The bus's discovery broadcast command.
constexpr uint8_t kDiscoveryBroadcast = 0x87;
// Serial errors in a row that are reported before the port is given up.
constexpr int32_t kReportedSerialErrors = 6;

// The port name in a port text: its first word ("ttyUSB0 USB" names ttyUSB0).
std::string PortNameOf(std::string_view portText);

// Follows the worker's reply wait. A wait can end without an accepted
// message (a rejected reply, or the counted bytes arrived but framed
// nothing); no time-out follows then, so the owner moves the cycle on.
class CQVRReplyWatch {
public:
    void Sent(const TSerialSendBuf& item, uint32_t acceptedSoFar) {
        open_ = item.afterWrite > 0;
        expected_ = item.replyLength > 0 ? item.replyLength : 0;
        received_ = 0;
        acceptedAtSend_ = acceptedSoFar;
    }
    // True when this delivery ended the wait and no message was accepted during it.
    bool EndedUnanswered(int32_t length, int32_t dataResult, uint32_t acceptedNow) {
        if (!open_) return false;
        received_ += length;
        const bool ended = expected_ > 0 ? received_ >= expected_ : dataResult == ReplyComplete;
        if (!ended) return false;
        open_ = false;
        return acceptedNow == acceptedAtSend_;
    }
    void TimedOut() { open_ = false; }

private:
    bool open_ = false;
    int32_t expected_ = 0;
    int32_t received_ = 0;
    uint32_t acceptedAtSend_ = 0;
};

template <class Protocol>
class CQVRSerialPortOwner : public Protocol {
    static constexpr bool kBus = std::is_base_of_v<CQVRMultiBoardProtocol, Protocol>;

public:
    // Consecutive serial error reports.
    int32_t errorReports = 0;
    // Set when the port was given up after repeated errors; Open clears it.
    uint8_t failed = 0;
    // Set at the start of destruction; reports then no longer restart the poll.
    std::atomic<uint8_t> closing{0};
    std::unique_ptr<TSerialIO> worker;

    using Protocol::Protocol;

    // Ends and joins the worker, then announces and deletes the boards while
    // the protocol is still whole. Must not run inside the event lock, which
    // the worker's report handler takes.
    ~CQVRSerialPortOwner() override {
        EndWorker();
        this->RemoveBoards();
    }

    // The most derived destructor calls this first: a report still running
    // makes virtual calls on this object, so the worker must be gone before
    // any base destructor starts.
    void EndWorker() override {
        closing = 1;
        if (worker) {
            // Wait before letting go: a report still running reads the worker.
            worker->ShutdownAndWait();
            worker.reset();
        }
    }

    void Send(int32_t preWait, const uint8_t* data, int32_t length, int32_t afterWrite, int32_t replyLength,
              bool allowDuplicate) override {
        if (closing || !worker) return;
        worker->QueueWrite(preWait, data, length, allowDuplicate, replyLength, afterWrite);
    }

    bool Open(std::string_view portText) override {
        const std::string name = PortNameOf(portText);
        if (name.empty()) return false;
        {
            EventLockGuard lock(EventLock());
            this->portName = name.substr(0, CQVRBoardProtocol::kNameCapacity);
            failed = 0;
            errorReports = 0;
            if (!worker) worker = std::make_unique<TSerialIO>([this](const TSerialReport& r) { return OnReport(r); });
        }
        worker->OpenPort(this->portName, kPortBaudRate);
        return true;
    }

    void Stop() override {
        if (!closing && worker) worker->StopPort();
    }

    bool IsStopped() override { return closing || !worker || worker->IsIdle(); }

    bool HasFailed() override {
        EventLockGuard lock(EventLock());
        return failed != 0;
    }

    void SetExpectedBoards(int32_t count) override {
        EventLockGuard lock(EventLock());
        Protocol::SetExpectedBoards(count);
    }

    // The poll cycle takes the user commands on the worker.
    void UserCommand(int32_t code, std::string_view text, int32_t number) override {
        EventLockGuard lock(EventLock());
        Protocol::UserCommand(code, text, number);
    }

    // The worker's callback.
    int32_t OnReport(const TSerialReport& report) {
        EventLockGuard lock(EventLock());
        const std::string_view text = report.View();
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        const auto length = static_cast<int32_t>(text.size());
        int32_t result = 0;
        switch (report.kind) {
            case ioStatus:
                this->RaiseProtocolEvent(EventCode::StatusLine, "300 SERIALIO_STATUS " + std::string(text));
                break;
            case ioPortStatus:
                this->RaiseProtocolEvent(EventCode::StatusLine, "301 SERIALIO_STATUSPORT " + std::string(text));
                break;
            case ioData:
                errorReports = 0;
                result = this->OnData(bytes, length);
                if (replyWatch_.EndedUnanswered(length, result, this->acceptedMessages)) this->RunPoll();
                break;
            case ioSent:
                this->RaiseProtocolEvent(EventCode::RawWritten, bytes, length);
                replyWatch_.Sent(worker->LastSent(), this->acceptedMessages);
                break;
            case ioError:
                // A port given up stays quiet until it is opened again.
                if (failed) break;
                if (errorReports < kReportedSerialErrors) {
                    ++errorReports;
                    this->RaiseProtocolEvent(EventCode::SerialError, "900 SERIALIO_ERROR " + std::string(text));
                    this->RunPoll();
                } else {
                    failed = 1;
                    errorReports = 0;
                    Stop();
                }
                break;
            case ioReplyTimeout:
                replyWatch_.TimedOut();
                if constexpr (kBus) {
                    this->OnReplyTimeout(AddressedBoard(worker->LastSent()));
                } else {
                    this->OnReplyTimeout();
                }
                break;
            case ioDelayDone:
                this->RaiseProtocolEvent(EventCode::StatusLine, "write delay done");
                if constexpr (kBus) {
                    const std::string& sent = worker->LastSent().data;
                    this->OnDelayDone(!sent.empty() && static_cast<uint8_t>(sent[0]) == kDiscoveryBroadcast);
                } else {
                    this->RunPoll();
                }
                break;
        }
        if (closing || !worker->IsPortReady()) {
            this->pollState = -1;
        } else if (this->pollState < 0) {
            this->pollState = 0;
            this->RunPoll();
        }
        return report.kind == ioData ? result : 0;
    }

private:
    // The board a bus write was addressed to.
    CQVRBoard* AddressedBoard(const TSerialSendBuf& item) const {
        if (item.length <= 3 || item.data.size() < 3) return nullptr;
        const uint32_t address = (static_cast<uint8_t>(item.data[1]) & 0x7Fu) * 128 +
                                 (static_cast<uint8_t>(item.data[2]) & 0x7Fu);
        return address != 0 ? this->BoardAt(address) : nullptr;
    }

    CQVRReplyWatch replyWatch_;
};

// One board on its own serial or USB cable.
class CQVRSerialCable final : public CQVRSerialPortOwner<CQVRSingleBoardProtocol> {
public:
    using CQVRSerialPortOwner::CQVRSerialPortOwner;
    ~CQVRSerialCable() override { EndWorker(); }
};

// Many boards on one serial bus.
class CQVRSerialBus final : public CQVRSerialPortOwner<CQVRMultiBoardProtocol> {
public:
    using CQVRSerialPortOwner::CQVRSerialPortOwner;
    ~CQVRSerialBus() override { EndWorker(); }
};

}  // namespace QVRProjects
