#pragma once
// The test binary's one QApplication, on Qt's offscreen platform, so that
// widgets work without a display. Reuses the application a test made before.
#include <QApplication>

#include <cstdlib>

namespace qttest {

inline QApplication& OffscreenApp() {
    static QApplication* app = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
        static int argc = 1;
        static char name[] = "app_qt_tests";
        static char* argv[] = {name, nullptr};
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace qttest
