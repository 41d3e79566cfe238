#include "app/event_log.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "boards/event_lock.h"

namespace app {

using std::chrono::system_clock;

EventLog::EventLog(WindowState& state, WindowServices& services, ProtocolLogFile& file, Clock clock)
    : state_(state), services_(services), file_(file), clock_(std::move(clock)) {}

system_clock::time_point EventLog::Now() const { return clock_ ? clock_() : system_clock::now(); }

void EventLog::Log(bool isError, std::string_view text) {
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    if (state_.loggingStopped) return;

    auto* record = new TIOMsg{static_cast<std::uint8_t>(isError ? 1 : 0), Now(), std::string(text)};
    history_.Append(record);
    if (history_.Count() > kHistoryLimit) {
        while (history_.Count() > kHistoryKeep) history_.Remove(history_.First(), true);
    }

    const int level = state_.logLevel;
    if (level == LogLevel::Disabled) return;
    const bool shows = level > LogLevel::StopAfterError || isError;
    // Made before the dump: StopAll may free what the text points into.
    std::string line;
    if (shows) {
        line = TimeStamp(record->time);
        line += ' ';
        line += text;
    }
    if (isError && level == LogLevel::StopAfterError) DumpLogHistory(true);
    if (shows) AppendMemoLine(line);
}

void EventLog::AppendMemoLine(std::string_view text) {
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    MemoBox& memo = state_.memo;
    const std::size_t before = MemoTextLength();
    memo.lines.emplace_back(text);
    memo.selectionStart = before;
    memo.selectionLength = text.size();
    ++memo.revision;
    RememberMemoTextLength(before + text.size() + 1);
}

std::size_t EventLog::MemoTextLength() {
    const MemoBox& memo = state_.memo;
    if (memo.revision != memoRevision_) {
        memoTextLength_ = 0;
        for (const std::string& line : memo.lines) memoTextLength_ += line.size() + 1;
        memoRevision_ = memo.revision;
    }
    return memoTextLength_;
}

void EventLog::RememberMemoTextLength(std::size_t length) {
    memoTextLength_ = length;
    memoRevision_ = state_.memo.revision;
}

void EventLog::DumpLogHistory(bool stop) {
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    if (stop) services_.StopAll();
    TIOMsg* newest = history_.Last();
    if (newest == nullptr) return;

    const system_clock::time_point newestTime = newest->time;
    std::int32_t remaining = history_.Count();
    MemoBox& memo = state_.memo;
    std::size_t textLength = MemoTextLength();
    std::size_t lastStart = textLength;
    std::size_t lastLength = 0;
    bool skipping = true;
    for (const TIOMsg* record : history_) {
        if (skipping && remaining > kDumpAtLeast && newestTime - record->time >= kDumpSpan) {
            --remaining;
            continue;
        }
        skipping = false;
        std::string line = TimeStamp(record->time);
        line += ' ';
        line += record->text;
        lastStart = textLength;
        lastLength = line.size();
        textLength += line.size() + 1;
        memo.lines.push_back(std::move(line));
    }
    // One update of the box, with the newest line in view.
    memo.selectionStart = lastStart;
    memo.selectionLength = lastLength;
    ++memo.revision;
    RememberMemoTextLength(textLength);
    history_.Clear();
}

void EventLog::OnTraffic(const QVRProjects::CQVR_Event_Data& event) {
    const char* direction = event.code == QVRProjects::EventCode::RawWritten ? "WRITE: " : "READ: ";
    const std::string bytes = ByteText(event.Text());
    std::string record = "[BOARDS] ";
    record += direction;
    record += bytes;
    file_.WriteLine(TimeStamp(Now()) + " " + record);
    if (state_.logLevel > LogLevel::ClientServer) Log(false, record);
}

void EventLog::OnBoardError(const QVRProjects::CQVR_Event_Data& event) {
    std::string line = "[BOARDS ERROR] ";
    line += event.Text();
    file_.WriteLine(line);
}

std::string EventLog::TimeStamp(system_clock::time_point time) {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    auto millis = (sinceEpoch - seconds).count();
    // Times before 1970 count down; keep the milliseconds within the second.
    if (millis < 0) {
        millis += 1000;
        seconds -= std::chrono::seconds(1);
    }
    const std::time_t wall = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    if (localtime_r(&wall, &local) == nullptr) local = std::tm{};
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

std::string EventLog::ByteText(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 5);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += " 0x";
        text += kHex[b >> 4];
        text += kHex[b & 0x0f];
    }
    return text;
}

}  // namespace app
