// Faults of the world around a run: missing and read-only places, tables held
// by Horaplan, a disk that fills up, a process killed outright. Every run that
// fails must say why in Spanish, end with status 1 and change nothing it should
// not; the exchange file is always either the old file or the complete new one.
// Most faults are put in within this process, through the fault-injecting Env
// (see in_process.h); one of each kind is also met for real by pontexa-cli: a
// per-file size limit, and tables held by a second process in every way.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "platform/regional_settings.h"
#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "support/fault_env.h"
#include "support/held_file.h"
#include "support/python.h"
#include "tables/table.h"
#include "tables/table_store.h"

namespace pontexa::reliability {
namespace {

using testing::At;
using ::testing::EndsWith;
using testing::FaultEnv;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::Under;

constexpr const char* kBuiltTables[] = {"ASIGNOMT", "PROFT", "AULAT",
                                        "GRUPOST",  "ASIGT", "DIASHORAST"};
constexpr char kLeftAsTheyWere[] = "Las tablas de Horaplan se han dejado como estaban.";

// Every .DBF file in the folder is a table that opens and scans to its end:
// no table is left with a header cut short or a row count beyond its rows, and
// python3-dbfread, which reads up to the end-of-file marker, finds as many rows.
void ExpectWholeTables(const fs::path& folder) {
  const tables::TableStore store(folder, RegionalSettings{','});
  const bool have_dbfread = testing::PythonHasModule("dbfread");
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".DBF") continue;
    try {
      tables::Table table(store, entry.path().stem().string());
      table.OpenTable(HoldKind::kShared);
      std::int64_t rows = 0;
      for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) ++rows;
      if (!have_dbfread) continue;
      const testing::Outcome other = testing::RunPython(
          "import sys, dbfread\nprint(len(dbfread.DBF(sys.argv[1], load=True).records))",
          {entry.path().string()});
      EXPECT_EQ(other.out, std::to_string(rows) + "\n")
          << entry.path().filename() << ": " << other.err;
    } catch (const std::exception& error) {
      ADD_FAILURE() << entry.path().filename() << ": " << error.what();
    }
  }
}

// The files beside the exchange file: only the file itself, no temporary copy.
std::set<std::string> FolderNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class FaultTest : public ::testing::Test {
 protected:
  SampleSchool school_;
};

TEST_F(FaultTest, MissingTableFolderEndsEitherRunAndIsNotCreated) {
  const fs::path missing = school_.dir / "no-existe";
  const std::string exchange = ReadFile(school_.exchange_file);
  for (const char* command : {"to-horaplan", "to-gedu"}) {
    const Outcome run = RunCli(command, school_.exchange_file, missing);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_THAT(run.err, HasSubstr(missing.string())) << command;
    EXPECT_FALSE(fs::exists(missing)) << command;
    EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange) << command;
  }
}

// Another program holding one table, in each way Linux programs and Horaplan
// under Wine hold one: the run stops, names the table and its holder, and
// changes nothing, neither a table nor the exchange file; the next run, once
// the table is free, succeeds. A real second process holds the last table
// each conversion looks at; every table is held in this process further down.
using HoldCase = std::tuple<const char*, testing::HoldMode>;

constexpr testing::HoldMode kHoldModes[] = {
    testing::HoldMode::kFlock, testing::HoldMode::kWriteLockHighByte,
    testing::HoldMode::kReadLockWholeFile, testing::HoldMode::kOpenWithoutLock};

std::string HoldCaseName(const ::testing::TestParamInfo<HoldCase>& info) {
  static const char* const kinds[] = {
      "Flock",   "SharedFlock", "WriteLockHighByte", "ReadLockWholeFile", "WriteLockWholeFile",
      "OpenOnly"};
  return std::string(std::get<0>(info.param)) + "_" +
         kinds[static_cast<int>(std::get<1>(info.param))];
}

class HeldTableTest : public FaultTest, public ::testing::WithParamInterface<HoldCase> {
 protected:
  // Runs the command while the table is held and checks that nothing changed.
  void ExpectStoppedAndNothingChanged(const char* command) {
    const auto [table, kind] = GetParam();
    const std::string exchange = ReadFile(school_.exchange_file);
    const FolderFiles tables_before = FilesIn(school_.tables);
    Outcome run;
    {
      testing::HeldFile held(school_.tables / (std::string(table) + ".DBF"), kind);
      run = RunCli(command, school_.exchange_file, school_.tables);
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(std::string(table) + ".DBF' está en uso por otro programa (" +
                                   testing::HeldFile::kHolderName + ")"));
    EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
    EXPECT_EQ(FolderNames(school_.dir.path()), (std::set<std::string>{"htemp", "instituto.xml"}));
    ExpectSameFiles(FilesIn(school_.tables), tables_before);

    const Outcome free = RunCli(command, school_.exchange_file, school_.tables);
    EXPECT_EQ(free.status, 0) << free.err;
  }
};

class HeldReadTableTest : public HeldTableTest {};

TEST_P(HeldReadTableTest, HoraplanToGeduStopsAndNothingChanges) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  ExpectStoppedAndNothingChanged("to-gedu");
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfHold, HeldReadTableTest,
                         ::testing::Combine(::testing::Values("AULAT"),
                                            ::testing::ValuesIn(kHoldModes)),
                         HoldCaseName);

// GEDU to Horaplan looks at all six tables before it touches any: a held last
// table leaves the first ones as they were too.
class HeldBuiltTableTest : public HeldTableTest {};

TEST_P(HeldBuiltTableTest, GeduToHoraplanStopsBeforeAnyTableIsTouched) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  // An old date in every header, so that a table rebuilt today would show.
  for (const char* name : kBuiltTables) {
    const fs::path path = school_.tables / (std::string(name) + ".DBF");
    std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 4u);
    bytes.replace(1, 3, std::string{99, 1, 1});
    WriteFile(path, bytes);
  }
  ExpectStoppedAndNothingChanged("to-horaplan");
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfHold, HeldBuiltTableTest,
                         ::testing::Combine(::testing::Values("DIASHORAST"),
                                            ::testing::ValuesIn(kHoldModes)),
                         HoldCaseName);

// The same in this process, for every table either conversion reads or
// builds, held exclusively or shared (a shared hold lets readers in, but no
// run goes on with a table another program has open).
using InProcessHoldCase = std::tuple<const char*, HoldKind>;

std::string InProcessHoldCaseName(const ::testing::TestParamInfo<InProcessHoldCase>& info) {
  return std::string(std::get<0>(info.param)) +
         (std::get<1>(info.param) == HoldKind::kShared ? "_Shared" : "_Exclusive");
}

class HeldTableInProcessTest : public FaultTest,
                               public ::testing::WithParamInterface<InProcessHoldCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(PrepareTablesInProcess(school_)); }

  void ExpectStoppedAndNothingChanged(const char* command) {
    const auto [table, kind] = GetParam();
    const std::string exchange = ReadFile(school_.exchange_file);
    const FolderFiles tables_before = FilesIn(school_.tables);
    const fs::path held = school_.tables / (std::string(table) + ".DBF");
    Outcome run;
    {
      FaultEnv faults;
      faults.LeaveOutOtherProcesses();
      faults.HoldElsewhere(At(held), testing::HeldFile::kHolderName, kind);
      const ScopedEnv scoped(faults);
      run = RunInProcess(command, school_.exchange_file, school_.tables);
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    // GEDU to Horaplan adds that the tables are as they were.
    const std::string in_use = "La tabla '" + held.string() + "' está en uso por otro programa (" +
                               testing::HeldFile::kHolderName + ")";
    EXPECT_EQ(run.err, command == std::string("to-horaplan")
                           ? in_use + ". " + kLeftAsTheyWere + "\n"
                           : in_use + "\n");
    EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
    EXPECT_EQ(FolderNames(school_.dir.path()), (std::set<std::string>{"htemp", "instituto.xml"}));
    ExpectSameFiles(FilesIn(school_.tables), tables_before);

    const QuickEnv quick;
    const Outcome free = RunInProcess(command, school_.exchange_file, school_.tables);
    EXPECT_EQ(free.status, 0) << free.err;
  }
};

class HeldReadTableInProcessTest : public HeldTableInProcessTest {};

TEST_P(HeldReadTableInProcessTest, HoraplanToGeduStopsAndNothingChanges) {
  ExpectStoppedAndNothingChanged("to-gedu");
}

INSTANTIATE_TEST_SUITE_P(EveryTableRead, HeldReadTableInProcessTest,
                         ::testing::Combine(::testing::Values("DIASHORAST", "GRUPOST", "SOLUC",
                                                              "PROFT", "ASIGNOMT", "AULAT"),
                                            ::testing::Values(HoldKind::kExclusive,
                                                              HoldKind::kShared)),
                         InProcessHoldCaseName);

class HeldBuiltTableInProcessTest : public HeldTableInProcessTest {};

TEST_P(HeldBuiltTableInProcessTest, GeduToHoraplanStopsBeforeAnyTableIsTouched) {
  ExpectStoppedAndNothingChanged("to-horaplan");
}

INSTANTIATE_TEST_SUITE_P(EveryTableBuilt, HeldBuiltTableInProcessTest,
                         ::testing::Combine(::testing::ValuesIn(kBuiltTables),
                                            ::testing::Values(HoldKind::kExclusive,
                                                              HoldKind::kShared)),
                         InProcessHoldCaseName);

// A table's code-page side file counts as the table: GEDU to Horaplan, which
// replaces it, stops while another program holds it, before any table is
// touched.
TEST_F(FaultTest, HeldCodePageFileStopsGeduToHoraplanBeforeAnyTableIsTouched) {
  ASSERT_TRUE(PrepareTablesInProcess(school_));
  const fs::path held = school_.tables / "ASIGT.cpg";
  ASSERT_TRUE(fs::exists(held));
  const std::string exchange = ReadFile(school_.exchange_file);
  const FolderFiles tables_before = FilesIn(school_.tables);
  Outcome run;
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.HoldElsewhere(At(held), testing::HeldFile::kHolderName, HoldKind::kShared);
    const ScopedEnv scoped(faults);
    run = RunInProcess("to-horaplan", school_.exchange_file, school_.tables);
  }
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "El archivo '" + held.string() + "' está en uso por otro programa (" +
                         testing::HeldFile::kHolderName + "). " + kLeftAsTheyWere + "\n");
  EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
  ExpectSameFiles(FilesIn(school_.tables), tables_before);
}

// A process of another user: its open files may not be inspected, so a table
// it merely keeps open goes unseen and the run goes on, without any complaint
// about the processes it skipped; its locks are seen all the same.
TEST_F(FaultTest, AnotherUsersOpenFilesAreSkippedButItsLocksAreSeen) {
  const std::vector<std::string> nobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups"};
  if (geteuid() != 0 || RunProgram({"/bin/true"}, Wrapped(nobody)).status != 0) {
    GTEST_SKIP() << "needs root and setpriv to run the tool as another user";
  }
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  for (const fs::path& path : {school_.dir.path(), school_.tables}) {
    fs::permissions(path, fs::perms::all);
  }
  for (const auto& entry : fs::directory_iterator(school_.tables)) {
    fs::permissions(entry.path(), fs::perms::all);
  }
  const fs::path table = school_.tables / "ASIGNOMT.DBF";
  {
    testing::HeldFile held(table, testing::HoldMode::kOpenWithoutLock);
    const Outcome run =
        RunCli("to-horaplan", school_.exchange_file, school_.tables, Wrapped(nobody));
    EXPECT_EQ(run.status, 0) << run.err;
    // The sample's notas, and nothing else.
    EXPECT_THAT(run.err, StartsWith("pontexa-cli: 0 avisos, "));
  }
  {
    testing::HeldFile held(table, testing::HoldMode::kWriteLockHighByte);
    const Outcome run =
        RunCli("to-horaplan", school_.exchange_file, school_.tables, Wrapped(nobody));
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("ASIGNOMT.DBF' está en uso por otro programa (" +
                                   std::string(testing::HeldFile::kHolderName) + ")"));
  }
}

// The disk fills up while the tables are built, at any point: the run ends
// with the disk's message, and the tables it had created are gone again.
TEST_F(FaultTest, DiskFullWhileTablesAreBuiltLeavesOnlyWholeTables) {
  const std::string exchange = ReadFile(school_.exchange_file);
  for (const std::uint64_t room : {0, 100, 700, 3000, 20'000}) {
    fs::remove_all(school_.tables);
    fs::create_directory(school_.tables);
    Outcome run;
    {
      FaultEnv faults;
      faults.LeaveOutOtherProcesses();
      // The disk fills up under the tables; the run's record of itself is
      // small and written before them (its own full disk is tested apart).
      faults.FailWritesAfter(
          [under = Under(school_.tables)](const fs::path& path) {
            return under(path) && path.filename() != "~pontexa-en-curso.txt";
          },
          room);
      const ScopedEnv scoped(faults);
      run = RunInProcess("to-horaplan", school_.exchange_file, school_.tables);
    }
    EXPECT_EQ(run.status, 1) << room;
    EXPECT_EQ(run.out, "") << room;
    EXPECT_THAT(run.err, HasSubstr("': No queda espacio en el disco. " +
                                   std::string(kLeftAsTheyWere) + "\n"))
        << room;
    EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
    EXPECT_EQ(FilesIn(school_.tables), FolderFiles{}) << room;
    ExpectWholeTables(school_.tables);
  }
}

// The one full disk met for real by a whole run: a per-file size limit, which
// needs no privileges, with the system's own words for it.
TEST_F(FaultTest, DiskFullWhileTheExchangeFileIsSavedKeepsTheOldFile) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  const std::string exchange = ReadFile(school_.exchange_file);
  const Outcome run = RunCli("to-gedu", school_.exchange_file, school_.tables,
                             FileSizeLimit(exchange.size() + 1000));
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("No se puede guardar el archivo"));
  EXPECT_THAT(run.err, HasSubstr("demasiado grande"));
  EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
  EXPECT_EQ(FolderNames(school_.dir.path()), (std::set<std::string>{"htemp", "instituto.xml"}));
}

// The save of the exchange file failing at each of its steps, in this
// process: the temporary file cannot be made, the disk fills up at its first
// byte, part way or at its last, the flush to disk or the close fails, or the
// rename that puts it in place. The run tells why, the file stays exactly as it
// was, no temporary file is left beside it and the copy made for the save is
// gone again.
TEST_F(FaultTest, SaveFailingAtEachStepKeepsTheOldFileAndLeavesNothing) {
  ASSERT_TRUE(PrepareTablesInProcess(school_));
  const std::string exchange = ReadFile(school_.exchange_file);
  const std::uint64_t new_size = [&] {
    const TempDir other;
    const QuickEnv quick;
    fs::copy_file(school_.exchange_file, other / "instituto.xml");
    EXPECT_EQ(RunInProcess("to-gedu", other / "instituto.xml", school_.tables).status, 0);
    return fs::file_size(other / "instituto.xml");
  }();
  ASSERT_GT(new_size, exchange.size());
  const FolderFiles tables = FilesIn(school_.tables);
  const testing::PathMatch temporary = [](const fs::path& path) {
    return path.filename().string().starts_with(".instituto.xml.pontexa-");
  };
  const std::string no_room = Status::Of(Status::Code::kNoSpace).text();
  const struct {
    const char* step;
    std::function<void(FaultEnv&)> fault;
    std::string reason;
  } cases[] = {
      {"temporary file", [&](FaultEnv& env) { env.FailCreate(temporary); }, no_room},
      {"first byte", [&](FaultEnv& env) { env.FailWritesAfter(temporary, 0); }, no_room},
      {"part way", [&](FaultEnv& env) { env.FailWritesAfter(temporary, exchange.size()); },
       no_room},
      {"last byte", [&](FaultEnv& env) { env.FailWritesAfter(temporary, new_size - 1); }, no_room},
      {"sync", [&](FaultEnv& env) { env.FailSync(temporary); }, no_room},
      {"close", [&](FaultEnv& env) { env.FailClose(temporary); }, no_room},
      {"rename",
       [&](FaultEnv& env) {
         env.FailRename(At(school_.exchange_file), Status::Of(Status::Code::kPermissionDenied));
       },
       "Permiso denegado"},
  };
  for (const auto& c : cases) {
    Outcome run;
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    c.fault(faults);
    {
      const ScopedEnv scoped(faults);
      run = RunInProcess("to-gedu", school_.exchange_file, school_.tables);
    }
    EXPECT_EQ(faults.faults(), 1) << c.step;
    EXPECT_EQ(run.status, 1) << c.step;
    EXPECT_EQ(run.out, "") << c.step;
    EXPECT_EQ(run.err, "No se puede guardar el archivo '" + school_.exchange_file.string() +
                           "': " + c.reason + ".\n")
        << c.step;
    EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange) << c.step;
    EXPECT_EQ(FolderNames(school_.dir.path()), (std::set<std::string>{"htemp", "instituto.xml"}))
        << c.step;
    ExpectSameFiles(FilesIn(school_.tables), tables);
  }
}

// The disk fills up while the copy of the tables is written, before a GEDU to
// Horaplan run changes anything: the run stops saying so, every table is as it
// was and no part of the copy is left.
TEST_F(FaultTest, DiskFullWhileTheCopyIsMadeChangesNothing) {
  ASSERT_TRUE(PrepareTablesInProcess(school_));
  const std::string exchange = ReadFile(school_.exchange_file);
  const FolderFiles tables = FilesIn(school_.tables);
  const fs::path copies = school_.tables / kCopiesFolder;
  ASSERT_FALSE(fs::exists(copies));
  for (const std::uint64_t room : {0, 1000, 20'000}) {
    Outcome run;
    {
      FaultEnv faults;
      faults.LeaveOutOtherProcesses();
      faults.FailWritesAfter(Under(copies), room);
      const ScopedEnv scoped(faults);
      run = RunInProcess("to-horaplan", school_.exchange_file, school_.tables);
    }
    EXPECT_EQ(run.status, 1) << room;
    EXPECT_EQ(run.out, "") << room;
    EXPECT_THAT(run.err, StartsWith("No se puede hacer la copia de las tablas ASIGNOMT, PROFT, "
                                    "AULAT, GRUPOST, ASIGT y DIASHORAST antes de escribirlas: "
                                    "no se puede escribir '" +
                                    copies.string() + "/"))
        << room;
    EXPECT_THAT(run.err, EndsWith("': No queda espacio en el disco. No se ha cambiado ninguna "
                                  "tabla.\n"))
        << room;
    ExpectSameFiles(FilesIn(school_.tables), tables);
    EXPECT_FALSE(fs::exists(copies)) << room;
    EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
  }
}

// Killed outright at any moment of a Horaplan-to-GEDU run, over and over: the
// exchange file is always the old one or the complete new one, and the next
// successful run leaves no temporary file behind.
TEST_F(FaultTest, KilledAtAnyMomentTheFileIsOldOrNewAndNothingIsLeftOver) {
  ASSERT_TRUE(school_.PrepareHoraplanTables());
  const std::string old_file = ReadFile(school_.exchange_file);
  const fs::path copy = school_.dir / "copia";
  fs::create_directory(copy);
  fs::copy_file(school_.exchange_file, copy / "instituto.xml");

  // The complete new file, and how long a whole run takes here.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCli("to-gedu", copy / "instituto.xml", school_.tables).status, 0);
  const auto run_time = std::chrono::steady_clock::now() - started;
  const std::string new_file = ReadFile(copy / "instituto.xml");
  ASSERT_NE(new_file, old_file);

  std::mt19937 random(20240611);
  const auto longest = std::chrono::duration_cast<std::chrono::microseconds>(run_time) * 5 / 4;
  std::uniform_int_distribution<std::int64_t> delay(0, longest.count());
  int killed = 0;
  for (int round = 0; round < 40; ++round) {
    // Half the rounds start again from the old file, so kills land on both.
    if (round % 2 == 0) WriteFile(school_.exchange_file, old_file);
    const Running child = StartProgram(
        {CliPath(), "to-gedu", school_.exchange_file.string(), "--dir", school_.tables.string()});
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(child.pid, SIGKILL);
    const Outcome outcome = WaitForProgram(child);
    if (outcome.signal == SIGKILL) ++killed;
    ASSERT_TRUE(fs::exists(school_.exchange_file)) << "round " << round;
    const std::string now = ReadFile(school_.exchange_file);
    ASSERT_TRUE(now == old_file || now == new_file)
        << "round " << round << ": a file of " << now.size() << " bytes";
  }
  EXPECT_GT(killed, 0);

  const Outcome last = RunCli("to-gedu", school_.exchange_file, school_.tables);
  ASSERT_EQ(last.status, 0) << last.err;
  EXPECT_TRUE(ReadFile(school_.exchange_file) == new_file);
  EXPECT_EQ(FolderNames(school_.dir.path()),
            (std::set<std::string>{"copia", "htemp", "instituto.xml"}));
}

}  // namespace
}  // namespace pontexa::reliability
