#include "library/bitboard_generator.h"

namespace dam {

std::vector<Move> convert_bitboard_moves(bitboard start, const std::vector<std::uint64_t>& masks) {
  std::vector<Move> moves;
  moves.reserve(masks.size());
  for (const std::uint64_t mask : masks) {
    const std::uint64_t own = start.white_to_move ? start.white : start.black;
    const std::uint64_t opp = start.white_to_move ? start.black : start.white;
    const std::uint64_t from = mask & own;
    std::uint64_t to = mask & ~(start.white | start.black);
    if (to == 0) to = from;
    Move m;
    if (from == 0 || (from & (from - 1)) || (to & (to - 1)))
      break;  // not a move of this position; the line ends here
    m.from = bit_square(std::countr_zero(from));
    m.to = bit_square(std::countr_zero(to));
    const bool king = (start.kings & from) != 0;
    m.piece = start.white_to_move ? (king ? white_king : white_man) : (king ? black_king : black_man);
    const bool crowned = to & (start.white_to_move ? white_promotion_row : black_promotion_row);
    m.result = (king || crowned) ? king_of(m.piece) : m.piece;
    for (std::uint64_t c = mask & opp; c; c &= c - 1) {
      const int bit = std::countr_zero(c);
      const bool captured_king = (start.kings >> bit) & 1;
      m.captures.emplace_back(bit_square(bit), start.white_to_move ? (captured_king ? black_king : black_man)
                                                                   : (captured_king ? white_king : white_man));
    }
    moves.push_back(std::move(m));
    apply_move_mask(start, mask);
  }
  return moves;
}

std::vector<std::uint64_t> bitboard_moves(const bitboard& p) {
  bitboard_move_generator generator;
  generator.generate_moves(p);
  return generator.moves();
}

}  // namespace dam
