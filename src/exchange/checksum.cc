#include "exchange/checksum.h"

#include <algorithm>
#include <cstring>

namespace pontexa::exchange {

void Checksum::Mix(std::uint64_t word) {
  state_ = (state_ ^ word) * 0x9E3779B97F4A7C15u;
  state_ ^= state_ >> 29;
}

// Four words mixed into the state as one: a shorter chain of dependent
// multiplications than word by word.
void Checksum::Block(const char* bytes) {
  std::uint64_t words[4];
  std::memcpy(words, bytes, sizeof words);
  const std::uint64_t a = (words[0] ^ 0x452821E638D01377u) * 0xC2B2AE3D27D4EB4Fu;
  const std::uint64_t b = (words[1] ^ 0xBE5466CF34E90C6Cu) * 0x165667B19E3779F9u;
  const std::uint64_t c = (words[2] ^ 0xC0AC29B7C97C50DDu) * 0x27D4EB2F165667C5u;
  const std::uint64_t d = (words[3] ^ 0x3F84D5B5B5470917u) * 0x94D049BB133111EBu;
  Mix(a ^ (b >> 7) ^ (c << 11) ^ (d >> 17) ^ (b << 57) ^ (c >> 53) ^ (d << 47));
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
  last.Mix(total_);
  return last.state_;
}

}  // namespace pontexa::exchange
