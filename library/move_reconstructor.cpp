#include "library/move_reconstructor.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>

#include "library/bitboard.h"
#include "library/bitboard_generator.h"
#include "library/move_boundary_finder.h"
#include "library/path_selector.h"
#include "library/reconstructor_config.h"
#include "library/tree_walk.h"

namespace dam {

namespace {

int occupied_squares(const std::string& board) {
  return static_cast<int>(std::count_if(board.begin(), board.end(),
                                        [](char c) { return c == 'o' || c == 'x' || c == 'O' || c == 'X'; }));
}

// Same number of moves and the same moves as far as both go.
int agreeing_moves(const match_result& a, const match_result& b) {
  int n = std::min(a.move_count(), b.move_count());
  int k = 0;
  while (k < n && a.moves[k] == b.moves[k]) ++k;
  return k;
}

bool equally_good(const match_result& a, const match_result& b) {
  return a.first_moves_swapped == b.first_moves_swapped && a.score() == b.score() && a.order_sum() == b.order_sum() &&
         a.move_count() == b.move_count() && a.paired_moves == b.paired_moves;
}

}  // namespace

move_reconstructor::move_reconstructor(const std::string& board_text, double time)
    : piece_count_threshold(static_cast<int>(configuration().lowest_piece_count_threshold)) {
  history.insert_position(board_text);
  Position start = string2position(board_text);
  start.white_to_move = 1;
  set_position(start);
  history.add_position(board_text, time);
}

void move_reconstructor::reset(const std::string& board_text) {
  history = event_history{};
  history.insert_position(board_text);
  played.clear();
  unmatched.clear();
  set_position(position);
}

void move_reconstructor::on_play_move(const Move& move) { std::cout << move.notation() << '\n'; }

void move_reconstructor::on_setup(const Position& setup_position) {
  std::ostringstream out;
  out << "<setup>\n";
  for (int row = 0; row < 10; ++row) {
    if (row % 2 == 0) out << "  ";
    for (int column = 0; column < 5; ++column) out << ' ' << piece_char(setup_position.piece(row * 5 + column + 1));
    out << '\n';
  }
  out << (setup_position.is_white_to_move() ? 'W' : 'B') << "\n\n";
  std::cout << out.str();
}

void move_reconstructor::on_erase_moves() {}

void move_reconstructor::set_position(const Position& new_position) {
  position = new_position;
  played.push_back({Move{}, position, -1});
  piece_count = position.piece_count();
}

void move_reconstructor::place_move(const Move& move, int event_index) {
  position.make_move(move);
  played.push_back({move, position, event_index});
  piece_count = position.piece_count();
  on_play_move(move);
}

void move_reconstructor::reconstruct(double time) { reconstruct_events(time, true); }

void move_reconstructor::reconstruct_events(double time, bool may_rerun) {
  if (unmatched.empty()) return;
  const reconstructor_config& config = configuration();
  const std::size_t chunk = std::max(1u, config.event_chunk_size);
  // Every pass explains at least one event; the cap only guards against a
  // line of moves that never runs out.
  const std::size_t pass_limit = unmatched.size() + 4 * (config.max_events + 1);
  bool played_any = false;
  for (std::size_t pass = 0; pass < pass_limit; ++pass) {
    drop_leading_touches();
    match_result accepted;
    bool found = false;
    for (std::size_t i = 0; i < unmatched.size() && i <= config.max_events && !found; ++i) {
      const double quiet_until = i + 1 < unmatched.size() ? unmatched[i + 1].time : time;
      const bool stable = quiet_until - unmatched[i].time > config.stable_time;
      if (i % chunk == 0 || stable || i + 1 == unmatched.size()) found = search_at(i, stable, accepted);
    }
    if (!found || accepted.moves.empty() || accepted.depth == 0) {
      if (played_any) return;
      break;
    }
    const bool explains_events = !accepted.matched_board_events(accepted.depth).empty();
    play_matched_moves(accepted, time);
    played_any = true;
    if (!explains_events) return;
  }
  if (played_any) return;

  const std::vector<indexed_event> left = remove_self_matches(unmatched);
  const bool too_many = unmatched.size() > config.max_events;
  const bool too_old = left.size() >= 2 && time - left.back().time > config.max_last_delay_time &&
                       time - left[1].time > config.max_first_delay_time;
  if (too_many || too_old) {
    setup();
    if (!unmatched.empty() && may_rerun) reconstruct_events(time, false);
  }
}

bool move_reconstructor::drop_leading_touches() {
  if (unmatched.empty()) return false;
  const bool white = is_white_piece(unmatched.front().piece);
  std::vector<event> pending;
  std::size_t settled = 0;
  for (std::size_t i = 0; i < unmatched.size() && is_white_piece(unmatched[i].piece) == white; ++i) {
    auto undone = std::find_if(pending.begin(), pending.end(),
                               [&](const event& p) { return opposite_event(p, unmatched[i]); });
    if (undone != pending.end())
      pending.erase(undone);
    else
      pending.push_back(unmatched[i]);
    if (pending.empty()) settled = i + 1;
  }
  unmatched.erase(unmatched.begin(), unmatched.begin() + static_cast<std::ptrdiff_t>(settled));
  return settled > 0;
}

bool move_reconstructor::search_at(std::size_t last, bool stable, match_result& accepted) {
  const reconstructor_config& config = configuration();
  path_selector selector(position, std::vector<indexed_event>(unmatched.begin(), unmatched.begin() + last + 1));
  for (int depth = 1;; ++depth) {
    selector.max_depth = depth;
    selector.run();
    if (selector.results.empty()) return false;
    match_result& latest = selector.results.back();
    if (latest.score() == 0 && latest.compute_depth(stable, position) != 0 && selector.results.size() == 1) break;
    if ((depth > 2 && latest.score() > 3) || selector.nodes > config.search_node_budget ||
        depth >= config.max_candidate_moves)
      break;
  }

  match_result chosen = selector.results[choose_best_result(selector.results)];
  if (chosen.compute_depth(stable, position) == 0) return false;
  if (chosen.depth == 1 || chosen.unmatched_moves == 1) {
    // A doubtful result is played only as far as every equally good
    // alternative tells the same story.
    for (const match_result& other : selector.results)
      if (&other != &chosen && equally_good(other, chosen))
        chosen.depth = std::min(chosen.depth, agreeing_moves(other, chosen));
  }
  if (chosen.depth <= 0) return false;
  accepted = std::move(chosen);
  return true;
}

void move_reconstructor::play_matched_moves(const match_result& result, double time) {
  const std::vector<int> guesses = result.event_index_guesses();
  const int depth = std::min(result.depth, result.move_count());
  for (int k = 0; k < depth; ++k) place_move(result.moves[k], guesses[k]);
  unmatched = remove_indices(unmatched, result.matched_board_events(depth));
  // What the moves did but the board has not shown yet becomes an event
  // waiting to be undone by the board.
  std::vector<indexed_event> awaited;
  for (const event& e : result.unmatched_move_events(depth))
    awaited.emplace_back(event{e.square, e.piece, !e.removed, time}, -1);
  unmatched.insert(unmatched.begin(), awaited.begin(), awaited.end());
}

void move_reconstructor::setup() {
  int start = history.events.empty() ? 0 : history.events.back().index;
  // Events close together in the history mark where the unexplained play began.
  std::vector<int> indices;
  for (const indexed_event& e : unmatched)
    if (e.index != -1) indices.push_back(e.index);
  for (std::size_t i = 1; i < indices.size(); ++i) {
    if (std::abs(indices[i] - indices[i - 1]) <= 2) {
      start = indices[i - 1];
      break;
    }
  }

  const std::map<int, bool> boundaries = move_boundary_finder(history.events).run(start);
  if (!boundaries.empty()) {
    const auto [k, white_to_move] = *boundaries.begin();
    set_position(string2position(history.boards[k] + (white_to_move ? "W" : "B")));
    on_setup(position);
    repair_setup();
    unmatched.clear();
    add_unmatched_board_events(std::vector<indexed_event>(history.events.begin() + k, history.events.end()));
    return;
  }

  // The side that did not lose a piece last is to move.
  bool white_to_move = true;
  for (auto e = history.events.rbegin(); e != history.events.rend(); ++e) {
    if (e->removed) {
      white_to_move = !is_white_piece(e->piece);
      break;
    }
  }
  set_position(string2position(history.boards.back() + (white_to_move ? "W" : "B")));
  on_setup(position);
  repair_setup();
  unmatched.clear();
}

void move_reconstructor::repair_setup() {
  const int depth = static_cast<int>(configuration().repair_setup_depth);
  const int n = static_cast<int>(played.size());
  if (depth == 0 || !played.back().is_setup() || n == 1 || n == repair_count) return;
  repair_count = n;
  const int base = std::max(0, n - depth);
  const Position target = position;
  const Position from = played[base].position;
  if (!repair_setup(from, target, base) && n - 2 >= 0) {
    const Position before_setup = played[n - 2].position;
    repair_setup(before_setup, target, n - 2);
  }
}

bool move_reconstructor::repair_setup(const Position& from, const Position& to, int base) {
  const reconstructor_config& config = configuration();
  const int max_depth = static_cast<int>(config.repair_setup_depth);
  if (max_depth <= 0 || base < 0 || base >= static_cast<int>(played.size())) return false;
  const bitboard start = string2bitboard(board_printer::print(from));
  const bitboard target = string2bitboard(board_printer::print(to));

  transposition_table<draughts_node, 14> table;
  std::vector<move_path> paths;
  for (int depth = 1; depth <= max_depth && paths.empty(); ++depth) {
    search_position_action action(target);
    // The budget ends the deepening; the hard limit keeps one last deep walk
    // from stalling every board of the server.
    action.node_limit = 4 * config.repair_node_budget;
    draughts_node root{start};
    move_path path;
    walk_tree(table, root, path, depth, action);
    paths = std::move(action.paths);
    if (action.nodes > config.repair_node_budget) break;
  }
  if (paths.empty()) return false;

  std::vector<Move> chosen = convert_bitboard_moves(start, paths.front());
  const int first_event = base + 1 < static_cast<int>(played.size()) ? played[base + 1].event_index : -1;
  if (first_event >= 0 && first_event < static_cast<int>(history.events.size())) {
    // Prefer the line that best explains what the board showed since then.
    match_result best;
    for (const move_path& path : paths) {
      match_result candidate;
      candidate.board_events.assign(history.events.begin() + first_event, history.events.end());
      for (const Move& move : convert_bitboard_moves(start, path)) candidate.add_move(move);
      candidate.match();
      if (&path == &paths.front() || better_result(candidate, best)) best = std::move(candidate);
    }
    chosen = best.moves;
  }

  played.resize(static_cast<std::size_t>(base) + 1);
  on_erase_moves();
  position = from;
  piece_count = position.piece_count();
  for (const Move& move : chosen) place_move(move, -1);
  repair_count = static_cast<int>(played.size());
  return true;
}

std::vector<indexed_event> move_reconstructor::remove_self_matches(const std::vector<indexed_event>& events) {
  std::vector<bool> consumed(events.size(), false);
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (consumed[i]) continue;
    for (std::size_t k = i + 1; k < events.size(); ++k) {
      if (opposite_event(events[i], events[k])) {
        consumed[i] = consumed[k] = true;
        break;
      }
    }
  }
  std::vector<indexed_event> left;
  for (std::size_t i = 0; i < events.size(); ++i)
    if (!consumed[i]) left.push_back(events[i]);
  return left;
}

void move_reconstructor::add_unmatched_board_events(const std::vector<indexed_event>& events) {
  if (board_refilled) return;
  for (const indexed_event& e : events) {
    const bool known = e.index >= 0 && e.index < static_cast<int>(history.boards.size());
    if (known && occupied_squares(history.boards[e.index]) >= piece_count + piece_count_threshold) {
      // More pieces than the game can have: the board is being set up anew.
      board_refilled = true;
      break;
    }
    unmatched.push_back(e);
  }
  unmatched = filter_events(unmatched);
}

std::vector<indexed_event> move_reconstructor::filter_events(const std::vector<indexed_event>& events) {
  std::set<int> dropped;
  for (std::size_t i = 1; i < events.size(); ++i) {
    const indexed_event& before = events[i - 1];
    const indexed_event& after = events[i];
    if (before.square == after.square && is_white_piece(before.piece) == is_white_piece(after.piece) &&
        !before.removed && after.removed) {
      dropped.insert(static_cast<int>(i - 1));
      dropped.insert(static_cast<int>(i));
    }
  }
  return remove_indices(events, dropped);
}

}  // namespace dam

