#include "to_gedu/activity_index.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "to_gedu/day_list.h"

namespace pontexa::to_gedu {
namespace {

TEST(ActivityIndex, FirstSubjectWinsWhateverItsLetterCase) {
  ActivityIndex index;
  index.Add("a1", "S10");
  index.Add("a2", "S12");
  index.Add("a3", "s10");
  index.Add("a4", "");
  index.Add("a5", "Educaci\xF3n");  // Windows-1252
  EXPECT_EQ(index.IndexOfSubject("s12"), 1);
  EXPECT_EQ(index.IndexOfSubject("S10"), 0);
  EXPECT_EQ(index.IndexOfSubject("s10"), 0);
  EXPECT_EQ(index.IndexOfSubject(""), 3);
  EXPECT_EQ(index.IndexOfSubject("EDUCACI\xD3N"), 4);
  EXPECT_EQ(index.IndexOfSubject("S11"), -1);
  EXPECT_EQ(index.IndexOfSubject("S10 "), -1);
  EXPECT_EQ(index.ActivityAt(1), "a2");
  EXPECT_EQ(index.Size(), 5u);
}

TEST(ActivityIndex, PositionOutsideTheListFails) {
  ActivityIndex index;
  index.Add("a1", "S10");
  for (int position : {-1, 1}) {
    try {
      index.ActivityAt(position);
      FAIL() << position;
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "List index out of bounds (" + std::to_string(position) + ")");
    }
  }
}

TEST(EndTimeText, ShortTimesGetALeadingZero) {
  const struct {
    const char* stored;
    const char* written;
  } cases[] = {{"9:55", "09:55"},  {"955", "0955"},     {"12", "012"}, {"9", "09"},
               {"10:45", "10:45"}, {"0955", "0955"},    {"", ""},      {"0", "0"},
               {" 9:5", "0 9:5"},  {"9:55 h", "9:55 h"}};
  for (const auto& c : cases) EXPECT_EQ(EndTimeText(c.stored), c.written) << c.stored;
}

}  // namespace
}  // namespace pontexa::to_gedu
