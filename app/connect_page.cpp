#include "app/connect_page.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <exception>

#include "boards/event_lock.h"
#include "boards/serial_port_owner.h"

namespace app {
namespace {

using QVRProjects::CQVRBoard;
using QVRProjects::CQVRBoardProtocol;

const char* const kBus = "Serial Bus";
const char* const kAutoCount = "auto";
// Buses are offered up to this many boards.
constexpr int kMostBoardsOffered = 12;

bool ContainsUsb(const std::string& text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("USB") != std::string::npos;
}

// "auto" (or anything that is no number) lets the protocol take every board that answers.
int32_t ExpectedBoards(const std::string& count) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), value);
    if (error != std::errc() || end != count.data() + count.size() || value < 0) return 0;
    return value;
}

// Joins the protocol's port worker. No event lock may be held: the worker may
// be waiting for it.
void EndWorkerOf(CQVRBoardProtocol* protocol) {
    if (auto* cable = dynamic_cast<QVRProjects::CQVRSerialCable*>(protocol))
        cable->EndWorker();
    else if (auto* bus = dynamic_cast<QVRProjects::CQVRSerialBus*>(protocol))
        bus->EndWorker();
}

std::string SignedByte(char byte) { return std::to_string(static_cast<int>(static_cast<signed char>(byte))); }

}  // namespace

ConnectPage::ConnectPage(WindowState& state, WindowServices& services) : state_(state), services_(services) {
    const char* const headers[] = {"Port", "Cabling type", "#Connected", "#Active"};
    for (int col = 0; col < 4; ++col) Grid().SetText(col, 0, headers[col]);
}

ConnectPage::~ConnectPage() {
    {
        std::lock_guard lock(retireLock_);
        retireStop_ = true;
    }
    retireWake_.notify_all();
    if (retirer_.joinable()) retirer_.join();
}

bool ConnectPage::IsPortRow(int row) const { return row >= 1 && row < Grid().RowCount(); }

CQVRBoardProtocol* ConnectPage::ProtocolOf(int row) const {
    return IsPortRow(row) ? static_cast<CQVRBoardProtocol*>(Grid().Cell(kCablingCol, row).ref) : nullptr;
}

void ConnectPage::FillPortGrid() {
    Grid().SetRowCount(1);
    if (!state_.portEnumerator) return;
    try {
        state_.portEnumerator->Fill();
    } catch (const std::exception& error) {
        services_.Log(true, error.what());
        return;
    }
    for (std::size_t i = 0; i < state_.portEnumerator->Count(); ++i) AddPortRow(state_.portEnumerator->At(i));
}

int ConnectPage::AddPortByName(std::string_view name) {
    if (!state_.portEnumerator) return -1;
    // Adding first would keep the list from ever being filled from the system.
    if (state_.portEnumerator->Count() == 0) {
        try {
            state_.portEnumerator->Fill();
        } catch (const std::exception& error) {
            services_.Log(true, error.what());
        }
    }
    TSerialPortInfo* port = state_.portEnumerator->AddPort(name);
    if (!port) {
        services_.Log(true, "not a port name: " + std::string(name));
        return -1;
    }
    for (int row = 1; row < Grid().RowCount(); ++row)
        if (Grid().Cell(kPortCol, row).ref == port) return row;
    AddPortRow(port);
    return Grid().RowCount() - 1;
}

void ConnectPage::AddPortRow(TSerialPortInfo* port) {
    const int row = Grid().RowCount();
    Grid().SetRowCount(row + 1);
    port->displayText = port->isUsb ? port->name + " USB" : port->name;
    GridCell* cell = Grid().Edit(kPortCol, row);
    cell->text = port->displayText;
    cell->ref = port;
    cell->hasCheckBox = true;
    cell->checked = false;
    const bool usb = ContainsUsb(port->displayText);
    Grid().SetText(kConnectedCol, row, usb ? "1" : kAutoCount);
    Grid().SetText(kCablingCol, row, usb ? "USB" : kBus);
    Grid().SetText(kActiveCol, row, "0");
}

bool ConnectPage::AdvStringGrid1CanEditCell(int row, int col) const {
    if (!IsPortRow(row)) return false;
    const bool unticked = !Grid().Cell(kPortCol, row).checked;
    switch (col) {
        case kPortCol:
            return true;
        case kCablingCol:
            return unticked;
        case kConnectedCol:
            return unticked && Grid().Text(kCablingCol, row) == kBus;
        default:
            return false;
    }
}

CellEditor ConnectPage::AdvStringGrid1GetEditorType(int col, int row) const {
    CellEditor editor;
    if (col == kCablingCol) {
        editor.kind = CellEditor::Kind::DropDownList;
        editor.items = {kBus, "Serial", "USB", "Ambient"};
    } else if (col == kConnectedCol) {
        editor.kind = CellEditor::Kind::DropDownList;
        if (Grid().Text(kCablingCol, row) == kBus) {
            editor.items.push_back(kAutoCount);
            for (int n = 1; n <= kMostBoardsOffered; ++n) editor.items.push_back(std::to_string(n));
        } else {
            editor.items = {"1"};
        }
    }
    return editor;
}

void ConnectPage::AdvStringGrid1EditChange(int col, const std::string& value, int row) {
    // A running port keeps its cabling: its protocol cannot be swapped under it.
    if (!AdvStringGrid1CanEditCell(row, col)) return;
    Grid().SetText(col, row, value);
    if (col != kCablingCol) return;
    Grid().SetText(kConnectedCol, row, value == kBus ? kAutoCount : "1");
    if (CQVRBoardProtocol* protocol = ProtocolOf(row)) {
        ResetPortRates(protocol);
        Grid().Edit(kCablingCol, row)->ref = nullptr;
        Retire(protocol);
    }
}

void ConnectPage::AdvStringGrid1CheckBoxClick(int col, int row, bool ticked) {
    if (col != kPortCol || !IsPortRow(row)) return;
    Grid().Edit(kPortCol, row)->checked = ticked;
    CQVRBoardProtocol* protocol = ProtocolOf(row);
    if (!protocol) {
        if (!state_.boardInterface) return;
        protocol = state_.boardInterface->Create(Grid().Text(kCablingCol, row), services_.BoardEventHandler());
        if (!protocol) return;
        Grid().Edit(kCablingCol, row)->ref = protocol;
        protocol->gridRow = row;
    }
    const auto* port = static_cast<const TSerialPortInfo*>(Grid().Cell(kPortCol, row).ref);
    if (!port) return;
    if (!ticked) {
        ResetPortRates(protocol);
        protocol->Stop();
        return;
    }
    protocol->SetExpectedBoards(ExpectedBoards(Grid().Text(kConnectedCol, row)));
    if (!protocol->Open(port->name)) services_.Log(true, "cannot open " + port->name);
}

void ConnectPage::ResetPortRates(CQVRBoardProtocol* protocol) {
    if (!protocol) return;
    for (CQVRBoard* board : *protocol) services_.SetPacketRate(board, 0);
    Grid().SetText(kActiveCol, protocol->gridRow, "0");
}

void ConnectPage::Retire(CQVRBoardProtocol* protocol) {
    // Only a protocol of the board interface is ours to end.
    if (!state_.boardInterface || !state_.boardInterface->protocols.Remove(protocol, false)) return;
    // Its last reports must not write into a row that is no longer its own.
    protocol->gridRow = -1;
    protocol->Stop();
    {
        std::lock_guard lock(retireLock_);
        retired_.push_back(protocol);
        if (!retirer_.joinable()) retirer_ = std::thread([this] { RetireLoop(); });
    }
    retireWake_.notify_all();
}

void ConnectPage::RetireLoop() {
    std::unique_lock lock(retireLock_);
    for (;;) {
        retireWake_.wait(lock, [this] { return retireStop_ || !retired_.empty(); });
        if (retired_.empty()) return;
        CQVRBoardProtocol* protocol = retired_.front();
        retired_.pop_front();
        retiring_ = true;
        lock.unlock();
        EndWorkerOf(protocol);
        {
            // With the worker gone, the destructor only announces and deletes the boards.
            QVRProjects::EventLockGuard eventLock(QVRProjects::EventLock());
            delete protocol;
        }
        lock.lock();
        retiring_ = false;
        retireWake_.notify_all();
    }
}

void ConnectPage::WaitForRetiredPorts() {
    std::unique_lock lock(retireLock_);
    retireWake_.wait(lock, [this] { return retired_.empty() && !retiring_; });
}

void ConnectPage::ShowNodeReport(const QVRProjects::CQVR_Event_Data& event) {
    const char* const headers[] = {"Address", "Hops", "Congestion", "Neighbours", "Average queue 0-8", "Priority"};
    for (int col = 0; col <= kPriorityCol; ++col) EditAdvStringGrid3(col, 0, headers[col]);
    const int32_t n = std::min(event.length, QVRProjects::CQVR_Event_Data::kMaxLength);
    if (n < 11) return;
    const char* t = event.text;
    const int row = static_cast<signed char>(t[n - 7]) + 1;
    // Node -1 and below would land on the header or outside the grid.
    if (row < 1) return;
    char address[13] = {};
    for (int i = 0; i < 6; ++i)
        std::snprintf(address + 2 * i, 3, "%02x", static_cast<unsigned>(static_cast<unsigned char>(t[n - 6 + i])));
    EditAdvStringGrid3(0, row, address);
    EditAdvStringGrid3(1, row, SignedByte(t[1]));
    EditAdvStringGrid3(2, row, SignedByte(t[6]));
    EditAdvStringGrid3(3, row, SignedByte(t[10]));
    char queue[32];
    std::snprintf(queue, sizeof queue, "%g", static_cast<signed char>(t[7]) * 0.125);
    EditAdvStringGrid3(4, row, queue);
    EditAdvStringGrid3(kPriorityCol, row, "0");
}

void ConnectPage::EditAdvStringGrid3(int col, int row, std::string text) {
    StringGrid& grid = state_.wirelessGrid;
    if (col >= grid.ColCount()) grid.SetColCount(col + 1);
    if (row >= grid.RowCount()) grid.SetRowCount(row + 1);
    grid.SetText(col, row, std::move(text));
}

bool ConnectPage::AdvStringGrid3CanEditCell(int /*row*/, int col) const { return col == kPriorityCol; }

}  // namespace app
