#pragma once
// A board that reports square changes to a reconstructor the way a game
// object does, with a clock that the test advances.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/move_reconstructor.h"
#include "library/position.h"
#include "library/reconstructor_config.h"

namespace dam::testing {

inline const std::string kStartBoard = "xxxxxxxxxxxxxxxxxxxx..........oooooooooooooooooooo";

// A board text with only the given pieces.
inline std::string board_with_pieces(std::initializer_list<std::pair<int, char>> pieces) {
  std::string board(50, '.');
  for (const auto& [square, piece] : pieces) board.replace(square - 1, 1, 1, piece);
  return board;
}

// Records what the hooks report instead of printing it.
class recording_reconstructor : public move_reconstructor {
 public:
  using move_reconstructor::move_reconstructor;

  void on_play_move(const Move& move) override { reports.push_back(move.notation()); }
  void on_setup(const Position& p) override { reports.push_back("setup " + board_printer::print(p)); }
  void on_erase_moves() override { reports.push_back("erase"); }

  // The real moves of the game as it stands, in notation.
  std::vector<std::string> moves() const {
    std::vector<std::string> out;
    for (const played_entry& entry : played)
      if (!entry.is_setup()) out.push_back(entry.move.notation());
    return out;
  }
  int setups() const {
    int n = 0;
    for (const played_entry& entry : played) n += entry.is_setup();
    return n;
  }

  std::vector<std::string> reports;
};

class board_feed {
 public:
  explicit board_feed(const std::string& start = kStartBoard, double start_time = 100.0)
      : game(start, start_time), board(start), time(start_time) {}

  // One square change, taken in as a game object does, then a reconstruction
  // at that moment.
  void change(int square, char piece) {
    board.replace(square - 1, 1, 1, piece);
    game.add_unmatched_board_events(game.history.add_position(board, time));
    if (reconstruct_on_change) game.reconstruct(time);
  }
  // Several squares changed in one report, as after a lost connection: the
  // events come in square order, all at one time.
  void show(const std::string& new_board) {
    board = new_board;
    game.add_unmatched_board_events(game.history.add_position(board, time));
    if (reconstruct_on_change) game.reconstruct(time);
  }
  void lift(int square) { change(square, '.'); }
  void place(int square, char piece) { change(square, piece); }
  void wait(double seconds) {
    time += seconds;
    game.reconstruct(time);
  }

  // The legal move of the reconstructed position written as `notation`
  // (a capture may name its landing squares: "47x38x24").
  Move legal_move(const std::string& notation) const { return find_move(game.position, notation); }

  // The board shows the move as a careful player makes it: lift the piece,
  // put it down, take off the captured pieces one by one.
  void play_cleanly(const Move& move, double think_seconds = 4.0, double step_seconds = 0.5) {
    time += think_seconds;
    lift(move.from);
    time += step_seconds;
    place(move.to, piece_char(move.result));
    for (const auto& capture : move.captures) {
      time += step_seconds;
      lift(capture.first);
    }
  }

  static Move find_move(const Position& position, const std::string& notation) {
    for (const Move& m : position.generate_moves())
      if (matches_notation(m, notation)) return m;
    ADD_FAILURE() << "no legal move " << notation << " in " << board_printer::print(position);
    return Move{};
  }

  recording_reconstructor game;
  std::string board;
  double time;
  bool reconstruct_on_change = true;

 private:
  static bool matches_notation(const Move& m, const std::string& notation) {
    if (m.notation() == notation) return true;
    // Full route: from, every landing square, to.
    std::string route = std::to_string(m.from);
    for (int v : m.via) route.append(1, 'x').append(std::to_string(v));
    route.append(1, 'x').append(std::to_string(m.to));
    return m.is_capture() && route == notation;
  }
};

// Sets configuration values for one test and puts the old ones back.
class scoped_configuration {
 public:
  scoped_configuration() : saved_(configuration()) {}
  ~scoped_configuration() { configuration() = saved_; }
  scoped_configuration(const scoped_configuration&) = delete;
  scoped_configuration& operator=(const scoped_configuration&) = delete;
  reconstructor_config* operator->() { return &configuration(); }

 private:
  reconstructor_config saved_;
};

}  // namespace dam::testing
