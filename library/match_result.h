#pragma once
// A candidate line of moves compared with the observed board events: which
// move event explains which board event, what is left over, and how many
// of the moves may safely be played.

#include <set>
#include <vector>

#include "library/event.h"
#include "library/move.h"
#include "library/position.h"

namespace dam {

// The events a move causes: the mover lifted, its result placed, then each
// captured piece lifted in capture order. Times are 0.
std::vector<event> compute_events(const Move& move);

// Codes of the match tables: an index (below no_match) into the other list,
// no_match, or self_match + k for a pairing with entry k of the same list.
constexpr int no_match = 1000;
constexpr int self_match = 2000;

bool is_no_match(int code);
bool is_self_match(int code);
// A pairing whose partner lies beyond entry i.
bool is_self_match_greater(int code, int i);

class match_result {
 public:
  std::vector<indexed_event> board_events;
  std::vector<Move> moves;
  std::vector<event> move_events;
  // Entry k is where the events of move k start; the last entry is the total.
  std::vector<unsigned> boundaries{0};
  std::vector<int> board_matches;
  std::vector<int> move_matches;
  // From the second move on: 0 in order, 1 interleaved with earlier moves,
  // 2 entirely before them.
  std::vector<int> order_flags;
  unsigned unmatched_board = 2000;
  unsigned crossing_board = 0;
  unsigned unmatched_moves = 2000;
  unsigned paired_moves = 0;
  int depth = 0;
  bool first_moves_swapped = false;

  // Appends a move with its events.
  void add_move(const Move& move);
  // Takes back the last add_move.
  void remove_last_move();

  void match();
  void compute_move_order();
  // Sets and returns `depth`: how many leading moves may be played.
  // `position` is the position before the first move.
  int compute_depth(bool stable, const Position& position);

  // The largest m <= k such that the events of the first m moves are all
  // matched or paired among themselves.
  int matched_move_count(int k) const;
  // Positions in board_events explained by the first m moves.
  std::set<int> matched_board_events(int m) const;
  // Events of the first m moves that no board event has shown yet.
  std::vector<event> unmatched_move_events(int m) const;
  // Per move, the smallest history index of the board events it matched
  // directly, or -1.
  std::vector<int> event_index_guesses() const;

  unsigned score() const { return unmatched_board + crossing_board + unmatched_moves; }
  int order_sum() const;
  int move_count() const { return static_cast<int>(moves.size()); }

 private:
  bool last_move_is_king_move() const;
};

// True when `a` is to be preferred over `b` as the explanation of the events.
bool better_result(const match_result& a, const match_result& b);

// Index of the preferred result: walking in order, a later one replaces the
// choice only when strictly better. The list must not be empty.
std::size_t choose_best_result(const std::vector<match_result>& results);

}  // namespace dam
