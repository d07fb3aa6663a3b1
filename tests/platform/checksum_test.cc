#include "platform/checksum.h"

#include <gtest/gtest.h>

#include <string>

namespace pontexa {
namespace {

// The save compares the checksum of what it wrote with that of what it reads
// back in other pieces: the cut must not matter, every byte must.
TEST(Checksum, DependsOnTheBytesNotOnHowTheyAreCut) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7 + i / 13);
  Checksum whole;
  whole.Add(bytes);
  for (std::size_t piece : {1u, 3u, 8u, 31u, 32u, 33u, 500u}) {
    Checksum cut;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      cut.Add(std::string_view(bytes).substr(at, piece));
    }
    EXPECT_EQ(cut.Value(), whole.Value()) << piece;
  }
  for (std::size_t at : {0u, 31u, 32u, 998u, 999u}) {
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 1);
    Checksum other;
    other.Add(changed);
    EXPECT_NE(other.Value(), whole.Value()) << at;
  }
  Checksum shorter;
  shorter.Add(std::string_view(bytes).substr(0, 999));
  EXPECT_NE(shorter.Value(), whole.Value());
  Checksum padded;
  padded.Add(bytes + std::string(1, '\0'));
  EXPECT_NE(padded.Value(), whole.Value());
}

}  // namespace
}  // namespace pontexa
