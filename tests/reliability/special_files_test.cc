// Named pipes, devices and folders where the table folder, the copies or the
// report expect plain files: every run refuses them at once with a clear
// message, never waits on them, and changes nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "run/saved_copies.h"

namespace pontexa::reliability {
namespace {

using ::testing::HasSubstr;

// A run that waits on a pipe would hang the test for ever: `timeout` ends it
// with status 124 instead, and the case fails.
Outcome RunGuarded(std::vector<std::string> argv) {
  argv.insert(argv.begin(), {"/usr/bin/timeout", "-s", "KILL", "120"});
  return RunProgram(argv);
}

void MakePipe(const fs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path; }

struct SpecialFileCase {
  const char* label;
  const char* command;  // to-horaplan, to-gedu or restore
  bool check;           // with --check
  const char* file;     // the name in the table folder that is not a plain file
  bool folder;          // a folder rather than a named pipe
  int status;           // the expected exit status
  const char* message;  // part of the error, "" when the run ends well
};

void PrintTo(const SpecialFileCase& c, std::ostream* out) { *out << c.label; }

class SpecialFile : public ::testing::TestWithParam<SpecialFileCase> {};

TEST_P(SpecialFile, IsRefusedAtOnceAndNothingChanges) {
  const SpecialFileCase& c = GetParam();
  SampleSchool school;
  ASSERT_TRUE(PrepareTablesInProcess(school));
  const fs::path special = school.tables / c.file;
  fs::remove(special);
  if (c.folder) {
    fs::create_directory(special);
  } else {
    MakePipe(special);
  }
  const FolderFiles before = FilesIn(school.tables);
  std::vector<std::string> argv = {CliPath(), c.command, school.exchange_file.string(), "--dir",
                                   school.tables.string()};
  if (c.check) argv.push_back("--check");
  const Outcome run = RunGuarded(argv);
  EXPECT_EQ(run.status, c.status) << c.label << ": " << run.err;
  if (*c.message != '\0') {
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.label;
    EXPECT_THAT(run.err, HasSubstr(special.string())) << c.label;
    ExpectSameFiles(FilesOutsideCopies(school.tables), before);
    EXPECT_TRUE(run::ListCopies(school.tables).empty()) << c.label;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpecialFile,
    ::testing::Values(SpecialFileCase{"pipe as a table", "to-horaplan", false, "ASIGT.DBF", false,
                                      1, "No es un archivo normal"},
                      SpecialFileCase{"pipe as a table, trial", "to-horaplan", true, "ASIGT.DBF",
                                      false, 1, "No es un archivo normal"},
                      SpecialFileCase{"pipe as a read table", "to-gedu", false, "SOLUC.DBF", false,
                                      1, "No es un archivo normal"},
                      SpecialFileCase{"pipe as a read table, trial", "to-gedu", true, "SOLUC.DBF",
                                      false, 1, "No es un archivo normal"},
                      SpecialFileCase{"pipe as a code-page file", "to-horaplan", false, "ASIGT.cpg",
                                      false, 1, "No es un archivo normal"},
                      SpecialFileCase{"folder as a table", "to-horaplan", false, "PROFT.DBF", true,
                                      1, "Es una carpeta"},
                      // The report's temporary name is taken over by the next report.
                      SpecialFileCase{"pipe as the report's temporary file", "to-horaplan", false,
                                      "~pontexa-informe.txt", false, 0, ""},
                      SpecialFileCase{"pipe as the report's temporary file, trial", "to-horaplan",
                                      true, "~pontexa-informe.txt", false, 0, ""}),
    [](const auto& info) {
      std::string name;
      for (const char ch : std::string(info.param.label)) {
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      }
      return name;
    });

// A copy whose file was replaced by a named pipe is refused by the restore.
TEST(SpecialFileInACopy, IsRefusedByTheRestore) {
  SampleSchool school;
  ASSERT_TRUE(PrepareTablesInProcess(school));
  const Outcome run = RunGuarded(
      {CliPath(), "to-horaplan", school.exchange_file.string(), "--dir", school.tables.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<run::SavedCopy> copies = run::ListCopies(school.tables);
  ASSERT_EQ(copies.size(), 1u);
  const fs::path piped = copies[0].folder / "ASIGT.DBF";
  fs::remove(piped);
  MakePipe(piped);
  const FolderFiles before = FilesOutsideCopies(school.tables);
  const Outcome restored =
      RunGuarded({CliPath(), "restore", copies[0].name, "--dir", school.tables.string()});
  EXPECT_EQ(restored.status, 1);
  EXPECT_THAT(restored.err, HasSubstr("No es un archivo normal"));
  ExpectSameFiles(FilesOutsideCopies(school.tables), before);
  EXPECT_EQ(run::ListCopies(school.tables).size(), 1u);  // no undo copy left behind
}

}  // namespace
}  // namespace pontexa::reliability
