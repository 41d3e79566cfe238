// TAE_HASH: the name index of an object tree. 65,536 buckets of objects, picked
// by a hash over a random table drawn once per index, so bucket placement
// differs from run to run and nothing outside the process depends on it.
#pragma once

#include "componentclasses/tllist.h"

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string_view>

class TAE_Object;

class TAE_HASH {
 public:
  static constexpr std::size_t kBuckets = 65536;
  static constexpr std::size_t kTablePositions = 10;

  TAE_HASH();
  ~TAE_HASH();
  TAE_HASH(const TAE_HASH&) = delete;
  TAE_HASH& operator=(const TAE_HASH&) = delete;

  std::uint32_t Bucket(std::string_view name) const;
  TAE_Object* Find(std::string_view name) const;
  // Adds the object unless that very object is already listed.
  void Insert(TAE_Object* object);
  // Forgets the object; it is not destroyed.
  void Remove(TAE_Object* object);

  // Non-negative random number from the index's generator (below 2^31 - 1).
  std::uint32_t NextRandom();

  // Insertions made so far; never decreases.
  std::uint32_t count = 0;

 private:
  using BucketList = TLList<TAE_Object>;
  // The buckets in pages of 256, each made on first use: a small tree (and
  // every tree while it is young) pays for the few pages it touches only.
  static constexpr std::size_t kPageSize = 256;
  using Page = std::array<std::unique_ptr<BucketList>, kPageSize>;
  BucketList* BucketOf(std::string_view name) const;
  BucketList& MakeBucketOf(std::string_view name);

  std::array<std::unique_ptr<Page>, kBuckets / kPageSize> pages_;
  std::array<std::array<std::uint32_t, 256>, kTablePositions> random_{};
  std::mt19937 generator_;
};
