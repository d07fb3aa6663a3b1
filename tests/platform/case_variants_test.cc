#include "platform/case_variants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pontexa {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Names(const std::vector<std::filesystem::path>& paths) {
  std::vector<std::string> names;
  for (const auto& path : paths) names.push_back(path.filename().string());
  return names;
}

// Every spelling of a name, the exact one first and the others in name order;
// for several names, each name's spellings in the order the names are given.
TEST(CaseVariants, ExactSpellingFirstThenTheOthersInNameOrder) {
  const TempDir dir;
  for (const char* name : {"asigt.dbf", "ASIGT.DBF", "Asigt.Dbf", "ASIGT.MDX", "asigt.cpg",
                           "PROFT.DBF", "ASIGT.DBF.bak", "xASIGT.DBF"}) {
    WriteFile(dir / name, "x");
  }
  const struct {
    std::vector<std::string> asked;
    std::vector<std::string> found;
  } cases[] = {
      {{"ASIGT.DBF"}, {"ASIGT.DBF", "Asigt.Dbf", "asigt.dbf"}},
      {{"asigt.dbf"}, {"asigt.dbf", "ASIGT.DBF", "Asigt.Dbf"}},
      {{"aSiGt.DbF"}, {"ASIGT.DBF", "Asigt.Dbf", "asigt.dbf"}},
      {{"ASIGT.CPG", "ASIGT.DBF", "ASIGT.MDX"},
       {"asigt.cpg", "ASIGT.DBF", "Asigt.Dbf", "asigt.dbf", "ASIGT.MDX"}},
      {{"AULAT.DBF"}, {}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    const std::vector<std::filesystem::path> found = c.asked.size() == 1
                                                         ? CaseVariants(dir.path(), c.asked[0])
                                                         : CaseVariants(dir.path(), c.asked);
    EXPECT_EQ(Names(found), c.found) << ::testing::PrintToString(c.asked);
    for (const auto& path : found) EXPECT_EQ(path.parent_path(), dir.path());
  }
  EXPECT_TRUE(CaseVariants(dir / "falta", "ASIGT.DBF").empty());
  EXPECT_TRUE(CaseVariants(dir / "falta", std::vector<std::string>{"ASIGT.DBF"}).empty());
}

}  // namespace
}  // namespace pontexa
