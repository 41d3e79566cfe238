#include "app/qt/main_window_widget.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/board_records.h"
#include "app/connect_page.h"
#include "app/debug_page.h"
#include "app/event_log.h"
#include "app/main_window.h"
#include "app/qt/grid_view.h"
#include "app/qt/model_call.h"
#include "app/server_connection.h"
#include "boards/event_lock.h"

namespace app::qt {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Grid rows as the window was designed.
constexpr int kRowHeight = 20;

}  // namespace

MainWindowWidget::MainWindowWidget(MainWindow& window, UserInterface& ui) : window_(window), ui_(ui) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("AdvOfficePager1");
    // In the order of app::Page.
    pages_->addTab(BuildConnectPage(), "Connect e-Boards");
    pages_->addTab(BuildOverviewPage(), "Overview");
    pages_->addTab(BuildSettingsPage(), "Settings");
    pages_->addTab(BuildDebugPage(), "Debug");
    pages_->addTab(BuildWirelessPage(), "Wireless");
    pages_->setTabVisible(static_cast<int>(Page::Wireless), false);
    pages_->setTabEnabled(static_cast<int>(Page::Wireless), false);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        shownPage_ = static_cast<Page>(index);
        Call([&] { window_.State().activePage = shownPage_; });
    });
    layout->addWidget(pages_, 1);
    layout->addWidget(BuildStatusStrip());

    timer1_ = new QTimer(this);
    connect(timer1_, &QTimer::timeout, this, [this] { OnTimer(); });
    refresh_ = new QTimer(this);
    connect(refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        timer1_->setInterval(window_.State().timerIntervalMs);
        if (window_.State().timerRunning) timer1_->start();
    }
    refresh_->start(kRefreshMs);

    resize(kWidth, kHeight);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    Refresh();
}

MainWindowWidget::~MainWindowWidget() = default;

void MainWindowWidget::Call(const std::function<void()>& call) { CallModel(ui_, call); }

QWidget* MainWindowWidget::BuildConnectPage() {
    GridHooks hooks;
    hooks.call = [this](const std::function<void()>& call) { Call(call); };
    hooks.canEdit = [this](int col, int row) { return window_.Ports().AdvStringGrid1CanEditCell(row, col); };
    hooks.editorItems = [this](int col, int row) {
        const CellEditor editor = window_.Ports().AdvStringGrid1GetEditorType(col, row);
        return editor.kind == CellEditor::Kind::DropDownList ? editor.items : std::vector<std::string>{};
    };
    hooks.edited = [this](int col, int row, const std::string& text) {
        window_.Ports().AdvStringGrid1EditChange(col, text, row);
    };
    hooks.checkBoxClicked = [this](int col, int row, bool ticked) {
        window_.Ports().AdvStringGrid1CheckBoxClick(col, row, ticked);
    };
    portGrid_ = new GridView(window_.State().portGrid, std::move(hooks));
    portGrid_->setObjectName("AdvStringGrid1");
    portGrid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    portGrid_->SetColumnWidths({105, 100, 80, 80});
    return portGrid_;
}

QWidget* MainWindowWidget::BuildOverviewPage() {
    GridHooks hooks;
    hooks.call = [this](const std::function<void()>& call) { Call(call); };
    hooks.canEdit = [this](int col, int row) { return window_.Records().AdvStringGrid2CanEditCell(row, col); };
    hooks.edited = [this](int, int, const std::string&) { window_.Records().AdvStringGrid2EditingDone(); };
    hooks.doubleClicked = [this](int row) { window_.AdvStringGrid2DblClick(row); };
    overviewGrid_ = new GridView(window_.State().overviewGrid, std::move(hooks));
    overviewGrid_->setObjectName("AdvStringGrid2");
    overviewGrid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    overviewGrid_->SetColumnWidths({20, 80, 40, 30, 50, 50, 40, 80, 80});
    return overviewGrid_;
}

QWidget* MainWindowWidget::BuildSettingsPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    serverAddress_ = new QLineEdit;
    serverPort_ = new QLineEdit;
    serverAddress_->setObjectName("Edit1");
    serverPort_->setObjectName("Edit2");
    serverAddress_->setMaximumWidth(250);
    serverPort_->setMaximumWidth(100);
    form->addRow("Sorn server IP address or Hostname:", serverAddress_);
    form->addRow("Port:", serverPort_);
    connect(serverAddress_, &QLineEdit::textEdited, this, [this](const QString& text) {
        shownAddress_ = text.toStdString();
        Call([&] { window_.State().serverAddress = shownAddress_; });
    });
    connect(serverPort_, &QLineEdit::textEdited, this, [this](const QString& text) {
        shownPort_ = text.toStdString();
        Call([&] { window_.State().serverPort = shownPort_; });
    });
    return page;
}

QWidget* MainWindowWidget::BuildDebugPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout;
    logLevel_ = new QComboBox;
    logLevel_->setObjectName("ComboBoxLog2");
    for (const auto item : kLogLevelItems) logLevel_->addItem(Text(std::string(item)));
    connect(logLevel_, &QComboBox::activated, this, [this](int index) {
        Call([&] { window_.State().logLevel = index; });
    });
    row->addWidget(logLevel_);
    auto addButton = [&](const char* caption, void (DebugPage::*handler)()) {
        auto* button = new QPushButton(caption);
        connect(button, &QPushButton::clicked, this, [this, handler] { Call([&] { (window_.Debug().*handler)(); }); });
        row->addWidget(button);
    };
    addButton("Position", &DebugPage::ButtonPositionClick);
    addButton("Last", &DebugPage::ButtonLastClick);
    addButton("History", &DebugPage::ButtonMorePositionsClick);
    addButton("Sequence", &DebugPage::ButtonSequenceClick);
    auto* save = new QPushButton("Save");
    // The save dialog runs without the event lock, so the ports go on meanwhile.
    connect(save, &QPushButton::clicked, this,
            [this] { CallModelUnlocked(ui_, [&] { window_.Debug().ButtonSaveClick(); }); });
    row->addWidget(save);
    row->addStretch();
    layout->addLayout(row);
    memo_ = new QPlainTextEdit;
    memo_->setObjectName("MemoMessages");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(memo_, 1);
    return page;
}

QWidget* MainWindowWidget::BuildWirelessPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    GridHooks hooks;
    hooks.call = [this](const std::function<void()>& call) { Call(call); };
    hooks.canEdit = [this](int col, int row) { return window_.Ports().AdvStringGrid3CanEditCell(row, col); };
    wirelessGrid_ = new GridView(window_.State().wirelessGrid, std::move(hooks));
    wirelessGrid_->setObjectName("AdvStringGrid3");
    layout->addWidget(wirelessGrid_, 1);
    auto* buttons = new QHBoxLayout;
    auto* synchronize = new QPushButton("Synchronize boards");
    auto* readMemory = new QPushButton("Read Boards Memory");
    connect(synchronize, &QPushButton::clicked, this, [this] { Call([&] { window_.Ports().AMBIGetBoardsClick(); }); });
    connect(readMemory, &QPushButton::clicked, this,
            [this] { Call([&] { window_.Ports().AMBISendFromStartClick(); }); });
    buttons->addWidget(synchronize);
    buttons->addWidget(readMemory);
    buttons->addStretch();
    layout->addLayout(buttons);
    return page;
}

QWidget* MainWindowWidget::BuildStatusStrip() {
    auto* strip = new QWidget;
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(4, 2, 4, 2);
    disconnect_ = new QPushButton("Disconnect");
    connect_ = new QPushButton("Connect");
    connectLabel_ = new QLabel;
    disconnect_->setObjectName("ButtonDisconnect");
    connect_->setObjectName("ButtonConnect");
    connectLabel_->setObjectName("LabelConnect");
    connect(disconnect_, &QPushButton::clicked, this, [this] { Call([&] { window_.ButtonDisconnectClick(); }); });
    connect(connect_, &QPushButton::clicked, this, [this] { Call([&] { window_.Server().ButtonConnectClick(); }); });
    layout->addWidget(disconnect_);
    layout->addWidget(connect_);
    layout->addWidget(connectLabel_, 1);
    return strip;
}

void MainWindowWidget::OnTimer() {
    CallModelUnlocked(ui_, [&] { window_.Timer1Timer(); });
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        const WindowState& state = window_.State();
        if (timer1_->interval() != state.timerIntervalMs) timer1_->setInterval(state.timerIntervalMs);
        if (!state.timerRunning) timer1_->stop();
    }
    Refresh();
}

void MainWindowWidget::Refresh() {
    struct Fields {
        std::string caption, label, address, port;
        bool debugTab, connectEnabled, disconnectEnabled;
        int logLevel;
        Page page;
        std::optional<MemoFollower::Change> memo;
    } now;
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        const WindowState& state = window_.State();
        now = Fields{state.caption,         state.connectLabel,      state.serverAddress,
                     state.serverPort,      state.debugTabVisible,   state.connectEnabled,
                     state.disconnectEnabled, state.logLevel,        state.activePage,
                     memoFollower_.Take(state.memo)};
    }
    if (windowTitle() != Text(now.caption)) setWindowTitle(Text(now.caption));
    pages_->setTabVisible(static_cast<int>(Page::Debug), now.debugTab);
    connectLabel_->setText(Text(now.label));
    connect_->setEnabled(now.connectEnabled);
    disconnect_->setEnabled(now.disconnectEnabled);
    if (now.address != shownAddress_) {
        shownAddress_ = now.address;
        serverAddress_->setText(Text(now.address));
    }
    if (now.port != shownPort_) {
        shownPort_ = now.port;
        serverPort_->setText(Text(now.port));
    }
    if (logLevel_->currentIndex() != now.logLevel) {
        const QSignalBlocker blocker(logLevel_);
        logLevel_->setCurrentIndex(now.logLevel);
    }
    if (now.page != shownPage_ && pages_->isTabVisible(static_cast<int>(now.page))) {
        const QSignalBlocker blocker(pages_);
        shownPage_ = now.page;
        pages_->setCurrentIndex(static_cast<int>(now.page));
    }
    if (now.memo) {
        QStringList lines;
        for (const auto& line : now.memo->lines) lines << Text(line);
        if (now.memo->rewritten)
            memo_->setPlainText(lines.join('\n'));
        else if (!lines.isEmpty())
            memo_->appendPlainText(lines.join('\n'));
        memo_->moveCursor(QTextCursor::End);
        memo_->ensureCursorVisible();
    }
    portGrid_->Refresh();
    overviewGrid_->Refresh();
    wirelessGrid_->Refresh();
}

void MainWindowWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window restored by the window system was visible before.
    if (!event->spontaneous()) CallModelUnlocked(ui_, [&] { window_.FormShow(); });
    Refresh();
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    // Without the event lock: the ports run on while the question waits for the user.
    CallModelUnlocked(ui_, [&] { window_.FormClose(); });
}

}  // namespace app::qt
