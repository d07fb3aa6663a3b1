// A GEDU-to-Horaplan run is all or nothing, and every run can be undone: the
// faults that stop a run part-way (put in within this process, at exactly the
// step a case chooses), a run killed outright, and the batch tool's
// `copies` and `restore` on the sample school.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <ctime>
#include <random>
#include <thread>

#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "run/restore.h"
#include "run/recovery_messages.h"
#include "run/saved_copies.h"
#include "run/unfinished_run.h"
#include "support/error_message.h"
#include "support/fault_env.h"
#include "support/held_file.h"

namespace pontexa::reliability {
namespace {

using testing::At;
using testing::FaultEnv;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kBuiltTables[] = {"ASIGNOMT", "PROFT", "AULAT",
                                        "GRUPOST",  "ASIGT", "DIASHORAST"};
constexpr char kLeftAsTheyWere[] = "Las tablas de Horaplan se han dejado como estaban.";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

Outcome RunRestore(const std::string& name, const fs::path& dir, const fs::path& xml = {}) {
  std::vector<std::string> argv = {CliPath(), "restore", name, "--dir", dir.string()};
  if (!xml.empty()) argv.insert(argv.end(), {"--xml", xml.string()});
  return RunProgram(argv);
}

// The size of each table the changed school gives, from a run elsewhere.
std::map<std::string, std::uintmax_t> BuiltSizes(const fs::path& exchange_file,
                                                 const TempDir& dir) {
  const fs::path folder = dir / "medida";
  fs::create_directory(folder);
  EXPECT_EQ(RunCli("to-horaplan", exchange_file, folder).status, 0);
  std::map<std::string, std::uintmax_t> sizes;
  for (const char* table : kBuiltTables) {
    sizes[table] = fs::file_size(folder / (std::string(table) + ".DBF"));
  }
  return sizes;
}

// A file-size limit that the copy and the first four tables stay within but the
// assignments table does not: the disk fills up in the fifth step.
rlim_t LimitThatStopsTheFifthStep(const std::map<std::string, std::uintmax_t>& sizes,
                                  const fs::path& old_tables) {
  std::uintmax_t limit = 0;
  for (const char* table : {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST"}) {
    limit = std::max(limit, sizes.at(table));
  }
  for (const auto& entry : fs::directory_iterator(old_tables)) {
    if (entry.is_regular_file()) limit = std::max(limit, entry.file_size());
  }
  EXPECT_LT(limit, sizes.at("ASIGT")) << "the sample no longer fits this test";
  return static_cast<rlim_t>(limit + 1);
}

class UndoTest : public ::testing::Test {
 protected:
  // The sample's tables as Horaplan left them, with an index file and a
  // code-page file that a rebuild removes, and a changed school to convert,
  // so that every table a run rebuilds comes out different.
  void SetUp() override {
    ASSERT_TRUE(PrepareTablesInProcess(school_));
    WriteFile(school_.tables / "asignomt.cpg", "1252");
    WriteFile(school_.tables / "PROFT.MDX", std::string(512, '\x01'));
    std::string xml = ReadFile(school_.exchange_file);
    for (const auto& [from, to] : {std::pair{"Aula", "Sala"},
                                   {"Lengua", "Idioma"},
                                   {"Pérez", "Peres"},
                                   {"1 ESO A", "1 ESO Z"}}) {
      xml = Replaced(xml, from, to);
    }
    WriteFile(changed_, xml);
  }

  fs::path Copies() const { return school_.tables / kCopiesFolder; }

  // Leaves out the two largest tables, so that a copy of the rest fits under
  // the limit, and gives the file-size limit that stops the fifth step.
  rlim_t LimitWithSmallTables() {
    fs::remove(school_.tables / "ASIGT.DBF");
    fs::remove(school_.tables / "SOLUC.DBF");
    return LimitThatStopsTheFifthStep(BuiltSizes(changed_, school_.dir), school_.tables);
  }

  // A failed run: status 1, the error followed by the sentence, every file as
  // it was and no copy left behind.
  void ExpectNothingChanged(const Outcome& run, const FolderFiles& before,
                            const std::string& label) {
    EXPECT_EQ(run.status, 1) << label;
    EXPECT_EQ(run.out, "") << label;
    EXPECT_THAT(run.err, HasSubstr(std::string(". ") + kLeftAsTheyWere + "\n")) << label;
    ExpectSameFiles(FilesIn(school_.tables), before);
    EXPECT_FALSE(fs::exists(Copies())) << label;
  }

  SampleSchool school_;
  fs::path changed_ = school_.dir / "cambiado.xml";
};

// Another program holds a table: found before any table is touched, or only
// as the table's own step begins, once the steps before it have rebuilt theirs.
// Either way the run names the table and its holder, and every table is restored.
TEST_F(UndoTest, TableHeldAtAnyStepLeavesTheFolderAsItWas) {
  const FolderFiles before = FilesIn(school_.tables);
  for (const bool from_the_start : {true, false}) {
    for (std::size_t step = 0; step < std::size(kBuiltTables); ++step) {
      const char* table = kBuiltTables[step];
      const fs::path held = school_.tables / (std::string(table) + ".DBF");
      const std::string label =
          std::string(table) + (from_the_start ? " held from the start" : " held at its step");
      Outcome run;
      {
        FaultEnv faults;
        faults.LeaveOutOtherProcesses();
        bool taken = false;
        if (from_the_start) {
          faults.HoldElsewhere(At(held));
        } else {
          // The step opens the old table for writing to delete it: the checks
          // before the steps only read it.
          faults.before_open = [&](const fs::path& path, pontexa::OpenMode mode) {
            if (!taken && path == held && mode == pontexa::OpenMode::kReadWrite) {
              faults.HoldElsewhere(At(held));
              taken = true;
            }
          };
        }
        const ScopedEnv scoped(faults);
        run = RunInProcess("to-horaplan", changed_, school_.tables);
        // The steps before the held table's own had rebuilt their tables.
        std::set<fs::path> rebuilt;
        for (const FaultEnv::Write& write : faults.writes()) {
          // The restore's own files start with "~".
          if (write.path.parent_path() == school_.tables && write.path.extension() == ".DBF" &&
              !write.path.filename().string().starts_with("~")) {
            rebuilt.insert(write.path);
          }
        }
        EXPECT_EQ(rebuilt.size(), from_the_start ? 0 : step) << label;
      }
      EXPECT_EQ(run.err, "La tabla '" + held.string() + "' está en uso por otro programa (" +
                             testing::HeldFile::kHolderName + "). " + kLeftAsTheyWere + "\n")
          << label;
      ExpectNothingChanged(run, before, label);
    }
  }
}

// Another program takes a table in the moment between the run creating its
// new file and holding it. The run stops naming the holder; while that table
// is held nothing can be restored, so the error says so and names the copy,
// and once the program lets go, restoring that copy gives every table back.
TEST_F(UndoTest, TableTakenAsItIsCreatedIsToldWithTheCopyThatPutsItBack) {
  const FolderFiles before = FilesIn(school_.tables);
  const fs::path taken = school_.tables / "ASIGT.DBF";
  Outcome run;
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.before_open = [&](const fs::path& path, pontexa::OpenMode mode) {
      if (path == taken && mode == pontexa::OpenMode::kReadWriteCreate) {
        faults.HoldElsewhere(At(taken));
      }
    };
    const ScopedEnv scoped(faults);
    run = RunInProcess("to-horaplan", changed_, school_.tables);
  }
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 1u);
  const std::string in_use = "La tabla '" + taken.string() + "' está en uso por otro programa (" +
                             testing::HeldFile::kHolderName + ")";
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, in_use + ". No se han podido dejar las tablas de Horaplan como estaban: " +
                         run::AsReason(in_use) + ". La copia de las tablas anteriores está en '" +
                         copies[0].folder.string() + "'; «pontexa-cli restore " + copies[0].name +
                         "» las repone.\n");
  const Outcome restored = RunRestore(copies[0].name, school_.tables);
  EXPECT_EQ(restored.status, 0) << restored.err;
  ExpectSameFiles(FilesOutsideCopies(school_.tables), before);
}

// The disk fills up in any of the six steps, on the table's first byte or part
// way through its rows, or the table's file fails to close: every table is
// restored. (A close that fails may mean written bytes were lost.)
TEST_F(UndoTest, DiskFullAtAnyStepLeavesTheFolderAsItWas) {
  const FolderFiles before = FilesIn(school_.tables);
  constexpr std::int64_t kCloseFails = -1;
  std::vector<std::pair<std::string, std::int64_t>> cases;
  for (const char* table : kBuiltTables) cases.emplace_back(table, 0);
  for (const char* table : {"ASIGNOMT", "PROFT", "ASIGT"}) cases.emplace_back(table, 2000);
  for (const char* table : kBuiltTables) cases.emplace_back(table, kCloseFails);
  for (const auto& [table, room] : cases) {
    const fs::path full = school_.tables / (table + ".DBF");
    const std::string label =
        table + (room == kCloseFails ? std::string(" failing to close")
                                     : " with room for " + std::to_string(room) + " bytes");
    Outcome run;
    {
      FaultEnv faults;
      faults.LeaveOutOtherProcesses();
      if (room == kCloseFails) {
        faults.FailClose(At(full));
      } else {
        faults.FailWritesAfter(At(full), static_cast<std::uint64_t>(room));
      }
      const ScopedEnv scoped(faults);
      run = RunInProcess("to-horaplan", changed_, school_.tables);
      EXPECT_EQ(faults.faults(), 1) << label;
    }
    EXPECT_EQ(run.err, "No se puede escribir en la tabla '" + full.string() +
                           "': No queda espacio en el disco. " + kLeftAsTheyWere + "\n")
        << label;
    ExpectNothingChanged(run, before, label);
  }
}

// Hours too large for ASIGT's number field end the fifth step.
TEST_F(UndoTest, HoursThatDoNotFitLeaveTheFolderAsItWas) {
  const FolderFiles before = FilesIn(school_.tables);
  WriteFile(changed_, Replaced(ReadFile(changed_), "hours=\"4\"", "hours=\"1e30\""));
  const Outcome run = RunCli("to-horaplan", changed_, school_.tables);
  EXPECT_THAT(run.err, HasSubstr("ASIGT"));
  ExpectNothingChanged(run, before, "hours");
}

TEST_F(UndoTest, RestoreAfterASuccessfulRunGivesBackThePreviousTables) {
  const FolderFiles before = FilesIn(school_.tables);
  ASSERT_EQ(RunCli("to-horaplan", changed_, school_.tables).status, 0);
  const FolderFiles after = FilesOutsideCopies(school_.tables);
  ASSERT_NE(after, before);
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 1u);

  const Outcome listed = RunProgram({CliPath(), "copies", "--dir", school_.tables.string()});
  EXPECT_EQ(listed.status, 0);
  EXPECT_THAT(listed.out, StartsWith(copies[0].name + "  "));
  EXPECT_THAT(listed.out, HasSubstr("GEDU -> Horaplan"));
  EXPECT_THAT(listed.out, HasSubstr("asignomt.cpg"));
  // The command's older name lists the same.
  const Outcome old_name = RunProgram({CliPath(), "snapshots", "--dir", school_.tables.string()});
  EXPECT_EQ(old_name.status, 0);
  EXPECT_EQ(old_name.out, listed.out);

  const Outcome restored = RunRestore(copies[0].name, school_.tables);
  EXPECT_EQ(restored.status, 0) << restored.err;
  ExpectSameFiles(FilesOutsideCopies(school_.tables), before);

  // The restore kept what it replaced, newest first: restoring that undoes it.
  const std::vector<run::SavedCopy> now = run::ListCopies(school_.tables);
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(now[0].manifest.restored, copies[0].name);
  EXPECT_EQ(RunRestore(now[0].name, school_.tables).status, 0);
  ExpectSameFiles(FilesOutsideCopies(school_.tables), after);
}

TEST_F(UndoTest, RestoreAfterHoraplanToGeduGivesBackTheExchangeFile) {
  const std::string before = ReadFile(school_.exchange_file);
  ASSERT_EQ(RunCli("to-gedu", school_.exchange_file, school_.tables).status, 0);
  const std::string after = ReadFile(school_.exchange_file);
  ASSERT_NE(after, before);
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_FALSE(copies[0].manifest.holds_tables);
  EXPECT_EQ(copies[0].manifest.exchange_file, school_.exchange_file.string());

  const Outcome restored = RunRestore(copies[0].name, school_.tables, school_.exchange_file);
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_TRUE(ReadFile(school_.exchange_file) == before);
  // Restored in place, as a save: nothing else beside the file.
  std::set<std::string> beside;
  for (const auto& entry : fs::directory_iterator(school_.dir.path())) {
    beside.insert(entry.path().filename().string());
  }
  EXPECT_EQ(beside, (std::set<std::string>{"cambiado.xml", "htemp", "instituto.xml"}));
  EXPECT_EQ(
      RunRestore(run::ListCopies(school_.tables)[0].name, school_.tables, school_.exchange_file)
          .status,
      0);
  EXPECT_TRUE(ReadFile(school_.exchange_file) == after);
}

// A restore refuses while another program holds any table of the copy, and
// changes nothing: no table, and no copy of what it would have replaced.
TEST_F(UndoTest, RestoreRefusesWhileATableIsHeldAndChangesNothing) {
  {
    const QuickEnv quick;
    ASSERT_EQ(RunInProcess("to-horaplan", changed_, school_.tables).status, 0);
  }
  const std::string name = run::ListCopies(school_.tables).at(0).name;
  const FolderFiles before = FilesIn(school_.tables);
  for (const char* table : kBuiltTables) {
    const fs::path held = school_.tables / (std::string(table) + ".DBF");
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.HoldElsewhere(At(held));
    const ScopedEnv scoped(faults);
    EXPECT_EQ(
        testing::MessageOf([&] { run::RestoreCopy(school_.tables, name, std::time(nullptr)); }),
        "La tabla '" + held.string() + "' está en uso por otro programa (" +
            testing::HeldFile::kHolderName + ")")
        << table;
    ExpectSameFiles(FilesIn(school_.tables), before);
  }
}

// Restoring the tables fails at its last step, as the files written beside
// the tables are renamed into place: the error says which file and where the
// copy is, nothing of the put-back is left beside the tables, and restoring the
// copy then gives every table back.
TEST_F(UndoTest, FailedSwitchWhileRestoringNamesTheCopyThatRestores) {
  const FolderFiles before = FilesIn(school_.tables);
  const fs::path full = school_.tables / "ASIGT.DBF";
  const fs::path stuck = school_.tables / "ASIGNOMT.DBF";
  Outcome run;
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.FailWritesAfter(At(full), 2000);
    faults.FailRename(At(stuck));
    const ScopedEnv scoped(faults);
    run = RunInProcess("to-horaplan", changed_, school_.tables);
  }
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "No se puede escribir en la tabla '" + full.string() +
                         "': No queda espacio en el disco. No se han podido dejar las tablas de "
                         "Horaplan como estaban: no se puede reponer '" +
                         stuck.string() +
                         "': Error de entrada/salida. La copia de las tablas anteriores está en '" +
                         copies[0].folder.string() + "'; «pontexa-cli restore " + copies[0].name +
                         "» las repone.\n");
  for (const auto& entry : fs::directory_iterator(school_.tables)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("~")) << entry.path();
  }
  {
    const QuickEnv quick;
    run::RestoreCopy(school_.tables, copies[0].name, std::time(nullptr));
  }
  ExpectSameFiles(FilesOutsideCopies(school_.tables), before);
}

TEST_F(UndoTest, UnknownCopyIsRefused) {
  const Outcome restored = RunRestore("20200101-000000", school_.tables);
  EXPECT_EQ(restored.status, 1);
  EXPECT_THAT(restored.err, HasSubstr("No existe la copia '20200101-000000'"));
}

// The program dies at a file-size limit in the fifth step (SIGXFSZ, which it
// cannot catch), then is killed outright at random moments: each time the
// newest copy, if the run made one, brings the folder back; otherwise the
// folder was never touched.
// Killed outright at any moment, or by the file-size limit part-way through
// a table: the next start finds the run's record, restores the tables as
// they were and leaves none of its files behind; a run killed after it
// finished keeps its new tables, and its copy brings the old ones back.
TEST_F(UndoTest, KilledRunIsPutRightAtTheNextStart) {
  const rlim_t limit = LimitWithSmallTables();
  const FolderFiles before = FilesOutsideCopies(school_.tables);
  const auto next_start = [&](std::size_t copies_before, const std::string& label) {
    bool error = false;
    const std::string notice = run::PutRightAtStartUp(school_.tables, &error);
    EXPECT_FALSE(error) << label << ": " << notice;
    EXPECT_FALSE(fs::exists(school_.tables / run::kRunRecordName)) << label;
    for (const auto& entry : fs::recursive_directory_iterator(school_.tables)) {
      const std::string name = entry.path().filename().string();
      EXPECT_FALSE(name.starts_with("~")) << label << ": " << name << " left over";
      if (entry.is_directory() && entry.path().parent_path().filename() == kCopiesFolder) {
        EXPECT_TRUE(fs::exists(entry.path() / run::kManifestName)) << label << ": " << name;
      }
    }
    if (FilesOutsideCopies(school_.tables) == before) return;
    // Only a run that finished changed the tables, and its copy undoes it.
    EXPECT_EQ(notice, "") << label;
    const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
    ASSERT_GT(copies.size(), copies_before) << label;
    const Outcome restored = RunRestore(copies[0].name, school_.tables);
    ASSERT_EQ(restored.status, 0) << label << ": " << restored.err;
    ExpectSameFiles(FilesOutsideCopies(school_.tables), before);
  };

  RunOptions die_at_limit = FileSizeLimit(limit);
  die_at_limit.killed_at_limit = true;
  const Outcome died = RunCli("to-horaplan", changed_, school_.tables, die_at_limit);
  ASSERT_EQ(died.signal, SIGXFSZ) << died.err;
  ASSERT_NE(FilesOutsideCopies(school_.tables), before);  // died part-way
  {
    const std::optional<run::RunRecord> record = run::ReadRunRecord(school_.tables);
    ASSERT_TRUE(record);
    bool error = false;
    EXPECT_EQ(run::PutRightAtStartUp(school_.tables, &error),
              run::messages::TablesPutRight(false, record->time));
  }
  next_start(0, "SIGXFSZ");

  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCli("to-horaplan", changed_, school_.dir / "medida").status, 0);
  const auto run_time = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  std::mt19937 random(20261209);
  std::uniform_int_distribution<std::int64_t> delay(0, run_time.count());
  int killed = 0;
  for (int round = 0; round < 15; ++round) {
    const std::size_t copies_before = run::ListCopies(school_.tables).size();
    const Running child = StartProgram(
        {CliPath(), "to-horaplan", changed_.string(), "--dir", school_.tables.string()});
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(child.pid, SIGKILL);
    if (WaitForProgram(child).signal == SIGKILL) ++killed;
    next_start(copies_before, "round " + std::to_string(round));
  }
  EXPECT_GT(killed, 0);
}

}  // namespace
}  // namespace pontexa::reliability
