#include <gtest/gtest.h>

#include "app/qt/qt_user_interface.h"

namespace {

TEST(QtFileFilter, TurnsDescriptionPatternPairsIntoQtFilters) {
    using app::qt::QtFileFilter;
    EXPECT_EQ(QtFileFilter("Log files (*.log)|*.LOG"), "Log files (*.log *.LOG)");
    EXPECT_EQ(QtFileFilter("Text|*.txt;*.asc|All|*"), "Text (*.txt *.TXT *.asc *.ASC);;All (*)");
    EXPECT_EQ(QtFileFilter(""), "");
}

}  // namespace
