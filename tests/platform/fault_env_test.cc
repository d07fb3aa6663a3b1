// The fault-injecting Env the fault tests rely on: each fault reaches only the
// paths it names, and behaves as the system does when the fault is real.

#include "support/fault_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir.h"

namespace pontexa::testing {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<File> OpenOrNull(const fs::path& path, OpenMode mode) {
  std::unique_ptr<File> file;
  if (!Env::Current().Open(path, {mode}, &file).ok()) return nullptr;
  return file;
}

class FaultEnvTest : public ::testing::Test {
 protected:
  FaultEnvTest() {
    WriteFile(dir_ / "a.txt", "aaaa");
    WriteFile(dir_ / "b.txt", "bbbb");
  }
  TempDir dir_;
  FaultEnv faults_;
};

// Each fault is put on a.txt; the same act on b.txt goes through.
TEST(FaultEnvFaults, EachFaultHitsOnlyTheMatchingFile) {
  struct Case {
    const char* fault;
    std::function<void(FaultEnv&)> arrange;
    std::function<Status(const fs::path&)> act;
  };
  const std::vector<Case> cases = {
      {"write limit", [](FaultEnv& env) { env.FailWritesAfter(Named("A.TXT"), 2); },
       [](const fs::path& path) {
         return OpenOrNull(path, OpenMode::kReadWrite)->WriteAt(4, "xyz");
       }},
      {"sync", [](FaultEnv& env) { env.FailSync(Named("a.txt")); },
       [](const fs::path& path) { return OpenOrNull(path, OpenMode::kReadWrite)->Sync(); }},
      {"close", [](FaultEnv& env) { env.FailClose(Named("a.txt")); },
       [](const fs::path& path) { return OpenOrNull(path, OpenMode::kReadWrite)->Close(); }},
      {"create", [](FaultEnv& env) { env.FailCreate(Named("a.new")); },
       [](const fs::path& path) {
         std::unique_ptr<File> file;
         return Env::Current().Open(fs::path(path).replace_extension(".new"),
                                    {OpenMode::kCreateNew}, &file);
       }},
      {"rename", [](FaultEnv& env) { env.FailRename(Named("a.txt")); },
       [](const fs::path& path) {
         const fs::path other = fs::path(path).replace_extension(".tmp");
         WriteFile(other, "new");
         return Env::Current().Rename(other, path);
       }},
      {"read-only", [](FaultEnv& env) { env.MakeReadOnly(Named("a.txt")); },
       [](const fs::path& path) { return Env::Current().Remove(path); }},
      {"held", [](FaultEnv& env) { env.HoldElsewhere(Named("a.txt")); },
       [](const fs::path& path) {
         return OpenOrNull(path, OpenMode::kRead)->TryHold(HoldKind::kShared)
                    ? Status()
                    : Status::Of(Status::Code::kLocked);
       }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir / "a.txt", "aaaa");
    WriteFile(dir / "b.txt", "bbbb");
    FaultEnv faults;
    c.arrange(faults);
    const ScopedEnv scoped(faults);
    EXPECT_TRUE(c.act(dir / "b.txt").ok()) << c.fault;
    EXPECT_EQ(faults.faults(), 0) << c.fault;
    EXPECT_FALSE(c.act(dir / "a.txt").ok()) << c.fault;
    EXPECT_EQ(faults.faults(), 1) << c.fault;
  }
}

TEST_F(FaultEnvTest, WriteLimitWritesTheBytesUpToTheLimitAndRewritesTakeNoRoom) {
  faults_.FailWritesAfter(Inside(dir_.path()), 6);
  const ScopedEnv scoped(faults_);
  std::unique_ptr<File> file = OpenOrNull(dir_ / "a.txt", OpenMode::kReadWrite);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->WriteAt(0, "AAAA").ok());  // rewritten in place
  EXPECT_TRUE(file->WriteAt(4, "1234").ok());  // four of the six
  std::size_t written = 99;
  const Status full = file->WriteAt(8, "56789", &written);
  EXPECT_EQ(full.code(), Status::Code::kNoSpace);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(ReadFile(dir_ / "a.txt"), "AAAA123456");
  // The room is shared by every matching file, and cutting a file gives it back.
  EXPECT_FALSE(OpenOrNull(dir_ / "b.txt", OpenMode::kReadWrite)->WriteAt(4, "b").ok());
  EXPECT_TRUE(file->Truncate(7).ok());
  EXPECT_TRUE(OpenOrNull(dir_ / "b.txt", OpenMode::kReadWrite)->WriteAt(4, "bbb").ok());
  EXPECT_EQ(ReadFile(dir_ / "b.txt"), "bbbbbbb");
  ASSERT_EQ(faults_.writes().size(), 4u);
  EXPECT_EQ(faults_.writes()[2].offset, 8u);
  EXPECT_EQ(faults_.writes()[2].size, 2u);
}

TEST_F(FaultEnvTest, AppendsAfterTheLastByteAppendedAndStopsAtTheLimit) {
  faults_.FailWritesAfter(Named("c.txt"), 5);
  const ScopedEnv scoped(faults_);
  std::unique_ptr<File> file;
  ASSERT_TRUE(Env::Current().Open(dir_ / "c.txt", {OpenMode::kCreateNew}, &file).ok());
  EXPECT_TRUE(file->Append("abc").ok());
  EXPECT_FALSE(file->Append("defg").ok());
  EXPECT_EQ(ReadFile(dir_ / "c.txt"), "abcde");
}

// The full disk a test makes says what a real one says: /dev/full refuses
// every write as a full disk does.
TEST_F(FaultEnvTest, FullDiskGivesTheSameReasonAsTheSystem) {
  std::unique_ptr<File> device;
  if (!Env::System().Open("/dev/full", {OpenMode::kReadWrite}, &device).ok()) {
    GTEST_SKIP() << "no /dev/full";
  }
  const Status real = device->Append("x");
  faults_.FailWritesAfter(Anything(), 0);
  const ScopedEnv scoped(faults_);
  const Status made = OpenOrNull(dir_ / "a.txt", OpenMode::kReadWrite)->WriteAt(4, "x");
  EXPECT_EQ(made.code(), real.code());
  EXPECT_EQ(made.text(), real.text());
}

TEST_F(FaultEnvTest, ReadOnlyFolderCoversEverythingBelowItButReadsGoThrough) {
  fs::create_directory(dir_ / "sub");
  WriteFile(dir_ / "sub/c.txt", "c");
  faults_.MakeReadOnly(Inside(dir_.path()));
  const ScopedEnv scoped(faults_);
  Env& env = Env::Current();
  std::unique_ptr<File> file;
  EXPECT_EQ(env.Open(dir_ / "sub/c.txt", {OpenMode::kReadWrite}, &file).code(),
            Status::Code::kReadOnly);
  EXPECT_EQ(env.Open(dir_ / "sub/new.txt", {OpenMode::kCreateNew}, &file).code(),
            Status::Code::kReadOnly);
  EXPECT_EQ(env.MakeFolder(dir_ / "sub/more").code(), Status::Code::kReadOnly);
  EXPECT_EQ(env.Rename(dir_ / "a.txt", dir_ / "z.txt").code(), Status::Code::kReadOnly);
  EXPECT_EQ(env.CheckWritable(dir_ / "a.txt").code(), Status::Code::kReadOnly);
  EXPECT_TRUE(env.Open(dir_ / "sub/c.txt", {OpenMode::kRead}, &file).ok());
  EXPECT_TRUE(fs::exists(dir_ / "a.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "sub/new.txt"));
}

// A shared hold lets other shared holds in; both kinds are seen as a lock of
// the made-up program, which the scan of open files names.
TEST_F(FaultEnvTest, HeldFileIsSeenLockedAndOpenByItsProgram) {
  faults_.HoldElsewhere(Named("a.txt"), "horaplan.exe", HoldKind::kShared);
  faults_.HoldElsewhere(Named("b.txt"), "wineserver");
  const ScopedEnv scoped(faults_);
  const std::unique_ptr<OpenFileScan> scan = Env::Current().NewOpenFileScan();
  const struct {
    const char* name;
    const char* program;
    bool shared_allowed;
  } cases[] = {{"a.txt", "horaplan.exe", true}, {"b.txt", "wineserver", false}};
  for (const auto& c : cases) {
    std::unique_ptr<File> file = OpenOrNull(dir_ / c.name, OpenMode::kReadWrite);
    EXPECT_FALSE(file->TryHold(HoldKind::kExclusive)) << c.name;
    EXPECT_EQ(file->TryHold(HoldKind::kShared), c.shared_allowed) << c.name;
    const std::optional<ProcessId> locker = file->LockedElsewhere();
    ASSERT_TRUE(locker) << c.name;
    EXPECT_EQ(scan->Describe(*locker).program, c.program);
    FileInfo info;
    ASSERT_TRUE(file->Info(&info).ok());
    ASSERT_TRUE(scan->HolderOf(info)) << c.name;
    EXPECT_EQ(scan->HolderOf(info)->program, c.program);
  }
}

TEST(FaultEnvMatch, EachMatcherReachesItsPathsOnly) {
  const fs::path folder = "/t/htemp";
  EXPECT_TRUE(Named("asigt.dbf")("/t/htemp/ASIGT.DBF"));
  EXPECT_FALSE(Named("asigt.dbf")("/t/htemp/ASIGT.DBF.tmp"));
  EXPECT_TRUE(At("/t/htemp/A.DBF")("/t/htemp/./A.DBF"));
  EXPECT_FALSE(At("/t/htemp/A.DBF")("/t/htemp/a.dbf"));
  EXPECT_TRUE(Inside(folder)("/t/htemp"));
  EXPECT_TRUE(Inside(folder)("/t/htemp/A.DBF"));
  EXPECT_FALSE(Inside(folder)("/t/htemp/copias/A.DBF"));
  EXPECT_TRUE(Under(folder)("/t/htemp/copias/x/A.DBF"));
  EXPECT_TRUE(Under(folder)("/t/htemp/./A.DBF"));
  EXPECT_FALSE(Under(folder)("/t/htemp2/A.DBF"));
  EXPECT_FALSE(Under(folder)("/t"));
}

}  // namespace
}  // namespace pontexa::testing
