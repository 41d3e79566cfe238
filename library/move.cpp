#include "library/move.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace dam {

std::string Move::notation() const {
  return std::to_string(from) + (captures.empty() ? "-" : "x") + std::to_string(to);
}

std::vector<int> captured_squares(const Move& m) {
  std::vector<int> squares;
  squares.reserve(m.captures.size());
  for (const auto& c : m.captures) squares.push_back(c.first);
  std::sort(squares.begin(), squares.end());
  return squares;
}

bool operator==(const Move& a, const Move& b) {
  return a.from == b.from && a.to == b.to && a.captures.size() == b.captures.size() &&
         captured_squares(a) == captured_squares(b);
}

std::string move_notation(const Move& m, int number) {
  std::ostringstream out;
  if (is_white(m.piece))
    out << std::setw(3) << number << ". " << m.notation();
  else
    out << "     " << m.notation();
  return out.str();
}

std::ostream& operator<<(std::ostream& out, const Move& m) {
  out << m.notation();
  if (!m.captures.empty()) {
    out << " [";
    for (std::size_t i = 0; i < m.captures.size(); ++i)
      out << (i ? "," : "") << m.captures[i].first << piece_char(m.captures[i].second);
    out << "]";
  }
  return out;
}

}  // namespace dam
