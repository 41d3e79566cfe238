#include "library/moves_generator.h"

#include <algorithm>
#include <set>

namespace dam {

namespace {

constexpr int steps[4] = {-6, -5, 5, 6};
constexpr int captured_mark = 100;

Piece promoted(Piece piece, int to_square) {
  if (piece == white_man && square_row(to_square) == 1) return white_king;
  if (piece == black_man && square_row(to_square) == 10) return black_king;
  return piece;
}

}  // namespace

bool GeneratorMoveCompare1::operator()(const GeneratorMove& a, const GeneratorMove& b) const {
  if (a.origin() != b.origin()) return a.origin() < b.origin();
  if (a.destination() != b.destination()) return a.destination() < b.destination();
  const int n = std::min(a.count(), b.count());
  for (int k = 0; k + 1 < n; ++k)
    if (a.landing(k) != b.landing(k)) return a.landing(k) < b.landing(k);
  return false;
}

bool MovesGenerator::is_opponent(std::int32_t value) const {
  return position_.white_to_move ? (value == black_man || value == black_king)
                                 : (value == white_man || value == white_king);
}

bool MovesGenerator::is_own(std::int32_t value) const {
  return position_.white_to_move ? (value == white_man || value == white_king)
                                 : (value == black_man || value == black_king);
}

// Called after the deeper search, so a prefix of a longer capture never qualifies.
void MovesGenerator::RecordCapture() {
  const int count = current_.count();
  if (count < 1 || count < best_) return;
  if (count > best_) {
    moves_.clear();
    best_ = count;
  }
  moves_.push_back(current_);
}

void MovesGenerator::RecordSimple(int target) {
  GeneratorMove g;
  g.values[GeneratorMove::origin_index] = current_.origin();
  g.values[GeneratorMove::landing_index] = target;
  moves_.push_back(g);
}

void MovesGenerator::DoPieceCaptureDirection(int cell, int step) {
  auto& cells = position_.cells;
  const int jumped = cell + step;
  if (!is_opponent(cells[jumped])) return;  // also stops at the border and at marked pieces
  const int landing = jumped + step;
  if (cells[landing] != empty_square) return;
  const int n = current_.count();
  current_.values[GeneratorMove::capture_index + n] = jumped;
  current_.values[GeneratorMove::landing_index + n] = landing;
  current_.values[GeneratorMove::count_index] = n + 1;
  cells[jumped] += captured_mark;
  for (int s : steps) DoPieceCaptureDirection(landing, s);
  RecordCapture();
  cells[jumped] -= captured_mark;
  current_.values[GeneratorMove::count_index] = n;
}

void MovesGenerator::DoKingCaptureDirection(int cell, int step) {
  auto& cells = position_.cells;
  int jumped = cell + step;
  while (cells[jumped] == empty_square) jumped += step;
  if (!is_opponent(cells[jumped])) return;
  int landing = jumped + step;
  if (cells[landing] != empty_square) return;
  const int n = current_.count();
  current_.values[GeneratorMove::capture_index + n] = jumped;
  current_.values[GeneratorMove::count_index] = n + 1;
  cells[jumped] += captured_mark;
  for (; cells[landing] == empty_square; landing += step) {
    current_.values[GeneratorMove::landing_index + n] = landing;
    for (int s : steps) DoKingCaptureDirection(landing, s);
    RecordCapture();
  }
  cells[jumped] -= captured_mark;
  current_.values[GeneratorMove::count_index] = n;
}

void MovesGenerator::Generate() {
  moves_.clear();
  best_ = 0;
  auto& cells = position_.cells;
  for (int square = 1; square <= 50; ++square) {
    const int cell = square_to_cell(square);
    const std::int32_t value = cells[cell];
    if (!is_own(value)) continue;
    const bool king = is_king(static_cast<Piece>(value));
    current_.values[GeneratorMove::origin_index] = cell;
    current_.values[GeneratorMove::count_index] = 0;
    cells[cell] = empty_square;  // the origin counts as empty during a capture
    for (int s : steps) {
      if (king)
        DoKingCaptureDirection(cell, s);
      else
        DoPieceCaptureDirection(cell, s);
    }
    cells[cell] = value;
    if (best_ != 0) continue;
    if (king) {
      for (int s : steps)
        for (int target = cell + s; cells[target] == empty_square; target += s) RecordSimple(target);
    } else {
      const int first = position_.white_to_move ? -5 : 5;
      const int second = position_.white_to_move ? -6 : 6;
      if (cells[cell + first] == empty_square) RecordSimple(cell + first);
      if (cells[cell + second] == empty_square) RecordSimple(cell + second);
    }
  }
}

Move MovesGenerator::Convert(const GeneratorMove& g) const {
  const auto& cells = position_.cells;
  Move m;
  m.from = cell_to_square(g.origin());
  m.piece = static_cast<Piece>(cells[g.origin()]);
  m.to = cell_to_square(g.destination());
  m.result = promoted(m.piece, m.to);
  const int count = g.count();
  m.captures.reserve(count);
  for (int k = 0; k < count; ++k)
    m.captures.emplace_back(cell_to_square(g.captured(k)), static_cast<Piece>(cells[g.captured(k)]));
  for (int k = 0; k + 1 < count; ++k) m.via.push_back(cell_to_square(g.landing(k)));
  return m;
}

std::vector<Move> MovesGenerator::GenerateMoves() {
  Generate();
  const std::set<GeneratorMove, GeneratorMoveCompare1> ordered(moves_.begin(), moves_.end());
  std::vector<Move> result;
  result.reserve(ordered.size());
  for (const auto& g : ordered) result.push_back(Convert(g));
  return result;
}

}  // namespace dam
