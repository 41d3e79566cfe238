#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include "app/qt/grid_view.h"
#include "boards/event_lock.h"
#include "tests/app_qt/offscreen_app.h"

namespace {

using app::GridCell;
using app::StringGrid;
using app::qt::GridHooks;
using app::qt::GridView;

// A port grid as the model keeps it: header row, two port rows with boxes.
StringGrid PortGrid() {
    StringGrid grid(4, 3);
    const char* headers[] = {"Port", "Cabling type", "#Connected", "#Active"};
    for (int col = 0; col < 4; ++col) grid.SetText(col, 0, headers[col]);
    for (int row = 1; row < 3; ++row) {
        grid.SetText(0, row, row == 1 ? "ttyS0" : "ttyUSB0 USB");
        grid.SetText(1, row, row == 1 ? "Serial Bus" : "USB");
        grid.Edit(0, row)->hasCheckBox = true;
    }
    return grid;
}

struct Recorded {
    std::vector<std::string> calls;
};

class GridViewTest : public ::testing::Test {
protected:
    void SetUp() override { qttest::OffscreenApp(); }

    GridHooks Hooks() {
        GridHooks hooks;
        hooks.canEdit = [this](int col, int row) {
            record.calls.push_back("canEdit " + std::to_string(col) + "," + std::to_string(row));
            return col == 1;
        };
        hooks.editorItems = [](int col, int) {
            return col == 1 ? std::vector<std::string>{"Serial Bus", "Serial", "USB", "Ambient"}
                            : std::vector<std::string>{};
        };
        hooks.edited = [this](int col, int row, const std::string& text) {
            // The grid holds the new text by the time the hook runs.
            record.calls.push_back("edited " + std::to_string(col) + "," + std::to_string(row) + " " + text + " " +
                                   grid.Text(col, row));
        };
        hooks.checkBoxClicked = [this](int col, int row, bool ticked) {
            record.calls.push_back("box " + std::to_string(col) + "," + std::to_string(row) + " " +
                                   (ticked ? "on" : "off") + (grid.Cell(col, row).checked ? " checked" : ""));
        };
        hooks.doubleClicked = [this](int row) { record.calls.push_back("double " + std::to_string(row)); };
        return hooks;
    }

    StringGrid grid = PortGrid();
    Recorded record;
};

TEST_F(GridViewTest, ShowsHeaderRowTextsColoursStylesAndBoxes) {
    GridView view(grid, Hooks());
    ASSERT_EQ(view.rowCount(), 2);
    ASSERT_EQ(view.columnCount(), 4);
    EXPECT_EQ(view.horizontalHeaderItem(1)->text(), "Cabling type");
    EXPECT_EQ(view.item(1, 0)->text(), "ttyUSB0 USB");
    EXPECT_EQ(view.item(0, 0)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(view.item(0, 1)->data(Qt::CheckStateRole).isValid());

    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        GridCell* cell = grid.Edit(3, 1);
        cell->text = "2";
        cell->fontColour = app::Colour::Red;
        cell->hasBackground = true;
        cell->background = app::Colour::Green;
        cell->fontStyle = app::FontStyle::Underline;
        grid.Edit(0, 2)->checked = true;
        grid.SetRowCount(4);
        grid.SetText(0, 3, "pts/7");
    }
    view.Refresh();
    EXPECT_EQ(view.rowCount(), 3);
    EXPECT_EQ(view.item(2, 0)->text(), "pts/7");
    const QTableWidgetItem* active = view.item(0, 3);
    EXPECT_EQ(active->text(), "2");
    EXPECT_EQ(active->foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(active->background().color(), QColor(0, 0x80, 0));
    EXPECT_TRUE(active->font().underline());
    EXPECT_FALSE(active->font().bold());
    EXPECT_EQ(view.item(1, 0)->checkState(), Qt::Checked);

    // Back to the view's own background.
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        grid.Edit(3, 1)->hasBackground = false;
    }
    view.Refresh();
    EXPECT_EQ(view.item(0, 3)->background().style(), Qt::NoBrush);
}

TEST_F(GridViewTest, ATickSetsTheBoxInTheModelBeforeTheHookRuns) {
    GridView view(grid, Hooks());
    view.item(1, 0)->setCheckState(Qt::Checked);  // as a click does
    ASSERT_EQ(record.calls, std::vector<std::string>{"box 0,2 on checked"});
    EXPECT_TRUE(grid.Cell(0, 2).checked);
    view.item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(record.calls.back(), "box 0,2 off");

    // The model's own changes of a box do not call back.
    record.calls.clear();
    grid.Edit(0, 1)->checked = true;
    view.Refresh();
    EXPECT_EQ(view.item(0, 0)->checkState(), Qt::Checked);
    EXPECT_TRUE(record.calls.empty());
}

TEST_F(GridViewTest, DropDownEditorCommitsIntoTheModelThenCallsTheHook) {
    GridView view(grid, Hooks());
    const QModelIndex cabling = view.model()->index(0, 1);
    QStyleOptionViewItem option;
    std::unique_ptr<QWidget> editor(view.itemDelegate()->createEditor(view.viewport(), option, cabling));
    auto* combo = qobject_cast<QComboBox*>(editor.get());
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(3), "Ambient");
    view.itemDelegate()->setEditorData(combo, cabling);
    EXPECT_EQ(combo->currentText(), "Serial Bus");
    combo->setCurrentIndex(2);
    view.itemDelegate()->setModelData(combo, view.model(), cabling);
    EXPECT_EQ(record.calls.back(), "edited 1,1 USB USB");
    EXPECT_EQ(view.item(0, 1)->text(), "USB");

    // A column without a list gets the line editor.
    const QModelIndex count = view.model()->index(0, 2);
    std::unique_ptr<QWidget> line(view.itemDelegate()->createEditor(view.viewport(), option, count));
    EXPECT_NE(qobject_cast<QLineEdit*>(line.get()), nullptr);
}

TEST_F(GridViewTest, TheModelDecidesWhatMayBeEditedAndADoubleClickElsewhereIsPassedOn) {
    GridView view(grid, Hooks());
    view.resize(500, 200);
    view.show();
    auto doubleClick = [&](int row, int col) {
        const QPoint at = view.visualRect(view.model()->index(row, col)).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(0, 2);
    EXPECT_EQ(record.calls, (std::vector<std::string>{"canEdit 2,1", "double 1"}));
    EXPECT_EQ(view.findChild<QLineEdit*>(), nullptr);

    record.calls.clear();
    // A box cell is changed by its box, not by typing over the port's name.
    doubleClick(1, 0);
    EXPECT_EQ(record.calls, std::vector<std::string>{"double 2"});

    record.calls.clear();
    doubleClick(0, 1);
    EXPECT_EQ(record.calls, std::vector<std::string>{"canEdit 1,1"});
    EXPECT_NE(view.findChild<QComboBox*>(), nullptr);  // the editor is open
}

}  // namespace
