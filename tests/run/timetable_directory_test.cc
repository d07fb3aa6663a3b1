#include "run/timetable_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;

TEST(WineTimetableDirectory, IsHtempOnDriveCOfTheWinePrefix) {
  testing::TempDir dir;
  EXPECT_EQ(WineTimetableDirectory((dir / "prefijo").string(), "/home/ana"),
            dir / "prefijo" / "drive_c" / "HTEMP");
  EXPECT_EQ(WineTimetableDirectory("", (dir / "ana").string()),
            dir / "ana" / ".wine" / "drive_c" / "HTEMP");
}

TEST(WineTimetableDirectory, FindsTheFolderWhateverItsLetterCase) {
  testing::TempDir dir;
  fs::create_directories(dir / "drive_c" / "htemp");
  fs::create_directories(dir / "drive_c" / "windows");
  EXPECT_EQ(WineTimetableDirectory(dir.path().string(), ""), dir / "drive_c" / "htemp");
  fs::create_directories(dir / "drive_c" / "HTEMP");
  EXPECT_EQ(WineTimetableDirectory(dir.path().string(), ""), dir / "drive_c" / "HTEMP");
}

}  // namespace
}  // namespace pontexa::run
