#pragma once
// One QApplication for the test binary, on Qt's offscreen platform, so that
// widgets work without a display.
#include <QApplication>

#include <cstdlib>

namespace qttest {

inline QApplication& OffscreenApp() {
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace qttest
