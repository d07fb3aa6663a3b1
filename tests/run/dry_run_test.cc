#include "run/dry_run.h"

#include <gtest/gtest.h>

#include "platform/env.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

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

}  // namespace
}  // namespace pontexa::run
