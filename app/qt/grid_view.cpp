#include "app/qt/grid_view.h"

#include <algorithm>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "boards/event_lock.h"

namespace app::qt {

namespace {

bool SameCell(const GridCell& a, const GridCell& b) {
    return a.text == b.text && a.fontColour == b.fontColour && a.hasBackground == b.hasBackground &&
           (!a.hasBackground || a.background == b.background) && a.fontStyle == b.fontStyle &&
           a.hasCheckBox == b.hasCheckBox && a.checked == b.checked;
}

QColor Rgb(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

// Drop-down lists where the model asks for them, the plain line editor elsewhere.
class GridEditorDelegate : public QStyledItemDelegate {
public:
    explicit GridEditorDelegate(GridView& view) : QStyledItemDelegate(&view), view_(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const auto items = view_.EditorItems(index.column(), index.row() + 1);
        if (items.empty()) return QStyledItemDelegate::createEditor(parent, option, index);
        auto* combo = new QComboBox(parent);
        for (const auto& item : items) combo->addItem(Text(item));
        // A choice is made at once, as the list closes.
        QObject::connect(combo, &QComboBox::activated, combo, [this, combo] {
            auto* self = const_cast<GridEditorDelegate*>(this);
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        return combo;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(std::max(0, combo->findText(index.data().toString())));
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        QString text;
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            text = combo->currentText();
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            text = line->text();
        else
            return;
        view_.CommitEdit(index.column(), index.row() + 1, text.toStdString());
    }

private:
    GridView& view_;
};

GridView::GridView(StringGrid& grid, GridHooks hooks, QWidget* parent)
    : QTableWidget(parent), grid_(grid), hooks_(std::move(hooks)) {
    setItemDelegate(new GridEditorDelegate(*this));
    setEditTriggers(DoubleClicked | EditKeyPressed | SelectedClicked);
    setSelectionMode(SingleSelection);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { OnItemChanged(item); });
    Refresh();
}

void GridView::SetColumnWidths(const std::vector<int>& widths) {
    // The style's minimum is wider than the narrowest designed column.
    if (!widths.empty())
        horizontalHeader()->setMinimumSectionSize(
            std::min(horizontalHeader()->minimumSectionSize(), *std::min_element(widths.begin(), widths.end())));
    for (std::size_t col = 0; col < widths.size(); ++col) setColumnWidth(static_cast<int>(col), widths[col]);
}

void GridView::Call(const std::function<void()>& hook) {
    if (hooks_.call)
        hooks_.call(hook);
    else {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        hook();
    }
}

void GridView::Refresh() {
    std::vector<std::vector<GridCell>> cells;
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        if (shownOnce_ && grid_.Revision() == shownRevision_) return;
        shownOnce_ = true;
        shownRevision_ = grid_.Revision();
        cells.resize(static_cast<std::size_t>(grid_.RowCount()));
        for (int row = 0; row < grid_.RowCount(); ++row) {
            auto& copy = cells[static_cast<std::size_t>(row)];
            for (int col = 0; col < grid_.ColCount(); ++col) copy.push_back(grid_.Cell(col, row));
        }
    }
    Apply(cells);
}

void GridView::Apply(const std::vector<std::vector<GridCell>>& cells) {
    const QSignalBlocker blocker(this);
    const int rows = static_cast<int>(cells.size());
    const int cols = cells.empty() ? columnCount() : static_cast<int>(cells.front().size());
    if (columnCount() != cols) setColumnCount(cols);
    if (rowCount() != std::max(0, rows - 1)) setRowCount(std::max(0, rows - 1));
    if (shown_.size() > cells.size()) shown_.resize(cells.size());
    if (!cells.empty()) {
        QStringList headers;
        for (const auto& cell : cells.front()) headers << Text(cell.text);
        if (shown_.empty() || shown_.front().size() != cells.front().size() ||
            !std::equal(cells.front().begin(), cells.front().end(), shown_.front().begin(), SameCell))
            setHorizontalHeaderLabels(headers);
    }
    shown_.resize(cells.size());
    if (!shown_.empty()) shown_.front() = cells.front();
    // The cell under the editor keeps the user's text until the edit ends.
    const QModelIndex editing = state() == EditingState ? currentIndex() : QModelIndex();
    for (int row = 1; row < rows; ++row) {
        auto& shownRow = shown_[static_cast<std::size_t>(row)];
        const auto& newRow = cells[static_cast<std::size_t>(row)];
        if (shownRow.size() != newRow.size()) {  // a new row
            for (int col = 0; col < cols; ++col) ApplyCell(col, row, newRow[static_cast<std::size_t>(col)]);
            shownRow = newRow;
            continue;
        }
        for (int col = 0; col < cols; ++col) {
            const auto& cell = newRow[static_cast<std::size_t>(col)];
            if (SameCell(cell, shownRow[static_cast<std::size_t>(col)]) && item(row - 1, col)) continue;
            if (editing.isValid() && editing.row() == row - 1 && editing.column() == col) continue;
            ApplyCell(col, row, cell);
            shownRow[static_cast<std::size_t>(col)] = cell;
        }
    }
}

void GridView::ApplyCell(int col, int row, const GridCell& cell) {
    QTableWidgetItem* it = item(row - 1, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row - 1, col, it);
    }
    it->setText(Text(cell.text));
    it->setForeground(Rgb(cell.fontColour));
    it->setBackground(cell.hasBackground ? QBrush(Rgb(cell.background)) : QBrush());
    QFont font = this->font();
    font.setBold((cell.fontStyle & FontStyle::Bold) != 0);
    font.setItalic((cell.fontStyle & FontStyle::Italic) != 0);
    font.setUnderline((cell.fontStyle & FontStyle::Underline) != 0);
    it->setFont(font);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    if (cell.hasCheckBox) {
        flags |= Qt::ItemIsUserCheckable;
        it->setCheckState(cell.checked ? Qt::Checked : Qt::Unchecked);
    } else if (it->data(Qt::CheckStateRole).isValid()) {
        it->setData(Qt::CheckStateRole, QVariant());
    }
    it->setFlags(flags);
}

void GridView::OnItemChanged(QTableWidgetItem* item) {
    const int col = item->column();
    const int row = item->row() + 1;
    if (row >= static_cast<int>(shown_.size()) || col >= static_cast<int>(shown_[static_cast<std::size_t>(row)].size()))
        return;
    GridCell& shown = shown_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    const bool ticked = item->checkState() == Qt::Checked;
    if (!shown.hasCheckBox || shown.checked == ticked) return;
    shown.checked = ticked;
    Call([&] {
        // The box turns first, then the model hears of it, as with a click on the grid.
        if (GridCell* cell = grid_.Edit(col, row)) cell->checked = ticked;
        if (hooks_.checkBoxClicked) hooks_.checkBoxClicked(col, row, ticked);
    });
    Refresh();
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool wanted = trigger == AllEditTriggers || (editTriggers() & trigger) != 0;
    if (!index.isValid() || !wanted || state() == EditingState) return QTableWidget::edit(index, trigger, event);
    const int col = index.column();
    const int row = index.row() + 1;
    bool editable = false;
    // A check box cell is edited by its box alone: its text names the port.
    const bool checkBox = row < static_cast<int>(shown_.size()) &&
                          col < static_cast<int>(shown_[static_cast<std::size_t>(row)].size()) &&
                          shown_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].hasCheckBox;
    if (hooks_.canEdit && !checkBox) Call([&] { editable = hooks_.canEdit(col, row); });
    if (!editable) {
        if (trigger == DoubleClicked && hooks_.doubleClicked) Call([&] { hooks_.doubleClicked(row); });
        return false;
    }
    return QTableWidget::edit(index, trigger, event);
}

std::vector<std::string> GridView::EditorItems(int col, int row) {
    std::vector<std::string> items;
    if (hooks_.editorItems) Call([&] { items = hooks_.editorItems(col, row); });
    return items;
}

void GridView::CommitEdit(int col, int row, const std::string& text) {
    Call([&] {
        grid_.SetText(col, row, text);
        if (hooks_.edited) hooks_.edited(col, row, text);
    });
    // The editor is closing: the cell shows the text now, and whatever the model made of it at the next refresh.
    if (row < static_cast<int>(shown_.size()) && col < static_cast<int>(shown_[static_cast<std::size_t>(row)].size())) {
        const QSignalBlocker blocker(this);
        if (QTableWidgetItem* it = item(row - 1, col)) it->setText(Text(text));
        shown_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].text = text;
    }
}

}  // namespace app::qt
