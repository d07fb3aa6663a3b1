// What the user is told about how a run left its files: a report that could
// not be written, an exchange file whose other names keep the old content or
// whose owner could not be kept.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "support/fake_run_ui.h"

namespace pontexa::reliability {
namespace {

using ::testing::HasSubstr;

class SavedFileNotes : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PrepareTablesInProcess(school_)); }

  std::string Report() const { return ReadFile(school_.tables / kReportFile); }

  SampleSchool school_;
};

// A folder where the report goes: said on standard error after a run that
// ended well, in the error of one that failed, and in the window's box.
TEST_F(SavedFileNotes, ReportThatCannotBeWrittenIsSaid) {
  const fs::path report = school_.tables / kReportFile;
  fs::remove(report);
  fs::create_directory(report);
  const std::string said = "No se ha podido escribir el informe '" + report.string() + "'.";

  const Outcome done = RunCli("to-horaplan", school_.exchange_file, school_.tables);
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, "Proceso finalizado\n");
  EXPECT_THAT(done.err, HasSubstr(said + "\n"));

  const Outcome failed = RunCli("to-gedu", school_.dir / "falta.xml", school_.tables);
  EXPECT_EQ(failed.status, 1);  // no file: nothing run, no report to write
  fs::remove(school_.tables / "SOLUC.DBF");
  const Outcome broken = RunCli("to-gedu", school_.exchange_file, school_.tables);
  EXPECT_EQ(broken.status, 1);
  EXPECT_THAT(broken.err, HasSubstr(". " + said + "\n"));

  testing::FakeRunUi ui;
  ui.WillChoose(school_.exchange_file.string());
  run::RunControl control(ui, school_.tables, RegionalSettingsFromEnvironment());
  {
    const QuickEnv quick;
    EXPECT_TRUE(control.RunToHoraplan());
  }
  EXPECT_FALSE(control.ReportWritten());
  EXPECT_EQ(ui.CallsOf("message"), std::vector<std::string>{"Proceso finalizado"});
  EXPECT_EQ(ui.CallsOf("findings"), std::vector<std::string>{said});
  EXPECT_TRUE(fs::is_directory(report));
}

// The exchange file had a second name: the save puts a new file in place, so
// the other name keeps the old content, and the report says so.
TEST_F(SavedFileNotes, OtherNamesOfTheExchangeFileAreNoted) {
  const fs::path other = school_.dir / "otro-nombre.xml";
  fs::create_hard_link(school_.exchange_file, other);
  const std::string old = ReadFile(other);
  const Outcome run = RunCli("to-gedu", school_.exchange_file, school_.tables);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(other), old);
  EXPECT_NE(ReadFile(school_.exchange_file), old);
  EXPECT_THAT(Report(), HasSubstr("\r\nNota: el archivo XML tenía 2 nombres (enlaces físicos); los "
                                  "demás nombres siguen con el contenido anterior.\r\n"));
}

// Another user's file saved by a user who may not give files away: the new
// file is theirs, and the report says whose it was.
TEST_F(SavedFileNotes, OwnerThatCouldNotBeKeptIsNoted) {
  if (geteuid() != 0 ||
      RunProgram({"/usr/bin/setpriv", "--reuid=65534", "/bin/true"}).status != 0) {
    GTEST_SKIP() << "needs root and setpriv to run the tool as another user";
  }
  for (const auto& entry : fs::recursive_directory_iterator(school_.dir.path())) {
    chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
  }
  chmod(school_.dir.path().c_str(), 0777);
  ASSERT_EQ(chown(school_.exchange_file.c_str(), 4242, 4343), 0);
  const Outcome run =
      RunCli("to-gedu", school_.exchange_file, school_.tables,
             Wrapped({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}));
  ASSERT_EQ(run.status, 0) << run.err;
  struct stat info;
  ASSERT_EQ(stat(school_.exchange_file.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_THAT(Report(),
              HasSubstr("\r\nNota: el sistema no ha permitido conservar el propietario y el grupo "
                        "del archivo XML (4242:4343); ahora son 65534:65534.\r\n"));
}

}  // namespace
}  // namespace pontexa::reliability
