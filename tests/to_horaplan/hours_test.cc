#include "to_horaplan/hours.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pontexa::to_horaplan {
namespace {

TEST(SesionesText, RunOfOnesUpToThirteenThenCountInFront) {
  struct Case {
    double hours;
    std::string sesiones;
  };
  const std::string thirteen(13, '1');
  const std::vector<Case> cases = {
      {0, ""},
      {-2, ""},
      {-0.5, ""},
      {0.5, "1"},
      {2.5, "111"},
      {4, "1111"},
      {13, thirteen},
      {13.2, "1" + thirteen},
      {14, "1" + thirteen},
      {20, "7" + thirteen},
      {25, "12" + thirteen},
      {113, "100" + thirteen},
  };
  for (const Case& c : cases) EXPECT_EQ(SesionesText(c.hours), c.sesiones) << c.hours;
}

TEST(ReadHours, AcceptsPointOrCommaWhateverTheRegionalSeparator) {
  EXPECT_EQ(ReadHours("2.5"), 2.5);
  EXPECT_EQ(ReadHours("2,5"), 2.5);
  EXPECT_EQ(ReadHours("3.0"), 3.0);
  EXPECT_EQ(ReadHours("3"), 3.0);
  EXPECT_EQ(ReadHours("-2"), -2.0);
  EXPECT_EQ(ReadHours(" 4 "), 4.0);
  EXPECT_FALSE(ReadHours("x").has_value());
  EXPECT_FALSE(ReadHours("").has_value());
  EXPECT_FALSE(ReadHours("1.234,5").has_value());
  EXPECT_FALSE(ReadHours("2 horas").has_value());
}

}  // namespace
}  // namespace pontexa::to_horaplan
