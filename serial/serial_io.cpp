#include "serial/serial_io.h"

#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t kIdleSleepMs = 100;
constexpr std::uint32_t kSleepStepMs = 2;
constexpr std::uint32_t kErrorSleepMs = 500;
constexpr std::uint32_t kOpenRetryMs = 2000;
constexpr std::uint32_t kHandOverPauseMs = 10;
constexpr int kHandOversPerPass = 5;
constexpr std::size_t kReadCapacity = 9000;

}  // namespace

TSerialIO::TSerialIO(ReportHandler onReport) : onReport_(std::move(onReport)) {}

TSerialIO::~TSerialIO() { ShutdownAndWait(); }

void TSerialIO::OpenPort(std::string_view name, std::uint32_t baudRate) {
    std::lock_guard lock(control_);
    mode_ = kModeSerial;
    baudRate_ = baudRate;
    portName_.assign(name);
    if (!started_ || stopped_) {
        started_ = true;
        stopped_ = false;
        stopRequested_ = false;
        openAfterStop_ = false;
        Resume();
    } else if (stopRequested_) {
        openAfterStop_ = true;
    }
}

void TSerialIO::StopPort() {
    std::lock_guard lock(control_);
    openAfterStop_ = false;
    if (started_ && !stopped_) stopRequested_ = true;
    wake_.Raise();
}

bool TSerialIO::IsIdle() const { return idle_.load() || Suspended(); }

bool TSerialIO::QueueWrite(std::int32_t preWait, const void* data, std::int32_t length, bool allowDuplicate,
                           std::int32_t replyLength, std::int32_t afterWrite) {
    std::string_view bytes;
    if (data != nullptr) {
        const auto* text = static_cast<const char*>(data);
        bytes = length < 0 ? std::string_view(text, std::strlen(text))
                           : std::string_view(text, static_cast<std::size_t>(length));
    }
    return QueueWrite(preWait, bytes, allowDuplicate, replyLength, afterWrite);
}

bool TSerialIO::QueueWrite(std::int32_t preWait, std::string_view data, bool allowDuplicate,
                           std::int32_t replyLength, std::int32_t afterWrite) {
    if (data.size() > static_cast<std::size_t>(TSerialSendBuf::kMaxLength)) return false;
    std::lock_guard lock(queueLock_);
    if (!allowDuplicate) {
        for (const auto& item : queue_)
            if (item.data == data) return false;
    }
    TSerialSendBuf item;
    item.data.assign(data);
    item.length = static_cast<std::int32_t>(data.size());
    item.afterWrite = afterWrite;
    item.preWait = preWait;
    item.replyLength = replyLength;
    queue_.push_back(std::move(item));
    return true;
}

std::size_t TSerialIO::QueuedWrites() const {
    std::lock_guard lock(queueLock_);
    return queue_.size();
}

void TSerialIO::Shutdown() {
    shutdown_ = true;
    Terminate();
    wake_.Raise();
}

void TSerialIO::ShutdownAndWait() {
    Shutdown();
    WaitFor();
}

std::int32_t TSerialIO::Report(TSerialReportKind kind, std::string_view bytes) {
    if (shutdown_.load() || Terminated() || !onReport_) return 0;
    if (bytes.size() > static_cast<std::size_t>(TSerialReport::kMaxLength)) {
        kind = ioError;
        bytes = "Overflow";
    }
    report_.kind = kind;
    report_.bytes.assign(bytes);
    report_.length = static_cast<std::int32_t>(bytes.size());
    return onReport_(report_);
}

void TSerialIO::Execute() {
    Report(ioStatus, "SerialIO 1.10");
    replyDeadline_ = 0;
    sleepMs_ = 0;
    idle_ = false;
    readBuffer_.reserve(kReadCapacity);
    while (!Terminated()) {
        bool stop = false;
        {
            std::lock_guard lock(control_);
            stop = stopRequested_;
        }
        if (stop) {
            StopStep();
            continue;
        }
        if (sleepMs_ < kIdleSleepMs) sleepMs_ += kSleepStepMs;
        OpenStep();
        ReadPass();
        SendPump();
        Pause(sleepMs_);
    }
    idle_ = true;
    portReady_ = false;
    device_.Close();
    std::lock_guard lock(queueLock_);
    queue_.clear();
}

void TSerialIO::StopStep() {
    ClosePort();
    {
        std::lock_guard lock(control_);
        stopRequested_ = false;
        if (openAfterStop_) {
            openAfterStop_ = false;
            return;
        }
        mode_ = kModeStopped;
        stopped_ = true;
        idle_ = true;
    }
    // OpenPort resumes; its Resume may come before this Suspend, which then
    // returns at once.
    Suspend();
    idle_ = false;
}

void TSerialIO::ClosePort() {
    if (!device_.IsOpen()) return;
    portReady_ = false;
    Report(ioPortStatus, "STOPPED");
    device_.Close();
}

void TSerialIO::OpenStep() {
    std::string name;
    std::uint32_t baud = 0;
    {
        std::lock_guard lock(control_);
        if (mode_ != kModeSerial || device_.IsOpen()) return;
        name = portName_;
        baud = baudRate_;
    }
    portReady_ = false;
    Report(ioPortStatus, name);
    Report(ioStatus, "Opening " + name + " (Baudrate: " + std::to_string(baud) + ")");
    const auto result = device_.Open(name, baud);
    if (result.status != platform::SerialDevice::OpenStatus::Opened) {
        Report(ioStatus, "Cannot open " + name + ": " + result.reason);
        Report(ioPortStatus, "KO");
        // The device was opened and closed again: tell it as a closed port.
        if (result.status == platform::SerialDevice::OpenStatus::SettingsRefused) Report(ioPortStatus, "STOPPED");
        SleepFor(kOpenRetryMs);
        return;
    }
    portReady_ = true;
    Report(ioPortStatus, "OK");
}

// Waiting on the port rather than sleeping blindly: a reply is taken as soon
// as it is there, not at the end of the pause. The pacing stays the same.
void TSerialIO::Pause(std::uint32_t ms) {
    if (ms == 0) return;
    switch (device_.WaitReadable(ms, wake_.Fd())) {
        case platform::SerialDevice::WaitResult::Woken:
            wake_.Clear();
            break;
        case platform::SerialDevice::WaitResult::Unavailable:
            SleepFor(ms);
            break;
        default:
            break;
    }
}

void TSerialIO::PreWait(std::uint32_t ms) {
    const platform::Tick end = platform::TickDeadline(platform::TickCount(), ms);
    for (;;) {
        const platform::Tick now = platform::TickCount();
        if (Terminated() || platform::TickReached(now, end)) break;
        Pause(end - now);
        ReadPass();
    }
}

void TSerialIO::ReadPass() {
    {
        std::lock_guard lock(control_);
        if (mode_ != kModeSerial) return;
    }
    if (!device_.IsOpen()) return;
    readBuffer_.clear();
    int handOvers = kHandOversPerPass;
    char chunk[512];
    for (;;) {
        const std::size_t room = std::min(sizeof chunk, kReadCapacity - readBuffer_.size());
        const ssize_t got = device_.Read(chunk, room);
        if (got < 0) {
            Report(ioError, "Error while reading data");
            sleepMs_ = kErrorSleepMs;
            return;
        }
        if (got > 0) {
            readBuffer_.append(chunk, static_cast<std::size_t>(got));
            if (readBuffer_.size() >= kReadCapacity) {
                Report(ioError, "Overflow");
                return;
            }
            continue;
        }
        if (readBuffer_.empty()) return;
        if (replyLength_ > 0) {
            replyReceived_ += static_cast<std::int32_t>(readBuffer_.size());
            if (replyReceived_ >= replyLength_) {
                replyLength_ = 0;
                replyReceived_ = 0;
                replyDeadline_ = 0;
                delayDeadline_ = 0;
            }
        } else if (replyDeadline_ != 0 && handOvers > 0) {
            --handOvers;
            const std::int32_t answer = Report(ioData, readBuffer_);
            readBuffer_.clear();
            if (answer == ReplyComplete) {
                replyDeadline_ = 0;
            } else {
                SleepFor(kHandOverPauseMs);
                continue;
            }
        } else if (replyDeadline_ != 0) {
            replyDeadline_ = 0;
        }
        sleepMs_ = 0;
        if (!readBuffer_.empty()) Report(ioData, readBuffer_);
        return;
    }
}

void TSerialIO::SendPump() {
    while (!Terminated()) {
        if (replyDeadline_ != 0) {
            if (!platform::TickReached(platform::TickCount(), replyDeadline_)) return;
            replyDeadline_ = 0;
            Report(ioReplyTimeout, "timeout");
        }
        if (delayDeadline_ != 0) {
            if (!platform::TickReached(platform::TickCount(), delayDeadline_)) return;
            delayDeadline_ = 0;
            Report(ioDelayDone, "write delay done");
        }
        TSerialSendBuf item;
        {
            std::lock_guard lock(queueLock_);
            if (queue_.empty()) return;
            item = queue_.front();
        }
        if (item.preWait > 0) {
            Report(ioStatus, "waiting " + std::to_string(item.preWait));
            PreWait(static_cast<std::uint32_t>(item.preWait));
        }
        replyLength_ = item.replyLength > 0 ? item.replyLength : 0;
        replyReceived_ = 0;
        lastSent_ = item;
        bool serial = false;
        {
            std::lock_guard lock(control_);
            serial = mode_ == kModeSerial;
        }
        if (!serial || !device_.IsOpen() || !device_.Write(item.data.data(), item.data.size())) {
            Report(ioError, "write error");
            sleepMs_ = kErrorSleepMs;
            return;
        }
        sleepMs_ = 0;
        Report(ioSent, item.data);
        {
            // Only the worker removes items, so the front is still this one.
            std::lock_guard lock(queueLock_);
            if (!queue_.empty()) queue_.pop_front();
        }
        const platform::Tick now = platform::TickCount();
        if (item.afterWrite < 0) {
            const auto pause = static_cast<std::uint32_t>(-static_cast<std::int64_t>(item.afterWrite));
            delayDeadline_ = platform::TickDeadline(now, pause);
            replyDeadline_ = 0;
        } else if (item.afterWrite > 0) {
            replyDeadline_ = platform::TickDeadline(now, static_cast<std::uint32_t>(item.afterWrite));
            delayDeadline_ = 0;
        } else {
            replyDeadline_ = 0;
            delayDeadline_ = 0;
        }
    }
}
