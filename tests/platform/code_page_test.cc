#include "platform/code_page.h"

#include <gtest/gtest.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace pontexa {
namespace {

TEST(CodePage, EveryByteSurvivesTheRoundTripThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(SystemFromUtf8(Utf8FromSystem(all)), all);
}

TEST(CodePage, ConvertsWindows1252Letters) {
  EXPECT_EQ(Utf8FromSystem("\xE1\xF1\x80\x8A\x9C"), "áñ€Šœ");
  EXPECT_EQ(SystemFromUtf8("María Pérez € Œ"),
            "Mar\xED"
            "a P\xE9rez \x80 \x8C");
}

TEST(CodePage, MissingCharactersTakeWindowsBestFit) {
  struct Case {
    const char* utf8;
    const char* expected;
  } cases[] = {
      {"Łukasz", "Lukasz"},
      {"Đorđe",
       "\xD0"
       "orde"},  // Đ is Ð in the table, đ is d
      {"Ştefan", "Stefan"},
      {"Nguyễn", "Nguy?n"},  // ễ is not in the table
      {"Șt", "?t"},          // S with comma below is not either
      {"ǘ", "u"},            // not ü: the table maps it to plain u
      {"ā ő", "a o"},
      {"Ａ−ʼ", "A-'"},                            // fullwidth A, minus sign, modifier apostrophe
      {"€ – “ ” …", "\x80 \x96 \x93 \x94 \x85"},  // in the code page itself
      {"中文", "??"},
      {"a😀b", "a?b"},  // outside the basic plane: one "?", not one per surrogate
      {"\xC3", "?"},   // broken UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(SystemFromUtf8(c.utf8), c.expected) << c.utf8;
}

// Windows' best-fit table as kept in the repository, read here independently of
// the build's generator: {code point, byte} of its WCTABLE section.
std::vector<std::pair<char32_t, unsigned char>> PublishedTable() {
  std::ifstream file(std::string(PONTEXA_SOURCE_DIR) + "/src/platform/data/bestfit1252.txt");
  std::vector<std::pair<char32_t, unsigned char>> entries;
  std::string line;
  bool in_table = false;
  while (std::getline(file, line)) {
    if (line.rfind("WCTABLE", 0) == 0) in_table = true;
    if (line.rfind("ENDCODEPAGE", 0) == 0) in_table = false;
    unsigned code_point = 0, byte = 0;
    if (in_table && std::sscanf(line.c_str(), "0x%x 0x%x", &code_point, &byte) == 2) {
      entries.emplace_back(code_point, static_cast<unsigned char>(byte));
    }
  }
  return entries;
}

std::string Utf8Of(char32_t c) {
  icu::UnicodeString unicode(static_cast<UChar32>(c));
  std::string utf8;
  unicode.toUTF8String(utf8);
  return utf8;
}

TEST(CodePage, EveryCodePointOfTheBestFitTableGivesItsByteAndNoOtherDoes) {
  const auto entries = PublishedTable();
  ASSERT_EQ(entries.size(), 698u);
  std::set<char32_t> listed;
  for (const auto& [code_point, byte] : entries) {
    listed.insert(code_point);
    EXPECT_EQ(SystemFromUtf8(Utf8Of(code_point)), std::string(1, static_cast<char>(byte)))
        << std::hex << static_cast<unsigned>(code_point);
  }
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (listed.count(c) || (c >= 0xD800 && c <= 0xDFFF)) continue;
    ASSERT_EQ(SystemFromUtf8(Utf8Of(c)), "?") << std::hex << static_cast<unsigned>(c);
  }
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
      {"Ma", "MA", true},     {"\xE1", "\xC1", true},  // á Á
      {"\xF1", "\xD1", true},                          // ñ Ñ
      {"\x9A", "\x8A", true},                          // š Š
      {"\x9C", "\x8C", true},                          // œ Œ
      {"\xFF", "\x9F", true},                          // ÿ Ÿ
      {"Ma", "M\xE1", false},                          // accents count
      {"M", "M ", false},                              // trailing space counts
      {"a1", "A1", true},     {"\xDF", "SS", false},   // ß keeps its length
      {"\xB5", "\xB5", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameCode(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.same) << c.a << " / " << c.b;
  }
}

}  // namespace
}  // namespace pontexa
