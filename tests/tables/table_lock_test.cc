// Exclusive and shared opens seen from other processes and other handles.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/error.h"
#include "support/error_message.h"
#include "support/python.h"
#include "support/temp_dir.h"
#include "tables/table_store.h"

namespace pontexa::tables {
namespace {

using testing::ReadFile;
using testing::TempDir;

// A child process that holds a flock on a file until the object goes away.
class LockHolder {
 public:
  LockHolder(const std::filesystem::path& path, int operation) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      int fd = open(path.c_str(), O_RDONLY);
      char answer = fd >= 0 && flock(fd, operation | LOCK_NB) == 0 ? 'y' : 'n';
      (void)!write(ready[1], &answer, 1);
      (void)!read(release[0], &answer, 1);  // returns when the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char answer = 'n';
    (void)!read(ready[0], &answer, 1);
    close(ready[0]);
    if (answer != 'y') throw std::runtime_error("the child could not lock the file");
  }
  ~LockHolder() {
    close(release_);
    int status;
    waitpid(pid_, &status, 0);
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

// True when another process can take the lock on the file right now.
bool OtherProcessCanLock(const std::filesystem::path& path, bool exclusive) {
  auto result = testing::RunPython(
      "import fcntl, sys\n"
      "f = open(sys.argv[1], 'rb')\n"
      "try:\n"
      "    fcntl.flock(f, (fcntl.LOCK_EX if sys.argv[2] == 'x' else fcntl.LOCK_SH) | "
      "fcntl.LOCK_NB)\n"
      "except OSError:\n"
      "    sys.exit(3)\n",
      {path.string(), exclusive ? "x" : "s"});
  if (result.exit_code != 0 && result.exit_code != 3) throw std::runtime_error(result.errors);
  return result.exit_code == 0;
}

using pontexa::testing::MessageOf;

class TableLocks : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.MakeEmptyTable("GRUPOST", {{"ABREV", FieldType::kText, 4}});
    Table table(store_, "GRUPOST");
    table.OpenTable(OpenMode::kShared);
    table.StartNewRow();
    table.PutText("ABREV", "1A");
    table.SaveNewRow();
  }
  std::filesystem::path Path() const { return dir_ / "GRUPOST.DBF"; }
  std::string InUse() const {
    return "La tabla '" + Path().string() + "' está en uso por otro programa";
  }

  TempDir dir_;
  TableStore store_{dir_.path(), {','}};
};

TEST_F(TableLocks, TableHeldExclusivelyElsewhereCanBeNeitherOpenedNorReplaced) {
  const std::string before = ReadFile(Path());
  LockHolder holder(Path(), LOCK_EX);
  Table table(store_, "GRUPOST");
  EXPECT_EQ(MessageOf([&] { table.OpenTable(OpenMode::kShared); }), InUse());
  EXPECT_EQ(MessageOf([&] { table.OpenTable(OpenMode::kExclusive); }), InUse());
  EXPECT_FALSE(table.IsOpen());
  EXPECT_EQ(MessageOf([&] { store_.DropTableFiles("GRUPOST"); }), InUse());
  EXPECT_EQ(MessageOf([&] {
              store_.MakeEmptyTable("GRUPOST", {{"X", FieldType::kText, 1}});
            }),
            InUse());
  EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(TableLocks, ExclusiveOpenFailsWhileAnotherProcessReads) {
  LockHolder holder(Path(), LOCK_SH);
  Table exclusive(store_, "GRUPOST");
  EXPECT_EQ(MessageOf([&] { exclusive.OpenTable(OpenMode::kExclusive); }), InUse());
  Table shared(store_, "GRUPOST");
  shared.OpenTable(OpenMode::kShared);
  EXPECT_EQ(shared.TextOf("ABREV"), "1A");
}

TEST_F(TableLocks, OtherProcessesSeeTheExclusiveHoldUntilClose) {
  Table table(store_, "GRUPOST");
  table.OpenTable(OpenMode::kExclusive);
  EXPECT_FALSE(OtherProcessCanLock(Path(), false));
  table.CloseTable();
  EXPECT_TRUE(OtherProcessCanLock(Path(), true));

  table.OpenTable(OpenMode::kShared);
  EXPECT_TRUE(OtherProcessCanLock(Path(), false));
  EXPECT_FALSE(OtherProcessCanLock(Path(), true));
}

TEST_F(TableLocks, SecondHandleOfThisProgramIsKeptOutToo) {
  auto first = std::make_unique<Table>(store_, "GRUPOST");
  first->OpenTable(OpenMode::kExclusive);
  Table second(store_, "GRUPOST");
  EXPECT_EQ(MessageOf([&] { second.OpenTable(OpenMode::kShared); }), InUse());
  EXPECT_EQ(MessageOf([&] { store_.DropTableFiles("grupost"); }), InUse());
  first.reset();  // destroying the handle releases the hold
  second.OpenTable(OpenMode::kExclusive);
  EXPECT_EQ(second.TextOf("ABREV"), "1A");
}

}  // namespace
}  // namespace pontexa::tables
