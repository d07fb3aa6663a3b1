#include "to_gedu/input_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace pontexa::to_gedu {
namespace {

// Rows get one number per day and interval, in the order first met, and each
// slot counts its rows; -0 is 0, and every interval that is not a number is
// one slot no week has.
TEST(LessonSlots, OneNumberPerDayAndInterval) {
  struct Row {
    std::int32_t day;
    double interval;
    std::uint32_t slot;
  };
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const Row rows[] = {
      {1, 3, 0},   {1, 3, 0},     {2, 3, 1},  {1, 0, 2},   {1, -0.0, 2},
      {1, 2.5, 3}, {1, kNaN, 4},  {1, kInf, 4}, {1, -1, 4}, {2, -kInf, 5},
      {1, 3, 0},
  };
  LessonSlots slots;
  for (const Row& row : rows) slots.AddPlaced(row.day, row.interval);
  ASSERT_EQ(slots.slot_count(), 6u);
  for (const Row& row : rows) {
    EXPECT_EQ(slots.NumberOf(row.day, row.interval), row.slot)
        << "día " << row.day << ", intervalo " << row.interval;
  }
  EXPECT_EQ(slots.NumberOf(3, 3), LessonSlots::kNone);
  EXPECT_EQ(slots.NumberOf(1, 4), LessonSlots::kNone);
  const std::uint32_t expected_lessons[] = {3, 1, 2, 1, 3, 1};
  for (std::uint32_t s = 0; s < 6; ++s) EXPECT_EQ(slots.lessons(s), expected_lessons[s]) << s;
  EXPECT_EQ(slots.slot(1), (LessonSlots::Slot{2, 3}));
  EXPECT_EQ(slots.slot(3), (LessonSlots::Slot{1, 2.5}));
  EXPECT_EQ(slots.slot(4), (LessonSlots::Slot{1, -1}));
  EXPECT_FALSE(std::signbit(slots.slot(2).second));
}

}  // namespace
}  // namespace pontexa::to_gedu
