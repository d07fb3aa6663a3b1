#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace pontexa {
namespace {

std::string Digest(std::string_view text) {
  Sha256 hash;
  hash.Update(text);
  return hash.HexDigest();
}

TEST(Sha256, KnownDigests) {
  struct Case {
    std::string input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits in the first padded block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Digest(c.input), c.digest) << c.input;
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  Sha256 hash;
  const std::string million(1000000, 'a');
  std::size_t at = 0;
  for (std::size_t piece = 1; at < million.size(); piece = piece * 7 % 131 + 1) {
    const std::size_t n = std::min(piece, million.size() - at);
    hash.Update(std::string_view(million).substr(at, n));
    at += n;
  }
  EXPECT_EQ(hash.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace pontexa
