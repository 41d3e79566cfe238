#pragma once
// The main window on screen: the pages of the window model, its status strip
// and its timer. Everything it shows is copied from the model's WindowState
// under the event lock; everything the user does goes to the model inside it.
#include <QWidget>

#include <string>

#include "app/qt/memo_follower.h"
#include "app/window_state.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace app {
class MainWindow;
class UserInterface;
}  // namespace app

namespace app::qt {

class GridView;

class MainWindowWidget final : public QWidget {
public:
    // Client area, as the window was designed.
    static constexpr int kWidth = 785;
    static constexpr int kHeight = 235;
    // How often the view looks for changes of the model.
    static constexpr int kRefreshMs = 100;

    MainWindowWidget(MainWindow& window, UserInterface& ui);
    ~MainWindowWidget() override;

    // Copies what changed in the model to the widgets.
    void Refresh();

    GridView& PortGrid() { return *portGrid_; }
    GridView& OverviewGrid() { return *overviewGrid_; }
    QTabWidget& Pages() { return *pages_; }

protected:
    void showEvent(QShowEvent* event) override;
    // The close request goes to the model, which asks and ends the program itself.
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildConnectPage();
    QWidget* BuildOverviewPage();
    QWidget* BuildSettingsPage();
    QWidget* BuildDebugPage();
    QWidget* BuildWirelessPage();
    QWidget* BuildStatusStrip();
    void Call(const std::function<void()>& call);
    void OnTimer();

    MainWindow& window_;
    UserInterface& ui_;
    QTabWidget* pages_ = nullptr;
    GridView* portGrid_ = nullptr;
    GridView* overviewGrid_ = nullptr;
    GridView* wirelessGrid_ = nullptr;
    QLineEdit* serverAddress_ = nullptr;
    QLineEdit* serverPort_ = nullptr;
    QComboBox* logLevel_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    QLabel* connectLabel_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* refresh_ = nullptr;
    MemoFollower memoFollower_;
    // The model's texts of the two fields as last shown, so that typing is not overwritten.
    std::string shownAddress_;
    std::string shownPort_;
    Page shownPage_ = Page::ConnectBoards;
};

}  // namespace app::qt
