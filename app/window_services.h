#pragma once
// The operations that the parts of the main window call on one another. The
// main window implements them by handing each to the part that owns it, so
// that every part can be built and tested against a fake.
#include <string_view>

#include "boards/board.h"
#include "boards/board_protocol.h"
#include "boards/event_data.h"
#include "objects/tree.h"

namespace app {

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Logging and the Debug page.
    virtual void Log(bool isError, std::string_view text) = 0;
    virtual void AppendMemoLine(std::string_view text) = 0;
    // Main window.
    virtual void StopAll() = 0;
    virtual QVRProjects::CQVR_EventHandler BoardEventHandler() = 0;
    // Server connection.
    virtual void ButtonDisconnectClick() = 0;
    virtual void ExecuteBoardCommand(TAE_Object* object, QVRProjects::CQVRBoard* board, std::string_view word) = 0;
    // Board records and the overview.
    virtual void UpdateOverviewRow(TAE_Event& event) = 0;
    virtual void SetPacketRate(QVRProjects::CQVRBoard* board, double rate) = 0;
    // A board object is being deleted (by the server): drop every reference to it.
    virtual void ForgetBoardObject(TAE_Object* object) = 0;
    // Connect page.
    virtual void ResetPortRates(QVRProjects::CQVRBoardProtocol* protocol) = 0;
};

// Held in a board object's ptrTags slot 5 while a board view is open for it.
class BoardViewWindow {
public:
    virtual ~BoardViewWindow() = default;
    virtual void OnBoardChange(TAE_Event& event) = 0;
    virtual void Show() = 0;
};

}  // namespace app
