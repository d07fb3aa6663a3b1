#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "platform/env.h"
#include "platform/regional_settings.h"
#include "support/temp_dir.h"

namespace pontexa {
namespace {

TEST(ParseDecimal, ReadsWithTheSeparatorGiven) {
  struct Case {
    const char* text;
    char separator;
    std::optional<double> expected;
  } cases[] = {
      {"2,5", ',', 2.5},
      {"2.5", ',', std::nullopt},
      {"2.5", '.', 2.5},
      {"  -3 ", ',', -3.0},
      {"+4", ',', 4.0},
      {",", ',', 0.0},
      {",5", ',', 0.5},
      {"3,", ',', 3.0},
      {"1E3", ',', 1000.0},
      {"1,5e-2", ',', 0.015},
      {"", ',', std::nullopt},
      {" ", ',', std::nullopt},
      {"-", ',', std::nullopt},
      {"E5", ',', std::nullopt},
      {"1E", ',', std::nullopt},
      {"1.000,5", ',', std::nullopt},  // no thousands separators
      {"x", ',', std::nullopt},
      {"\t1", ',', std::nullopt},    // only the space is a blank
      {"1e999", ',', std::nullopt},  // beyond the range of a double
      {"1e-999", ',', 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDecimal(c.text, c.separator), c.expected) << '"' << c.text << '"';
  }
}

TEST(ParseDecimal, IgnoresTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "es_ES.UTF-8") == nullptr) GTEST_SKIP() << "es_ES.UTF-8 missing";
  EXPECT_EQ(ParseDecimal("2.5", '.'), 2.5);
  EXPECT_EQ(FormatGeneral(2.5, '.'), "2.5");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ParseInteger, ReadsDecimalAndHexadecimalWholeNumbers) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> expected;
  } cases[] = {
      {"12", 12},
      {"  -7", -7},
      {"+3", 3},
      {"$1F", 31},
      {"0x10", 16},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"$FFFFFFFF", -1},
      {"", std::nullopt},
      {"12 ", std::nullopt},
      {"1,5", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInteger(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(FormatGeneral, WritesFifteenSignificantDigitsAtMost) {
  struct Case {
    double value;
    char separator;
    const char* expected;
  } cases[] = {
      {0, ',', "0"},
      {3, ',', "3"},
      {-1, ',', "-1"},
      {2.5, ',', "2,5"},
      {2.5, '.', "2.5"},
      {13.2, ',', "13,2"},
      {0.1 + 0.2, ',', "0,3"},
      {1.0 / 3, '.', "0.333333333333333"},
      {0.0001, '.', "0.0001"},
      {0.00009, '.', "9E-5"},
      {123456789012345.0, '.', "123456789012345"},
      {-999999999999999.0, ',', "-999999999999999"},
      {1e15, '.', "1E15"},
      {-1e15, '.', "-1E15"},
      {40, ',', "40"},
      {-0.5, ',', "-0,5"},
      {1234567890123456.0, '.', "1.23456789012346E15"},
      {1e20, '.', "1E20"},
      {-1.5e-7, ',', "-1,5E-7"},
      {999999999999999.9, '.', "1E15"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatGeneral(c.value, c.separator), c.expected) << c.value;
  }
}

TEST(RegionalSettings, TakesTheSeparatorFromTheEnvironmentLocale) {
  const char* saved = std::getenv("LC_ALL");
  const std::string saved_value = saved ? saved : "";
  setenv("LC_ALL", "es_ES.UTF-8", 1);
  const char es = RegionalSettingsFromEnvironment().decimal_separator;
  setenv("LC_ALL", "C", 1);
  const char c = RegionalSettingsFromEnvironment().decimal_separator;
  if (saved)
    setenv("LC_ALL", saved_value.c_str(), 1);
  else
    unsetenv("LC_ALL");
  EXPECT_EQ(es, ',');
  EXPECT_EQ(c, '.');
}

TEST(IsExistingFile, OnlyAnExistingFileCounts) {
  testing::TempDir dir;
  testing::WriteFile(dir / "a.xml", "<document/>");
  EXPECT_TRUE(IsExistingFile(dir / "a.xml"));
  EXPECT_FALSE(IsExistingFile(dir.path()));
  EXPECT_FALSE(IsExistingFile(dir / "b.xml"));
  EXPECT_FALSE(IsExistingFile(""));
}

}  // namespace
}  // namespace pontexa
