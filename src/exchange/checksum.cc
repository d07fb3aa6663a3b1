#include "exchange/checksum.h"

#include <algorithm>
#include <cstring>

namespace pontexa::exchange {

namespace {

constexpr std::uint64_t kMultipliers[4] = {0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu,
                                           0x165667B19E3779F9u, 0x94D049BB133111EBu};

std::uint64_t Round(std::uint64_t lane, std::uint64_t word, std::uint64_t multiplier) {
  lane = (lane ^ word) * multiplier;
  return lane ^ (lane >> 29);
}

}  // namespace

void Checksum::Block(const char* bytes) {
  std::uint64_t words[4];
  std::memcpy(words, bytes, sizeof words);
  for (int i = 0; i < 4; ++i) lanes_[i] = Round(lanes_[i], words[i], kMultipliers[i]);
}

void Checksum::Add(std::string_view bytes) {
  total_ += bytes.size();
  if (pending_count_ != 0) {
    const std::size_t take = std::min(kBlock - pending_count_, bytes.size());
    std::memcpy(pending_ + pending_count_, bytes.data(), take);
    pending_count_ += take;
    bytes.remove_prefix(take);
    if (pending_count_ < kBlock) return;
    Block(pending_);
    pending_count_ = 0;
  }
  while (bytes.size() >= kBlock) {
    Block(bytes.data());
    bytes.remove_prefix(kBlock);
  }
  std::memcpy(pending_, bytes.data(), bytes.size());
  pending_count_ = bytes.size();
}

std::uint64_t Checksum::Value() const {
  Checksum last = *this;
  char tail[kBlock] = {};
  std::memcpy(tail, pending_, pending_count_);
  last.Block(tail);
  std::uint64_t value = total_;
  for (int i = 0; i < 4; ++i) value = Round(value, last.lanes_[i], kMultipliers[(i + 1) % 4]);
  return value;
}

}  // namespace pontexa::exchange
