#include "app/board_records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "app/safe_names.h"
#include "boards/board_protocol.h"

namespace app {
namespace {

using QVRProjects::CQVRBoard;
using QVRProjects::CQVRBoardProtocol;

// Overview columns.
constexpr int kRateCol = 0, kBoardCol = 1, kTableCol = 2, kScansCol = 3, kWhiteClockCol = 4, kBlackClockCol = 5,
              kErrorsCol = 6, kWhitePlayerCol = 7, kBlackPlayerCol = 8;

// Application slots of a board object.
constexpr int kRowTag = 0, kLastCountTag = 3;
constexpr int kBoardTag = 0, kViewTag = 5;

// Clock status bits.
constexpr std::uint32_t kRunning = 0x01, kBatteryLow = 0x04, kFirstRuns = 0x08, kSecondRuns = 0x10,
                        kNoClock = 0x20;

// Seconds between two UpdateRemoteRates calls (every twentieth tick).
constexpr std::int64_t kRemoteRatePeriod = 20;

// An optional sign and decimal digits, nothing else, within the 64-bit range.
std::optional<std::int64_t> ParseDecimal(std::string_view text) {
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
    std::int64_t number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end) return std::nullopt;
    return number;
}

// A packet count as kept in intTags: 0 up to the 32-bit signed maximum.
std::optional<std::int32_t> ParseCount(std::string_view text) {
    const auto number = ParseDecimal(text);
    if (!number || *number < 0 || *number > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(*number);
}

// Text that is no rate (from the server) counts as "off".
bool ShowsOff(std::string_view rate) { return rate == "off" || !ParseDecimal(rate); }

// Division by a positive divisor, rounded to the nearest, a half to the even neighbour.
std::int64_t DivideRoundingHalfEven(std::int64_t dividend, std::int64_t divisor) {
    std::int64_t quotient = dividend / divisor;
    std::int64_t remainder = dividend % divisor;
    if (remainder < 0) {
        remainder += divisor;
        quotient -= 1;
    }
    if (2 * remainder > divisor || (2 * remainder == divisor && quotient % 2 != 0)) quotient += 1;
    return quotient;
}

std::string ClockTime(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%u:%02u.%02u", hours, minutes, seconds);
    return text;
}

std::string NodeText(const CQVRBoard& board) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : board.nodeBytes) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

// Characters that end a name in an object update statement; a port or
// computer name holding one would split the board's name on the wire.
std::string StatementSafe(std::string name) {
    for (char& c : name)
        if (c == '.' || c == ';' || c == ',' || c == ' ' || c == '=' || c == '>' || c == '\r' || c == '\n') c = '_';
    return name;
}

bool IsBoardCommand(std::string_view word) {
    return word == "history" || word == "fromstart" || word == "writetag" || word == "rotateclock";
}

const char* EditableColumnKey(int col) {
    switch (col) {
        case kTableCol: return "table";
        case kWhitePlayerCol: return "whiteplayer";
        case kBlackPlayerCol: return "blackplayer";
        default: return nullptr;
    }
}

}  // namespace

BoardRecords::BoardRecords(WindowState& state, WindowServices& services) : state_(state), services_(services) {
    const char* const headers[] = {"",            "Board",  "Table",       "Scans",      "White clock",
                                   "Black clock", "Errors", "Whiteplayer", "Blackplayer"};
    StringGrid& grid = state_.overviewGrid;
    for (int col = 0; col < grid.ColCount() && col < 9; ++col) grid.SetText(col, 0, headers[col]);
}

std::string BoardRecords::BoardObjectName(const CQVRBoard* board) const {
    if (board == nullptr) return {};
    std::string name = "QVR_";
    name += state_.boardInterface ? state_.boardInterface->computerName : std::string("unkown");
    name += '_';
    if (const CQVRBoardProtocol* protocol = board->owner) {
        name += protocol->cabling;
        name += '_';
        name += protocol->portName;
        name += '_';
    }
    name += std::to_string(board->busAddress);
    return StatementSafe(std::move(name));
}

void BoardRecords::RegisterBoard(QVRProjects::CQVR_Event_Data* event) {
    if (event == nullptr || event->board == nullptr) return;
    CreateBoardObject(event->board, event->protocol);
}

TAE_Object* BoardRecords::CreateBoardObject(CQVRBoard* board, CQVRBoardProtocol* protocol) {
    if (state_.boardsCollection == nullptr || state_.connectionsCollection == nullptr ||
        state_.gucsCollection == nullptr)
        return nullptr;
    TAE_Object* object = state_.boardsCollection->FindMember(BoardObjectName(board), true);
    if (object == nullptr) return nullptr;
    // A board found under a new name leaves its old object without e-board.
    TAE_Object* previous = board->treeObject;
    if (previous != nullptr && previous != object && previous->ptrTags[kBoardTag] == board)
        previous->ptrTags[kBoardTag] = nullptr;
    board->treeObject = object;
    // Set before the board is attached, so that the value announces the object.
    object->SetValue("busadres", std::to_string(board->busAddress));

    const std::string computerObjectName = "g" + state_.uid;
    TAE_Object* connection = state_.connectionsCollection->FindMember(state_.uid, true);
    TAE_Object* computer = state_.gucsCollection->FindMember(computerObjectName, true);
    if (computer != nullptr) {
        computer->SetValue("pcname", SafeComputerName());
        computer->SetValue("username", SafeUserName());
    }
    object->SetValue("ambientnode", NodeText(*board));
    object->FindKey("connection", true)->SetTarget(state_.uid);
    if (connection != nullptr) connection->FindKey("guc", true)->SetTarget(computerObjectName);

    if (protocol != nullptr && protocol->gridRow >= 1) {
        const std::string boards = std::to_string(protocol->Count());
        state_.portGrid.SetText(2, protocol->gridRow, boards);
        state_.portGrid.SetText(3, protocol->gridRow, boards);
    }

    PublishPositions(board);
    PublishClock2(board);
    PublishClock1(board);
    return board->treeObject;
}

TAE_Object* BoardRecords::AttachedObject(CQVRBoard* board) {
    if (board == nullptr) return nullptr;
    if (board->treeObject == nullptr) {
        const auto orphan = std::find(orphanedBoards_.begin(), orphanedBoards_.end(), board);
        if (orphan == orphanedBoards_.end()) return nullptr;
        // The server deleted the object of a board that is still here: it
        // comes back, announced as new.
        orphanedBoards_.erase(orphan);
        if (CreateBoardObject(board, board->owner) == nullptr) return nullptr;
    }
    board->treeObject->ptrTags[kBoardTag] = board;
    return board->treeObject;
}

void BoardRecords::PublishPositions(CQVRBoard* board) {
    TAE_Object* object = AttachedObject(board);
    if (object == nullptr) return;
    object->SetValue("scancount", std::to_string(board->updates) + "\r\n");
    object->SetValue("sequence", board->SequenceText(-1) + "\r\n");
    object->SetValue("ambientnode", NodeText(*board));
}

void BoardRecords::PublishErrors(CQVRBoard* board) {
    if (TAE_Object* object = AttachedObject(board)) object->SetValue("errors", std::to_string(board->errors));
}

void BoardRecords::PublishClock2(CQVRBoard* board) { PublishClock(board, true); }

void BoardRecords::PublishClock1(CQVRBoard* board) { PublishClock(board, false); }

// The second time is white's and the first black's, unless the clock is swapped.
void BoardRecords::PublishClock(CQVRBoard* board, bool second) {
    TAE_Object* object = AttachedObject(board);
    if (object == nullptr) return;
    const std::uint32_t status = board->clockStatus;
    const bool whiteSide = second != (board->clocksSwapped != 0);
    const char* sideKey = whiteSide ? "clockwhite" : "clockblack";

    if (status & kNoClock) {
        object->SetValue("clockstate", "none");
        object->SetValue(sideKey, "n/a");
        return;
    }
    if (!(status & kRunning)) object->SetValue("clockstate", "stopped");
    object->SetValue("clockbattery", (status & kBatteryLow) ? "low" : "ok");
    const std::uint32_t runsBit = second ? kSecondRuns : kFirstRuns;
    if ((status & kRunning) && (status & runsBit))
        object->SetValue("clockstate", whiteSide ? "whiterunning" : "blackrunning");
    object->SetValue(sideKey, second ? ClockTime(board->clock2Hours, board->clock2Minutes, board->clock2Seconds)
                                     : ClockTime(board->clock1Hours, board->clock1Minutes, board->clock1Seconds));
}

void BoardRecords::SetPacketRate(CQVRBoard* board, double rate) {
    TAE_Object* object = AttachedObject(board);
    if (object == nullptr) return;
    const bool active = rate > 0.1 || (board->owner != nullptr && board->owner->ActiveWithoutTraffic());
    if (!active) {
        object->SetValue("packetrate", "off");
        return;
    }
    // Bounded so that the conversion stays defined whatever the rate.
    constexpr double kLimit = 1e15;
    const double whole = std::isfinite(rate) ? std::clamp(std::trunc(rate), -kLimit, kLimit) : 0.0;
    object->SetValue("packetrate", std::to_string(static_cast<std::int64_t>(whole)));
}

void BoardRecords::PublishPacketCount(CQVRBoard* board) {
    if (TAE_Object* object = AttachedObject(board))
        object->SetValue("packetsreceived", std::to_string(board->packets));
}

void BoardRecords::UpdateRemoteRates() {
    if (state_.boardsCollection == nullptr) return;
    for (TAE_Object* object : state_.boardsCollection->members) {
        if (object->ptrTags[kBoardTag] != nullptr) continue;
        // Empty, or not a count: no rate can be told.
        const auto count = ParseCount(object->GetValue("packetsreceived"));
        if (!count) continue;
        const std::int32_t last = object->intTags[kLastCountTag];
        if (*count == last) {
            object->SetValue("packetrate", "off");
            continue;
        }
        // Without an earlier count (-1) the difference would be the whole count.
        if (last >= 0 && ShowsOff(object->GetValue("packetrate"))) {
            const std::int64_t rate = DivideRoundingHalfEven(std::int64_t{*count} - last, kRemoteRatePeriod);
            if (rate > 0) object->SetValue("packetrate", std::to_string(rate));
        }
        object->intTags[kLastCountTag] = *count;
    }
}

TAE_Object* BoardRecords::RowObject(int row) const {
    if (row < 1 || row >= state_.overviewGrid.RowCount()) return nullptr;
    return static_cast<TAE_Object*>(state_.overviewGrid.Cell(kRateCol, row).ref);
}

int BoardRecords::NewOverviewRow(TAE_Object* object) {
    StringGrid& grid = state_.overviewGrid;
    int row;
    const auto vacant = vacantRows_.find(object->name);
    if (vacant != vacantRows_.end() && RowObject(vacant->second) == nullptr) {
        row = vacant->second;
        for (int col = 0; col < grid.ColCount(); ++col) *grid.Edit(col, row) = GridCell{};
    } else {
        row = grid.RowCount();
        grid.SetRowCount(row + 1);
    }
    if (vacant != vacantRows_.end()) vacantRows_.erase(vacant);
    GridCell* first = grid.Edit(kRateCol, row);
    first->ref = object;
    first->fontColour = Colour::White;
    object->intTags[kRowTag] = row;
    return row;
}

void BoardRecords::UpdateOverviewRow(TAE_Event& event) {
    TAE_Object* object = event.object;
    if (object == nullptr) return;
    // The view may change the tree, which rewrites the shared event record.
    TAE_Event change = event;
    if (void* view = object->ptrTags[kViewTag]) static_cast<BoardViewWindow*>(view)->OnBoardChange(event);
    // A deleted value leaves the row as it was: when the whole object goes,
    // its row keeps the last texts.
    if (change.value == nullptr || change.deleted || object->FindValue("busadres", false) == nullptr) return;

    int row = object->intTags[kRowTag];
    if (RowObject(row) != object) row = NewOverviewRow(object);
    ApplyBoardKey(change, row);
}

void BoardRecords::ApplyBoardKey(TAE_Event& event, int row) {
    TAE_Object* object = RowObject(row);
    if (object == nullptr || event.value == nullptr || event.deleted) return;
    // Copies: the changes below fire nested events that reuse the record.
    const std::string name = event.value->name;
    const std::string text = event.value->value;
    auto* board = static_cast<CQVRBoard*>(object->ptrTags[kBoardTag]);
    StringGrid& grid = state_.overviewGrid;

    if (name == "command") {
        if (board != nullptr) services_.ExecuteBoardCommand(object, board, text);
        return;
    }
    const auto forClocks = [&](auto&& change) {
        change(*grid.Edit(kWhiteClockCol, row));
        change(*grid.Edit(kBlackClockCol, row));
    };
    if (name == "busadres") {
        grid.SetText(kBoardCol, row, text);
    } else if (name == "clockwhite") {
        grid.SetText(kWhiteClockCol, row, text);
    } else if (name == "clockblack") {
        grid.SetText(kBlackClockCol, row, text);
    } else if (name == "clockstate") {
        if (text == "stopped") {
            forClocks([](GridCell& cell) { cell.fontColour = Colour::Silver; });
            return;
        }
        forClocks([](GridCell& cell) { cell.fontColour = Colour::Black; });
        if (text == "none") {
            forClocks([](GridCell& cell) { cell.text = "n/a"; });
        } else if (text == "whiterunning") {
            grid.Edit(kWhiteClockCol, row)->fontStyle = state_.runningClockStyle;
            grid.Edit(kBlackClockCol, row)->fontStyle = state_.idleClockStyle;
        } else if (text == "blackrunning") {
            grid.Edit(kWhiteClockCol, row)->fontStyle = state_.idleClockStyle;
            grid.Edit(kBlackClockCol, row)->fontStyle = state_.runningClockStyle;
        }
    } else if (name == "clockbattery") {
        const std::uint32_t background = text == "ok" ? Colour::White : Colour::Red;
        forClocks([&](GridCell& cell) {
            cell.hasBackground = true;
            cell.background = background;
        });
    } else if (name == "packetrate") {
        GridCell& cell = *grid.Edit(kRateCol, row);
        cell.hasBackground = true;
        const auto rate = ParseDecimal(text);
        if (text == "off" || !rate) {
            cell.background = Colour::Red;
            cell.text = "off";
        } else {
            cell.background = Colour::Green;
            cell.text = std::to_string(*rate);
        }
    } else if (name == "scancount") {
        grid.SetText(kScansCol, row, text);
    } else if (name == "errors") {
        grid.SetText(kErrorsCol, row, text);
    } else if (name == "table") {
        grid.SetText(kTableCol, row, text);
    } else if (name == "whiteplayer") {
        grid.SetText(kWhitePlayerCol, row, text);
    } else if (name == "blackplayer") {
        grid.SetText(kBlackPlayerCol, row, text);
        // Typing a command word as black's name is the hall's way to give it.
        if (IsBoardCommand(text)) object->SetValue("command", text);
    }
}

void BoardRecords::CommitOverviewCell(int row, int col) {
    TAE_Object* object = RowObject(row);
    const char* key = EditableColumnKey(col);
    if (object == nullptr || key == nullptr) return;
    object->SetValue(key, state_.overviewGrid.Text(col, row));
}

bool BoardRecords::AdvStringGrid2CanEditCell(int row, int col) {
    // A row whose object has gone would keep nothing that is typed there.
    if (EditableColumnKey(col) == nullptr || RowObject(row) == nullptr) return false;
    if (row != state_.editRow || col != state_.editCol) {
        CommitOverviewCell(state_.editRow, state_.editCol);
        state_.editRow = row;
        state_.editCol = col;
    }
    return true;
}

void BoardRecords::AdvStringGrid2EditingDone() { CommitOverviewCell(state_.editRow, state_.editCol); }

void BoardRecords::BoardRemoved(CQVRBoard* board) {
    if (board == nullptr) return;
    orphanedBoards_.erase(std::remove(orphanedBoards_.begin(), orphanedBoards_.end(), board), orphanedBoards_.end());
    board->treeObject = nullptr;
    // Every object, not only the board's own: a board renamed on a new port
    // may have been attached to another before.
    if (state_.boardsCollection == nullptr) return;
    for (TAE_Object* object : state_.boardsCollection->members)
        if (object->ptrTags[kBoardTag] == board) object->ptrTags[kBoardTag] = nullptr;
}

void BoardRecords::ForgetBoardObject(TAE_Object* object) {
    if (object == nullptr) return;
    const auto release = [&](CQVRBoard* board) {
        if (board == nullptr || board->treeObject != object) return;
        board->treeObject = nullptr;
        if (std::find(orphanedBoards_.begin(), orphanedBoards_.end(), board) == orphanedBoards_.end())
            orphanedBoards_.push_back(board);
    };
    release(static_cast<CQVRBoard*>(object->ptrTags[kBoardTag]));
    object->ptrTags[kBoardTag] = nullptr;
    if (state_.boardInterface)
        for (CQVRBoardProtocol* protocol : state_.boardInterface->protocols)
            for (CQVRBoard* board : *protocol) release(board);

    // The row keeps its last texts, greyed, until an object of the same name
    // takes it again.
    StringGrid& grid = state_.overviewGrid;
    for (int row = 1; row < grid.RowCount(); ++row) {
        if (grid.Cell(kRateCol, row).ref != object) continue;
        for (int col = 0; col < grid.ColCount(); ++col) grid.Edit(col, row)->fontColour = Colour::Silver;
        GridCell& first = *grid.Edit(kRateCol, row);
        first.ref = nullptr;
        first.text.clear();
        first.hasBackground = false;
        vacantRows_[object->name] = row;
    }
    object->intTags[kRowTag] = -1;
}

}  // namespace app
