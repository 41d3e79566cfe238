#pragma once
// The window's log: a bounded history of records, the lines the Debug page's
// text box shows at the chosen log level, the stop-after-error dump, and the
// board traffic and error lines of the protocol log file.
//
// Locking: every member runs inside the event lock (board events arrive in it,
// the main window takes it around its entry points); Log takes it itself as
// well, so a caller that forgot still cannot race. The protocol log file has
// its own lock.
//
// The main window's board event dispatch:
//   302, 303 -> OnTraffic (file line always, log record at levels above 3)
//   105      -> Log(true, "[BOARDS] " + text), PublishErrors, then OnBoardError
//               (the file line)
//   107 and other codes from 300 on -> Log(false, "[BOARDS] " + text) when
//               the level is above 3
// Client status lines are recorded by their caller at levels 3 and 5 only; tree
// changes at every level.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/protocol_log_file.h"
#include "app/window_services.h"
#include "app/window_state.h"
#include "boards/event_data.h"
#include "componentclasses/tllist.h"

namespace app {

// One log record.
struct TIOMsg {
    std::uint8_t isError = 0;
    std::chrono::system_clock::time_point time;
    std::string text;
};

// The items of the log level list, by index (WindowState::logLevel).
inline constexpr std::array<std::string_view, 7> kLogLevelItems = {
    "Logging disabled",
    "Log Errors (Continue after error)",
    "Log Errors (Stop after error)",
    "Log Client/Server",
    "Log Board Protocol",
    "Log All",
    "",
};

namespace LogLevel {
constexpr int Disabled = 0;
constexpr int Errors = 1;
constexpr int StopAfterError = 2;
constexpr int ClientServer = 3;
constexpr int BoardProtocol = 4;
constexpr int All = 5;
}  // namespace LogLevel

class EventLog {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // The history is cut back to its newest kHistoryKeep records once it
    // holds more than kHistoryLimit.
    static constexpr std::int32_t kHistoryLimit = 1000;
    static constexpr std::int32_t kHistoryKeep = 500;
    // A dump shows the records of this span before the newest, and at least
    // kDumpAtLeast records.
    static constexpr std::chrono::minutes kDumpSpan{5};
    static constexpr std::int32_t kDumpAtLeast = 10;

    // clock: the wall clock of the time stamps; none means the system's.
    EventLog(WindowState& state, WindowServices& services, ProtocolLogFile& file, Clock clock = {});

    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Records, shows at the level's wish, and at the stop-after-error level
    // turns the first error into StopAll and a dump. Nothing once the log
    // has stopped (WindowState::loggingStopped).
    void Log(bool isError, std::string_view text);
    // Adds a line to the Debug page's text box and selects it, which brings it
    // into view.
    void AppendMemoLine(std::string_view text);
    // Optionally stops everything (WindowServices::StopAll), then moves the
    // recent history into the text box and empties it.
    void DumpLogHistory(bool stop);

    // Board events 302 (bytes read) and 303 (bytes written).
    void OnTraffic(const QVRProjects::CQVR_Event_Data& event);
    // Board event 105: the file's error line only (see the dispatch above).
    void OnBoardError(const QVRProjects::CQVR_Event_Data& event);

    const TLList<TIOMsg>& History() const { return history_; }

    // "hh:nn:ss.zzz" in local time.
    static std::string TimeStamp(std::chrono::system_clock::time_point time);
    // " 0x41 0x0a": a blank, "0x" and two lower-case hex digits per byte.
    static std::string ByteText(std::string_view bytes);

private:
    std::chrono::system_clock::time_point Now() const;
    // Length of the text box's text (its lines, each with a line break),
    // counted again only when someone else changed the box.
    std::size_t MemoTextLength();
    void RememberMemoTextLength(std::size_t length);

    WindowState& state_;
    WindowServices& services_;
    ProtocolLogFile& file_;
    Clock clock_;
    TLList<TIOMsg> history_{true};
    std::uint64_t memoRevision_ = ~std::uint64_t{0};
    std::size_t memoTextLength_ = 0;
};

}  // namespace app
