#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace pontexa {
namespace {

std::string Digest(std::string_view text, Sha256::Engine engine = Sha256::Engine::kFastest) {
  Sha256 hash(engine);
  hash.Update(text);
  return hash.HexDigest();
}

// Feeds `text` in pieces of random size (0 to max_piece bytes) drawn from `random`.
std::string DigestInPieces(std::string_view text, Sha256::Engine engine, std::size_t max_piece,
                           std::mt19937& random) {
  Sha256 hash(engine);
  std::uniform_int_distribution<std::size_t> piece_size(0, max_piece);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t n = std::min(piece_size(random), text.size() - at);
    hash.Update(text.substr(at, n));
    at += n;
  }
  return hash.HexDigest();
}

std::string RandomBytes(std::size_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

TEST(Sha256, KnownDigestsOnEveryEngine) {
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
      // 112 bytes: two whole blocks before the padding.
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto engine : {Sha256::Engine::kFastest, Sha256::Engine::kPortable}) {
    for (const Case& c : cases) {
      EXPECT_EQ(Digest(c.input, engine), c.digest)
          << c.input.substr(0, 20) << " (" << c.input.size() << " bytes), engine "
          << static_cast<int>(engine);
    }
  }
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

// Every length around the block and padding boundaries, whole and in pieces: the fast
// engine must agree with the portable one byte for byte.
TEST(Sha256, FastEngineAgreesWithPortableForEveryShortLength) {
  std::mt19937 random(20261209);
  const std::string bytes = RandomBytes(300, random);
  for (std::size_t length = 0; length <= 300; ++length) {
    const std::string_view text = std::string_view(bytes).substr(0, length);
    const std::string expected = Digest(text, Sha256::Engine::kPortable);
    EXPECT_EQ(Digest(text, Sha256::Engine::kFastest), expected) << length << " bytes";
    EXPECT_EQ(DigestInPieces(text, Sha256::Engine::kFastest, 70, random), expected)
        << length << " bytes in pieces";
  }
}

TEST(Sha256, FastEngineAgreesWithPortableOnLargeBuffersInRandomPieces) {
  std::mt19937 random(7);
  for (const std::size_t size : {std::size_t{64 * 1024}, std::size_t{1000003}}) {
    const std::string bytes = RandomBytes(size, random);
    const std::string expected = Digest(bytes, Sha256::Engine::kPortable);
    for (const std::size_t max_piece : {std::size_t{1}, std::size_t{200}, std::size_t{100000}}) {
      if (max_piece == 1 && size > 100000) continue;  // a byte at a time: short buffer only
      EXPECT_EQ(DigestInPieces(bytes, Sha256::Engine::kFastest, max_piece, random), expected)
          << size << " bytes, pieces up to " << max_piece;
      EXPECT_EQ(DigestInPieces(bytes, Sha256::Engine::kPortable, max_piece, random), expected)
          << size << " bytes, portable, pieces up to " << max_piece;
    }
  }
}

}  // namespace
}  // namespace pontexa
