// sornrumo: the hall program, with its window or headless.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/main_window.h"
#include "app/qt/headless_run.h"
#include "app/qt/headless_ui.h"
#include "app/qt/main_window_widget.h"
#include "app/qt/program_options.h"
#include "app/qt/qt_user_interface.h"
#include "app/qt/startup_actions.h"
#include "boards/board_log.h"
#include "platform/dispatcher.h"

namespace {

using app::qt::ProgramOptions;

// How long the window stands before its picture is taken.
constexpr int kScreenshotDelayMs = 1500;

int RunWithoutWindow(const ProgramOptions& options, platform::MainThreadDispatcher& dispatcher) {
    app::qt::InstallCloseSignals();
    app::qt::HeadlessUserInterface ui(std::cerr, options.yes);
    int status = 0;
    {
        app::MainWindow window(ui, dispatcher, options.logDir);
        window.FormShow();
        std::string error;
        if (app::qt::ApplyStartupOptions(window, options, error)) {
            app::qt::RunHeadless(window, ui, dispatcher, std::cerr);
        } else {
            std::cerr << "sornrumo: " << error << std::endl;
            status = 1;
        }
    }
    return status;
}

int RunWithWindow(int argc, char** argv, const ProgramOptions& options, platform::MainThreadDispatcher& dispatcher) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(app::kProgramTitle);
    QApplication::setQuitOnLastWindowClosed(false);
    dispatcher.SetWakeup([&dispatcher] {
        QMetaObject::invokeMethod(qApp, [&dispatcher] { dispatcher.ProcessPending(); }, Qt::QueuedConnection);
    });
    app::qt::QtUserInterface ui;
    int status = 0;
    // What escapes start-up or the loop is shown before the program ends.
    try {
        app::MainWindow window(ui, dispatcher, options.logDir);
        {
            app::qt::MainWindowWidget widget(window, ui);
            ui.SetWindow(&widget);
            widget.show();
            std::string error;
            if (!app::qt::ApplyStartupOptions(window, options, error)) {
                ui.ShowMessage(error);
                status = 1;
            } else {
                if (!options.screenshot.empty()) {
                    QTimer::singleShot(kScreenshotDelayMs, &widget, [&] {
                        widget.Refresh();
                        if (!widget.grab().save(QString::fromStdString(options.screenshot), "PNG")) status = 1;
                        QApplication::exit(status);
                    });
                }
                const int result = QApplication::exec();
                if (status == 0) status = result;
            }
            ui.SetWindow(nullptr);
        }
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, app::kProgramTitle, QString::fromStdString(e.what()));
        status = 1;
    }
    dispatcher.SetWakeup({});
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    auto options = app::qt::ParseProgramOptions(arguments, error);
    if (!options) {
        std::cerr << "sornrumo: " << error << "\n" << app::qt::kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << app::qt::kUsage;
        return 0;
    }
    // A server that went away must not end the program; the link reports it.
    std::signal(SIGPIPE, SIG_IGN);
    if (!options->logDir.empty()) {
        std::error_code failed;
        std::filesystem::create_directories(options->logDir, failed);
        if (failed) {
            std::cerr << "sornrumo: cannot make " << options->logDir << ": " << failed.message() << std::endl;
            return 1;
        }
        QVRProjects::CQVRBoardLog::SetDirectory(options->logDir);
    }
    platform::MainThreadDispatcher& dispatcher = platform::MainDispatcher();
    dispatcher.BindToCurrentThread();
    try {
        return options->headless ? RunWithoutWindow(*options, dispatcher)
                                 : RunWithWindow(argc, argv, *options, dispatcher);
    } catch (const std::exception& e) {
        std::cerr << "sornrumo: " << e.what() << std::endl;
        return 1;
    }
}
