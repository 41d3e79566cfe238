#pragma once
// A table widget that shows an app::StringGrid: row 0 of the grid is the
// header, the rest are the table's rows. It copies the grid under the event
// lock when its revision has moved and updates only the cells that changed.
// User actions reach the model through hooks, called inside the event lock.
#include <QTableWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/string_grid.h"

namespace app::qt {

struct GridHooks {
    // May the cell be edited? Asked before an editor opens. None: read only.
    std::function<bool(int col, int row)> canEdit;
    // The items of a drop-down editor; empty for a free text editor.
    std::function<std::vector<std::string>(int col, int row)> editorItems;
    // The edited text is already in the grid's cell.
    std::function<void(int col, int row, const std::string& text)> edited;
    // The box's new state is already in the grid's cell.
    std::function<void(int col, int row, bool ticked)> checkBoxClicked;
    // A double click on a cell that cannot be edited.
    std::function<void(int row)> doubleClicked;
    // Runs a hook inside the event lock; reports what it throws.
    std::function<void(const std::function<void()>&)> call;
};

class GridView : public QTableWidget {
public:
    // `grid` is read and written inside the event lock only.
    GridView(StringGrid& grid, GridHooks hooks, QWidget* parent = nullptr);

    // Brings the table up to date with the grid, if it changed.
    void Refresh();
    void SetColumnWidths(const std::vector<int>& widths);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    friend class GridEditorDelegate;

    void Apply(const std::vector<std::vector<GridCell>>& cells);
    void ApplyCell(int col, int row, const GridCell& cell);
    void OnItemChanged(QTableWidgetItem* item);
    std::vector<std::string> EditorItems(int col, int row);
    void CommitEdit(int col, int row, const std::string& text);
    void Call(const std::function<void()>& hook);

    StringGrid& grid_;
    GridHooks hooks_;
    std::uint64_t shownRevision_ = 0;
    bool shownOnce_ = false;
    // What the table shows, by grid row (row 0: the header).
    std::vector<std::vector<GridCell>> shown_;
};

}  // namespace app::qt
