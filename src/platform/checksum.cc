#include "platform/checksum.h"

#include <algorithm>
#include <cstring>

namespace pontexa {

namespace {

constexpr std::uint64_t kMultipliers[4] = {0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu,
                                           0x165667B19E3779F9u, 0x94D049BB133111EBu};

std::uint64_t Round(std::uint64_t lane, std::uint64_t word, std::uint64_t multiplier) {
  lane = (lane ^ word) * multiplier;
  return lane ^ (lane >> 29);
}

// Mixes `blocks` whole blocks of 32 bytes into the lanes, held in registers
// meanwhile.
void MixBlocks(std::uint64_t (&lanes)[4], const char* bytes, std::size_t blocks) {
  std::uint64_t a = lanes[0], b = lanes[1], c = lanes[2], d = lanes[3];
  for (std::size_t k = 0; k < blocks; ++k, bytes += 32) {
    std::uint64_t words[4];
    std::memcpy(words, bytes, sizeof words);
    a = Round(a, words[0], kMultipliers[0]);
    b = Round(b, words[1], kMultipliers[1]);
    c = Round(c, words[2], kMultipliers[2]);
    d = Round(d, words[3], kMultipliers[3]);
  }
  lanes[0] = a;
  lanes[1] = b;
  lanes[2] = c;
  lanes[3] = d;
}

}  // namespace

void Checksum::Block(const char* bytes) { MixBlocks(lanes_, bytes, 1); }

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
  const std::size_t blocks = bytes.size() / kBlock;
  MixBlocks(lanes_, bytes.data(), blocks);
  bytes.remove_prefix(blocks * kBlock);
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

}  // namespace pontexa
