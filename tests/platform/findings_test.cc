#include "platform/findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/env.h"
#include "support/fault_env.h"
#include "support/temp_dir.h"

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

// Findings of several kinds and both levels interleaved, more of some kinds
// than are kept in memory, with long and non-ASCII details, so that the file
// is written in many blocks and read back across them.
std::vector<Finding> ManyFindings(std::size_t count) {
  static const char* const kKinds[][2] = {{"cut", "NOMBRE"},
                                         {"cut", "IDGEDU"},
                                         {"unknown-teacher", "CPROF"},
                                         {"renamed-code", "ABREV"},
                                         {"teacher-twice", "CPROF"}};
  std::vector<Finding> findings;
  for (std::size_t i = 0; i < count; ++i) {
    // One kind in seven is rare, the rest come by turns.
    const auto& kind = kKinds[i % 7 == 0 ? 4 : i % 4];
    findings.push_back({kind[0], "PROFT", kind[1], i % 2 ? "teacher" : "",
                        "T" + std::to_string(i),
                        std::string(i % 13 * 40, 'x') + " Cort\xC3\xA9 " + std::to_string(i)});
  }
  return findings;
}

bool Same(const Finding& a, const Finding& b) {
  return std::string(a.kind) == b.kind && std::string(a.table) == b.table &&
         std::string(a.field) == b.field && std::string(a.element) == b.element &&
         a.id == b.id && a.detail == b.detail;
}

// Every finding read back in the order found, all of them and group by group,
// whether the findings went to a file or stayed in memory, and however the
// file fared.
TEST(FindingsSpool, ReadsBackEveryFindingInOrder) {
  struct Case {
    const char* name;
    bool spool;
    std::uint64_t room;  // bytes the disk takes before it is full
  };
  const Case cases[] = {
      {"en memoria", false, UINT64_MAX},
      {"en archivo", true, UINT64_MAX},
      {"disco lleno al empezar", true, 0},
      {"disco lleno a medias", true, 300000},
  };
  const std::vector<Finding> added = ManyFindings(6000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    testing::FaultEnv faults;
    if (c.room != UINT64_MAX) faults.FailWritesAfter(testing::Under(dir.path()), c.room);
    const ScopedEnv scoped(faults);
    Findings findings;
    if (c.spool) findings.SpoolIn(dir.path());
    for (const Finding& finding : added) findings.Add(finding);

    std::vector<Finding> read;
    EXPECT_TRUE(findings.ForEach([&](const Finding& finding) { read.push_back(finding); }));
    ASSERT_EQ(read.size(), added.size());
    for (std::size_t i = 0; i < added.size(); ++i) ASSERT_TRUE(Same(read[i], added[i])) << i;
    EXPECT_EQ(findings.size(), added.size());
    if (c.room != UINT64_MAX) {
      EXPECT_GT(faults.faults(), 0);
    }

    // Kinds in the order first found, each level apart.
    std::vector<std::pair<FindingLevel, std::string>> kinds;
    for (const Findings::Group& group : findings.groups()) {
      kinds.emplace_back(group.level, group.kind);
      std::vector<const Finding*> expected;
      for (const Finding& finding : added) {
        if (LevelOf(finding) == group.level && finding.kind == std::string(group.kind)) {
          expected.push_back(&finding);
        }
      }
      EXPECT_EQ(group.count, expected.size());
      for (const std::size_t most : {std::size_t{10}, Findings::kKeptPerKind + 7, SIZE_MAX}) {
        std::vector<Finding> in_group;
        EXPECT_TRUE(findings.ForEachIn(group, most, [&](const Finding& finding) {
          in_group.push_back(finding);
        }));
        ASSERT_EQ(in_group.size(), std::min(most, expected.size()));
        for (std::size_t i = 0; i < in_group.size(); ++i) {
          ASSERT_TRUE(Same(in_group[i], *expected[i])) << group.kind << " " << i;
        }
      }
    }
    const std::vector<std::pair<FindingLevel, std::string>> first_found = {
        {FindingLevel::kAviso, "teacher-twice"},
        {FindingLevel::kAviso, "cut"},
        {FindingLevel::kAviso, "unknown-teacher"},
        {FindingLevel::kNota, "renamed-code"},
        {FindingLevel::kNota, "cut"}};
    EXPECT_EQ(kinds, first_found);
    EXPECT_EQ(findings.CountOf(FindingLevel::kAviso) + findings.CountOf(FindingLevel::kNota),
              added.size());
  }
}

// The file has no name in the folder while the run goes on, so nothing of it
// can be left behind; the names it had were those a later run clears.
TEST(FindingsSpool, LeavesNothingInTheFolder) {
  testing::TempDir dir;
  std::vector<std::filesystem::path> created;
  testing::FaultEnv faults;
  faults.before_open = [&](const std::filesystem::path& path, OpenMode) {
    created.push_back(path);
  };
  const ScopedEnv scoped(faults);
  Findings findings;
  findings.SpoolIn(dir.path());
  for (const Finding& finding : ManyFindings(3000)) findings.Add(finding);
  std::vector<std::string> names;
  ASSERT_TRUE(Env::Current().List(dir.path(), &names).ok());
  EXPECT_TRUE(names.empty());
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0].filename().string(),
            "~pontexa-" + std::to_string(Env::Current().ThisProcess()) + "-hallazgos-");
  EXPECT_EQ(findings.size(), 3000u);
}

// A copy and a move keep every finding, and details are rewritten as they are
// read, those kept in memory and those in the file alike.
TEST(FindingsSpool, CopiesMovesAndRewritesKeepEveryFinding) {
  testing::TempDir dir;
  const std::vector<Finding> added = ManyFindings(4000);
  Findings spooled;
  spooled.SpoolIn(dir.path());
  for (const Finding& finding : added) spooled.Add(finding);
  spooled.RewriteDetails([](std::string& detail) { detail.replace(0, 0, ">"); });

  const Findings copy = spooled;
  const Findings moved = std::move(spooled);
  for (const Findings* findings : {&copy, &moved}) {
    std::size_t i = 0;
    findings->ForEach([&](const Finding& finding) {
      ASSERT_LT(i, added.size());
      EXPECT_EQ(finding.detail, ">" + added[i].detail);
      ++i;
    });
    EXPECT_EQ(i, added.size());
    const Findings::Group& last = findings->groups().back();
    std::size_t in_group = 0;
    findings->ForEachIn(last, SIZE_MAX, [&](const Finding& finding) {
      EXPECT_EQ(finding.detail.front(), '>');
      ++in_group;
    });
    EXPECT_EQ(in_group, last.count);
  }
}

}  // namespace
}  // namespace pontexa
