#include "componentclasses/encryption.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using encryption::BuiltInKey;
using encryption::CipherKey;
using encryption::kCycles;

struct WordVector {
  CipherKey key;
  std::uint32_t plain[2];
  std::uint32_t cipher[2];
};

// Published XTEA reference vectors (32 cycles), words loaded big-endian.
const WordVector kReferenceVectors[] = {
    {{0, 0, 0, 0}, {0x01020304, 0x05060708}, {0x065c1b89, 0x75c6a816}},
    {{0x01234567, 0x12345678, 0x23456789, 0x3456789A}, {0, 0}, {0x1ff9a026, 0x1ac64264}},
    {{0x00010203, 0x04050607, 0x08090a0b, 0x0c0d0e0f}, {0x41424344, 0x45464748}, {0x497df3d0, 0x72612cb5}},
    {{0x00010203, 0x04050607, 0x08090a0b, 0x0c0d0e0f}, {0x41414141, 0x41414141}, {0xe78f2d13, 0x744341d8}},
    {{0, 0, 0, 0}, {0x41424344, 0x45464748}, {0xa0390589, 0xf8b8efa5}},
    {{0, 0, 0, 0}, {0x41414141, 0x41414141}, {0xed23375a, 0x821a8c2d}},
};

TEST(Encryption, WordsAgreeWithReferenceVectorsBothWays) {
  for (const WordVector& v : kReferenceVectors) {
    std::uint32_t words[2] = {v.plain[0], v.plain[1]};
    encryption::EncipherWords(kCycles, words, v.key);
    EXPECT_EQ(words[0], v.cipher[0]) << std::hex << v.plain[0];
    EXPECT_EQ(words[1], v.cipher[1]) << std::hex << v.plain[0];
    encryption::DecipherWords(kCycles, words, v.key);
    EXPECT_EQ(words[0], v.plain[0]);
    EXPECT_EQ(words[1], v.plain[1]);
  }
}

TEST(Encryption, BlocksAndKeyUseLittleEndianWords) {
  // Key bytes 67 45 23 01 ... form the words 0x01234567 ...
  const std::string keyBytes("\x67\x45\x23\x01\x78\x56\x34\x12\x89\x67\x45\x23\x9a\x78\x56\x34", 16);
  const CipherKey key = encryption::MakeKey(keyBytes);
  EXPECT_EQ(key, (CipherKey{0x01234567, 0x12345678, 0x23456789, 0x3456789A}));

  std::uint8_t block[8] = {};
  encryption::EncipherBlock(kCycles, block, key);
  const std::uint8_t expected[8] = {0x26, 0xa0, 0xf9, 0x1f, 0x64, 0x42, 0xc6, 0x1a};
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 8), std::string(reinterpret_cast<const char*>(expected), 8));
  encryption::DecipherBlock(kCycles, block, key);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 8), std::string(8, '\0'));

  // The built-in key is read the same way: its first word is "Jt4w" little-endian.
  EXPECT_EQ(BuiltInKey()[0], 0x7734744au);
  EXPECT_EQ(BuiltInKey()[3], 0x61796e50u);
}

TEST(Encryption, TextIsPaddedWithLineFeedsToWholeBlocks) {
  struct Case {
    std::string text;
    std::size_t enciphered;
  };
  const Case cases[] = {
      {"", 0}, {"1", 8}, {"12345678", 8}, {"123456789", 16}, {std::string("320 A\0B;\r\n", 10), 16},
  };
  for (const Case& c : cases) {
    const std::string bytes = encryption::EncipherText(kCycles, c.text, BuiltInKey());
    EXPECT_EQ(bytes.size(), c.enciphered) << c.text;
    const std::string plain = encryption::DecipherText(kCycles, bytes, BuiltInKey());
    EXPECT_EQ(plain, c.text + std::string(c.enciphered - c.text.size(), '\n')) << c.text;
  }
}

TEST(Encryption, EqualBlocksEncipherEquallyWherever) {
  const std::string block = "ABCDEFGH";
  const std::string bytes = encryption::EncipherText(kCycles, block + "12345678" + block, BuiltInKey());
  ASSERT_EQ(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), bytes.substr(16, 8));
  EXPECT_NE(bytes.substr(0, 8), bytes.substr(8, 8));
}

TEST(Encryption, ZeroBytesInTheCipherTextAreKept) {
  // Search for a line whose cipher text holds a zero byte; one in a few dozen does.
  for (int n = 0; n < 100000; ++n) {
    const std::string line = "320 OBJECTUPDATE X.v=" + std::to_string(n) + ";\r\n";
    const std::string bytes = encryption::EncipherText(kCycles, line, BuiltInKey());
    if (bytes.find('\0') == std::string::npos) {
      continue;
    }
    EXPECT_EQ(bytes.size() % 8, 0u);
    const std::string plain = encryption::DecipherText(kCycles, bytes, BuiltInKey());
    EXPECT_EQ(plain.substr(0, line.size()), line);
    return;
  }
  FAIL() << "no cipher text with a zero byte found";
}

TEST(Encryption, IncompleteTrailingBlockIsPassedBackUnchanged) {
  const std::string bytes = encryption::EncipherText(kCycles, "12345678", BuiltInKey()) + "xyz";
  const std::string plain = encryption::DecipherText(kCycles, bytes, BuiltInKey());
  EXPECT_EQ(plain, "12345678xyz");
}

}  // namespace
