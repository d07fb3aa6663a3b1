#include "platform/percent_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace pontexa {
namespace {

// What could break a line or a word, or is not ASCII, goes as %HH and comes
// back as it was; plain text stays readable.
TEST(PercentEscape, BreakingBytesGoAsEscapesAndComeBack) {
  const struct {
    std::string value;
    std::string escaped;
  } cases[] = {
      {"ASIGT.DBF", "ASIGT.DBF"},
      {"", ""},
      {"Juana Pardo", "Juana%20Pardo"},
      {"a\nb\r\tc", "a%0Ab%0D%09c"},
      {"100%", "100%25"},
      {"Mar\xC3\xAD"
       "a",
       "Mar%C3%ADa"},
      {std::string("x\0y", 3), "x%00y"},
      {"\x7F", "%7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PercentEscaped(c.value), c.escaped);
    EXPECT_EQ(PercentUnescaped(c.escaped), c.value) << c.escaped;
  }
}

// A damaged or planted record is refused, never misread.
TEST(PercentEscape, WhatIsNeverWrittenIsRefused) {
  for (const char* text : {"a b", "a\nb", "%", "%4", "%G0", "%+1",
                           "Mar\xC3\xAD"
                           "a",
                           "x\tz"}) {
    EXPECT_FALSE(PercentUnescaped(text)) << text;
  }
}

}  // namespace
}  // namespace pontexa
