#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace pontexa {
namespace {

namespace fs = std::filesystem;
using pontexa::testing::MessageOf;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Status Accept(std::string_view) { return Status(); }

TEST(ReplaceFileAtomically, RejectedContentLeavesTheOriginalAndNoTemporary) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  std::string seen;
  const std::string message = MessageOf([&] {
    ReplaceFileAtomically((dir / "x.xml").string(), "new", [&seen](std::string_view written) {
      seen = written;
      return Status(Status::Code::kOther, "El contenido no vale");
    });
  });
  EXPECT_EQ(message, "No se puede guardar el archivo '" + (dir / "x.xml").string() +
                         "': El contenido no vale");
  EXPECT_EQ(seen, "new");  // the check reads what reached the disk
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"x.xml"});
}

// Pieces of every size, some larger than a block, reach the file whole and in order.
TEST(BlockWriter, WritesEveryPieceInOrder) {
  TempDir dir;
  std::string expected;
  std::string got;
  WriteFileAtomically(
      (dir / "x.xml").string(),
      [&expected](File* file) {
        BlockWriter writer(file);
        for (std::size_t size : {1u, 70000u, 65535u, 3u, 200000u, 65536u, 0u, 17u}) {
          std::string piece(size, '\0');
          for (std::size_t i = 0; i < size; ++i) piece[i] = static_cast<char>(expected.size() + i);
          expected += piece;
          EXPECT_TRUE(writer.Append(piece));
        }
        EXPECT_EQ(writer.Written(), expected.size());
        return writer.Finish();
      },
      [&got](const std::string& written) {
        // Read block by block, as the check of a save does.
        return ReadFileInBlocks(written, [&got](std::string_view block) {
          EXPECT_LE(block.size(), BlockWriter::kBlockSize);
          got.append(block);
          return true;
        });
      });
  EXPECT_EQ(got, expected);
  EXPECT_EQ(ReadFile(dir / "x.xml"), expected);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"x.xml"});
}

TEST(WriteFileAtomically, FailedWriteLeavesTheOriginalAndNoTemporary) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  bool checked = false;
  const std::string message = MessageOf([&] {
    WriteFileAtomically((dir / "x.xml").string(),
                        [](File* file) {
                          BlockWriter writer(file);
                          writer.Append("partial");
                          return Status::Of(Status::Code::kNoSpace);
                        },
                        [&checked](const std::string&) {
                          checked = true;
                          return Status();
                        });
  });
  EXPECT_EQ(message, "No se puede guardar el archivo '" + (dir / "x.xml").string() +
                         "': No queda espacio en el disco");
  EXPECT_FALSE(checked);
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"x.xml"});
}

// An error the content raises comes first and unchanged, also when the
// temporary file cannot be made.
TEST(WriteFileAtomically, ErrorOfTheContentComesBeforeTheSavesOwn) {
  TempDir dir;
  fs::create_directory(dir / "folder.xml");
  bool handed_nothing = false;
  const std::string message = MessageOf([&] {
    WriteFileAtomically((dir / "folder.xml").string(),
                        [&handed_nothing](File* file) -> Status {
                          handed_nothing = file == nullptr;
                          throw Error("Tabla en uso");
                        },
                        [](const std::string&) { return Status(); });
  });
  EXPECT_EQ(message, "Tabla en uso");
  EXPECT_TRUE(handed_nothing);
}

TEST(WriteFileAtomically, FileSizeLimitMidWriteLeavesOriginalAndNoTemporary) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  // The kernel enforces this limit on root too, so the write really fails.
  struct rlimit saved_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
  sighandler_t saved_signal = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved_limit;
  limit.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const std::string message = MessageOf([&] {
    WriteFileAtomically((dir / "x.xml").string(),
                        [](File* file) {
                          BlockWriter writer(file);
                          writer.Append(std::string(200000, 'x'));
                          return writer.Finish();
                        },
                        [](const std::string&) { return Status(); });
  });
  setrlimit(RLIMIT_FSIZE, &saved_limit);
  signal(SIGXFSZ, saved_signal);

  EXPECT_EQ(message, "No se puede guardar el archivo '" + (dir / "x.xml").string() +
                         "': El archivo es demasiado grande");
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"x.xml"});
}

TEST(ReplaceFileAtomically, UnwritablePlacesLeaveNothingBehind) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  fs::create_directory(dir / "folder.xml");
  struct Case {
    fs::path path;
    std::string why;
  };
  const Case cases[] = {
      {dir / "folder.xml", "Es una carpeta"},
      {dir / "missing" / "x.xml", "No existe el archivo o la carpeta"},
      {dir / "x.xml" / "y.xml", "Una parte de la ruta no es una carpeta"},
      {"", "No se ha indicado ningún archivo"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf([&] { ReplaceFileAtomically(c.path.string(), "new", Accept); }),
              "No se puede guardar el archivo '" + c.path.string() + "': " + c.why);
  }
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"folder.xml", "x.xml"}));
  EXPECT_TRUE(fs::is_empty(dir / "folder.xml"));
}

TEST(ReplaceFileAtomically, KeepsPermissionsAndFollowsSymbolicLinks) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  ASSERT_EQ(chmod((dir / "x.xml").c_str(), 0640), 0);
  fs::create_symlink(dir / "x.xml", dir / "link.xml");
  ReplaceFileAtomically((dir / "link.xml").string(), "new", Accept);

  EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
  EXPECT_EQ(ReadFile(dir / "x.xml"), "new");
  struct stat info;
  ASSERT_EQ(stat((dir / "x.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"link.xml", "x.xml"}));
}

// A file without a write bit is not replaced, even for root, whom the
// system's own check lets through; one with a write bit keeps its owner and
// group where the system allows it (root may give files away).
TEST(ReplaceFileAtomically, ReadOnlyFileStaysAndOwnerIsKept) {
  TempDir dir;
  WriteFile(dir / "x.xml", "old");
  ASSERT_EQ(chmod((dir / "x.xml").c_str(), 0444), 0);
  EXPECT_EQ(MessageOf([&] { ReplaceFileAtomically((dir / "x.xml").string(), "new", Accept); }),
            "No se puede guardar el archivo '" + (dir / "x.xml").string() +
                "': El archivo es de solo lectura");
  EXPECT_EQ(ReadFile(dir / "x.xml"), "old");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"x.xml"});

  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
  ASSERT_EQ(chmod((dir / "x.xml").c_str(), 0664), 0);
  ASSERT_EQ(chown((dir / "x.xml").c_str(), 4242, 4343), 0);
  ReplaceFileAtomically((dir / "x.xml").string(), "new", Accept);
  struct stat info;
  ASSERT_EQ(stat((dir / "x.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4242u);
  EXPECT_EQ(info.st_gid, 4343u);
  EXPECT_EQ(ReadFile(dir / "x.xml"), "new");
}

TEST(ReplaceFileAtomically, NewFileGetsTheUsualPermissions) {
  TempDir dir;
  mode_t saved_mask = umask(022);
  ReplaceFileAtomically((dir / "new.xml").string(), "new", Accept);
  umask(saved_mask);
  struct stat info;
  ASSERT_EQ(stat((dir / "new.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST(ReadWholeFile, ReadsEveryByteOrSaysWhyNot) {
  TempDir dir;
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  WriteFile(dir / "big.bin", big);
  fs::create_directory(dir / "folder");
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile((dir / "big.bin").string(), &bytes).ok());
  EXPECT_EQ(bytes, big);
  EXPECT_EQ(ReadWholeFile((dir / "none").string(), &bytes).text(),
            "No existe el archivo o la carpeta");
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadWholeFile((dir / "folder").string(), &bytes).text(), "Es una carpeta");
  EXPECT_EQ(ReadWholeFile("", &bytes).text(), "No se ha indicado ningún archivo");
}

}  // namespace
}  // namespace pontexa

namespace pontexa {
namespace {

// A bound on what is read whole: a file up to it is read, one byte more is
// refused with nothing kept.
TEST(ReadWholeFile, RefusesAFileLargerThanItsBound) {
  TempDir dir;
  WriteFile(dir / "r.txt", "0123456789");
  const struct {
    std::uint64_t most;
    bool read;
  } cases[] = {{10, true}, {9, false}, {UINT64_MAX, true}, {0, false}};
  for (const auto& c : cases) {
    std::string bytes = "left over";
    const Status status = ReadWholeFile((dir / "r.txt").string(), &bytes, c.most);
    EXPECT_EQ(status.ok(), c.read) << c.most;
    EXPECT_EQ(bytes, c.read ? "0123456789" : "") << c.most;
  }
}

// A file whose size says less than it holds, as one still being written does
// (the system's own files under /proc say 0), is bounded by what is read.
TEST(ReadWholeFile, BoundsWhatIsReadNotOnlyTheSizeTheFileGives) {
  constexpr char kPath[] = "/proc/self/maps";
  std::string whole;
  ASSERT_TRUE(ReadWholeFile(kPath, &whole).ok());
  ASSERT_GT(whole.size(), 100u);
  TempDir dir;
  WriteFile(dir / "r.txt", "0123456789");
  std::string bytes;
  const std::string too_large = ReadWholeFile((dir / "r.txt").string(), &bytes, 9).text();
  bytes = "left over";
  const Status status = ReadWholeFile(kPath, &bytes, 100);
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.text(), too_large);
  EXPECT_EQ(bytes, "");
}

}  // namespace
}  // namespace pontexa
