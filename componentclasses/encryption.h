// The line cipher shared by the hall program and librumo: XTEA in electronic
// code book mode under a built-in key, with LF padding to whole 8-byte blocks.
// Words are little-endian in both the key and the blocks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace encryption {

inline constexpr unsigned kCycles = 32;
inline constexpr std::string_view kBuiltInKey = "Jt4wQz}m7Rk2Pnya";
inline constexpr char kPadding = '\n';
inline constexpr std::size_t kBlockSize = 8;

using CipherKey = std::array<std::uint32_t, 4>;

// Four little-endian words from the first 16 bytes of keyText; missing bytes
// count as zero.
CipherKey MakeKey(std::string_view keyText);

// The key every line to and from the server uses.
const CipherKey& BuiltInKey();

// XTEA on two words (v[0] = L, v[1] = R), as published.
void EncipherWords(unsigned cycles, std::uint32_t v[2], const CipherKey& key);
void DecipherWords(unsigned cycles, std::uint32_t v[2], const CipherKey& key);

// One 8-byte block in place.
void EncipherBlock(unsigned cycles, std::span<std::uint8_t, kBlockSize> block, const CipherKey& key);
void DecipherBlock(unsigned cycles, std::span<std::uint8_t, kBlockSize> block, const CipherKey& key);

// Pads the text with LF to a multiple of 8 bytes and enciphers every block on
// its own. The result is a byte string: it may hold zero bytes.
std::string EncipherText(unsigned cycles, std::string_view text, const CipherKey& key);

// Deciphers every whole 8-byte block; the padding stays. Trailing bytes of an
// incomplete block (which our own peers never send) are passed back unchanged.
std::string DecipherText(unsigned cycles, std::string_view bytes, const CipherKey& key);

}  // namespace encryption
