#include "to_horaplan/group_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "to_horaplan/short_codes.h"

namespace pontexa::to_horaplan {
namespace {

TEST(CutGroupName, CutsCourseLevelAndLetterBySpaces) {
  struct Case {
    std::string name, curso, nivel, grupo, base;
  };
  const std::vector<Case> cases = {
      {"1 ESO A", "1", "ESO", "A", "1EA"},
      {"2 BACH B", "2", "BACH", "B", "2BB"},
      {"1 ESO", "1", "", "O", "1E"},
      {"3ESOC", "3", "", "C", "3"},
      {"10 ESO A", "1", "ESO", "A", "1EA"},
      {"4 ESO DIVER A", "4", "ESO DIVER", "A", "4ED"},  // stored cut to 5 by the table
      {"1  ESO A", "1", " ESO", "A", "1 E"},
      {"A", "A", "", "A", "A"},
      {"", "", "", "", ""},
      {"1 ESO A B", "1", "ESO A", "B", "1EA"},
      {"\xC1"
       "ngel 1 \xD1",
       "\xC1", "1", "\xD1",
       "\xC1"
       "1\xD1"},
  };
  for (const Case& c : cases) {
    const GroupNameParts parts = CutGroupName(c.name);
    EXPECT_EQ(parts.curso, c.curso) << c.name;
    EXPECT_EQ(parts.nivel, c.nivel) << c.name;
    EXPECT_EQ(parts.grupo, c.grupo) << c.name;
    EXPECT_EQ(FirstChars(InitialsOf(c.name), 3), c.base) << c.name;
  }
}

}  // namespace
}  // namespace pontexa::to_horaplan
