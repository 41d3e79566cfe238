#include "library/match_result.h"

#include <algorithm>
#include <numeric>

namespace dam {

std::vector<event> compute_events(const Move& move) {
  std::vector<event> events;
  events.reserve(2 + move.captures.size());
  events.push_back({move.from, piece_char(move.piece), true, 0.0});
  events.push_back({move.to, piece_char(move.result), false, 0.0});
  for (const auto& [square, piece] : move.captures) events.push_back({square, piece_char(piece), true, 0.0});
  return events;
}

bool is_no_match(int code) { return code == no_match; }
bool is_self_match(int code) { return code >= self_match; }
bool is_self_match_greater(int code, int i) { return is_self_match(code) && code - self_match > i; }

namespace {

int partner(int code) { return code - self_match; }

struct pairing_counts {
  unsigned paired = 0;
  unsigned unpaired = 0;
};

// Pairs every still unmatched entry with the first later entry that undoes
// it, whatever that one's entry was.
template <typename Event>
pairing_counts pair_opposites(const std::vector<Event>& events, std::vector<int>& table) {
  pairing_counts counts;
  for (std::size_t j = 0; j < events.size(); ++j) {
    if (!is_no_match(table[j])) continue;
    ++counts.unpaired;
    for (std::size_t k = j + 1; k < events.size(); ++k) {
      if (opposite_event(events[j], events[k])) {
        table[j] = self_match + static_cast<int>(k);
        table[k] = self_match + static_cast<int>(j);
        ++counts.paired;
        --counts.unpaired;
        break;
      }
    }
  }
  return counts;
}

}  // namespace

void match_result::add_move(const Move& move) {
  for (const event& e : compute_events(move)) move_events.push_back(e);
  boundaries.push_back(static_cast<unsigned>(move_events.size()));
  moves.push_back(move);
}

void match_result::remove_last_move() {
  moves.pop_back();
  boundaries.pop_back();
  move_events.resize(boundaries.back());
}

void match_result::match() {
  move_matches.assign(move_events.size(), no_match);
  board_matches.assign(board_events.size(), no_match);
  int last_matched = -1;

  for (std::size_t j = 0; j < move_events.size(); ++j) {
    for (std::size_t b = 0; b < board_events.size(); ++b) {
      if (is_no_match(board_matches[b]) && matching_event(move_events[j], board_events[b])) {
        move_matches[j] = static_cast<int>(b);
        board_matches[b] = static_cast<int>(j);
        last_matched = std::max(last_matched, static_cast<int>(b));
        break;
      }
    }
  }

  const pairing_counts moves_left = pair_opposites(move_events, move_matches);
  paired_moves = moves_left.paired;
  unmatched_moves = moves_left.unpaired;

  pair_opposites(board_events, board_matches);

  unmatched_board = 0;
  crossing_board = 0;
  if (last_matched >= 0) {
    int prefix = last_matched;
    // Board events right after the prefix that undo earlier ones belong to it.
    while (prefix + 1 < static_cast<int>(board_events.size()) && is_self_match(board_matches[prefix + 1]) &&
           partner(board_matches[prefix + 1]) < prefix + 1)
      ++prefix;
    for (int i = 0; i <= prefix; ++i) {
      if (is_no_match(board_matches[i]))
        ++unmatched_board;
      else if (is_self_match_greater(board_matches[i], prefix))
        ++crossing_board;
    }
  }

  first_moves_swapped = false;
  if (moves.size() >= 2) {
    int first_of_first = no_match;
    for (unsigned j = boundaries[0]; j < boundaries[1]; ++j)
      if (move_matches[j] < no_match) first_of_first = std::min(first_of_first, move_matches[j]);
    int last_of_second = 0;
    for (unsigned j = boundaries[1]; j < boundaries[2]; ++j)
      if (move_matches[j] < no_match) last_of_second = std::max(last_of_second, move_matches[j]);
    first_moves_swapped = first_of_first > last_of_second;
  }

  compute_move_order();
}

void match_result::compute_move_order() {
  order_flags.clear();
  std::set<int> seen;
  for (std::size_t k = 0; k < moves.size(); ++k) {
    int flag = 0;
    for (unsigned j = boundaries[k]; j < boundaries[k + 1]; ++j) {
      int d = move_matches[j];
      if (d >= no_match) continue;
      if (!seen.empty() && d < *seen.rbegin()) flag = *seen.begin() < d ? 1 : 2;
      seen.insert(d);
    }
    if (k > 0) order_flags.push_back(flag);
  }
}

int match_result::order_sum() const { return std::accumulate(order_flags.begin(), order_flags.end(), 0); }

bool match_result::last_move_is_king_move() const { return !moves.empty() && is_king(moves.back().piece); }

int match_result::matched_move_count(int k) const {
  k = std::clamp(k, 0, move_count());
  const int move_event_count = static_cast<int>(move_matches.size());
  const int board_event_count = static_cast<int>(board_matches.size());
  for (int m = k; m >= 0; --m) {
    int e = static_cast<int>(boundaries[m]);
    // The same stretch over paired board events as the prefix of match(),
    // kept within both tables.
    while (e + 1 < board_event_count && is_self_match(board_matches[e + 1]) && partner(board_matches[e + 1]) < e + 1)
      ++e;
    e = std::min(e, move_event_count);
    bool complete = true;
    for (int i = 0; i < e && complete; ++i)
      complete = !is_no_match(move_matches[i]) && !is_self_match_greater(move_matches[i], e);
    if (complete) return m;
  }
  return 0;
}

int match_result::compute_depth(bool stable, const Position& position) {
  const int n = move_count();
  auto legal_move_count = [&position] { return position.generate_moves().size(); };
  const bool king_still_moving = !stable && last_move_is_king_move();

  depth = 0;
  if (n == 0 || first_moves_swapped || order_sum() > 2) return depth;

  if (score() == 0) {
    if (king_still_moving) {
      depth = matched_move_count(n - 1);
      if (depth == 0 && legal_move_count() == 1) depth = 1;
    } else {
      depth = n;
    }
  } else if (score() == 1 && unmatched_moves == 1) {
    const auto u = static_cast<unsigned>(std::find(move_matches.begin(), move_matches.end(), no_match) - move_matches.begin());
    const bool capture_first = moves.front().is_capture();
    if (n == 1) {
      depth = legal_move_count() == 1 || capture_first ? 1 : 0;
    } else if (u < boundaries[n - 1] && !king_still_moving && (capture_first || legal_move_count() == 1)) {
      depth = n;
    } else {
      // Count the missing event as seen for a moment.
      move_matches[u] = 0;
      depth = matched_move_count(n - 1);
      move_matches[u] = no_match;
      if (depth == 0 && legal_move_count() == 1) depth = 1;
    }
  } else if (score() == 1 && unmatched_board == 1) {
    if (king_still_moving)
      depth = n > 1 ? matched_move_count(n - 1) : 0;
    else
      depth = n;
  }
  return depth;
}

std::set<int> match_result::matched_board_events(int m) const {
  m = std::clamp(m, 0, move_count());
  std::set<int> explained;
  for (unsigned j = 0; j < boundaries[m]; ++j)
    if (move_matches[j] < no_match) explained.insert(move_matches[j]);
  if (explained.empty()) return explained;
  const int top = *explained.rbegin();
  for (int i = 0; i <= top; ++i)
    if (is_self_match(board_matches[i]) && partner(board_matches[i]) <= top) explained.insert(i);
  return explained;
}

std::vector<event> match_result::unmatched_move_events(int m) const {
  m = std::clamp(m, 0, move_count());
  const int end = static_cast<int>(boundaries[m]);
  std::vector<event> missing;
  for (int j = 0; j < end; ++j)
    if (is_no_match(move_matches[j]) || is_self_match_greater(move_matches[j], end - 1)) missing.push_back(move_events[j]);
  return missing;
}

std::vector<int> match_result::event_index_guesses() const {
  std::vector<int> guesses;
  for (std::size_t k = 0; k < moves.size(); ++k) {
    int guess = -1;
    for (unsigned j = boundaries[k]; j < boundaries[k + 1]; ++j) {
      int d = move_matches[j];
      if (d >= no_match) continue;
      int index = board_events[d].index;
      if (guess == -1 || index < guess) guess = index;
    }
    guesses.push_back(guess);
  }
  return guesses;
}

bool better_result(const match_result& a, const match_result& b) {
  if (a.first_moves_swapped != b.first_moves_swapped) return !a.first_moves_swapped;
  if (a.score() != b.score()) return a.score() < b.score();
  if (a.order_sum() != b.order_sum()) return a.order_sum() < b.order_sum();
  // With something unexplained, one move alone is the weaker story.
  if (a.score() != 0 && a.move_count() != b.move_count()) {
    if (a.move_count() == 1) return false;
    if (b.move_count() == 1) return true;
  }
  if (a.paired_moves != b.paired_moves) return a.paired_moves < b.paired_moves;
  if (a.move_count() != b.move_count()) return a.move_count() > b.move_count();
  if (a.unmatched_moves != b.unmatched_moves) return a.unmatched_moves < b.unmatched_moves;
  if (a.unmatched_board != b.unmatched_board) return a.unmatched_board < b.unmatched_board;
  return a.crossing_board < b.crossing_board;
}

std::size_t choose_best_result(const std::vector<match_result>& results) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < results.size(); ++i)
    if (better_result(results[i], results[best])) best = i;
  return best;
}

}  // namespace dam
