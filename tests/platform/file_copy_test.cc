#include "platform/file_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace pontexa {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

ino_t InodeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_ino;
}

// The exchange file is only ever replaced by renaming a new file over it: a
// second name made before keeps the old bytes, and is the same digest a copy gives.
TEST(LinkOrCopy, SecondNameKeepsTheOldFileWhenANewOneIsRenamedOverIt) {
  const TempDir dir;
  WriteFile(dir / "centro.xml", "<document>antes</document>");
  fs::create_directory(dir / "copia");
  const FileDigest digest = LinkOrCopyFileWithDigest(dir / "centro.xml", dir / "copia/centro.xml");
  EXPECT_EQ(InodeOf(dir / "copia/centro.xml"), InodeOf(dir / "centro.xml"));
  EXPECT_EQ(digest, DigestOfFile(dir / "centro.xml"));
  EXPECT_EQ(digest.size, 26u);

  WriteFile(dir / "nuevo.tmp", "<document>después</document>");
  fs::rename(dir / "nuevo.tmp", dir / "centro.xml");
  EXPECT_EQ(ReadFile(dir / "copia/centro.xml"), "<document>antes</document>");
}

// A symbolic link is followed: the copy is the file it points to, not the link.
TEST(LinkOrCopy, SymbolicLinkGivesTheFileItPointsTo) {
  const TempDir dir;
  WriteFile(dir / "real.xml", "<document/>");
  fs::create_symlink(dir / "real.xml", dir / "enlace.xml");
  LinkOrCopyFileWithDigest(dir / "enlace.xml", dir / "copia.xml");
  EXPECT_FALSE(fs::is_symlink(dir / "copia.xml"));
  EXPECT_EQ(InodeOf(dir / "copia.xml"), InodeOf(dir / "real.xml"));
}

// Across file systems no second name can be made: the bytes are copied.
TEST(LinkOrCopy, OtherFileSystemGetsACopy) {
  const TempDir dir;
  const fs::path shm = "/dev/shm";
  struct stat here {
  }, there{};
  if (stat(dir.path().c_str(), &here) != 0 || stat(shm.c_str(), &there) != 0 ||
      here.st_dev == there.st_dev) {
    GTEST_SKIP() << "needs /dev/shm on another file system";
  }
  WriteFile(dir / "centro.xml", "<document>antes</document>");
  const fs::path copy = shm / ("pontexa-copia-" + std::to_string(getpid()) + ".xml");
  const FileDigest digest = LinkOrCopyFileWithDigest(dir / "centro.xml", copy);
  EXPECT_EQ(ReadFile(copy), "<document>antes</document>");
  EXPECT_EQ(digest, DigestOfFile(dir / "centro.xml"));
  fs::remove(copy);
}

TEST(LinkOrCopy, MissingSourceRaisesAndLeavesNothing) {
  const TempDir dir;
  EXPECT_ANY_THROW(LinkOrCopyFileWithDigest(dir / "nada.xml", dir / "copia.xml"));
  EXPECT_FALSE(fs::exists(dir / "copia.xml"));
}

}  // namespace
}  // namespace pontexa
