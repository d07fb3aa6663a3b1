#include "platform/character_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pontexa {
namespace {

// Each character with the offset of its first byte, up to the first sequence
// that does not convert.
TEST(DecodeCharacters, GivesEachCharacterWithWhereItStarts) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view bytes;
    std::string encoding;
    std::vector<char32_t> characters;
    std::vector<std::size_t> offsets;
  };
  const Case cases[] = {
      // In Shift_JIS the second byte of a character can be ']' (0x5D).
      {"a\x83\x5D]"sv, "Shift_JIS", {U'a', U'\u30BE', U']'}, {0, 1, 3}},
      {"<\0\0\0\xAC\x20\0\0"sv, "UCS-4LE", {U'<', U'\u20AC'}, {0, 4}},
      {"ab\x83"sv, "Shift_JIS", {U'a', U'b'}, {0, 1}},  // cut in the middle of a character
      {"ab"sv, "x-no-such-encoding", {}, {}},
  };
  for (const Case& c : cases) {
    const DecodedText text = DecodeCharacters(c.bytes, c.encoding);
    EXPECT_EQ(text.characters, c.characters) << c.encoding;
    EXPECT_EQ(text.offsets, c.offsets) << c.encoding;
    EXPECT_EQ(text.total_bytes, c.bytes.size()) << c.encoding;
  }
}

}  // namespace
}  // namespace pontexa
