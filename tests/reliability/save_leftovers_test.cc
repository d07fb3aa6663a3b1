// What a save of the exchange file does with temporary files found beside it.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/error.h"
#include "platform/file_io.h"
#include "support/held_file.h"
#include "support/temp_dir.h"

namespace pontexa::exchange {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SaveLeftovers, OnlyAbandonedTemporariesOfTheSameFileGo) {
  TempDir dir;
  WriteFile(dir / "f.xml", "<a/>");
  const std::set<std::string> kept = {
      "f.xml",
      ".f.xml.pontexa-Live01",  // a save in progress in another process
      ".f.xml.backup",          // the user's own hidden files
      ".f.xml.pontexa-toolong1",
      ".g.xml.pontexa-Abc123",  // another file's
  };
  for (const std::string& name : kept) {
    if (name != "f.xml") WriteFile(dir / name, "x");
  }
  WriteFile(dir / ".f.xml.pontexa-Dead01", "<a");
  WriteFile(dir / ".f.xml.pontexa-dead02", "");
  testing::HeldFile live(dir / ".f.xml.pontexa-Live01");

  ReplaceFileAtomically((dir / "f.xml").string(), "<b/>",
                        [](std::string_view) { return Status(); });

  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, kept);
  EXPECT_EQ(ReadFile(dir / "f.xml"), "<b/>");
}

TEST(SaveLeftovers, FailedSaveRemovesNothingButItsOwn) {
  TempDir dir;
  WriteFile(dir / "f.xml", "<a/>");
  WriteFile(dir / ".f.xml.pontexa-Dead01", "<a");
  EXPECT_THROW(
      ReplaceFileAtomically((dir / "f.xml").string(), "<b/>",
                            [](std::string_view) { return Status::Of(Status::Code::kOther); }),
      Error);
  EXPECT_TRUE(fs::exists(dir / ".f.xml.pontexa-Dead01"));
  EXPECT_EQ(ReadFile(dir / "f.xml"), "<a/>");
}

}  // namespace
}  // namespace pontexa::exchange
