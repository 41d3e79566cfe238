#pragma once
// A grid of text cells as the window shows it: texts, colours, font styles,
// check boxes and one reference per cell. Toolkit free; a view copies it under
// the event lock whenever its revision has moved.
#include <cstdint>
#include <string>
#include <vector>

namespace app {

// RGB as 0xRRGGBB.
namespace Colour {
constexpr std::uint32_t Red = 0xFF0000;
constexpr std::uint32_t Green = 0x008000;
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Silver = 0xC0C0C0;
constexpr std::uint32_t Black = 0x000000;
}  // namespace Colour

// A set of font styles, as bits.
namespace FontStyle {
constexpr std::uint8_t Bold = 0x01;
constexpr std::uint8_t Italic = 0x02;
constexpr std::uint8_t Underline = 0x04;
}  // namespace FontStyle

struct GridCell {
    std::string text;
    std::uint32_t fontColour = Colour::Black;
    // None: the view's own background.
    bool hasBackground = false;
    std::uint32_t background = Colour::White;
    std::uint8_t fontStyle = 0;
    bool hasCheckBox = false;
    bool checked = false;
    // What the window keeps in the cell (a port record, a protocol, a board object).
    void* ref = nullptr;
};

class StringGrid {
public:
    StringGrid(int columns, int rows) : columns_(columns) { SetRowCount(rows); }

    int ColCount() const { return columns_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Growing adds empty rows at the end; shrinking drops the last rows.
    void SetRowCount(int rows) {
        rows_.resize(rows < 0 ? 0 : static_cast<std::size_t>(rows),
                     std::vector<GridCell>(static_cast<std::size_t>(columns_)));
        ++revision_;
    }
    void SetColCount(int columns) {
        columns_ = columns < 0 ? 0 : columns;
        for (auto& row : rows_) row.resize(static_cast<std::size_t>(columns_));
        ++revision_;
    }
    bool Contains(int col, int row) const { return col >= 0 && row >= 0 && col < columns_ && row < RowCount(); }

    // Reading outside the grid gives an empty cell; writing there does nothing.
    const GridCell& Cell(int col, int row) const {
        static const GridCell empty;
        return Contains(col, row) ? rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] : empty;
    }
    const std::string& Text(int col, int row) const { return Cell(col, row).text; }
    void SetText(int col, int row, std::string text) {
        if (GridCell* cell = Edit(col, row)) cell->text = std::move(text);
    }
    // Any other change of a cell goes through here, so that the revision moves.
    GridCell* Edit(int col, int row) {
        if (!Contains(col, row)) return nullptr;
        ++revision_;
        return &rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }

    // Moves on every change; views compare it with the one they last showed.
    std::uint64_t Revision() const { return revision_; }

private:
    int columns_;
    std::vector<std::vector<GridCell>> rows_;
    std::uint64_t revision_ = 0;
};

}  // namespace app
