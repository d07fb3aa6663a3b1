#include "to_gedu/staffing_by_slot.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/fault_env.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace pontexa::to_gedu {
namespace {

using Staffing = StaffingBySlot::Staffing;
using testing::TempDir;

// Adds pseudo-random pairs to random slots (a few more than each slot takes)
// and reads every slot back: the pairs each took, in the order added.
void ExpectEverySlotGivesBackItsPairs(StaffingBySlot& staffing,
                                      const std::vector<std::uint32_t>& most) {
  std::mt19937 random(7);
  std::vector<std::vector<Staffing>> expected(most.size());
  std::size_t total = 0;
  for (std::uint32_t m : most) total += m;
  for (std::size_t i = 0; i < total + total / 10 + 5; ++i) {
    const auto slot = static_cast<std::uint32_t>(random() % most.size());
    const Staffing pair{static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(i)};
    staffing.Add(slot, pair);
    if (expected[slot].size() < most[slot]) expected[slot].push_back(pair);
  }
  for (std::uint32_t s = 0; s < most.size(); ++s) {
    std::vector<Staffing> got;
    staffing.ForEachIn(s, [&](Staffing pair) { got.push_back(pair); });
    EXPECT_EQ(got, expected[s]) << "franja " << s;
  }
}

TEST(StaffingBySlot, GivesBackEachSlotsPairsInOrderInMemoryOrInAFile) {
  const struct {
    const char* name;
    std::vector<std::uint32_t> most;
    StaffingBySlot::Limits limits;
    bool spilled;
  } cases[] = {
      {"pocas, en memoria", {40, 0, 3, 200}, {}, false},
      {"muchas, a un archivo", {5000, 0, 1, 70000, 300}, {1000, 640}, true},
      // Buffers of a few pairs per slot would write almost pair by pair.
      {"demasiadas franjas para un búfer", std::vector<std::uint32_t>(100, 30), {10, 640}, false},
      {"más de un bloque leído por franja", {200000, 100000}, {1000, 4096}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TempDir folder;
    StaffingBySlot staffing(c.most, folder.path(), c.limits);
    EXPECT_EQ(staffing.spilled(), c.spilled);
    ExpectEverySlotGivesBackItsPairs(staffing, c.most);
    // The scratch file has no name left in the folder.
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  }
}

TEST(StaffingBySlot, AFolderThatCannotBeWrittenKeepsThePairsInMemory) {
  const TempDir folder;
  testing::FaultEnv faults;
  faults.MakeReadOnly(testing::Under(folder.path()));
  const ScopedEnv scoped(faults);
  const std::vector<std::uint32_t> most = {3000, 2000};
  StaffingBySlot staffing(most, folder.path(), {100, 640});
  EXPECT_FALSE(staffing.spilled());
  ExpectEverySlotGivesBackItsPairs(staffing, most);
}

TEST(StaffingBySlot, AFullDiskIsAnErrorNamingTheScratchFile) {
  const TempDir folder;
  testing::FaultEnv faults;
  faults.FailWritesAfter(testing::Inside(folder.path()), 1024);
  const ScopedEnv scoped(faults);
  StaffingBySlot staffing({100000}, folder.path(), {100, 640});
  ASSERT_TRUE(staffing.spilled());
  try {
    for (std::uint32_t i = 0; i < 100000; ++i) staffing.Add(0, {i, i});
    staffing.ForEachIn(0, [](Staffing) {});
    FAIL() << "se esperaba un error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("~pontexa-"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace pontexa::to_gedu
