// Places that may not be written: the table folder for GEDU to Horaplan, the
// exchange file and its folder for Horaplan to GEDU. Each is made read-only
// within this process, through the fault-injecting Env; the table folder is
// also made read-only for real, for pontexa-cli. Tests run as root, which
// permission bits do not stop, so a real read-only place is made, in order of
// preference, by permission bits for an ordinary user, by a read-only mount in
// a private namespace, or by running the tool as the user nobody.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "support/fault_env.h"

namespace pontexa::reliability {
namespace {

using ::testing::AnyOf;
using testing::At;
using ::testing::EndsWith;
using testing::FaultEnv;
using ::testing::HasSubstr;
using ::testing::StartsWith;

enum class Mechanism { kPermissions, kReadOnlyMount, kOtherUser, kNone };

// A private mount namespace with a read-only bind mount of each path given
// after the script's name, then the program.
constexpr char kMountScript[] =
    "while [ \"$1\" != -- ]; do mount --bind \"$1\" \"$1\" && "
    "mount -o remount,bind,ro \"$1\" \"$1\" || exit 97; shift; done; shift; exec \"$@\"";

std::vector<std::string> MountWrapper(const std::vector<fs::path>& read_only) {
  std::vector<std::string> wrapper = {"/usr/bin/unshare", "-rm", "/bin/sh", "-c",
                                      kMountScript,       "sh"};
  for (const fs::path& path : read_only) wrapper.push_back(path.string());
  wrapper.push_back("--");
  return wrapper;
}

const std::vector<std::string> kNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                          "--clear-groups"};

Mechanism Available() {
  static const Mechanism mechanism = [] {
    if (geteuid() != 0) return Mechanism::kPermissions;
    TempDir probe;
    const Outcome mounted =
        RunProgram({"/bin/sh", "-c", "touch \"$1\"/x 2>/dev/null && exit 1; exit 0", "sh",
                    probe.path().string()},
                   Wrapped(MountWrapper({probe.path()})));
    if (mounted.status == 0) return Mechanism::kReadOnlyMount;
    if (RunProgram({"/bin/true"}, Wrapped(kNobody)).status == 0) return Mechanism::kOtherUser;
    return Mechanism::kNone;
  }();
  return mechanism;
}

class ReadOnlyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Available() == Mechanism::kNone) {
      GTEST_SKIP() << "running as root without user namespaces or setpriv: no place can be "
                      "made read-only for this process";
    }
    ASSERT_TRUE(school_.PrepareHoraplanTables());
  }

  // Runs the tool with these places read-only for it.
  Outcome RunWithReadOnly(const std::string& command, const std::vector<fs::path>& read_only) {
    RunOptions options;
    std::vector<std::pair<fs::path, fs::perms>> restore;
    switch (Available()) {
      case Mechanism::kReadOnlyMount:
        options.wrapper = MountWrapper(read_only);
        break;
      case Mechanism::kOtherUser:
        // Nobody may read everything, and write everything but the given places.
        for (const auto& entry : fs::recursive_directory_iterator(school_.dir.path())) {
          fs::permissions(entry.path(), entry.is_directory() ? fs::perms::all : fs::perms(0666));
        }
        fs::permissions(school_.dir.path(), fs::perms::all);
        options.wrapper = kNobody;
        [[fallthrough]];
      case Mechanism::kPermissions:
        // A folder with everything in it, as a read-only mount would make it.
        for (const fs::path& place : read_only) {
          std::vector<fs::path> paths = {place};
          if (fs::is_directory(place)) {
            for (const auto& entry : fs::directory_iterator(place)) paths.push_back(entry.path());
          }
          for (const fs::path& path : paths) {
            restore.emplace_back(path, fs::status(path).permissions());
            fs::permissions(
                path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
          }
        }
        break;
      case Mechanism::kNone:
        break;
    }
    const Outcome outcome = RunCli(command, school_.exchange_file, school_.tables, options);
    for (const auto& [path, perms] : restore) fs::permissions(path, perms);
    return outcome;
  }

  SampleSchool school_;
};

// The one read-only place met for real.
TEST_F(ReadOnlyTest, TableFolderStopsGeduToHoraplanAndKeepsEveryTable) {
  const FolderFiles before = FilesIn(school_.tables);
  const std::string exchange = ReadFile(school_.exchange_file);
  const Outcome run = RunWithReadOnly("to-horaplan", {school_.tables});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr("ASIGNOMT"));
  EXPECT_THAT(run.err, AnyOf(HasSubstr("solo lectura"), HasSubstr("ermiso")));
  ExpectSameFiles(FilesIn(school_.tables), before);
  EXPECT_TRUE(ReadFile(school_.exchange_file) == exchange);
}

// The exchange file, or the folder it lies in, may not be written: the run ends
// before anything is replaced and leaves no temporary file. A folder may refuse
// new names while its files can still be written (its permissions), or refuse
// everything in and below it (a read-only mount); then the copy made before
// the save is what fails first.
TEST(ReadOnlyInProcess, ExchangeFileOrItsFolderStopsHoraplanToGedu) {
  SampleSchool school;
  ASSERT_TRUE(PrepareTablesInProcess(school));
  const std::string exchange = ReadFile(school.exchange_file);
  const FolderFiles tables = FilesIn(school.tables);
  const std::string cannot_save =
      "No se puede guardar el archivo '" + school.exchange_file.string() + "': ";
  const std::string read_only = "El sistema de archivos es de solo lectura";
  const fs::path folder = school.dir.path();
  const struct {
    const char* place;
    testing::PathMatch match;
    std::string starts;
    std::string ends;
  } cases[] = {
      {"the file", At(school.exchange_file), cannot_save + read_only + ".\n", ""},
      {"new names in its folder",
       [&](const fs::path& path) {
         return path.parent_path() == folder && path != school.exchange_file &&
                path != school.tables;
       },
       cannot_save + read_only + ".\n", ""},
      {"a read-only mount", At(folder),
       cannot_save + "no se puede hacer antes su copia: ", read_only + ".\n"},
  };
  for (const auto& c : cases) {
    Outcome run;
    {
      FaultEnv faults;
      faults.LeaveOutOtherProcesses();
      faults.MakeReadOnly(c.match);
      const ScopedEnv scoped(faults);
      run = RunInProcess("to-gedu", school.exchange_file, school.tables);
    }
    EXPECT_EQ(run.status, 1) << c.place;
    EXPECT_EQ(run.out, "") << c.place;
    EXPECT_THAT(run.err, StartsWith(c.starts)) << c.place;
    EXPECT_THAT(run.err, EndsWith(c.ends)) << c.place;
    EXPECT_TRUE(ReadFile(school.exchange_file) == exchange) << c.place;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"htemp", "instituto.xml"})) << c.place;
    ExpectSameFiles(FilesIn(school.tables), tables);
  }
}

// The table folder as a read-only mount makes it, in this process: the copy
// of the tables cannot be made, so nothing is touched.
TEST(ReadOnlyInProcess, TableFolderStopsGeduToHoraplanAndKeepsEveryTable) {
  SampleSchool school;
  ASSERT_TRUE(PrepareTablesInProcess(school));
  const FolderFiles before = FilesIn(school.tables);
  const std::string exchange = ReadFile(school.exchange_file);
  Outcome run;
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.MakeReadOnly(At(school.tables));
    const ScopedEnv scoped(faults);
    run = RunInProcess("to-horaplan", school.exchange_file, school.tables);
  }
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err,
              StartsWith("No se puede hacer la copia de las tablas ASIGNOMT, PROFT, AULAT, "
                         "GRUPOST, ASIGT y DIASHORAST antes de escribirlas: "));
  EXPECT_THAT(run.err, EndsWith(": El sistema de archivos es de solo lectura. No se ha cambiado "
                                "ninguna tabla.\n"));
  ExpectSameFiles(FilesIn(school.tables), before);
  EXPECT_TRUE(ReadFile(school.exchange_file) == exchange);
}

}  // namespace
}  // namespace pontexa::reliability
