#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pontexa {

// A 64-bit checksum of bytes handed over in pieces of any size; equal bytes give
// equal checksums however they are cut. It tells whether a file read back holds
// the bytes that were written to it, not whether someone changed them on purpose.
class Checksum {
 public:
  void Add(std::string_view bytes);
  std::uint64_t Value() const;

 private:
  static constexpr std::size_t kBlock = 32;
  void Block(const char* bytes);

  // Four lanes, each taking every fourth 8-byte word: no lane waits for
  // another, and they are mixed together only at the end.
  std::uint64_t lanes_[4] = {0x243F6A8885A308D3u, 0x13198A2E03707344u, 0xA4093822299F31D0u,
                             0x082EFA98EC4E6C89u};
  char pending_[kBlock] = {};  // the start of a block not yet complete
  std::size_t pending_count_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace pontexa
