// Runs that meet on one table folder: one changes it at a time, and what a
// run cut short leaves is put right by the next one, in the batch tool as in
// the window.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "run/recovery_messages.h"
#include "run/saved_copies.h"
#include "run/unfinished_run.h"

namespace pontexa::reliability {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

class OneRunAtATimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PrepareTablesInProcess(school_));
    const std::string xml = ReadFile(school_.exchange_file);
    WriteFile(school_a_, Replaced(xml, "Aula", "Sala"));
    WriteFile(school_b_, Replaced(Replaced(xml, "Lengua", "Idioma"), "1 ESO A", "1 ESO Z"));
    fs::copy(school_.tables, initial_, fs::copy_options::recursive);
  }

  void ResetTables() {
    fs::remove_all(school_.tables);
    fs::copy(initial_, school_.tables, fs::copy_options::recursive);
  }

  // The tables after the runs of `schools`, one after the other, from the start.
  FolderFiles After(const std::vector<fs::path>& schools) {
    ResetTables();
    const QuickEnv quick;
    for (const fs::path& school : schools) {
      EXPECT_EQ(RunInProcess("to-horaplan", school, school_.tables).status, 0);
    }
    return FilesOutsideCopies(school_.tables);
  }

  // Runs GEDU to Horaplan in a child process killed outright as it opens
  // PROFT.DBF to write it: no destructor runs, nothing is restored.
  void RunKilledAtTheSecondTable() {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      testing::FaultEnv faults;
      faults.LeaveOutOtherProcesses();
      faults.before_open = [tables = school_.tables](const fs::path& path, OpenMode mode) {
        if (path == tables / "PROFT.DBF" && mode != OpenMode::kRead) _exit(9);
      };
      const ScopedEnv scoped(faults);
      RunInProcess("to-horaplan", school_a_, school_.tables);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
  }

  SampleSchool school_;
  fs::path school_a_ = school_.dir / "a.xml";
  fs::path school_b_ = school_.dir / "b.xml";
  fs::path initial_ = school_.dir / "inicial";
};

// Two conversions of different schools started at nearly the same moment, over
// and over: each either finishes or is refused at once, naming the other, and
// the tables are always wholly one school's (or the second's after the
// first's), never a mixture.
TEST_F(OneRunAtATimeTest, TwoConversionsAtOnceNeverMixTheTables) {
  const std::vector<FolderFiles> whole = {After({school_a_}), After({school_b_}),
                                          After({school_a_, school_b_}),
                                          After({school_b_, school_a_})};
  ResetTables();
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCli("to-horaplan", school_a_, school_.tables).status, 0);
  const auto run_time = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  std::mt19937 random(20261209);
  std::uniform_int_distribution<std::int64_t> delay(0, run_time.count() / 2);
  int refused = 0;
  for (int round = 0; round < 16; ++round) {
    ResetTables();
    const Running a = StartProgram(
        {CliPath(), "to-horaplan", school_a_.string(), "--dir", school_.tables.string()});
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    const Running b = StartProgram(
        {CliPath(), "to-horaplan", school_b_.string(), "--dir", school_.tables.string()});
    const Outcome outcomes[] = {WaitForProgram(a), WaitForProgram(b)};
    int finished = 0;
    for (const Outcome& outcome : outcomes) {
      if (outcome.status == 0) {
        EXPECT_EQ(outcome.out, "Proceso finalizado\n") << "round " << round;
        ++finished;
      } else {
        EXPECT_THAT(outcome.err, StartsWith("Otra ejecución de Pontexa (proceso "))
            << "round " << round;
        EXPECT_THAT(outcome.err, HasSubstr(") está usando la carpeta de tablas '" +
                                           school_.tables.string() + "'. Espere a que termine."));
        ++refused;
      }
    }
    EXPECT_GE(finished, 1) << "round " << round;
    const FolderFiles now = FilesOutsideCopies(school_.tables);
    EXPECT_TRUE(std::find(whole.begin(), whole.end(), now) != whole.end())
        << "round " << round << ": the tables are a mixture";
  }
  // The runs did meet: otherwise this proves nothing.
  EXPECT_GT(refused, 0);
}

// A run dies while it writes its second table, as a kill leaves it. The list
// of copies and --check only say that it waits to be put right; the next
// restore, or the next conversion, puts it right first, says so on standard
// error, then does its own work.
TEST_F(OneRunAtATimeTest, RunCutShortIsOnlyToldByReadersAndPutRightByTheNextRestore) {
  const FolderFiles before = FilesOutsideCopies(school_.tables);
  RunKilledAtTheSecondTable();
  const std::optional<run::RunRecord> record = run::ReadRunRecord(school_.tables);
  ASSERT_TRUE(record);
  const FolderFiles mixed = FilesOutsideCopies(school_.tables);
  ASSERT_NE(mixed, before);
  const std::string waiting = run::messages::UnfinishedRunWaiting(false, record->time) + "\n";

  const Outcome listed = RunProgram({CliPath(), "copies", "--dir", school_.tables.string()});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, waiting);
  const Outcome checked = RunProgram({CliPath(), "to-horaplan", school_a_.string(), "--dir",
                                      school_.tables.string(), "--check"});
  EXPECT_THAT(checked.err, StartsWith(waiting));
  EXPECT_EQ(FilesOutsideCopies(school_.tables), mixed);

  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 1u);
  const Outcome restored =
      RunProgram({CliPath(), "restore", copies[0].name, "--dir", school_.tables.string()});
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(restored.err, run::messages::TablesPutRight(false, record->time) + "\n");
  ExpectSameFiles(FilesOutsideCopies(school_.tables), before);
  EXPECT_FALSE(fs::exists(school_.tables / run::kRunRecordName));

  // The next conversion says it first, on standard error, then runs.
  RunKilledAtTheSecondTable();
  const std::optional<run::RunRecord> again = run::ReadRunRecord(school_.tables);
  ASSERT_TRUE(again);
  const Outcome converted = RunCli("to-horaplan", school_b_, school_.tables);
  EXPECT_EQ(converted.status, 0) << converted.err;
  EXPECT_EQ(converted.out, "Proceso finalizado\n");
  EXPECT_THAT(converted.err, StartsWith(run::messages::TablesPutRight(false, again->time) + "\n"));
  const FolderFiles converted_tables = FilesOutsideCopies(school_.tables);
  EXPECT_EQ(converted_tables, After({school_b_}));
}

}  // namespace
}  // namespace pontexa::reliability
