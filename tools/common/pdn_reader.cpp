#include "tools/common/pdn_reader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "library/fen.h"
#include "library/perft.h"

namespace rumo_tools {

std::string PdnGame::tag(const std::string& name) const {
  for (const auto& [key, value] : tags)
    if (key == name) return value;
  return "";
}

dam::Position PdnGame::position_after(std::size_t ply) const {
  dam::Position p = start;
  for (std::size_t i = 0; i < moves.size() && i < ply; ++i) p.make_move(moves[i]);
  return p;
}

namespace {

bool is_subsequence(const std::vector<int>& wanted, const std::vector<int>& in) {
  auto it = in.begin();
  for (int w : wanted) {
    it = std::find(it, in.end(), w);
    if (it == in.end()) return false;
    ++it;
  }
  return true;
}

bool contains_all(const std::vector<int>& wanted, const dam::Move& m) {
  const auto captured = dam::captured_squares(m);
  return std::all_of(wanted.begin(), wanted.end(), [&](int w) {
    return std::find(captured.begin(), captured.end(), w) != captured.end();
  });
}

std::string squares_text(const std::vector<int>& squares) {
  std::string out;
  for (std::size_t i = 0; i < squares.size(); ++i) out += (i ? "/" : "") + std::to_string(squares[i]);
  return out;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  std::vector<PdnGame> run() {
    while (pos_ < text_.size()) step();
    finish_game();
    return std::move(games_);
  }

 private:
  char at(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

  void advance() {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;
  }

  void skip_to(char end) {
    while (pos_ < text_.size() && text_[pos_] != end) advance();
    if (pos_ < text_.size()) advance();
  }

  void mark_content() {
    if (!has_content_) {
      has_content_ = true;
      game_.first_line = line_;
    }
  }

  void finish_game() {
    if (has_content_) games_.push_back(std::move(game_));
    game_ = PdnGame();
    position_ = game_.start;
    has_content_ = false;
    side_known_ = true;
  }

  void step() {
    const char c = text_[pos_];
    const bool line_start = pos_ == 0 || text_[pos_ - 1] == '\n';
    if (c == '%' && line_start) return skip_to('\n');
    if (c == '[') return read_tag();
    if (c == '{') return skip_to('}');
    if (c == ';') return skip_to('\n');
    if (c == '(') return skip_variation();
    if (c == '*') {
      advance();
      return set_result("*");
    }
    if (is_digit(c)) return read_number_token();
    advance();  // blanks, NAGs' "$", annotation marks, anything unknown
  }

  void skip_variation() {
    int depth = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '{') {
        skip_to('}');
        continue;
      }
      advance();
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0) return;
    }
  }

  void read_tag() {
    if (!game_.moves.empty() || !game_.result.empty() || !game_.error.empty()) finish_game();
    mark_content();
    advance();
    std::string name;
    while (pos_ < text_.size() && !is_blank(text_[pos_]) && text_[pos_] != '"' && text_[pos_] != ']' &&
           text_[pos_] != '\n')
      name += text_[pos_++];
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    std::string value;
    if (at(pos_) == '"') {
      ++pos_;
      while (pos_ < text_.size() && text_[pos_] != '"') {
        if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) ++pos_;
        if (text_[pos_] == '\n') ++line_;
        value += text_[pos_++];
      }
    }
    skip_to(']');
    game_.tags.emplace_back(name, value);
    if (name == "FEN") {
      try {
        game_.start = dam::read_fen(value, &side_known_);
        position_ = game_.start;
      } catch (const std::invalid_argument& e) {
        game_.error = e.what();
      }
    }
  }

  void set_result(const std::string& result) {
    mark_content();
    game_.result = result;
    finish_game();
  }

  int read_number() {
    int value = 0;
    int digits = 0;
    while (pos_ < text_.size() && is_digit(text_[pos_])) {
      if (digits++ < 4) value = value * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    return value;
  }

  void read_number_token() {
    if (text_.compare(pos_, 7, "1/2-1/2") == 0) {
      pos_ += 7;
      return set_result("1/2-1/2");
    }
    const std::size_t start = pos_;
    std::vector<int> squares{read_number()};
    if (at(pos_) == '.') {  // a move number
      while (at(pos_) == '.') ++pos_;
      return;
    }
    bool blanks = false;
    while (at(pos_) == '-' || at(pos_) == 'x' || at(pos_) == 'X') {
      std::size_t next = pos_ + 1;
      while (is_blank(at(next))) ++next;
      if (!is_digit(at(next))) break;
      blanks = blanks || next > pos_ + 1;
      pos_ = next;
      squares.push_back(read_number());
    }
    if (squares.size() < 2) return;  // a stray number
    const std::string token = text_.substr(start, pos_ - start);
    if (!blanks && squares.size() == 2 && token[1] == '-' && token.size() == 3 && squares[0] <= 2 &&
        squares[1] <= 2)
      return set_result(token);
    play(squares, token);
  }

  void play(const std::vector<int>& squares, const std::string& token) {
    mark_content();
    if (!game_.error.empty()) return;
    if (game_.moves.empty() && !side_known_) {
      // An unknown side: the first move tells.
      const dam::Piece mover = game_.start.piece(std::clamp(squares.front(), 1, 50));
      if (dam::is_black(mover)) game_.start.white_to_move = 0;
      position_ = game_.start;
      side_known_ = true;
    }
    const MoveMatch match = match_pdn_move(position_, squares);
    if (!match.error.empty()) {
      game_.error = "line " + std::to_string(line_) + ", ply " + std::to_string(game_.moves.size() + 1) + " \"" +
                    token + "\": " + match.error;
      return;
    }
    position_.make_move(match.move);
    game_.moves.push_back(match.move);
  }

  const std::string& text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::vector<PdnGame> games_;
  PdnGame game_;
  dam::Position position_ = game_.start;
  bool has_content_ = false;
  bool side_known_ = true;
};

}  // namespace

std::vector<PdnGame> read_pdn(const std::string& text) { return Reader(text).run(); }

std::vector<PdnGame> read_pdn_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return read_pdn(text.str());
}

MoveMatch match_pdn_move(const dam::Position& position, const std::vector<int>& squares) {
  MoveMatch result;
  if (squares.size() < 2) {
    result.error = "too few squares";
    return result;
  }
  std::vector<dam::Move> candidates;
  for (auto& m : position.generate_moves())
    if (m.from == squares.front() && m.to == squares.back()) candidates.push_back(std::move(m));
  if (squares.size() > 2) {
    const std::vector<int> between(squares.begin() + 1, squares.end() - 1);
    std::vector<dam::Move> by_landing;
    std::vector<dam::Move> by_capture;
    for (const auto& m : candidates) {
      if (is_subsequence(between, m.via)) by_landing.push_back(m);
      if (contains_all(between, m)) by_capture.push_back(m);
    }
    candidates = by_landing.empty() ? by_capture : by_landing;
  }
  const auto distinct = dam::distinct_moves(candidates);
  if (distinct.empty())
    result.error = "no legal move " + squares_text(squares);
  else if (distinct.size() > 1)
    result.error = "ambiguous: " + std::to_string(distinct.size()) + " legal moves fit";
  else
    result.move = distinct.front();
  return result;
}

std::string pdn_move_text(const dam::Position& position, const dam::Move& move) {
  int same_ends = 0;
  for (const auto& m : dam::distinct_moves(position.generate_moves()))
    same_ends += m.from == move.from && m.to == move.to;
  if (same_ends <= 1) return move.notation();
  std::string text = std::to_string(move.from);
  for (int square : move.via) {
    text += 'x';
    text += std::to_string(square);
  }
  text += 'x';
  text += std::to_string(move.to);
  return text;
}

std::string write_pdn_moves(const dam::Position& start, const std::vector<dam::Move>& moves) {
  std::string out;
  dam::Position p = start;
  int number = 1;
  for (std::size_t i = 0; i < moves.size(); ++i) {
    if (!out.empty()) out += ' ';
    if (p.white_to_move)
      out += std::to_string(number) + ". ";
    else if (i == 0)
      out += std::to_string(number) + "... ";
    out += pdn_move_text(p, moves[i]);
    p.make_move(moves[i]);
    if (p.white_to_move) ++number;
  }
  return out;
}

}  // namespace rumo_tools
