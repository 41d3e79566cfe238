#pragma once
// The values that steer the reconstruction. One process-wide set, read at
// the time of use, so a configuration file read at a game reset takes
// effect from then on.

#include <cstdint>

namespace dam {

struct reconstructor_config {
  // Settings of the configuration file, with their defaults.
  double stable_time = 3.0;             // quiet seconds that make an event stable
  unsigned max_events = 16;             // events per search beyond the first; more unexplained ones force a setup
  double max_wait_time = 5.0;           // reported only
  double max_first_delay_time = 12.0;   // setup when the second unexplained event is older than this...
  double max_last_delay_time = 5.0;     // ...and the last one older than this
  unsigned max_move_length = 20;        // reported only
  unsigned event_chunk_size = 7;        // a search at every multiple of this many events
  unsigned lowest_piece_count_threshold = 3;  // extra pieces that mean the board is refilled
  bool reset_in_begin_position = true;  // reported only
  unsigned repair_setup_depth = 4;      // moves bridged by a setup repair; 0 switches repair off

  // Fixed limits. The budgets count search nodes instead of processor time,
  // so that the same events give the same game on every machine and under
  // sanitizers; each is sized to the time it replaces on the reference
  // machine (bench/reconstruct measures the rates).
  int max_candidate_moves = 7;
  std::uint64_t search_node_budget = 150000;  // about 0.4 s of one candidate search step
  std::uint64_t repair_node_budget = 330000;  // about 0.1 s of one repair search step
};

// The process-wide values.
reconstructor_config& configuration();

}  // namespace dam
