#pragma once
// The "Connect e-Boards" page: one row per serial port with its cabling, the
// number of boards expected (then found), the number active, and the box that
// opens or closes the port. Also the hidden "Wireless" page's node grid.
//
// Locking: the caller holds the event lock around every operation except
// WaitForRetiredPorts and the destructor, which must run outside it.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/window_services.h"
#include "app/window_state.h"

namespace app {

// The editor a grid cell opens with.
struct CellEditor {
    enum class Kind { Text, DropDownList };
    Kind kind = Kind::Text;
    // The choices of a drop-down list, in order; free text is not allowed.
    std::vector<std::string> items;
};

class ConnectPage {
public:
    // Columns of the port grid.
    static constexpr int kPortCol = 0;
    static constexpr int kCablingCol = 1;
    static constexpr int kConnectedCol = 2;
    static constexpr int kActiveCol = 3;
    // The wireless grid's only editable column.
    static constexpr int kPriorityCol = 5;

    ConnectPage(WindowState& state, WindowServices& services);
    // Ends the protocols still being retired; outside the event lock.
    ~ConnectPage();
    ConnectPage(const ConnectPage&) = delete;
    ConnectPage& operator=(const ConnectPage&) = delete;

    // Rebuilds the port rows from the port list, filling the list on first
    // use. A failure to list the ports is logged and leaves no port rows.
    void FillPortGrid();
    // A port that discovery does not list ("pts/7"): its row, appended when
    // new; -1 (and an error logged) for a name that names no port.
    int AddPortByName(std::string_view name);

    bool AdvStringGrid1CanEditCell(int row, int col) const;
    CellEditor AdvStringGrid1GetEditorType(int col, int row) const;
    // Stores the edited value; a new cabling resets the count and retires the
    // row's protocol, so that the next tick creates one of the new kind.
    void AdvStringGrid1EditChange(int col, const std::string& value, int row);
    // Sets the box; ticking creates the row's protocol on first use and opens
    // the port, unticking stops it.
    void AdvStringGrid1CheckBoxClick(int col, int row, bool ticked);
    // Every board of the protocol to packet rate "off", its "#Active" to "0".
    void ResetPortRates(QVRProjects::CQVRBoardProtocol* protocol);

    // Wireless page: one node's report (event 109) into its row.
    void ShowNodeReport(const QVRProjects::CQVR_Event_Data& event);
    // Writes a cell, growing the grid to reach it.
    void EditAdvStringGrid3(int col, int row, std::string text);
    bool AdvStringGrid3CanEditCell(int row, int col) const;
    // "Synchronize boards" and "Read Boards Memory" do nothing.
    void AMBIGetBoardsClick() {}
    void AMBISendFromStartClick() {}

    // Waits until every protocol retired by a cabling change has ended its
    // port worker and announced the removal of its boards. Call outside the
    // event lock, before the board interface and the tree are released.
    void WaitForRetiredPorts();

private:
    StringGrid& Grid() { return state_.portGrid; }
    const StringGrid& Grid() const { return state_.portGrid; }
    bool IsPortRow(int row) const;
    QVRProjects::CQVRBoardProtocol* ProtocolOf(int row) const;
    void AddPortRow(TSerialPortInfo* port);
    // Takes the protocol out of the board interface and ends it off the
    // event lock: its destructor joins a worker that may wait for that lock.
    void Retire(QVRProjects::CQVRBoardProtocol* protocol);
    void RetireLoop();

    WindowState& state_;
    WindowServices& services_;

    std::mutex retireLock_;
    std::condition_variable retireWake_;
    std::deque<QVRProjects::CQVRBoardProtocol*> retired_;
    bool retiring_ = false;  // a protocol is being ended right now
    bool retireStop_ = false;
    std::thread retirer_;
};

}  // namespace app
