#include "tables/field_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/error.h"

namespace pontexa::tables {
namespace {

using ::testing::HasSubstr;

struct Reading {
  StoredKind kind;
  std::string stored;
  char separator;
  std::string text;
  double number;
  int whole;
};

class StoredFieldReading : public ::testing::TestWithParam<Reading> {};

TEST_P(StoredFieldReading, GivesTextNumberAndWholeNumber) {
  const Reading& r = GetParam();
  EXPECT_EQ(TextOfStored(r.kind, r.stored, r.separator), r.text);
  EXPECT_DOUBLE_EQ(FloatOfStored(r.kind, r.stored, r.separator), r.number);
  EXPECT_EQ(IntegerOfStored(r.kind, r.stored, r.separator), r.whole);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredFieldReading,
    ::testing::Values(Reading{StoredKind::kText, "12", ',', "12", 12, 12},
                      Reading{StoredKind::kText, "  7", ',', "  7", 7, 7},
                      Reading{StoredKind::kText, "-3", '.', "-3", -3, -3},
                      Reading{StoredKind::kWhole, "         12", ',', "12", 12, 12},
                      Reading{StoredKind::kWhole, "        -40", ',', "-40", -40, -40},
                      Reading{StoredKind::kWhole, "           ", ',', "", 0, 0},
                      Reading{StoredKind::kWhole, "0000000005", '.', "5", 5, 5},
                      Reading{StoredKind::kFraction, "            2.500000", ',', "2,5", 2.5, 2},
                      Reading{StoredKind::kFraction, "            3.500000", '.', "3.5", 3.5, 4},
                      Reading{StoredKind::kFraction, "           -2.500000", ',', "-2,5", -2.5, -2},
                      Reading{StoredKind::kFraction, "           13.200000", ',', "13,2", 13.2, 13},
                      Reading{StoredKind::kFraction, "           25.000000", ',', "25", 25, 25},
                      Reading{StoredKind::kFraction, "                    ", ',', "", 0, 0},
                      Reading{StoredKind::kFraction, "2,5\0\0\0", ',', "2,5", 2.5, 2}));

TEST(StoredFieldReading, HexTextIsWholeNumberButNoFloat) {
  EXPECT_EQ(IntegerOfStored(StoredKind::kText, "$1F", ','), 31);
  EXPECT_EQ(IntegerOfStored(StoredKind::kText, "0x10", ','), 16);
  EXPECT_THROW(FloatOfStored(StoredKind::kText, "$1F", ','), Error);
}

TEST(StoredFieldReading, TextFieldsFollowTheRegionalSeparator) {
  EXPECT_DOUBLE_EQ(FloatOfStored(StoredKind::kText, "1,5", ','), 1.5);
  EXPECT_THROW(FloatOfStored(StoredKind::kText, "1,5", '.'), Error);
  EXPECT_DOUBLE_EQ(FloatOfStored(StoredKind::kText, "1.5", '.'), 1.5);
}

struct Failure {
  StoredKind kind;
  std::string stored;
  bool as_integer;
  std::string message;
};

class StoredFieldFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(StoredFieldFailure, NamesTheTextRead) {
  const Failure& f = GetParam();
  try {
    if (f.as_integer) {
      IntegerOfStored(f.kind, f.stored, ',');
    } else {
      FloatOfStored(f.kind, f.stored, ',');
    }
    FAIL() << "no failure for '" << f.stored << "'";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), f.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredFieldFailure,
    ::testing::Values(
        Failure{StoredKind::kText, "", true, "'' no es un valor entero válido"},
        Failure{StoredKind::kText, "", false, "'' no es un valor punto flotante válido"},
        Failure{StoredKind::kText, "1,5", true, "'1,5' no es un valor entero válido"},
        Failure{StoredKind::kText, "abc", false, "'abc' no es un valor punto flotante válido"},
        Failure{StoredKind::kText, "1.000,5", false,
                "'1.000,5' no es un valor punto flotante válido"},
        Failure{StoredKind::kText, "\xE1", true, "'á' no es un valor entero válido"},
        Failure{StoredKind::kWhole, "    ***", true, "'***' no es un valor entero válido"},
        Failure{StoredKind::kWhole, "    ***", false, "'***' no es un valor punto flotante válido"},
        Failure{StoredKind::kWhole, " 3000000000", true,
                "'3000000000' no es un valor entero válido"}));

TEST(StoredFieldReading, UnreadableNumericFieldReadsAsItsText) {
  EXPECT_EQ(TextOfStored(StoredKind::kWhole, "  ***", ','), "***");
}

TEST(NumberField, KeepsHoursExactly) {
  for (double hours : {0.5, 1.0, 1.5, 2.5, 13.2, -2.0, 25.0, 0.25, 39.5}) {
    std::optional<std::string> field = NumberField(hours, 20, 6);
    ASSERT_TRUE(field.has_value()) << hours;
    EXPECT_EQ(field->size(), 20u);
    EXPECT_EQ(StoredNumber(*field), hours);
  }
}

TEST(NumberField, RightAlignsAndFitsTheWidth) {
  EXPECT_EQ(NumberField(13.2, 20, 6), "           13.200000");
  EXPECT_EQ(NumberField(-2147483648.0, 11, 0), "-2147483648");
  EXPECT_EQ(NumberField(-0.0000001, 20, 6), "            0.000000");
  // The whole part takes the room of decimals that do not fit.
  EXPECT_EQ(NumberField(123456.75, 8, 3), "123456.8");
  EXPECT_EQ(NumberField(123456789.0, 8, 3), std::nullopt);
  EXPECT_EQ(NumberField(std::numeric_limits<double>::infinity(), 20, 6), std::nullopt);
  EXPECT_EQ(NumberField(std::nan(""), 20, 6), std::nullopt);
}

// Whole numbers take a quicker way to their digits: the same text as the
// C library's fixed notation gives, for every width and number of decimals.
TEST(NumberField, WholeNumbersAsTheFixedNotationWritesThem) {
  const double values[] = {0.0,
                           -0.0,
                           1.0,
                           -1.0,
                           7.0,
                           10.0,
                           25.0,
                           -2.0,
                           1e14,
                           -1e14,
                           999999999999999.0,
                           4294967296.0,
                           1e15,
                           123.0,
                           -2147483648.0};
  for (const double value : values) {
    for (int width : {1, 2, 4, 11, 20}) {
      for (int decimals : {0, 1, 2, 6}) {
        std::optional<std::string> expected;
        for (int places = decimals; places >= 0 && !expected; --places) {
          char text[64];
          std::snprintf(text, sizeof text, "%.*f", places, value);
          std::string_view shown(text);
          if (shown.starts_with("-") &&
              shown.find_first_not_of("0.", 1) == std::string_view::npos) {
            shown.remove_prefix(1);  // a negative zero is stored as zero
          }
          if (shown.size() <= static_cast<std::size_t>(width)) {
            expected = std::string(static_cast<std::size_t>(width) - shown.size(), ' ') +
                       std::string(shown);
          }
        }
        EXPECT_EQ(NumberField(value, width, decimals), expected)
            << value << " ancho " << width << " decimales " << decimals;
      }
    }
  }
}

}  // namespace
}  // namespace pontexa::tables
