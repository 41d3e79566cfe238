#include "app/qt/board_widget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <utility>

#include "boards/positions.h"

namespace app {

namespace {

constexpr char kEmpty = '_';

// Cell of each square letter of the position texts; -1 for light cells and
// for letters that name no square.
const std::array<int, 256>& CellOfLetter() {
    static const std::array<int, 256> table = [] {
        std::array<int, 256> cells;
        cells.fill(-1);
        for (int cell = 0; cell < 100; ++cell) {
            const char letter = QVRProjects::CellLetter(cell);
            if (letter != 'o') {
                cells[static_cast<unsigned char>(letter)] = cell;
            }
        }
        return cells;
    }();
    return table;
}

bool IsDark(int cell) { return (cell / 10 + cell % 10) % 2 == 1; }

QString FromText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

BoardCanvas::BoardCanvas(QWidget* parent) : QWidget(parent) {
    cells_.fill(kEmpty);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void BoardCanvas::SetCells(const std::array<char, 100>& cells) {
    cells_ = cells;
    update();
}

QSize BoardCanvas::sizeHint() const { return {240, 240}; }
QSize BoardCanvas::minimumSizeHint() const { return {100, 100}; }

void BoardCanvas::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) / 10 * 10;
    if (side <= 0) {
        return;
    }
    const int cellSize = side / 10;
    const QPoint origin((width() - side) / 2, (height() - side) / 2);

    for (int cell = 0; cell < 100; ++cell) {
        const QRect square(origin.x() + (cell % 10) * cellSize, origin.y() + (cell / 10) * cellSize, cellSize,
                           cellSize);
        painter.fillRect(square, IsDark(cell) ? QColor(0x8B, 0x5A, 0x2B) : QColor(0xF0, 0xDC, 0xB4));
        const char piece = cells_[static_cast<std::size_t>(cell)];
        const bool white = piece == 'P' || piece == 'p';
        const bool black = piece == 'B' || piece == 'b';
        if (!white && !black) {
            continue;
        }
        const QRectF man = QRectF(square).adjusted(cellSize * 0.12, cellSize * 0.12, -cellSize * 0.12, -cellSize * 0.12);
        painter.setPen(QPen(white ? QColor(0x40, 0x40, 0x40) : QColor(0xC0, 0xC0, 0xC0), 1));
        painter.setBrush(white ? QColor(0xFA, 0xFA, 0xF0) : QColor(0x20, 0x20, 0x20));
        painter.drawEllipse(man);
        if (piece == 'p' || piece == 'b') {
            // A king wears a gold ring.
            const qreal inset = cellSize * 0.18;
            painter.setPen(QPen(QColor(0xD4, 0xA0, 0x17), std::max(1.0, cellSize * 0.08)));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(man.adjusted(inset, inset, -inset, -inset));
        }
    }
}

BoardWidget::BoardWidget(QWidget* parent) : QWidget(parent) {
    cells_.fill(kEmpty);
    setWindowTitle(QStringLiteral("FormBoard"));
    resize(392, 327);

    canvas_ = new BoardCanvas(this);
    blackPlayer_ = new QLabel(this);
    blackClock_ = new QLabel(this);
    whitePlayer_ = new QLabel(this);
    whiteClock_ = new QLabel(this);
    for (QLabel* clock : {blackClock_, whiteClock_}) {
        clock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont font = clock->font();
        font.setFamily(QStringLiteral("monospace"));
        font.setBold(true);
        clock->setFont(font);
    }
    blackPlayer_->setObjectName(QStringLiteral("blackPlayer"));
    whitePlayer_->setObjectName(QStringLiteral("whitePlayer"));

    auto* blackRow = new QHBoxLayout;
    blackRow->addWidget(blackPlayer_, 1);
    blackRow->addWidget(blackClock_);
    auto* whiteRow = new QHBoxLayout;
    whiteRow->addWidget(whitePlayer_, 1);
    whiteRow->addWidget(whiteClock_);

    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, const char*> names[] = {
        {"First", "|<"}, {"Previous", "<"}, {"Next", ">"}, {"Last", ">|"}};
    for (const auto& [name, label] : names) {
        auto* button = new QPushButton(QString::fromLatin1(label), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(QString::fromLatin1(name));
        button->setFocusPolicy(Qt::NoFocus);
        const std::string argument = name;
        connect(button, &QPushButton::clicked, this, [this, argument] { Notice("buttonclick", argument); });
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(blackRow);
    layout->addWidget(canvas_, 1);
    layout->addLayout(whiteRow);
    layout->addLayout(buttons);
}

BoardWidget::~BoardWidget() = default;

void BoardWidget::SetNoticeHandler(NoticeHandler handler) {
    std::lock_guard lock(handlerMutex_);
    handler_ = std::move(handler);
}

void BoardWidget::SetMovie(const std::string& path) {
    QMetaObject::invokeMethod(this, [this, path] { moviePath_ = FromText(path); }, Qt::QueuedConnection);
}

void BoardWidget::SetVariable(const std::string& name, const std::string& value) {
    // Queued even on the widget's own thread: "ready" must never come from
    // inside the call that hands over a command.
    QMetaObject::invokeMethod(this, [this, name, value] { ApplyVariable(name, value); }, Qt::QueuedConnection);
}

void BoardWidget::SetCaption(const std::string& caption) {
    QMetaObject::invokeMethod(this, [this, caption] { setWindowTitle(FromText(caption)); }, Qt::QueuedConnection);
}

void BoardWidget::Show() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            show();
            raise();
            activateWindow();
        },
        Qt::QueuedConnection);
}

void BoardWidget::Hide() {
    QMetaObject::invokeMethod(this, [this] { hide(); }, Qt::QueuedConnection);
}

void BoardWidget::ApplyVariable(const std::string& name, const std::string& value) {
    if (name == "app_data") {
        data_ = value;
        return;
    }
    if (name != "app_cmd") {
        return;
    }
    int code = 0;
    const char* end = value.data() + value.size();
    if (std::from_chars(value.data(), end, code).ptr == end) {
        Carry(code, data_);
    }
    // Every command is answered, known or not, so that the next one can come.
    Notice("ready", "");
}

void BoardWidget::Carry(int code, const std::string& text) {
    switch (code) {
        case FlashCode::Position: ShowPositionText(text); break;
        case FlashCode::WhitePlayer: whitePlayer_->setText(FromText(text)); break;
        case FlashCode::BlackPlayer: blackPlayer_->setText(FromText(text)); break;
        case FlashCode::WhiteClock: whiteClock_->setText(FromText(text)); break;
        case FlashCode::BlackClock: blackClock_->setText(FromText(text)); break;
        default: break;
    }
}

void BoardWidget::ShowPositionText(const std::string& text) {
    // Pairs of a square letter and a piece letter; a text replaces the whole
    // board, and letters of no square (light cells, the empty board's
    // symbols) place nothing.
    cells_.fill(kEmpty);
    const std::array<int, 256>& cellOf = CellOfLetter();
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int cell = cellOf[static_cast<unsigned char>(text[i])];
        if (cell >= 0) {
            cells_[static_cast<std::size_t>(cell)] = text[i + 1];
        }
    }
    canvas_->SetCells(cells_);
}

void BoardWidget::Notice(const std::string& command, const std::string& argument) {
    NoticeHandler handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = handler_;
    }
    if (handler) {
        handler(command, argument);
    }
}

QString BoardWidget::WhitePlayer() const { return whitePlayer_->text(); }
QString BoardWidget::BlackPlayer() const { return blackPlayer_->text(); }
QString BoardWidget::WhiteClock() const { return whiteClock_->text(); }
QString BoardWidget::BlackClock() const { return blackClock_->text(); }

}  // namespace app
