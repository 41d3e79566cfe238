#pragma once
// The e-boards as objects of "MERK.[boards]", and the overview grid that shows
// one row per board object.
//
// A board object and its local e-board refer to each other: the board's
// treeObject, the object's ptrTags[0]. intTags[0] holds the object's overview
// row (-1: none yet), intTags[3] the last packet count seen for an object
// without local e-board, ptrTags[5] an open board view (stored as a
// BoardViewWindow*). Column 0 of a row refers to its object.
//
// Locking: every operation expects the event lock to be held.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/window_services.h"
#include "app/window_state.h"
#include "boards/board.h"
#include "boards/event_data.h"
#include "objects/tree.h"

namespace app {

class BoardRecords {
public:
    BoardRecords(WindowState& state, WindowServices& services);
    BoardRecords(const BoardRecords&) = delete;
    BoardRecords& operator=(const BoardRecords&) = delete;

    // Event 100: finds or creates the board's object, the connection and
    // computer objects, and publishes everything the board knows.
    void RegisterBoard(QVRProjects::CQVR_Event_Data* event);
    // Clock values of the first (black's unless swapped) and second time.
    void PublishClock1(QVRProjects::CQVRBoard* board);
    void PublishClock2(QVRProjects::CQVRBoard* board);
    // "scancount", "sequence", "ambientnode".
    void PublishPositions(QVRProjects::CQVRBoard* board);
    void PublishErrors(QVRProjects::CQVRBoard* board);
    // Packets per second, fraction cut off, or "off".
    void SetPacketRate(QVRProjects::CQVRBoard* board, double rate);
    void PublishPacketCount(QVRProjects::CQVRBoard* board);
    // "packetrate" of the objects without local e-board, from their counts.
    void UpdateRemoteRates();
    std::string BoardObjectName(const QVRProjects::CQVRBoard* board) const;

    // A value event of a board object that has "busadres".
    void UpdateOverviewRow(TAE_Event& event);
    void ApplyBoardKey(TAE_Event& event, int row);
    // Stores an edited overview cell into its object.
    void CommitOverviewCell(int row, int col);
    bool AdvStringGrid2CanEditCell(int row, int col);
    void AdvStringGrid2EditingDone();
    // The object of an overview row; none for the header, a row out of range
    // or a row whose object has gone.
    TAE_Object* RowObject(int row) const;

    // Event 106: the board is about to be deleted; nothing may keep it.
    void BoardRemoved(QVRProjects::CQVRBoard* board);
    // The object is being deleted. Its row stays, greyed, without an object;
    // a local e-board that had it gets a new object (and the old row back)
    // at its next publication. The board view in ptrTags[5] is not touched.
    void ForgetBoardObject(TAE_Object* object);

private:
    // The board's object, with the board attached; none when the board has
    // none (after re-creating it for a board whose object went).
    TAE_Object* AttachedObject(QVRProjects::CQVRBoard* board);
    TAE_Object* CreateBoardObject(QVRProjects::CQVRBoard* board, QVRProjects::CQVRBoardProtocol* protocol);
    void PublishClock(QVRProjects::CQVRBoard* board, bool second);
    int NewOverviewRow(TAE_Object* object);

    WindowState& state_;
    WindowServices& services_;
    // Boards whose object the server deleted while they lived.
    std::vector<QVRProjects::CQVRBoard*> orphanedBoards_;
    // Rows of deleted objects by object name, for an object of that name again.
    std::unordered_map<std::string, int> vacantRows_;
};

}  // namespace app
