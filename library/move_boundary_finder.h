#pragma once
// Finds, in a stream of square events, the places where one move has ended
// and the next not yet begun, with the side then to move.

#include <map>
#include <vector>

#include "library/event.h"

namespace dam {

class move_boundary_finder {
 public:
  explicit move_boundary_finder(const std::vector<indexed_event>& events) : events_(events) {}

  // From event `start` on: event index -> white to move. The board just
  // before a marked event, with that side to move, lies between two moves.
  std::map<int, bool> run(int start);

 private:
  const std::vector<indexed_event>& events_;
};

}  // namespace dam
