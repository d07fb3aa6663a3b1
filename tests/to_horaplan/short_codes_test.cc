#include "to_horaplan/short_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"

namespace pontexa::to_horaplan {
namespace {

TEST(InitialsOf, TakesFirstByteAndEveryByteAfterASpace) {
  struct Case {
    std::string name, initials;
  };
  const std::vector<Case> cases = {
      {"Juan P\xE9rez L\xF3pez", "JPL"},
      {"Aula de M\xFAsica", "AdM"},
      {"1 ESO A", "1EA"},
      {"Ana", "A"},
      {"X", "X"},
      {"", ""},
      {"Mar\xED"
       "a  Jos\xE9",
       "M J"},            // a space after a space is itself an initial
      {"Ana ", "A"},      // a final space adds nothing
      {" Ana", " "},      // the first byte is never a separator
      {"Ana\tGil", "A"},  // only the space separates words
  };
  for (const Case& c : cases) EXPECT_EQ(InitialsOf(c.name), c.initials) << c.name;
}

std::vector<std::string> HandOut(const std::vector<std::string>& bases, std::size_t width) {
  UsedCodes used(width);
  std::vector<std::string> codes;
  for (const std::string& base : bases) codes.push_back(MakeUniqueCode(base, used).value());
  return codes;
}

TEST(MakeUniqueCode, SameInitialsGetRunningNumbers) {
  EXPECT_EQ(HandOut({"JP", "JP", "JP", "JP"}, 4),
            (std::vector<std::string>{"JP", "JP1", "JP2", "JP3"}));
}

TEST(MakeUniqueCode, LetterCaseDoesNotTellCodesApartButAccentsDo) {
  EXPECT_EQ(HandOut({"a1", "A1"}, 4), (std::vector<std::string>{"a1", "A11"}));
  EXPECT_EQ(HandOut({"\xE1", "\xC1"}, 4), (std::vector<std::string>{"\xE1",
                                                                    "\xC1"
                                                                    "1"}));
  EXPECT_EQ(HandOut({"Ma", "M\xE1"}, 4), (std::vector<std::string>{"Ma", "M\xE1"}));
}

TEST(MakeUniqueCode, TrailingBlanksDoNotTellCodesApart) {
  // A text field does not keep trailing blanks: "M " is stored as "M".
  struct Case {
    std::vector<std::string> bases;
    std::size_t width;
    std::vector<std::string> codes;
  };
  const std::vector<Case> cases = {
      {{"M", "M "}, 4, {"M", "M1"}},
      {{"L ", "L"}, 4, {"L", "L1"}},  // "Luis  Gómez" (two spaces), then "Lucas"
      {{"Arte", "Arte "}, 8, {"Arte", "Arte1"}},
      {{"Arte ", "Arte", "arte "}, 8, {"Arte", "Arte1", "arte2"}},
      {{"M J", "M J ", "M J"}, 4, {"M J", "M J1", "M J2"}},  // inner blanks count
      {{"  ", ""}, 4, {"", "1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HandOut(c.bases, c.width), c.codes) << c.bases.front() << "|" << c.width;
  }
}

TEST(MakeUniqueCode, CountStartsAgainAtOneOnEveryCall) {
  // 1EA1 is handed out before the base 1EA repeats: the count starts at 1, finds
  // 1EA1 taken and moves on to 1EA2.
  EXPECT_EQ(HandOut({"1EA", "1EA1", "1EA"}, 4), (std::vector<std::string>{"1EA", "1EA1", "1EA2"}));
}

TEST(MakeUniqueCode, EmptyBaseGetsEmptyCodeThenNumbers) {
  EXPECT_EQ(HandOut({"", "", ""}, 4), (std::vector<std::string>{"", "1", "2"}));
}

TEST(MakeUniqueCode, CodesStayDistinctOnceCutToTheField) {
  // The eleventh 1EA would be 1EA10, stored as 1EA1 like the second; the base
  // is shortened instead so that the number fits.
  const std::vector<std::string> groups = HandOut(std::vector<std::string>(12, "1EA"), 4);
  EXPECT_EQ(groups[9], "1EA9");
  EXPECT_EQ(groups[10], "1E10");
  EXPECT_EQ(groups[11], "1E11");

  const std::vector<std::string> teachers = HandOut(std::vector<std::string>(102, "JP"), 4);
  EXPECT_EQ(teachers[99], "JP99");
  EXPECT_EQ(teachers[100], "J100");
  EXPECT_EQ(teachers[101], "J101");

  // Every code fits its field and no two are the same code.
  for (const auto& codes : {groups, teachers}) {
    for (std::size_t i = 0; i < codes.size(); ++i) {
      EXPECT_LE(codes[i].size(), 4u);
      for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(SameCode(codes[i], codes[j])) << codes[i];
    }
  }
}

TEST(MakeUniqueCode, ShortenedCodesDoNotCollideWithOtherBases) {
  // "J100" is taken by the 101st JP; a later base "J1" must not get it again.
  std::vector<std::string> bases(101, "JP");
  bases.push_back("J1");
  bases.push_back("J1");
  const std::vector<std::string> codes = HandOut(bases, 4);
  EXPECT_EQ(codes[100], "J100");
  EXPECT_EQ(codes[101], "J1");
  EXPECT_EQ(codes[102], "J11");
}

TEST(MakeUniqueCode, GivesNothingWhenNoCodeFitsTheField) {
  UsedCodes used(1);
  ASSERT_EQ(MakeUniqueCode("A", used).value(), "A");
  for (int k = 1; k <= 9; ++k) ASSERT_EQ(MakeUniqueCode("A", used).value(), std::to_string(k));
  EXPECT_FALSE(MakeUniqueCode("a", used).has_value());
  EXPECT_EQ(used.size(), 10u);  // the failed call entered nothing
  EXPECT_EQ(MakeUniqueCode("B", used).value(), "B");
}

}  // namespace
}  // namespace pontexa::to_horaplan
