#pragma once

namespace dam {

// Squares 1-50 live in a 66-cell array with a one-cell border, so that a
// diagonal step is a fixed offset (-6, -5, +5, +6) and runs off onto a border cell.
constexpr int square_to_cell(int s) { return s + 5 + (s - 1) / 10; }
constexpr int cell_to_square(int i) { return (i - 5) - (i - 5) / 11; }
constexpr bool is_square(int s) { return s >= 1 && s <= 50; }

// Rows count from 1 (squares 1-5) to 10 (squares 46-50).
constexpr int square_row(int s) { return (s - 1) / 5 + 1; }

}  // namespace dam
