// What every implementation of Env must do, checked against the system's own:
// a port to another system passes these same tests.
#include "platform/env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "support/temp_dir.h"

namespace pontexa {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Code = Status::Code;

Env& env() { return Env::System(); }

std::unique_ptr<File> OpenOrFail(const fs::path& path, OpenOptions options) {
  std::unique_ptr<File> file;
  const Status status = env().Open(path, options, &file);
  EXPECT_TRUE(status.ok()) << path << ": " << status.text();
  return file;
}

TEST(Env, FailuresCarryTheirCodeAndTheWordsTheUserReads) {
  TempDir dir;
  WriteFile(dir / "taken", "x");
  std::unique_ptr<File> file;
  struct Case {
    const char* what;
    Status status;
    Code code;
    const char* text;
  } cases[] = {
      {"missing file", env().Open(dir / "none", {OpenMode::kRead}, &file), Code::kNotFound,
       "No existe el archivo o la carpeta"},
      {"new file over a taken name", env().Open(dir / "taken", {OpenMode::kCreateNew}, &file),
       Code::kExists, "El archivo ya existe"},
      {"folder opened for writing", env().Open(dir.path(), {OpenMode::kReadWrite}, &file),
       Code::kIsFolder, "Es una carpeta"},
      {"path through a file", env().Open(dir / "taken" / "x", {OpenMode::kRead}, &file),
       Code::kNotFolder, "Una parte de la ruta no es una carpeta"},
      {"folder made twice", env().MakeFolder(dir.path()), Code::kExists, "El archivo ya existe"},
      {"rename of nothing", env().Rename(dir / "none", dir / "other"), Code::kNotFound,
       "No existe el archivo o la carpeta"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status.code(), c.code) << c.what;
    EXPECT_EQ(c.status.text(), c.text) << c.what;
    EXPECT_FALSE(c.status.ok()) << c.what;
  }
  EXPECT_TRUE(Status().ok());
  EXPECT_EQ(Status().text(), "");
}

// Opening only a regular file never waits: a named pipe without a writer or
// reader, a device or a folder is refused at once, whatever the mode.
TEST(Env, OnlyRegularFilesOpenWhenAsked) {
  TempDir dir;
  WriteFile(dir / "tabla", "x");
  fs::create_directory(dir / "carpeta");
  ASSERT_EQ(mkfifo((dir / "tubo").c_str(), 0644), 0);
  const struct {
    fs::path path;
    Code code;
  } cases[] = {{dir / "tabla", Code::kOk},
               {dir / "tubo", Code::kNotRegular},
               {"/dev/null", Code::kNotRegular},
               {dir / "carpeta", Code::kIsFolder}};
  for (const OpenMode mode : {OpenMode::kRead, OpenMode::kReadWrite, OpenMode::kReplace}) {
    for (const auto& c : cases) {
      std::unique_ptr<File> file;
      const Status status = env().Open(c.path, {.mode = mode, .regular_only = true}, &file);
      EXPECT_EQ(status.code(), c.code) << c.path << " mode " << static_cast<int>(mode);
      if (c.code == Code::kOk) {
        ASSERT_TRUE(file);
        std::size_t read = 0;
        char byte = 0;
        // Opened the usual way once accepted: reads and writes behave as always.
        if (mode == OpenMode::kRead) {
          EXPECT_TRUE(file->Read(&byte, 1, &read).ok());
          EXPECT_EQ(read, 1u);
        }
      } else {
        EXPECT_EQ(status.text(), Status::Of(c.code).text());
      }
    }
  }
}

TEST(Env, FilesReadAndWriteAtOffsetsAndInOrder) {
  TempDir dir;
  const fs::path path = dir / "t.dbf";
  std::unique_ptr<File> file = OpenOrFail(path, {OpenMode::kReadWriteCreate});
  ASSERT_TRUE(file->Append("abcdef").ok());
  std::size_t written = 0;
  ASSERT_TRUE(file->WriteAt(2, "XY", &written).ok());
  EXPECT_EQ(written, 2u);
  ASSERT_TRUE(file->Truncate(5).ok());
  char buffer[16];
  std::size_t read = 0;
  ASSERT_TRUE(file->ReadAt(1, buffer, sizeof buffer, &read).ok());
  EXPECT_EQ(std::string(buffer, read), "bXYe");  // short only at the end
  FileInfo info;
  ASSERT_TRUE(file->Info(&info).ok());
  EXPECT_TRUE(info.IsRegular());
  EXPECT_EQ(info.size, 5u);
  ASSERT_TRUE(file->Sync().ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(ReadFile(path), "abXYe");

  // kReplace empties the file; kRead reads it from the start.
  file = OpenOrFail(path, {OpenMode::kReplace});
  ASSERT_TRUE(file->Append("nuevo").ok());
  ASSERT_TRUE(file->Close().ok());
  file = OpenOrFail(path, {OpenMode::kRead});
  ASSERT_TRUE(file->Read(buffer, 3, &read).ok());
  EXPECT_EQ(std::string(buffer, read), "nue");
  ASSERT_TRUE(file->Read(buffer, sizeof buffer, &read).ok());
  EXPECT_EQ(std::string(buffer, read), "vo");
  ASSERT_TRUE(file->Read(buffer, sizeof buffer, &read).ok());
  EXPECT_EQ(read, 0u);
}

TEST(Env, NamesAreListedRenamedLinkedAndRemoved) {
  TempDir dir;
  WriteFile(dir / "a", "1");
  WriteFile(dir / "b", "2");
  ASSERT_TRUE(env().MakeFolder(dir / "sub").ok());
  std::vector<std::string> names;
  ASSERT_TRUE(env().List(dir.path(), &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "sub"}));

  ASSERT_TRUE(env().Rename(dir / "a", dir / "b").ok());  // replaces b
  EXPECT_EQ(ReadFile(dir / "b"), "1");
  EXPECT_FALSE(NameExists(dir / "a"));

  ASSERT_TRUE(env().Link(dir / "b", dir / "c").ok());
  FileInfo b, c;
  ASSERT_TRUE(env().Info(dir / "b", &b).ok());
  ASSERT_TRUE(env().Info(dir / "c", &c).ok());
  EXPECT_TRUE(b.SameFileAs(c));

  fs::create_symlink(dir / "gone", dir / "dangling");
  EXPECT_TRUE(NameExists(dir / "dangling"));
  EXPECT_FALSE(IsExistingFile(dir / "dangling"));
  FileInfo link;
  ASSERT_TRUE(env().LinkInfo(dir / "dangling", &link).ok());
  EXPECT_EQ(link.kind, FileInfo::Kind::kLink);
  ASSERT_TRUE(env().Remove(dir / "dangling").ok());
  EXPECT_FALSE(NameExists(dir / "dangling"));

  WriteFile(dir / "sub" / "x", "x");
  ASSERT_TRUE(env().RemoveTree(dir / "sub").ok());
  EXPECT_FALSE(NameExists(dir / "sub"));
  EXPECT_TRUE(IsExistingFile(dir / "b"));
  EXPECT_FALSE(IsExistingFile(dir.path()));
  EXPECT_FALSE(IsExistingFile(""));
}

TEST(Env, TemporaryFilesAreNewAndNamedByTheirPrefix) {
  TempDir dir;
  std::unique_ptr<File> first, second;
  fs::path first_path, second_path;
  ASSERT_TRUE(env().CreateTemporary(dir.path(), ".x.pontexa-", &first, &first_path).ok());
  ASSERT_TRUE(env().CreateTemporary(dir.path(), ".x.pontexa-", &second, &second_path).ok());
  EXPECT_NE(first_path, second_path);
  for (const fs::path& path : {first_path, second_path}) {
    EXPECT_EQ(path.parent_path(), dir.path());
    EXPECT_EQ(path.filename().string().size(), std::string(".x.pontexa-").size() + 6);
    EXPECT_TRUE(path.filename().string().starts_with(".x.pontexa-"));
  }
}

// The locks two handles of this process see of each other: a hold keeps
// every other handle from holding, and is seen by their probe.
TEST(Env, HoldsKeepOtherHandlesOutUntilClosed) {
  TempDir dir;
  const fs::path path = dir / "ASIGT.DBF";
  WriteFile(path, "tabla");
  struct Case {
    HoldKind first, second;
    bool second_held;
  } cases[] = {
      {HoldKind::kShared, HoldKind::kShared, true},
      {HoldKind::kShared, HoldKind::kExclusive, false},
      {HoldKind::kExclusive, HoldKind::kShared, false},
      {HoldKind::kExclusive, HoldKind::kExclusive, false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<File> first = OpenOrFail(path, {OpenMode::kReadWrite});
    std::unique_ptr<File> second = OpenOrFail(path, {OpenMode::kReadWrite});
    ASSERT_TRUE(first->TryHold(c.first));
    EXPECT_FALSE(first->LockedElsewhere().has_value());  // its own hold does not count
    EXPECT_EQ(second->TryHold(c.second), c.second_held);
    ASSERT_TRUE(first->Close().ok());
    std::unique_ptr<File> third = OpenOrFail(path, {OpenMode::kReadWrite});
    if (c.second_held) {
      EXPECT_TRUE(third->LockedElsewhere().has_value());
    } else {
      EXPECT_FALSE(third->LockedElsewhere().has_value()) << "a closed handle holds nothing";
      EXPECT_TRUE(third->TryHold(HoldKind::kExclusive));
    }
  }
}

// The record locks a run's claim rests on: two claims conflict unless both
// are shared, whatever process or handle asks, and go with the handle.
TEST(Env, RecordLocksConflictUnlessBothAreSharedAndGoWithTheirHandle) {
  TempDir dir;
  const fs::path path = dir / "pontexa-bloqueo.lck";
  struct Case {
    HoldKind first, second;
    bool second_taken;
  } cases[] = {
      {HoldKind::kShared, HoldKind::kShared, true},
      {HoldKind::kShared, HoldKind::kExclusive, false},
      {HoldKind::kExclusive, HoldKind::kShared, false},
      {HoldKind::kExclusive, HoldKind::kExclusive, false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<File> first;
    ASSERT_TRUE(env().OpenLocked(path, {c.first, /*create=*/true, false}, &first).ok());
    std::unique_ptr<File> second;
    const Status status = env().OpenLocked(path, {c.second, true, false}, &second);
    EXPECT_EQ(status.ok(), c.second_taken);
    if (!c.second_taken) {
      EXPECT_EQ(status.code(), Code::kLocked);
    }
    second.reset();
    first.reset();
    EXPECT_TRUE(env().OpenLocked(path, {HoldKind::kExclusive, true, false}, &second).ok())
        << "a closed handle holds nothing";
  }
  // Made when missing only when asked to.
  std::unique_ptr<File> file;
  EXPECT_EQ(env().OpenLocked(dir / "none.xml", {HoldKind::kExclusive, false, true}, &file).code(),
            Code::kNotFound);
}

TEST(Env, RecordLocksRefuseWhatIsNotAPlainFileWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo.lck").c_str(), 0600), 0);
  fs::create_directory(dir / "folder.lck");
  WriteFile(dir / "real.xml", "x");
  fs::create_symlink(dir / "real.xml", dir / "link.lck");
  for (const char* name : {"fifo.lck", "folder.lck", "link.lck"}) {
    std::unique_ptr<File> file;
    const Status status = env().OpenLocked(dir / name, {HoldKind::kExclusive, true, false}, &file);
    EXPECT_FALSE(status.ok()) << name;
    if (std::string(name) != "folder.lck") {
      EXPECT_EQ(status.text(), "No es un archivo normal") << name;
    }
    EXPECT_EQ(file, nullptr) << name;
  }
  // A link the user names, such as the exchange file, is followed when asked.
  std::unique_ptr<File> file;
  EXPECT_TRUE(env().OpenLocked(dir / "link.lck", {HoldKind::kExclusive, false, true}, &file).ok());
}

TEST(Env, HostNameNamesThisMachine) { EXPECT_FALSE(env().HostName().empty()); }

TEST(Env, ScopedEnvPutsAnotherEnvInPlaceAndGivesItBack) {
  class Counting : public EnvWrapper {
   public:
    Counting() : EnvWrapper(Env::System()) {}
    Status Info(const fs::path& path, FileInfo* info) override {
      ++asked;
      return EnvWrapper::Info(path, info);
    }
    int asked = 0;
  } counting;
  TempDir dir;
  WriteFile(dir / "f", "x");
  EXPECT_EQ(&Env::Current(), &Env::System());
  {
    const ScopedEnv scoped(counting);
    EXPECT_TRUE(IsExistingFile(dir / "f"));
    EXPECT_EQ(counting.asked, 1);
  }
  EXPECT_EQ(&Env::Current(), &Env::System());
  EXPECT_TRUE(IsExistingFile(dir / "f"));
  EXPECT_EQ(counting.asked, 1);
}

}  // namespace
}  // namespace pontexa
