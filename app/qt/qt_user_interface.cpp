#include "app/qt/qt_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QThread>

#include "app/board_display.h"
#include "app/qt/board_widget.h"
#include "app/window_state.h"

namespace app::qt {

namespace {

bool OnGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

}  // namespace

QString QtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(QRegularExpression(R"(\s*\([^)]*\)\s*$)"));
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            for (const QString& variant : {pattern.toLower(), pattern.toUpper()})
                if (!patterns.contains(variant)) patterns << variant;
        }
        filters << description + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

void QtUserInterface::ShowMessage(const std::string& text) {
    const QString message = QString::fromStdString(text);
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(qApp, [this, message] { QMessageBox::warning(window_, kProgramTitle, message); },
                                  Qt::QueuedConnection);
        return;
    }
    QMessageBox::warning(window_, kProgramTitle, message);
}

bool QtUserInterface::AskYesNo(const std::string& title, const std::string& question) {
    if (!OnGuiThread()) return false;
    return QMessageBox::question(window_, QString::fromStdString(title), QString::fromStdString(question),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtUserInterface::ChooseSaveFile(const std::string& filter) {
    if (!OnGuiThread()) return std::nullopt;
    const QString name = QFileDialog::getSaveFileName(window_, QString(), QString(), QtFileFilter(filter));
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}

std::unique_ptr<BoardDisplay> QtUserInterface::CreateBoardDisplay() { return std::make_unique<BoardWidget>(); }

// exit, not quit: quit first asks every window to close, which the main window refuses.
void QtUserInterface::Quit() { QCoreApplication::exit(0); }

}  // namespace app::qt
