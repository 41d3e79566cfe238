#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "library/move.h"
#include "library/position.h"

namespace dam {

// The array generator's working record of one move, in cells.
struct GeneratorMove {
  // A captured piece never stands on an edge square (nothing lies beyond it),
  // and 32 squares are not on an edge: no capture can take more.
  static constexpr int max_captures = 32;
  static constexpr int origin_index = 0;
  static constexpr int landing_index = 1;
  static constexpr int capture_index = landing_index + max_captures;
  static constexpr int count_index = capture_index + max_captures;
  static constexpr int size = count_index + 1;

  std::array<std::int32_t, size> values{};

  int origin() const { return values[origin_index]; }
  // Landing k of a capture (0 = first); landing 0 is the target of a simple move.
  int landing(int k) const { return values[landing_index + k]; }
  int captured(int k) const { return values[capture_index + k]; }
  // Number of captured pieces; 0 for a simple move.
  int count() const { return values[count_index]; }
  int destination() const { return landing(count() == 0 ? 0 : count() - 1); }
};

// Origin, then destination, then the earlier landing cells; equal records are one move.
struct GeneratorMoveCompare1 {
  bool operator()(const GeneratorMove& a, const GeneratorMove& b) const;
};

class MovesGenerator {
 public:
  explicit MovesGenerator(const Position& position) : position_(position) {}

  // The legal moves, route by route, in GeneratorMoveCompare1 order.
  std::vector<Move> GenerateMoves();
  // Fills moves() with the working records of the legal moves.
  void Generate();
  // Extend the capture under construction from `cell` in direction `step`.
  void DoPieceCaptureDirection(int cell, int step);
  void DoKingCaptureDirection(int cell, int step);

  const std::vector<GeneratorMove>& moves() const { return moves_; }
  int best_capture_count() const { return best_; }

 private:
  bool is_opponent(std::int32_t value) const;
  bool is_own(std::int32_t value) const;
  void RecordCapture();
  void RecordSimple(int target);
  Move Convert(const GeneratorMove& g) const;

  Position position_;
  GeneratorMove current_;
  std::vector<GeneratorMove> moves_;
  int best_ = 0;
};

}  // namespace dam
