#pragma once
// The board display as a window of its own: it draws what the board movie
// would (the 10 by 10 board with men and kings, both players' names and clock
// times) and offers the buttons that step through the history.
//
// Every call of the display is queued to the widget's thread and carried out
// there in order, so port workers may call it; "ready" follows each command
// once it is drawn.
#include <array>
#include <mutex>
#include <string>

#include <QWidget>

#include "app/board_display.h"

class QLabel;

namespace app {

// The board itself, square and centred; cells as piece letters ("_", "P",
// "B", "p", "b"), row 0 at the top.
class BoardCanvas final : public QWidget {
    Q_OBJECT
public:
    explicit BoardCanvas(QWidget* parent = nullptr);
    void SetCells(const std::array<char, 100>& cells);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<char, 100> cells_;
};

class BoardWidget final : public QWidget, public BoardDisplay {
    Q_OBJECT
public:
    explicit BoardWidget(QWidget* parent = nullptr);
    ~BoardWidget() override;

    // BoardDisplay
    void SetNoticeHandler(NoticeHandler handler) override;
    void SetMovie(const std::string& path) override;
    void SetVariable(const std::string& name, const std::string& value) override;
    void SetCaption(const std::string& caption) override;
    void Show() override;
    void Hide() override;

    // What is drawn, for the views' tests.
    char PieceAt(int cell) const { return cells_[static_cast<std::size_t>(cell)]; }
    QString WhitePlayer() const;
    QString BlackPlayer() const;
    QString WhiteClock() const;
    QString BlackClock() const;
    QString MoviePath() const { return moviePath_; }

private:
    void ApplyVariable(const std::string& name, const std::string& value);
    void Carry(int code, const std::string& text);
    void ShowPositionText(const std::string& text);
    void Notice(const std::string& command, const std::string& argument);

    std::mutex handlerMutex_;
    NoticeHandler handler_;
    std::string data_;  // "app_data" until "app_cmd" comes
    std::array<char, 100> cells_;
    QString moviePath_;
    BoardCanvas* canvas_;
    QLabel* whitePlayer_;
    QLabel* blackPlayer_;
    QLabel* whiteClock_;
    QLabel* blackClock_;
};

}  // namespace app
