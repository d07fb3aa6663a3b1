// Exclusive and shared opens seen from other processes and other handles. How
// the store answers a table held elsewhere is tried in this process, through
// the fault-injecting Env; that every real kind of hold is seen, and that
// others see ours, is tried with real second processes.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "platform/error.h"
#include "support/error_message.h"
#include "support/fault_env.h"
#include "support/held_file.h"
#include "support/python.h"
#include "support/temp_dir.h"
#include "tables/table.h"
#include "tables/table_store.h"

namespace pontexa::tables {
namespace {

using testing::HeldFile;
using testing::HoldMode;
using testing::HoldModeName;
using testing::OtherProcessCanHold;
using testing::ReadFile;
using testing::TempDir;

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
  if (result.status != 0 && result.status != 3) throw std::runtime_error(result.err);
  return result.status == 0;
}

using pontexa::testing::FaultEnv;
using pontexa::testing::MessageOf;
using pontexa::testing::Named;

class TableLocks : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.MakeEmptyTable("GRUPOST", {{"ABREV", FieldType::kText, 4}});
    Table table(store_, "GRUPOST");
    table.OpenTable(HoldKind::kShared);
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
  FaultEnv faults;
  faults.HoldElsewhere(Named("GRUPOST.DBF"), "horaplan.exe");
  const ScopedEnv scoped(faults);
  const TableStore store(dir_.path(), {','});
  const std::string message = InUse() + " (horaplan.exe)";
  Table table(store, "GRUPOST");
  EXPECT_EQ(MessageOf([&] { table.OpenTable(HoldKind::kShared); }), message);
  EXPECT_EQ(MessageOf([&] { table.OpenTable(HoldKind::kExclusive); }), message);
  EXPECT_FALSE(table.IsOpen());
  EXPECT_EQ(MessageOf([&] { store.DropTableFiles("GRUPOST"); }), message);
  EXPECT_EQ(MessageOf([&] {
              store.MakeEmptyTable("GRUPOST", {{"X", FieldType::kText, 1}});
            }),
            message);
  EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(TableLocks, ExclusiveOpenFailsWhileAnotherProgramReads) {
  FaultEnv faults;
  faults.HoldElsewhere(Named("GRUPOST.DBF"), "horaplan.exe", HoldKind::kShared);
  const ScopedEnv scoped(faults);
  const TableStore store(dir_.path(), {','});
  Table exclusive(store, "GRUPOST");
  EXPECT_EQ(MessageOf([&] { exclusive.OpenTable(HoldKind::kExclusive); }),
            InUse() + " (horaplan.exe)");
  Table shared(store, "GRUPOST");
  shared.OpenTable(HoldKind::kShared);
  EXPECT_EQ(shared.TextOf("ABREV"), "1A");
}

// The code-page side file is one of the table's files: held by another
// program, in either way, it stops a check and a drop as the .DBF does, and
// nothing is deleted.
TEST_F(TableLocks, CodePageFileHeldElsewhereStopsCheckAndDrop) {
  const std::filesystem::path side_file = dir_ / "GRUPOST.cpg";
  ASSERT_TRUE(std::filesystem::exists(side_file));
  const std::string message =
      "El archivo '" + side_file.string() + "' está en uso por otro programa (horaplan.exe)";
  for (const HoldKind kind : {HoldKind::kExclusive, HoldKind::kShared}) {
    FaultEnv faults;
    faults.HoldElsewhere(Named("grupost.CPG"), "horaplan.exe", kind);
    const ScopedEnv scoped(faults);
    const TableStore store(dir_.path(), {','});
    EXPECT_EQ(MessageOf([&] { store.CheckNotHeld("GRUPOST"); }), message);
    EXPECT_EQ(MessageOf([&] { store.DropTableFiles("GRUPOST"); }), message);
    EXPECT_TRUE(std::filesystem::exists(Path()));
    EXPECT_TRUE(std::filesystem::exists(side_file));
  }
  // A real second process keeping the side file open is seen too.
  const std::string held_message = "El archivo '" + side_file.string() +
                                   "' está en uso por otro programa (" + HeldFile::kHolderName +
                                   ")";
  for (const HoldMode kind : {HoldMode::kFlock, HoldMode::kOpenWithoutLock}) {
    HeldFile held(side_file, kind);
    const TableStore store(dir_.path(), {','});
    EXPECT_EQ(MessageOf([&] { store.CheckNotHeld("GRUPOST"); }), held_message)
        << HoldModeName(kind);
  }
}

TEST_F(TableLocks, OtherProcessesSeeTheExclusiveHoldUntilClose) {
  Table table(store_, "GRUPOST");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_FALSE(OtherProcessCanLock(Path(), false));
  table.CloseTable();
  EXPECT_TRUE(OtherProcessCanLock(Path(), true));

  table.OpenTable(HoldKind::kShared);
  EXPECT_TRUE(OtherProcessCanLock(Path(), false));
  EXPECT_FALSE(OtherProcessCanLock(Path(), true));
}

TEST_F(TableLocks, SecondHandleOfThisProgramIsKeptOutToo) {
  auto first = std::make_unique<Table>(store_, "GRUPOST");
  first->OpenTable(HoldKind::kExclusive);
  Table second(store_, "GRUPOST");
  EXPECT_EQ(MessageOf([&] { second.OpenTable(HoldKind::kShared); }), InUse());
  EXPECT_EQ(MessageOf([&] { store_.DropTableFiles("grupost"); }), InUse());
  first.reset();  // destroying the handle releases the hold
  second.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(second.TextOf("ABREV"), "1A");
}

// Every way another program holds a table, and every way this program touches
// one: refused with the holder named, the file left as it was. A shared open
// (only ever of a table a build has just created) lets readers in.
TEST_F(TableLocks, EveryKindOfHoldElsewhereStopsEveryTouchAndNamesTheHolder) {
  const std::string before = ReadFile(Path());
  const std::string message = InUse() + " (" + HeldFile::kHolderName + ")";
  const std::vector<std::pair<const char*, std::function<void(const TableStore&)>>> touches = {
      {"exclusive open",
       [](const TableStore& store) { Table(store, "GRUPOST").OpenTable(HoldKind::kExclusive); }},
      {"check", [](const TableStore& store) { store.CheckNotHeld("GRUPOST"); }},
      {"drop", [](const TableStore& store) { store.DropTableFiles("grupost"); }},
      {"re-create",
       [](const TableStore& store) {
         store.MakeEmptyTable("GRUPOST", {{"X", FieldType::kText, 1}});
       }},
  };
  for (const HoldMode kind :
       {HoldMode::kFlock, HoldMode::kSharedFlock, HoldMode::kWriteLockHighByte,
        HoldMode::kReadLockWholeFile, HoldMode::kOpenWithoutLock}) {
    HeldFile held(Path(), kind);
    for (const auto& [touch, act] : touches) {
      const TableStore store(dir_.path(), {','});  // one look at open files per run
      EXPECT_EQ(MessageOf([&] { act(store); }), message) << HoldModeName(kind) << ", " << touch;
      EXPECT_EQ(ReadFile(Path()), before) << HoldModeName(kind) << ", " << touch;
    }
    const TableStore store(dir_.path(), {','});
    Table shared(store, "GRUPOST");
    const bool readers_allowed = kind != HoldMode::kFlock && kind != HoldMode::kWriteLockHighByte;
    EXPECT_EQ(MessageOf([&] { shared.OpenTable(HoldKind::kShared); }),
              readers_allowed ? "(no error)" : message)
        << HoldModeName(kind);
  }
  Table table(store_, "GRUPOST");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.TextOf("ABREV"), "1A");
}

// While this program holds a table, Linux programs and Horaplan under Wine
// asking for a lock of either kind are refused: all of them during an
// exclusive hold, writers during a shared one. Nothing is held after close.
TEST_F(TableLocks, WhileHeldHereOtherProgramsAskingForLocksAreRefused) {
  struct Case {
    HoldMode asked;
    bool allowed_while_shared;
  } cases[] = {
      {HoldMode::kFlock, false},
      {HoldMode::kSharedFlock, true},
      {HoldMode::kWriteLockHighByte, false},
      {HoldMode::kWriteLockWholeFile, false},
      {HoldMode::kReadLockWholeFile, true},
  };
  for (const HoldKind mode : {HoldKind::kExclusive, HoldKind::kShared}) {
    Table table(store_, "GRUPOST");
    table.OpenTable(mode);
    for (const Case& c : cases) {
      const bool expected = mode == HoldKind::kShared && c.allowed_while_shared;
      EXPECT_EQ(OtherProcessCanHold(Path(), c.asked), expected)
          << HoldModeName(c.asked) << (mode == HoldKind::kShared ? ", shared" : ", exclusive");
    }
    table.CloseTable();
    for (const Case& c : cases) {
      EXPECT_TRUE(OtherProcessCanHold(Path(), c.asked)) << HoldModeName(c.asked) << " after close";
    }
  }
}

// A handle of this process that takes no lock is not another program.
TEST_F(TableLocks, OwnPlainHandleDoesNotCount) {
  std::ifstream own(Path(), std::ios::binary);
  ASSERT_TRUE(own.is_open());
  Table table(store_, "GRUPOST");
  table.OpenTable(HoldKind::kExclusive);
  EXPECT_EQ(table.TextOf("ABREV"), "1A");
  table.CloseTable();
  store_.DropTableFiles("GRUPOST");
  EXPECT_FALSE(std::filesystem::exists(Path()));
}

// The holder is named whatever letter case and path reached the file: files
// are told apart by device and inode.
TEST_F(TableLocks, HolderThroughAnotherPathIsSeen) {
  const std::filesystem::path other = dir_ / "enlace.dbf";
  std::filesystem::create_hard_link(Path(), other);
  HeldFile held(other, HoldMode::kOpenWithoutLock);
  Table table(store_, "grupost");
  EXPECT_EQ(MessageOf([&] { table.OpenTable(HoldKind::kExclusive); }),
            InUse() + " (" + HeldFile::kHolderName + ")");
}

// A pipe with a table's name is no table held by anyone: looking at it must not
// wait for a writer. Run in a child process, so a hang ends as a failure.
TEST_F(TableLocks, PipeNamedLikeATableDoesNotHangTheRun) {
  ASSERT_EQ(mkfifo((dir_ / "ASIGT.DBF").c_str(), 0600), 0);
  const pid_t child = fork();
  if (child == 0) {
    try {
      store_.CheckNotHeld("ASIGT");
      store_.DropTableFiles("ASIGT");
    } catch (...) {
      _exit(1);
    }
    _exit(std::filesystem::exists(dir_ / "ASIGT.DBF") ? 2 : 0);
  }
  int status = -1;
  for (int tenth = 0; tenth < 100 && waitpid(child, &status, WNOHANG) == 0; ++tenth) {
    usleep(100000);
  }
  if (waitpid(child, &status, WNOHANG) == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the check waited on the pipe";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace pontexa::tables
