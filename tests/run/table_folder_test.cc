#include "run/table_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/env.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;

TEST(WineTableFolder, IsHtempOnDriveCOfTheWinePrefix) {
  testing::TempDir dir;
  EXPECT_EQ(WineTableFolder((dir / "prefijo").string(), "/home/ana"),
            dir / "prefijo" / "drive_c" / "HTEMP");
  EXPECT_EQ(WineTableFolder("", (dir / "ana").string()),
            dir / "ana" / ".wine" / "drive_c" / "HTEMP");
}

TEST(WineTableFolder, FindsTheFolderWhateverItsLetterCase) {
  testing::TempDir dir;
  fs::create_directories(dir / "drive_c" / "htemp");
  fs::create_directories(dir / "drive_c" / "windows");
  EXPECT_EQ(WineTableFolder(dir.path().string(), ""), dir / "drive_c" / "htemp");
  fs::create_directories(dir / "drive_c" / "HTEMP");
  EXPECT_EQ(WineTableFolder(dir.path().string(), ""), dir / "drive_c" / "HTEMP");
}

// The prefix and the home folder come from the environment, as Env gives them.
TEST(TableFolder, FollowsWinePrefixElseTheHomeFolder) {
  class UserEnv : public EnvWrapper {
   public:
    UserEnv() : EnvWrapper(Env::System()) {}
    std::string Variable(const std::string& name) override {
      return name == "WINEPREFIX" ? prefix : "";
    }
    fs::path HomeFolder() override { return home; }
    std::string prefix;
    fs::path home;
  };
  testing::TempDir dir;
  UserEnv user;
  const ScopedEnv scope(user);
  user.home = dir / "ana";
  EXPECT_EQ(TableFolder(), dir / "ana" / ".wine" / "drive_c" / "HTEMP");
  user.prefix = (dir / "juegos").string();
  EXPECT_EQ(TableFolder(), dir / "juegos" / "drive_c" / "HTEMP");
}

}  // namespace
}  // namespace pontexa::run
