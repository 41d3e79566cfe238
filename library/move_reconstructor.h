#pragma once
// The reconstructed game of one board: turns the square events the board
// reports into legal moves, jumps to the board's position when the events
// cannot be explained, and later bridges such a jump with legal moves when
// it can. Derived classes hear of every move, setup and rollback through
// the three hooks.

#include <string>
#include <vector>

#include "library/event.h"
#include "library/event_history.h"
#include "library/match_result.h"
#include "library/move.h"
#include "library/position.h"

namespace dam {

struct played_entry {
  Move move;  // all zero for a setup
  Position position;  // after the move
  int event_index = -1;  // first board event the move explained; -1 if none or a setup

  bool is_setup() const { return move.from == 0; }
};

class move_reconstructor {
 public:
  // Starts from the board text, white to move, at server time `time`.
  move_reconstructor(const std::string& board_text, double time);
  move_reconstructor(const move_reconstructor&) = default;
  move_reconstructor& operator=(const move_reconstructor&) = default;

  // Restarts the history from the text and the game from the current position.
  virtual void reset(const std::string& board_text);
  virtual ~move_reconstructor() = default;
  virtual void on_play_move(const Move& move);
  virtual void on_setup(const Position& position);
  virtual void on_erase_moves();

  void set_position(const Position& new_position);

  // Plays every move the unmatched events safely explain at server time
  // `time`; falls back to a setup when they cannot be explained.
  void reconstruct(double time);

  void play_matched_moves(const match_result& result, double time);
  void setup();
  void repair_setup();
  // Replaces the entries after `base` by a line of legal moves from `from`
  // to `to`, if one of at most the configured depth exists.
  bool repair_setup(const Position& from, const Position& to, int base);

  // The events left after pairing each with the first later one that undoes it.
  static std::vector<indexed_event> remove_self_matches(const std::vector<indexed_event>& events);

  // Takes events from the board into `unmatched`, unless the board has been
  // refilled for a new game.
  void add_unmatched_board_events(const std::vector<indexed_event>& events);
  // Drops a piece put down and lifted again at once.
  static std::vector<indexed_event> filter_events(const std::vector<indexed_event>& events);

  Position position;
  event_history history;
  std::vector<played_entry> played;
  std::vector<indexed_event> unmatched;
  int piece_count = 0;
  int piece_count_threshold = 0;
  bool board_refilled = false;
  int repair_count = 0;

 private:
  // One call of reconstruct; `may_rerun` allows the pass after a setup.
  void reconstruct_events(double time, bool may_rerun);
  bool drop_leading_touches();
  // Searches the unmatched events up to `last`; true with `accepted` set
  // when a result may be played.
  bool search_at(std::size_t last, bool stable, match_result& accepted);
  void place_move(const Move& move, int event_index);
};

}  // namespace dam
