#include "library/fen.h"

#include <cctype>
#include <stdexcept>
#include <vector>

namespace dam {

std::string write_fen(const Position& p, const std::string& prefix, const std::string& suffix) {
  auto list = [&p](char colour, bool white) {
    std::string out = std::string(":") + colour;
    bool first = true;
    for (int s = 1; s <= 50; ++s) {
      const Piece piece = p.piece(s);
      if (!(white ? is_white(piece) : is_black(piece))) continue;
      if (!first) out += ',';
      first = false;
      if (is_king(piece)) out += 'K';
      out += std::to_string(s);
    }
    return out;
  };
  return prefix + "FEN \"" + (p.white_to_move ? "W" : "B") + list('W', true) + list('B', false) + "\"" +
         suffix;
}

namespace {

[[noreturn]] void fail(const std::string& why, const std::string& text) {
  throw std::invalid_argument("FEN " + why + ": " + text.substr(0, 200));
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

int parse_square(const std::string& digits, const std::string& text) {
  if (digits.empty() || digits.size() > 2) fail("bad square", text);
  int value = 0;
  for (char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) fail("bad square", text);
    value = value * 10 + (c - '0');
  }
  if (!is_square(value)) fail("square out of range", text);
  return value;
}

}  // namespace

Position read_fen(const std::string& text, bool* side_known) {
  std::string body = text;
  const auto open = body.find('"');
  if (open != std::string::npos) {
    const auto close = body.find('"', open + 1);
    if (close == std::string::npos) fail("without closing quote", text);
    body = body.substr(open + 1, close - open - 1);
  }
  std::string compact;
  for (char c : body)
    if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
  if (!compact.empty() && compact.back() == '.') compact.pop_back();

  const auto fields = split(compact, ':');
  if (fields.size() < 2 || fields[0].size() != 1) fail("without side", text);
  Position p;
  const char side = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[0][0])));
  if (side != 'W' && side != 'B' && side != '?') fail("with unknown side", text);
  p.white_to_move = side != 'B';
  if (side_known) *side_known = side != '?';

  bool seen[2] = {false, false};
  for (std::size_t f = 1; f < fields.size(); ++f) {
    const std::string& field = fields[f];
    if (field.empty()) fail("with empty list", text);
    const char colour = static_cast<char>(std::toupper(static_cast<unsigned char>(field[0])));
    if (colour != 'W' && colour != 'B') fail("with unknown colour", text);
    const bool white = colour == 'W';
    if (seen[white]) fail("with a colour twice", text);
    seen[white] = true;
    for (std::string entry : split(field.substr(1), ',')) {
      if (entry.empty()) continue;
      bool king = false;
      if (entry[0] == 'K' || entry[0] == 'k') {
        king = true;
        entry.erase(0, 1);
      }
      const auto dash = entry.find('-');
      const int first = parse_square(entry.substr(0, dash), text);
      const int last = dash == std::string::npos ? first : parse_square(entry.substr(dash + 1), text);
      if (last < first) fail("with a reversed range", text);
      const Piece piece = white ? (king ? white_king : white_man) : (king ? black_king : black_man);
      for (int s = first; s <= last; ++s) {
        if (p.piece(s) != empty_square) fail("with a square twice", text);
        p.set_piece(s, piece);
      }
    }
  }
  return p;
}

}  // namespace dam
