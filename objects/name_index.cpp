#include "objects/name_index.h"

#include "objects/tree.h"

#include <bit>
#include <chrono>

namespace {

std::uint32_t Seed() {
  // Time alone would give two clients started in the same second the same
  // unique names; the device adds what the clock lacks.
  std::random_device device;
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  return static_cast<std::uint32_t>(now) ^ static_cast<std::uint32_t>(now >> 32) ^ device();
}

}  // namespace

TAE_HASH::TAE_HASH() : generator_(Seed()) {
  for (auto& position : random_) {
    for (auto& value : position) {
      value = NextRandom();
    }
  }
}

TAE_HASH::~TAE_HASH() = default;

std::uint32_t TAE_HASH::NextRandom() { return generator_() % 2147483647u; }

std::uint32_t TAE_HASH::Bucket(std::string_view name) const {
  // Every character counts: board names share long prefixes ("QVR_HALL3_..."),
  // and a hash of the first ten alone would put a whole hall into one bucket.
  std::uint32_t h = 0;
  for (std::size_t p = 0; p < name.size(); ++p) {
    h = std::rotl(h, 5) ^ random_[p % kTablePositions][static_cast<unsigned char>(name[p])];
  }
  return (h ^ (h >> 16)) & (kBuckets - 1);
}

TAE_HASH::BucketList* TAE_HASH::BucketOf(std::string_view name) const {
  const std::uint32_t bucket = Bucket(name);
  const auto& page = pages_[bucket / kPageSize];
  return page != nullptr ? (*page)[bucket % kPageSize].get() : nullptr;
}

TAE_HASH::BucketList& TAE_HASH::MakeBucketOf(std::string_view name) {
  const std::uint32_t bucket = Bucket(name);
  auto& page = pages_[bucket / kPageSize];
  if (page == nullptr) {
    page = std::make_unique<Page>();
  }
  auto& list = (*page)[bucket % kPageSize];
  if (list == nullptr) {
    list = std::make_unique<BucketList>(false);
  }
  return *list;
}

TAE_Object* TAE_HASH::Find(std::string_view name) const {
  const BucketList* bucket = BucketOf(name);
  if (bucket == nullptr) {
    return nullptr;
  }
  for (TAE_Object* object : *bucket) {
    if (object->name == name) {
      return object;
    }
  }
  return nullptr;
}

void TAE_HASH::Insert(TAE_Object* object) {
  ++count;
  BucketList& bucket = MakeBucketOf(object->name);
  if (!bucket.Contains(object)) {
    bucket.Append(object);
  }
}

void TAE_HASH::Remove(TAE_Object* object) {
  if (BucketList* bucket = BucketOf(object->name)) {
    bucket->Remove(object, false);
  }
}
