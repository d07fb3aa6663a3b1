#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace pontexa {
namespace {

TEST(CodePage, EveryByteSurvivesTheRoundTripThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(SystemFromUtf8(Utf8FromSystem(all)), all);
}

TEST(CodePage, ConvertsWindows1252Letters) {
  EXPECT_EQ(Utf8FromSystem("\xE1\xF1\x80\x8A\x9C"), "áñ€Šœ");
  EXPECT_EQ(SystemFromUtf8("María Pérez € Œ"), "Mar\xED" "a P\xE9rez \x80 \x8C");
}

TEST(CodePage, MissingCharactersTakeTheLetterTheyDecomposeTo) {
  struct Case {
    const char* utf8;
    const char* expected;
  } cases[] = {
      {"ā", "a"},          // a with macron
      {"ő", "o"},          // o with double acute
      {"Ł", "?"},          // no decomposition
      {"ǘ", "\xFC"},       // u with diaeresis and acute: starts with ü
      {"中文", "??"},       // outside every Western code page
      {"😀", "?"},          // outside the basic plane
      {"\xC3", "?"},       // broken UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(SystemFromUtf8(c.utf8), c.expected) << c.utf8;
}

TEST(CodePage, ValuesLoseBlanksAndControlsAtBothEndsOnly) {
  EXPECT_EQ(ValueFromUtf8(" \tMAT000123\r\n"), "MAT000123");
  EXPECT_EQ(ValueFromUtf8("   "), "");
  EXPECT_EQ(ValueFromUtf8("Luis \t G\xC3\xB3mez"), "Luis \t G\xF3mez");
  // A no-break space is not cut.
  EXPECT_EQ(ValueFromUtf8("\xC2\xA0x\xC2\xA0"), "\xA0x\xA0");
}

TEST(CodePage, TextFromOtherCodePages) {
  EXPECT_EQ(SystemFromCodePage("\xA4\x82", 437), "\xF1\xE9");  // ñé
  EXPECT_EQ(SystemFromCodePage("\xA5\x90", 850), "\xD1\xC9");  // ÑÉ
  EXPECT_EQ(SystemFromCodePage("plain", 437), "plain");
  EXPECT_EQ(SystemFromCodePage("\xE1", 1252), "\xE1");
}

TEST(CodePage, FirstAndLastChars) {
  EXPECT_EQ(FirstChars("JPL", 2), "JP");
  EXPECT_EQ(FirstChars("A", 2), "A");
  EXPECT_EQ(FirstChars("", 2), "");
  EXPECT_EQ(LastChars("000451", 4), "0451");
  EXPECT_EQ(LastChars("51", 4), "51");
  EXPECT_EQ(LastChars("", 1), "");
}

TEST(CodeEquality, IgnoresCaseOfEveryLetterButKeepsAccentsAndBlanks) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"Ma", "MA", true},
      {"\xE1", "\xC1", true},    // á Á
      {"\xF1", "\xD1", true},    // ñ Ñ
      {"\x9A", "\x8A", true},    // š Š
      {"\x9C", "\x8C", true},    // œ Œ
      {"\xFF", "\x9F", true},    // ÿ Ÿ
      {"Ma", "M\xE1", false},    // accents count
      {"M", "M ", false},        // trailing space counts
      {"a1", "A1", true},
      {"\xDF", "SS", false},     // ß keeps its length
      {"\xB5", "\xB5", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameCode(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.same) << c.a << " / " << c.b;
  }
}

}  // namespace
}  // namespace pontexa
