#pragma once
// TSerialIO: the worker thread that owns one serial port. It opens the port,
// reads whatever arrives, sends queued writes one after another with their
// pauses and reply waits, and tells its owner everything through one report
// callback. It knows nothing of e-boards.
#include "platform/serial_device.h"
#include "platform/wake_signal.h"
#include "platform/thread.h"
#include "platform/tick.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

enum TSerialReportKind : std::uint8_t {
    ioStatus = 0,
    ioPortStatus = 1,
    ioData = 2,
    ioSent = 3,
    ioError = 4,
    ioReplyTimeout = 5,
    ioDelayDone = 6,
};

// The callback's answer to an ioData report during a reply wait: the reply is
// complete, the next write may go.
constexpr std::int32_t ReplyComplete = 333;

struct TSerialReport {
    // Longest byte string a report carries; longer ones become "Overflow".
    static constexpr std::int32_t kMaxLength = 15999;

    TSerialReportKind kind = ioStatus;
    std::string bytes;  // text or raw data, may hold zero bytes
    std::int32_t length = 0;

    std::string_view View() const { return bytes; }
};

struct TSerialSendBuf {
    // Longest write one item may hold.
    static constexpr std::int32_t kMaxLength = 16000;

    std::string data;
    std::int32_t length = 0;
    // > 0: wait up to this many ms for a reply; < 0: pause |afterWrite| ms
    // before the next write; 0: neither.
    std::int32_t afterWrite = 0;
    // ms to wait (still reading) before writing; <= 0: none.
    std::int32_t preWait = 0;
    // Bytes that make up the complete reply; <= 0: not counted.
    std::int32_t replyLength = 0;
};

class TSerialIO : private platform::Thread {
public:
    using ReportHandler = std::function<std::int32_t(const TSerialReport&)>;

    // Created suspended; the thread starts with the first OpenPort.
    explicit TSerialIO(ReportHandler onReport);
    // Shuts down and joins the worker. Must not run while holding a lock that
    // the report handler takes.
    ~TSerialIO() override;

    // Asks for the port `name` at `baudRate`; the open happens on the worker.
    // Resumes a stopped worker. Coming while a stop is still pending, the
    // open follows right after the stop.
    void OpenPort(std::string_view name, std::uint32_t baudRate);
    // Closes the port and suspends the worker (reports "STOPPED").
    void StopPort();
    // True while the worker is stopped, not yet started or finished.
    bool IsIdle() const;
    // True once the port is open and configured.
    bool IsPortReady() const { return portReady_.load(); }
    // Appends a write. `length` < 0 takes `data` as NUL-terminated text. An
    // item equal to a queued one is dropped unless `allowDuplicate`. Returns
    // false when nothing was queued (a duplicate, or more than 16000 bytes).
    bool QueueWrite(std::int32_t preWait, const void* data, std::int32_t length, bool allowDuplicate,
                    std::int32_t replyLength, std::int32_t afterWrite);
    bool QueueWrite(std::int32_t preWait, std::string_view data, bool allowDuplicate, std::int32_t replyLength,
                    std::int32_t afterWrite);
    // No further reports; the worker ends. The destructor joins it.
    void Shutdown();
    // Shutdown, then waits until the worker has ended: afterwards no report
    // handler runs any more. Not from inside the report handler.
    void ShutdownAndWait();

    // For the report handler, on the worker: the item most recently taken
    // from the queue.
    const TSerialSendBuf& LastSent() const { return lastSent_; }
    std::size_t QueuedWrites() const;

private:
    enum Mode : std::int32_t { kModeNone = 0, kModeStopped = 1, kModeSerial = 2 };

    void Execute() override;
    void StopStep();
    void OpenStep();
    void ReadPass();
    void SendPump();
    void ClosePort();
    // The cycle's pause: ends early when bytes arrive or a stop is asked for.
    void Pause(std::uint32_t ms);
    // An item's pre-wait, reading all the while.
    void PreWait(std::uint32_t ms);
    std::int32_t Report(TSerialReportKind kind, std::string_view bytes);

    const ReportHandler onReport_;
    std::atomic<bool> shutdown_{false};

    // Set by the owner's thread, read by the worker.
    mutable std::mutex control_;
    std::string portName_;
    std::uint32_t baudRate_ = 0;
    std::int32_t mode_ = kModeNone;
    bool started_ = false;
    bool stopRequested_ = false;
    bool stopped_ = false;
    bool openAfterStop_ = false;
    std::atomic<bool> idle_{true};
    std::atomic<bool> portReady_{false};

    // Writes may be queued from any thread.
    mutable std::mutex queueLock_;
    std::deque<TSerialSendBuf> queue_;

    // Worker only.
    platform::SerialDevice device_;
    platform::WakeSignal wake_;
    TSerialSendBuf lastSent_;
    TSerialReport report_;
    std::string readBuffer_;
    platform::Tick replyDeadline_ = 0;
    platform::Tick delayDeadline_ = 0;
    std::int32_t replyLength_ = 0;
    std::int32_t replyReceived_ = 0;
    std::uint32_t sleepMs_ = 0;
};
