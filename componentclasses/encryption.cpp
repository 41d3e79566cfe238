#include "componentclasses/encryption.h"

namespace encryption {
namespace {

constexpr std::uint32_t kDelta = 0x9E3779B9u;

std::uint32_t LoadWord(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

void StoreWord(std::uint8_t* p, std::uint32_t w) {
  p[0] = std::uint8_t(w);
  p[1] = std::uint8_t(w >> 8);
  p[2] = std::uint8_t(w >> 16);
  p[3] = std::uint8_t(w >> 24);
}

template <typename Transform>
std::string TransformBlocks(std::string_view in, std::size_t outSize, unsigned cycles, const CipherKey& key,
                            Transform transform) {
  std::string out(outSize, kPadding);
  out.replace(0, in.size(), in);
  auto* bytes = reinterpret_cast<std::uint8_t*>(out.data());
  for (std::size_t at = 0; at + kBlockSize <= out.size(); at += kBlockSize) {
    transform(cycles, std::span<std::uint8_t, kBlockSize>(bytes + at, kBlockSize), key);
  }
  return out;
}

}  // namespace

CipherKey MakeKey(std::string_view keyText) {
  std::uint8_t raw[16] = {};
  for (std::size_t i = 0; i < 16 && i < keyText.size(); ++i) {
    raw[i] = static_cast<std::uint8_t>(keyText[i]);
  }
  return {LoadWord(raw), LoadWord(raw + 4), LoadWord(raw + 8), LoadWord(raw + 12)};
}

const CipherKey& BuiltInKey() {
  static const CipherKey key = MakeKey(kBuiltInKey);
  return key;
}

void EncipherWords(unsigned cycles, std::uint32_t v[2], const CipherKey& key) {
  std::uint32_t l = v[0], r = v[1], sum = 0;
  for (unsigned i = 0; i < cycles; ++i) {
    l += (((r << 4) ^ (r >> 5)) + r) ^ (sum + key[sum & 3]);
    sum += kDelta;
    r += (((l << 4) ^ (l >> 5)) + l) ^ (sum + key[(sum >> 11) & 3]);
  }
  v[0] = l;
  v[1] = r;
}

void DecipherWords(unsigned cycles, std::uint32_t v[2], const CipherKey& key) {
  std::uint32_t l = v[0], r = v[1], sum = kDelta * cycles;
  for (unsigned i = 0; i < cycles; ++i) {
    r -= (((l << 4) ^ (l >> 5)) + l) ^ (sum + key[(sum >> 11) & 3]);
    sum -= kDelta;
    l -= (((r << 4) ^ (r >> 5)) + r) ^ (sum + key[sum & 3]);
  }
  v[0] = l;
  v[1] = r;
}

void EncipherBlock(unsigned cycles, std::span<std::uint8_t, kBlockSize> block, const CipherKey& key) {
  std::uint32_t v[2] = {LoadWord(block.data()), LoadWord(block.data() + 4)};
  EncipherWords(cycles, v, key);
  StoreWord(block.data(), v[0]);
  StoreWord(block.data() + 4, v[1]);
}

void DecipherBlock(unsigned cycles, std::span<std::uint8_t, kBlockSize> block, const CipherKey& key) {
  std::uint32_t v[2] = {LoadWord(block.data()), LoadWord(block.data() + 4)};
  DecipherWords(cycles, v, key);
  StoreWord(block.data(), v[0]);
  StoreWord(block.data() + 4, v[1]);
}

std::string EncipherText(unsigned cycles, std::string_view text, const CipherKey& key) {
  const std::size_t padded = (text.size() + kBlockSize - 1) & ~(kBlockSize - 1);
  return TransformBlocks(text, padded, cycles, key, EncipherBlock);
}

std::string DecipherText(unsigned cycles, std::string_view bytes, const CipherKey& key) {
  return TransformBlocks(bytes, bytes.size(), cycles, key, DecipherBlock);
}

}  // namespace encryption
