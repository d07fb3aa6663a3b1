#include "platform/findings.h"

#include <gtest/gtest.h>

namespace pontexa {
namespace {

// A name cut or changed only looks different in Horaplan; an identifier cut or
// changed cannot go back to GEDU as it came, and what is missing or unknown is
// lost from what Horaplan or GEDU holds.
TEST(FindingLevels, FollowKindAndField) {
  struct Case {
    const char* kind;
    const char* field;
    FindingLevel level;
  };
  const Case cases[] = {
      {"renamed-code", "ABREV", FindingLevel::kNota},
      {"renamed-code", "CODLARGO", FindingLevel::kNota},
      {"cut", "NOMBRE", FindingLevel::kNota},
      {"cut", "NIVEL", FindingLevel::kNota},
      {"cut", "IDGEDU", FindingLevel::kAviso},
      {"cut", "HORAS", FindingLevel::kAviso},
      {"replaced-characters", "NOMBRE", FindingLevel::kNota},
      {"replaced-characters", "NIVEL", FindingLevel::kNota},
      {"replaced-characters", "IDGEDU", FindingLevel::kAviso},
      {"skipped-lesson", "DIA", FindingLevel::kNota},
      {"unknown-subject", "CASIG", FindingLevel::kAviso},
      {"unknown-teacher", "CPROF", FindingLevel::kAviso},
      {"unknown-group", "CGRUP", FindingLevel::kAviso},
      {"no-teacher", "CPROF", FindingLevel::kAviso},
      {"duplicate-id", "IDGEDU", FindingLevel::kAviso},
      {"missing-id", "IDGEDU", FindingLevel::kAviso},
      {"missing-name", "NOMBRE", FindingLevel::kAviso},
      {"hours-not-number", "HORAS", FindingLevel::kAviso},
      {"code-not-in-catalogue", "PROF", FindingLevel::kAviso},
      {"slot-not-in-week", "HORA", FindingLevel::kAviso},
      {"teacher-in-two-rooms", "AULA", FindingLevel::kAviso},
      {"room-with-two-teachers", "PROF", FindingLevel::kAviso},
      {"code-moved", "PROF", FindingLevel::kAviso},
      {"timetable-older-than-catalogue", "", FindingLevel::kAviso},
      {"a-kind-not-known-yet", "NOMBRE", FindingLevel::kAviso},
  };
  for (const Case& c : cases) {
    const Finding finding{c.kind, "T", c.field, "", "id", "detail"};
    EXPECT_EQ(LevelOf(finding), c.level) << c.kind << " " << c.field;
  }
}

TEST(FindingLevels, CountedApart) {
  Findings findings;
  findings.Add({"cut", "PROFT", "NOMBRE", "teacher", "T1", ""});
  findings.Add({"cut", "PROFT", "IDGEDU", "teacher", "T1", ""});
  findings.Add({"renamed-code", "PROFT", "ABREV", "teacher", "T2", ""});
  EXPECT_EQ(findings.CountOf(FindingLevel::kAviso), 1u);
  EXPECT_EQ(findings.CountOf(FindingLevel::kNota), 2u);
}

}  // namespace
}  // namespace pontexa
