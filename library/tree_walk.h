#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"
#include "library/simple_hash.h"

namespace dam {

// The record of the walk's table: one position.
struct draughts_node {
  bitboard position;

  friend bool operator==(const draughts_node&, const draughts_node&) = default;
};

// The position of move 1: men on 1-20 and 31-50, white to move. No move leads back to it.
inline draughts_node starting_node() {
  return draughts_node{bitboard{0x003FF7FE00000000ULL, 0x00000000001FFBFFULL, 0, true}};
}

// 2^Bits slots, always replaced, indexed by the low 16 bits of the hash.
template <typename Node, int Bits>
class transposition_table {
  static_assert(Bits >= 1 && Bits <= 16, "the slot comes from the low 16 bits of the hash");

 public:
  static constexpr std::size_t slot_count = std::size_t{1} << Bits;

  explicit transposition_table(const Node& fill = starting_node()) : slots_(slot_count, fill) {}

  std::size_t slot(const Node& node) const { return (hash_(node.position) & 0xFFFF) >> (16 - Bits); }
  const Node& at(std::size_t slot) const { return slots_[slot]; }
  void put(const Node& node) { slots_[slot(node)] = node; }

 private:
  simple_hash hash_;
  std::vector<Node> slots_;
};

using move_path = std::vector<std::uint64_t>;

// What a walk looks for, and what it found.
struct search_position_action {
  explicit search_position_action(const bitboard& target_position) : target(target_position) {}

  bitboard target;
  std::vector<move_path> paths;
  // Positions the walk may visit before it gives up; it stops expanding once they are used.
  std::size_t node_limit = std::numeric_limits<std::size_t>::max();
  std::size_t nodes = 0;
  // The longest line the walk follows. Forced moves do not use up the depth, so
  // without this a cycle of forced moves would be walked for ever.
  std::size_t max_path_length = 200;

  bool exhausted() const { return nodes >= node_limit; }
};

// Walks every line of `depth` moves from `node` (a forced move costs no depth),
// reporting in the action each path that reaches its target, unless the table
// already holds the target from an earlier visit.
template <typename Table>
void walk_tree(Table& table, draughts_node& node, move_path& path, int depth, search_position_action& action) {
  if (action.exhausted()) return;
  ++action.nodes;
  const std::size_t slot = table.slot(node);
  if (!(table.at(slot) == node)) {
    table.put(node);
    if (node.position == action.target) action.paths.push_back(path);
  }
  bitboard_move_generator generator;
  const std::size_t count = generator.generate_moves(node.position);
  if (!(depth > 0 || count == 1) || path.size() >= action.max_path_length) return;
  const int child_depth = count >= 2 ? depth - 1 : depth;
  for (const std::uint64_t mask : generator.moves()) {
    draughts_node child = node;
    apply_move_mask(child.position, mask);
    path.push_back(mask);
    walk_tree(table, child, path, child_depth, action);
    path.pop_back();
  }
}

}  // namespace dam
