#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/bitboard.h"
#include "library/move.h"

// A build of this header for a particular instruction set (see perft_popcount.cpp)
// names its own inline namespace, so that its code never mixes with the portable
// copies at link time.
#ifndef RUMO_ISA_NAMESPACE
#define RUMO_ISA_NAMESPACE portable
#endif

namespace dam {
inline namespace RUMO_ISA_NAMESPACE {

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
#if defined(__POPCNT__) || defined(RUMO_WITH_POPCOUNT)
  return __builtin_popcountll(x);
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
    generate_unordered(white, black, kings, white_to_move, captures_allowed);
    std::sort(moves_.begin(), moves_.end());
    return moves_.size();
  }

  std::size_t generate_moves(const bitboard& p, bool captures_allowed = true) {
    return generate_moves(p.white, p.black, p.kings, p.white_to_move, captures_allowed);
  }

  // The same moves in no particular order, for callers that only walk them all.
  std::size_t generate_unordered(const bitboard& p) {
    return generate_unordered(p.white, p.black, p.kings, p.white_to_move, true);
  }

  // The number of legal moves, counted without listing them where there is no
  // capture or only single captures by men. The common cases stay small enough
  // to inline into a caller's loop.
  std::size_t count_moves(const bitboard& p) {
    const std::uint64_t own = p.white_to_move ? p.white : p.black;
    if (own & p.kings) return count_moves_in_general(p);
    const std::uint64_t opp = p.white_to_move ? p.black : p.white;
    const std::uint64_t empty = ~(p.white | p.black) & board_mask;
    const std::uint64_t jumpers[4] = {jumpers_of<-6>(own, opp, empty), jumpers_of<-5>(own, opp, empty),
                                      jumpers_of<5>(own, opp, empty), jumpers_of<6>(own, opp, empty)};
    if ((jumpers[0] | jumpers[1] | jumpers[2] | jumpers[3]) == 0) {
      return static_cast<std::size_t>(
          p.white_to_move ? bits::count(bits::shift<-5>(own) & empty) + bits::count(bits::shift<-6>(own) & empty)
                          : bits::count(bits::shift<5>(own) & empty) + bits::count(bits::shift<6>(own) & empty));
    }
    if (can_jump_again(jumpers, opp, empty)) return count_moves_in_general(p);
    return static_cast<std::size_t>(bits::count(jumpers[0]) + bits::count(jumpers[1]) + bits::count(jumpers[2]) +
                                    bits::count(jumpers[3]));
  }

  const bit_move_vector& moves() const { return moves_; }
  // The number of pieces each of the moves captures.
  int max_captures() const { return max_captures_; }

 private:
  std::size_t generate_unordered(std::uint64_t white, std::uint64_t black, std::uint64_t kings, bool white_to_move,
                                 bool captures_allowed) {
    setup(white, black, kings, white_to_move);
    moves_.clear();
    max_captures_ = 0;
    if (captures_allowed) do_captures();
    if (max_captures_ == 0)
      do_moves();
    else
      remove_route_duplicates();
    return moves_.size();
  }

  // Two routes of one capture need two captured pieces at least (a king may land
  // anywhere between them), so single captures skip the sort.
  void remove_route_duplicates() {
    if (max_captures_ < 2) return;
    std::sort(moves_.begin(), moves_.end());
    moves_.erase(std::unique(moves_.begin(), moves_.end()), moves_.end());
  }

  void setup(std::uint64_t white, std::uint64_t black, std::uint64_t kings, bool white_to_move) {
    white_to_move_ = white_to_move;
    own_ = white_to_move ? white : black;
    opp_ = white_to_move ? black : white;
    kings_ = kings;
    empty_ = ~(white | black) & board_mask;
    captured_ = 0;
  }

  // The men of `men` that can jump an opponent's piece in direction D.
  template <int D>
  static std::uint64_t jumpers_of(std::uint64_t men, std::uint64_t opp, std::uint64_t empty) {
    return men & bits::shift<-D>(opp) & bits::shift<-2 * D>(empty);
  }

  template <int D>
  std::uint64_t man_capturers(std::uint64_t men) const {
    return jumpers_of<D>(men, opp_, empty_);
  }

  [[gnu::noinline]] std::size_t count_moves_in_general(const bitboard& p) {
    setup(p.white, p.black, p.kings, p.white_to_move);
    if (!man_capturers(own_ & ~kings_) && !kings_capture()) return count_simple_moves();
    moves_.clear();
    max_captures_ = 0;
    do_captures();
    remove_route_duplicates();
    return moves_.size();
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

  bool kings_capture() const {
    for (std::uint64_t k = own_ & kings_; k; k &= k - 1) {
      const std::uint64_t king = bits::lowest(k);
      if (king_can_capture<-6>(king) || king_can_capture<-5>(king) || king_can_capture<5>(king) ||
          king_can_capture<6>(king))
        return true;
    }
    return false;
  }

  // Whether a man landing from a single jump of direction D may jump on in direction E.
  template <int D, int E>
  static bool jumps_again(std::uint64_t jumpers, std::uint64_t opp, std::uint64_t empty) {
    if constexpr (D == -E) {
      return false;  // straight back over the piece just taken
    } else {
      const std::uint64_t landings = bits::shift<2 * D>(jumpers);
      return (bits::shift<E>(landings) & opp & bits::shift<-E>(empty)) != 0;
    }
  }

  template <int D>
  static bool jumps_again_any(std::uint64_t jumpers, std::uint64_t opp, std::uint64_t empty) {
    return jumpers && (jumps_again<D, -6>(jumpers, opp, empty) || jumps_again<D, -5>(jumpers, opp, empty) ||
                       jumps_again<D, 5>(jumpers, opp, empty) || jumps_again<D, 6>(jumpers, opp, empty));
  }

  static bool can_jump_again(const std::uint64_t (&jumpers)[4], std::uint64_t opp, std::uint64_t empty) {
    return jumps_again_any<-6>(jumpers[0], opp, empty) || jumps_again_any<-5>(jumpers[1], opp, empty) ||
           jumps_again_any<5>(jumpers[2], opp, empty) || jumps_again_any<6>(jumpers[3], opp, empty);
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

  template <int D>
  void record_single_jumps(std::uint64_t jumpers) {
    for (; jumpers; jumpers &= jumpers - 1) {
      const std::uint64_t from = bits::lowest(jumpers);
      moves_.push_back(from | bits::shift<D>(from) | bits::shift<2 * D>(from));
    }
  }

  void do_captures() {
    const std::uint64_t men = own_ & ~kings_;
    if (!(own_ & kings_)) {
      // Men alone, none of which can jump twice: every capture is a single jump.
      const std::uint64_t jumpers[4] = {man_capturers<-6>(men), man_capturers<-5>(men), man_capturers<5>(men),
                                        man_capturers<6>(men)};
      if ((jumpers[0] | jumpers[1] | jumpers[2] | jumpers[3]) == 0) return;
      if (!can_jump_again(jumpers, opp_, empty_)) {
        max_captures_ = 1;
        record_single_jumps<-6>(jumpers[0]);
        record_single_jumps<-5>(jumpers[1]);
        record_single_jumps<5>(jumpers[2]);
        record_single_jumps<6>(jumpers[3]);
        return;
      }
    }
    for (std::uint64_t m = man_capturers(men); m; m &= m - 1) do_piece_captures(bits::lowest(m));
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

}  // inline namespace

// The moves of a line of play from `start`, each mask applied to the position the
// previous one left.
std::vector<Move> convert_bitboard_moves(bitboard start, const std::vector<std::uint64_t>& masks);

// The legal moves of `p` as masks, ascending.
std::vector<std::uint64_t> bitboard_moves(const bitboard& p);

}  // namespace dam
