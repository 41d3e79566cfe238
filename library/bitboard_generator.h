#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/bitboard.h"
#include "library/move.h"

namespace dam {

namespace bits {

// A diagonal step of every bit of x: -6 and -5 towards square 1, +5 and +6 towards 50.
template <int D>
constexpr std::uint64_t shift(std::uint64_t x) {
  if constexpr (D > 0)
    return x << D;
  else
    return x >> -D;
}

constexpr std::uint64_t lowest(std::uint64_t x) { return x & (~x + 1); }

// Without a popcount instruction in the build, std::popcount is a library call;
// the inline bit-slice count is faster than that call.
constexpr int count(std::uint64_t x) {
#if defined(__POPCNT__)
  return std::popcount(x);
#else
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
#endif
}

}  // namespace bits

// The bitboard move generator. Moves are masks of origin, destination and captured
// pieces, sorted ascending without duplicates, so captures that differ only in
// their route are one move. bit_move_vector is the output list (push_back, clear,
// begin, end, erase, size).
template <typename bit_move_vector>
class move_generator_base {
 public:
  // Fills moves() with the legal moves and returns their number. Without
  // captures_allowed only moves without capture are produced.
  std::size_t generate_moves(std::uint64_t white, std::uint64_t black, std::uint64_t kings, bool white_to_move,
                             bool captures_allowed = true) {
    setup(white, black, kings, white_to_move);
    moves_.clear();
    max_captures_ = 0;
    if (captures_allowed) do_captures();
    if (max_captures_ == 0) do_moves();
    std::sort(moves_.begin(), moves_.end());
    if (max_captures_ > 0) moves_.erase(std::unique(moves_.begin(), moves_.end()), moves_.end());
    return moves_.size();
  }

  std::size_t generate_moves(const bitboard& p, bool captures_allowed = true) {
    return generate_moves(p.white, p.black, p.kings, p.white_to_move, captures_allowed);
  }

  // The number of legal moves, counted without listing the moves where there is no capture.
  std::size_t count_moves(const bitboard& p) {
    setup(p.white, p.black, p.kings, p.white_to_move);
    if (has_captures()) {
      moves_.clear();
      max_captures_ = 0;
      do_captures();
      std::sort(moves_.begin(), moves_.end());
      return static_cast<std::size_t>(std::unique(moves_.begin(), moves_.end()) - moves_.begin());
    }
    return count_simple_moves();
  }

  const bit_move_vector& moves() const { return moves_; }
  // The number of pieces each of the moves captures.
  int max_captures() const { return max_captures_; }

 private:
  void setup(std::uint64_t white, std::uint64_t black, std::uint64_t kings, bool white_to_move) {
    white_to_move_ = white_to_move;
    own_ = white_to_move ? white : black;
    opp_ = white_to_move ? black : white;
    kings_ = kings;
    empty_ = ~(white | black) & board_mask;
    captured_ = 0;
  }

  template <int D>
  std::uint64_t man_capturers(std::uint64_t men) const {
    return men & bits::shift<-D>(opp_) & bits::shift<-2 * D>(empty_);
  }

  std::uint64_t man_capturers(std::uint64_t men) const {
    return man_capturers<-6>(men) | man_capturers<-5>(men) | man_capturers<5>(men) | man_capturers<6>(men);
  }

  template <int D>
  bool king_can_capture(std::uint64_t king) const {
    std::uint64_t b = bits::shift<D>(king);
    while (b & empty_) b = bits::shift<D>(b);
    return (b & opp_) && (bits::shift<D>(b) & empty_);
  }

  bool has_captures() const {
    if (man_capturers(own_ & ~kings_)) return true;
    for (std::uint64_t k = own_ & kings_; k; k &= k - 1) {
      const std::uint64_t king = bits::lowest(k);
      if (king_can_capture<-6>(king) || king_can_capture<-5>(king) || king_can_capture<5>(king) ||
          king_can_capture<6>(king))
        return true;
    }
    return false;
  }

  void record(std::uint64_t square, int count) {
    if (count < max_captures_ || count == 0) return;
    if (count > max_captures_) {
      moves_.clear();
      max_captures_ = count;
    }
    moves_.push_back(origin_ | square | captured_);
  }

  template <int D>
  bool do_piece_capture_direction(std::uint64_t square, int count) {
    const std::uint64_t jumped = bits::shift<D>(square);
    if (!(jumped & opp_ & ~captured_)) return false;
    const std::uint64_t landing = bits::shift<D>(jumped);
    if (!(landing & empty_)) return false;
    captured_ |= jumped;
    do_piece_captures_from(landing, count + 1);
    captured_ ^= jumped;
    return true;
  }

  void do_piece_captures_from(std::uint64_t square, int count) {
    bool extended = do_piece_capture_direction<-6>(square, count);
    extended |= do_piece_capture_direction<-5>(square, count);
    extended |= do_piece_capture_direction<5>(square, count);
    extended |= do_piece_capture_direction<6>(square, count);
    // Recording only where the capture cannot go on is enough: a longer capture
    // always outnumbers its prefix.
    if (!extended) record(square, count);
  }

  template <int D>
  bool do_king_capture_direction(std::uint64_t square, int count) {
    std::uint64_t jumped = bits::shift<D>(square);
    while (jumped & empty_) jumped = bits::shift<D>(jumped);
    if (!(jumped & opp_ & ~captured_)) return false;  // captured pieces block the ray
    std::uint64_t landing = bits::shift<D>(jumped);
    if (!(landing & empty_)) return false;
    captured_ |= jumped;
    do {
      do_king_captures_from(landing, count + 1);
      landing = bits::shift<D>(landing);
    } while (landing & empty_);
    captured_ ^= jumped;
    return true;
  }

  void do_king_captures_from(std::uint64_t square, int count) {
    bool extended = do_king_capture_direction<5>(square, count);
    extended |= do_king_capture_direction<6>(square, count);
    extended |= do_king_capture_direction<-6>(square, count);
    extended |= do_king_capture_direction<-5>(square, count);
    if (!extended) record(square, count);
  }

  void do_piece_captures(std::uint64_t origin) {
    origin_ = origin;
    empty_ |= origin;  // the moving piece's square is free during its capture
    do_piece_captures_from(origin, 0);
    empty_ ^= origin;
  }

  void do_king_captures(std::uint64_t origin) {
    origin_ = origin;
    empty_ |= origin;
    do_king_captures_from(origin, 0);
    empty_ ^= origin;
  }

  void do_captures() {
    for (std::uint64_t m = man_capturers(own_ & ~kings_); m; m &= m - 1) do_piece_captures(bits::lowest(m));
    for (std::uint64_t k = own_ & kings_; k; k &= k - 1) do_king_captures(bits::lowest(k));
  }

  template <int D>
  void do_man_moves(std::uint64_t men) {
    for (std::uint64_t t = bits::shift<D>(men) & empty_; t; t &= t - 1) {
      const std::uint64_t to = bits::lowest(t);
      moves_.push_back(to | bits::shift<-D>(to));
    }
  }

  template <int D>
  void do_king_moves(std::uint64_t kings) {
    for (; kings; kings &= kings - 1) {
      const std::uint64_t from = bits::lowest(kings);
      for (std::uint64_t to = bits::shift<D>(from); to & empty_; to = bits::shift<D>(to)) moves_.push_back(from | to);
    }
  }

  void do_moves() {
    const std::uint64_t men = own_ & ~kings_;
    if (white_to_move_) {
      do_man_moves<-5>(men);
      do_man_moves<-6>(men);
    } else {
      do_man_moves<5>(men);
      do_man_moves<6>(men);
    }
    const std::uint64_t kings = own_ & kings_;
    if (kings) {
      do_king_moves<-6>(kings);
      do_king_moves<-5>(kings);
      do_king_moves<5>(kings);
      do_king_moves<6>(kings);
    }
  }

  template <int D>
  std::size_t count_king_moves(std::uint64_t kings) const {
    // All kings slide together: each round moves every ray one square on.
    std::size_t n = 0;
    for (std::uint64_t front = bits::shift<D>(kings) & empty_; front; front = bits::shift<D>(front) & empty_)
      n += static_cast<std::size_t>(bits::count(front));
    return n;
  }

  std::size_t count_simple_moves() const {
    const std::uint64_t men = own_ & ~kings_;
    std::size_t n = static_cast<std::size_t>(
        white_to_move_ ? bits::count(bits::shift<-5>(men) & empty_) + bits::count(bits::shift<-6>(men) & empty_)
                       : bits::count(bits::shift<5>(men) & empty_) + bits::count(bits::shift<6>(men) & empty_));
    const std::uint64_t kings = own_ & kings_;
    if (kings)
      n += count_king_moves<-6>(kings) + count_king_moves<-5>(kings) + count_king_moves<5>(kings) +
           count_king_moves<6>(kings);
    return n;
  }

  bool white_to_move_ = true;
  std::uint64_t own_ = 0;
  std::uint64_t opp_ = 0;
  std::uint64_t kings_ = 0;
  std::uint64_t empty_ = 0;
  std::uint64_t origin_ = 0;
  std::uint64_t captured_ = 0;
  int max_captures_ = 0;
  bit_move_vector moves_;
};

using bit_move_vector = std::vector<std::uint64_t>;
using bitboard_move_generator = move_generator_base<bit_move_vector>;

// The moves of a line of play from `start`, each mask applied to the position the
// previous one left.
std::vector<Move> convert_bitboard_moves(bitboard start, const std::vector<std::uint64_t>& masks);

// The legal moves of `p` as masks, ascending.
std::vector<std::uint64_t> bitboard_moves(const bitboard& p);

}  // namespace dam
