// The main window on screen over the real window model, on the offscreen platform.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <cstdlib>
#include <filesystem>

#include "app/board_display.h"
#include "app/connect_page.h"
#include "app/main_window.h"
#include "app/qt/grid_view.h"
#include "app/qt/main_window_widget.h"
#include "boards/event_lock.h"
#include "platform/dispatcher.h"
#include "tests/app_qt/offscreen_app.h"
#ifdef EBOARD_SIM
#include "tests/system/sim_runner.h"
#endif

namespace {

namespace fs = std::filesystem;

struct FakeUserInterface final : app::UserInterface {
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& title, const std::string& question) override {
        questions.push_back(title + ": " + question);
        return answer;
    }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return std::nullopt; }
    std::unique_ptr<app::BoardDisplay> CreateBoardDisplay() override { return nullptr; }
    void Quit() override { ++quits; }

    bool answer = false;
    int quits = 0;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
};

class MainWindowWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        qttest::OffscreenApp();
        char pattern[] = "/tmp/sornrumo-widget-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        window = std::make_unique<app::MainWindow>(ui, dispatcher, dir);
        widget = std::make_unique<app::qt::MainWindowWidget>(*window, ui);
        widget->show();
    }
    void TearDown() override {
        widget.reset();
        window.reset();
        fs::remove_all(dir);
    }
    template <typename T>
    T& Child(const char* name) {
        T* child = widget->findChild<T*>(name);
        if (!child) throw std::runtime_error(std::string("no ") + name);
        return *child;
    }
    // Runs the event loop until the condition holds or 30 s pass.
    bool Until(const std::function<bool()>& condition) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > 30000) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return true;
    }

    fs::path dir;
    FakeUserInterface ui;
    platform::MainThreadDispatcher dispatcher;
    std::unique_ptr<app::MainWindow> window;
    std::unique_ptr<app::qt::MainWindowWidget> widget;
};

QStringList Headers(const QTableWidget& table) {
    QStringList headers;
    for (int col = 0; col < table.columnCount(); ++col) headers << table.horizontalHeaderItem(col)->text();
    return headers;
}

std::vector<int> Widths(const QTableWidget& table) {
    std::vector<int> widths;
    for (int col = 0; col < table.columnCount(); ++col) widths.push_back(table.columnWidth(col));
    return widths;
}

TEST_F(MainWindowWidgetTest, ShowsThePagesAsDesigned) {
    EXPECT_EQ(widget->size(), QSize(785, 235));
    EXPECT_EQ(widget->windowTitle(), "SORN RUMO Draughts 2.0 ");
    QTabWidget& pages = widget->Pages();
    ASSERT_EQ(pages.count(), 5);
    const QStringList captions = {"Connect e-Boards", "Overview", "Settings", "Debug", "Wireless"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(pages.tabText(i), captions[i]);
    EXPECT_EQ(pages.currentIndex(), 0);
    EXPECT_TRUE(pages.isTabVisible(0));
    EXPECT_FALSE(pages.isTabVisible(3));  // hidden until asked for
    EXPECT_FALSE(pages.isTabVisible(4));
    EXPECT_FALSE(pages.isTabEnabled(4));

    auto& ports = Child<app::qt::GridView>("AdvStringGrid1");
    EXPECT_EQ(Headers(ports), QStringList({"Port", "Cabling type", "#Connected", "#Active"}));
    EXPECT_EQ(Widths(ports), (std::vector<int>{105, 100, 80, 80}));
    EXPECT_EQ(ports.verticalHeader()->defaultSectionSize(), 20);
    ASSERT_GT(ports.rowCount(), 0);  // at least the fallback ports
    EXPECT_EQ(ports.item(0, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(ports.item(0, 3)->text(), "0");

    auto& overview = Child<app::qt::GridView>("AdvStringGrid2");
    EXPECT_EQ(Headers(overview), QStringList({"", "Board", "Table", "Scans", "White clock", "Black clock", "Errors",
                                              "Whiteplayer", "Blackplayer"}));
    EXPECT_EQ(Widths(overview), (std::vector<int>{20, 80, 40, 30, 50, 50, 40, 80, 80}));
    EXPECT_EQ(overview.rowCount(), 0);

    EXPECT_EQ(Child<QLineEdit>("Edit1").text(), "auto");
    EXPECT_EQ(Child<QLineEdit>("Edit2").text(), "default");
    EXPECT_EQ(Child<QLabel>("LabelConnect").text(), "Not connected (click connect)");
    EXPECT_TRUE(Child<QPushButton>("ButtonConnect").isEnabled());
    EXPECT_FALSE(Child<QPushButton>("ButtonDisconnect").isEnabled());
    EXPECT_EQ(Child<QComboBox>("ComboBoxLog2").count(), 7);
    EXPECT_EQ(Child<QComboBox>("ComboBoxLog2").currentIndex(), 0);
    EXPECT_TRUE(Child<QPlainTextEdit>("MemoMessages").toPlainText().contains("SORN RUMO Draughts 2.0  running at "));
}

TEST_F(MainWindowWidgetTest, TheSecretAddressTogglesTheDebugPageWithoutConnecting) {
    auto& address = Child<QLineEdit>("Edit1");
    for (const bool visible : {true, false}) {
        address.selectAll();
        address.insert("_vorpa");  // as typed: textEdited
        Child<QPushButton>("ButtonConnect").click();
        widget->Refresh();
        EXPECT_EQ(widget->Pages().isTabVisible(3), visible);
        EXPECT_EQ(address.text(), "");
        EXPECT_EQ(Child<QLabel>("LabelConnect").text(), "Not connected (click connect)");
    }
}

TEST_F(MainWindowWidgetTest, LogLevelAndFieldsReachTheModel) {
    Child<QComboBox>("ComboBoxLog2").activated(5);  // as chosen from the list
    auto& port = Child<QLineEdit>("Edit2");
    port.selectAll();
    port.insert("50123");
    QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
    EXPECT_EQ(window->State().logLevel, 5);
    EXPECT_EQ(window->State().serverPort, "50123");
}

TEST_F(MainWindowWidgetTest, CloseAsksAndEndsFromTheTimerOnlyAfterYes) {
    ui.answer = false;
    EXPECT_FALSE(widget->close());
    EXPECT_TRUE(widget->isVisible());
    ASSERT_EQ(ui.questions, std::vector<std::string>{"Close Quorvex: Exit SORN Quorvex - Are you sure?"});
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        EXPECT_EQ(window->State().closing, 0);
        EXPECT_EQ(window->State().timerIntervalMs, 1000);
    }

    ui.answer = true;
    EXPECT_FALSE(widget->close());  // the window stays until the model ends the program
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_TRUE(Until([&] { return ui.quits > 0; }));
    EXPECT_TRUE(ui.messages.empty());
}

#ifdef EBOARD_SIM
TEST_F(MainWindowWidgetTest, ATickInThePortGridOpensThePortAndTheOverviewShowsItsBoards) {
    systemtest::SimProcess sim({"--bus", "2"});
    ASSERT_TRUE(sim.Ready());
    // The pseudo-terminal behind the simulator's link, as the port list names it.
    const std::string device = fs::canonical("/dev/" + sim.Port()).string().substr(5);
    int row = 0;
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        row = window->Ports().AddPortByName(device);
    }
    ASSERT_GT(row, 0);
    widget->Refresh();
    auto& ports = Child<app::qt::GridView>("AdvStringGrid1");
    ASSERT_EQ(ports.item(row - 1, 1)->text(), "Serial Bus");
    ports.item(row - 1, 0)->setCheckState(Qt::Checked);  // as a click on the box does

    auto& overview = Child<app::qt::GridView>("AdvStringGrid2");
    auto boardsShown = [&] {
        if (overview.rowCount() != 2) return false;
        QStringList addresses = {overview.item(0, 1)->text(), overview.item(1, 1)->text()};
        addresses.sort();
        return addresses == QStringList({"1", "2"});
    };
    EXPECT_TRUE(Until(boardsShown));
    EXPECT_TRUE(Until([&] { return ports.item(row - 1, 2)->text() == "2"; }));  // boards found

    ports.item(row - 1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(Until([&] {
        return overview.rowCount() == 2 && overview.item(0, 0)->text() == "off" &&
               overview.item(1, 0)->text() == "off";
    }));
    EXPECT_EQ(overview.item(0, 0)->background().color(), QColor(255, 0, 0));
    EXPECT_TRUE(ui.messages.empty());
}
#endif

}  // namespace
