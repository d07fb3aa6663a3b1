#include "run/dry_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/env.h"
#include "support/error_message.h"
#include "support/fault_env.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;

// Without a scratch folder there is no trial: the reason is raised, and
// nothing is tried on the real tables.
TEST(DryRun, ScratchFolderThatCannotBeMadeIsTheError) {
  class NoTemporaryEnv : public EnvWrapper {
   public:
    NoTemporaryEnv() : EnvWrapper(Env::System()) {}
    Status MakeTemporaryFolder(std::string_view, std::filesystem::path*) override {
      return Status::Of(Status::Code::kNoSpace);
    }
  };
  const testing::TempDir dir;
  testing::WriteFile(dir / "instituto.xml", "<document/>");
  NoTemporaryEnv env;
  const ScopedEnv scope(env);
  EXPECT_EQ(testing::MessageOf([&] {
              DryRun(true, (dir / "instituto.xml").string(), dir.path(), RegionalSettings{','});
            }),
            "No se puede crear una carpeta temporal para la prueba: No queda espacio en el disco");
  EXPECT_FALSE(std::filesystem::exists(dir / kReportFileName));
}

// A trial that fails in its own temporary folder (a small $TMPDIR) names that
// folder, never the real one, which it only reads.
TEST(DryRun, TrialSpaceThatFailsIsNamedNotTheRealFolder) {
  const testing::TempDir dir;
  const fs::path tables = dir / "htemp";
  const fs::path trial_space = dir / "tmp";
  fs::create_directory(tables);
  fs::create_directory(trial_space);
  fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", dir / "instituto.xml");
  const char* saved = std::getenv("TMPDIR");
  const std::string saved_value = saved == nullptr ? "" : saved;
  setenv("TMPDIR", trial_space.c_str(), 1);
  testing::FaultEnv faults;
  faults.LeaveOutOtherProcesses();
  faults.FailWritesAfter(testing::Named("ASIGT.DBF"), 100);
  DryRunOutcome outcome;
  {
    const ScopedEnv scope(faults);
    outcome = DryRun(true, (dir / "instituto.xml").string(), tables, RegionalSettings{','});
  }
  if (saved == nullptr) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", saved_value.c_str(), 1);
  }
  EXPECT_FALSE(outcome.would_succeed);
  EXPECT_TRUE(outcome.message.starts_with("La prueba ha fallado en su propia carpeta temporal '" +
                                          (trial_space / "pontexa-prueba-").string()))
      << outcome.message;
  EXPECT_NE(outcome.message.find("No queda espacio en el disco"), std::string::npos);
  EXPECT_EQ(outcome.message.find(tables.string() + "/"), std::string::npos) << outcome.message;
  EXPECT_EQ(outcome.report.error, outcome.message);
  EXPECT_TRUE(fs::is_empty(tables));
  EXPECT_TRUE(fs::is_empty(trial_space));
}

}  // namespace
}  // namespace pontexa::run
