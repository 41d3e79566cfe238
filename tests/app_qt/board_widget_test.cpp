#include "app/qt/board_widget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QPushButton>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/board_view.h"
#include "boards/board.h"
#include "boards/event_lock.h"
#include "objects/tree.h"
#include "tests/app_qt/offscreen_app.h"

// The system's font configuration keeps a cache it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace app {
namespace {

using Notice = std::pair<std::string, std::string>;

class BoardWidgetTest : public ::testing::Test {
protected:
    BoardWidgetTest() {
        qttest::OffscreenApp();
        widget = std::make_unique<BoardWidget>();
        widget->SetNoticeHandler([this](const std::string& command, const std::string& argument) {
            notices.emplace_back(command, argument);
        });
    }

    // Runs the event loop until `count` notices have come, or a generous time.
    void WaitForNotices(std::size_t count) {
        QDeadlineTimer deadline(30000);
        while (notices.size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    }
    void Command(int code, const std::string& text) {
        widget->SetVariable("app_data", text);
        widget->SetVariable("app_cmd", std::to_string(code));
    }

    std::unique_ptr<BoardWidget> widget;
    std::vector<Notice> notices;
};

std::string StartPositionText() {
    std::vector<int8_t> cells(100, 0);
    for (int s = 1; s <= 20; ++s) cells[static_cast<std::size_t>(QVRProjects::CQVRBoard::CellOfSquare(s - 1))] = 4;
    for (int s = 31; s <= 50; ++s) cells[static_cast<std::size_t>(QVRProjects::CQVRBoard::CellOfSquare(s - 1))] = 1;
    cells[static_cast<std::size_t>(QVRProjects::CQVRBoard::CellOfSquare(24))] = 7;   // white king on 25
    cells[static_cast<std::size_t>(QVRProjects::CQVRBoard::CellOfSquare(25))] = 10;  // black king on 26
    QVRProjects::TChessPosition position(cells.data());
    return position.PositionText();
}

TEST_F(BoardWidgetTest, CarriesEachCommandAndAnswersReadyAfterIt) {
    Command(FlashCode::WhitePlayer, "Anna Ølsen");
    Command(FlashCode::BlackPlayer, "Bert");
    Command(FlashCode::WhiteClock, "1:05.09");
    Command(FlashCode::BlackClock, "0:59.00");
    Command(FlashCode::Position, StartPositionText());
    Command(9, "unknown codes are answered too");
    EXPECT_TRUE(notices.empty()) << "\"ready\" must not come from inside the call";
    WaitForNotices(6);
    EXPECT_EQ(notices, std::vector<Notice>(6, Notice{"ready", ""}));

    EXPECT_EQ(widget->WhitePlayer(), QString::fromUtf8("Anna Ølsen"));
    EXPECT_EQ(widget->BlackPlayer(), "Bert");
    EXPECT_EQ(widget->WhiteClock(), "1:05.09");
    EXPECT_EQ(widget->BlackClock(), "0:59.00");

    using QVRProjects::CQVRBoard;
    EXPECT_EQ(widget->PieceAt(CQVRBoard::CellOfSquare(0)), 'B');
    EXPECT_EQ(widget->PieceAt(CQVRBoard::CellOfSquare(49)), 'P');
    EXPECT_EQ(widget->PieceAt(CQVRBoard::CellOfSquare(24)), 'p');
    EXPECT_EQ(widget->PieceAt(CQVRBoard::CellOfSquare(25)), 'b');
    EXPECT_EQ(widget->PieceAt(CQVRBoard::CellOfSquare(26)), '_');

    // The empty-board text clears every square.
    Command(FlashCode::Position, kEmptyBoardText);
    WaitForNotices(7);
    for (int cell = 0; cell < 100; ++cell) {
        EXPECT_EQ(widget->PieceAt(cell), '_') << "cell " << cell;
    }
}

TEST_F(BoardWidgetTest, ButtonsRaiseTheirNames) {
    for (const char* name : {"First", "Previous", "Next", "Last"}) {
        auto* button = widget->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    EXPECT_EQ(notices, (std::vector<Notice>{{"buttonclick", "First"},
                                            {"buttonclick", "Previous"},
                                            {"buttonclick", "Next"},
                                            {"buttonclick", "Last"}}));
}

TEST_F(BoardWidgetTest, DrawsMenOnDarkSquares) {
    Command(FlashCode::Position, StartPositionText());
    widget->SetCaption("Table 5 (17)");
    widget->Show();
    WaitForNotices(1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->windowTitle(), "Table 5 (17)");

    auto* canvas = widget->findChild<BoardCanvas*>();
    ASSERT_NE(canvas, nullptr);
    const QImage image = canvas->grab().toImage();
    const int side = std::min(image.width(), image.height()) / 10 * 10;
    ASSERT_GT(side, 0);
    const int cellSize = side / 10;
    const QPoint origin((image.width() - side) / 2, (image.height() - side) / 2);
    auto centre = [&](int cell) {
        return image.pixelColor(origin.x() + (cell % 10) * cellSize + cellSize / 2,
                                origin.y() + (cell / 10) * cellSize + cellSize / 2);
    };
    using QVRProjects::CQVRBoard;
    const QColor blackMan = centre(CQVRBoard::CellOfSquare(0));
    const QColor whiteMan = centre(CQVRBoard::CellOfSquare(49));
    const QColor emptyDark = centre(CQVRBoard::CellOfSquare(22));
    EXPECT_LT(blackMan.lightness(), 60);
    EXPECT_GT(whiteMan.lightness(), 200);
    EXPECT_NE(emptyDark, blackMan);
    EXPECT_NE(emptyDark, whiteMan);
}

// The view and the widget together, with a board object in a tree; the
// board's changes come from a port worker's thread.
TEST_F(BoardWidgetTest, ViewDrivesTheWidgetFromAWorkerThread) {
    using QVRProjects::CQVRBoard;
    CQVRBoard board(17, {});
    TAE_Root root;
    TAE_Object* object = root.FindObject("QVR_HALL3_serialbus_pts3_17", true);
    object->ptrTags[0] = &board;
    BoardWidget* display = widget.get();
    BoardView view(std::move(widget));
    struct Forward {
        static void Call(void* receiver, TAE_Event* event) {
            static_cast<BoardView*>(receiver)->OnBoardChange(*event);
        }
    };
    root.AddHandler(&Forward::Call, &view);
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        object->SetValue("busadres", "17");
        object->SetValue("whiteplayer", "Anna");
        view.SetBoardObject(object);
    }
    std::thread worker([&] {
        std::vector<int8_t> cells(100, 0);
        cells[static_cast<std::size_t>(CQVRBoard::CellOfSquare(31))] = 1;
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        board.AddPosition(cells.data());
        object->SetValue("sequence", board.SequenceText(-1));
        object->SetValue("clockwhite", "0:42.00");
    });
    worker.join();

    auto pending = [&] {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        return view.PendingCommands();
    };
    QDeadlineTimer deadline(30000);
    while (pending() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(pending(), 0);
    EXPECT_EQ(display->WhitePlayer(), "Anna");
    EXPECT_EQ(display->WhiteClock(), "0:42.00");
    EXPECT_EQ(display->PieceAt(CQVRBoard::CellOfSquare(31)), 'P');
    EXPECT_EQ(display->windowTitle(), "Table  (17)");
}

}  // namespace
}  // namespace app
