// Copies that cannot be turned against the user: a planted or edited copy
// folder writes nothing outside the table folder and nothing but the files of
// its tables, an exchange-file copy goes back only onto a file the user names,
// and a restore that fails leaves either nothing changed and no copy of its
// own, or says what it changed and where that copy is.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "platform/file_copy.h"
#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "run/copy_manifest.h"
#include "run/restore.h"
#include "run/saved_copies.h"
#include "support/error_message.h"
#include "support/fault_env.h"

namespace pontexa::reliability {
namespace {

using testing::At;
using testing::FaultEnv;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr char kPlanted[] = "20991231-235959";

Outcome RunRestore(const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {CliPath(), "restore"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return RunProgram(argv);
}

class HostileCopies : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PrepareTablesInProcess(school_)); }

  fs::path Copies() const { return school_.tables / kCopiesFolder; }

  // A copy folder as someone could plant it: `files` copied in, the manifest
  // written as `manifest` says.
  fs::path Plant(const std::string& name, run::CopyManifest manifest,
                 const std::vector<std::pair<std::string, std::string>>& files) {
    const fs::path folder = Copies() / name;
    fs::create_directories(folder);
    for (const auto& [file, bytes] : files) {
      WriteFile(folder / file, bytes);
      const FileDigest digest = DigestOfFile(folder / file);
      for (run::CopiedFile& listed : manifest.files) {
        if (listed.name == file) {
          listed.size = digest.size;
          listed.sha256 = digest.sha256;
        }
      }
    }
    WriteFile(folder / run::kManifestName, run::ManifestText(manifest));
    return folder;
  }

  static run::CopyManifest ExchangeCopyOf(const fs::path& recorded) {
    run::CopyManifest manifest;
    manifest.made_by = run::kMadeByToGedu;
    manifest.time = "2099-12-31 23:59:59";
    manifest.exchange_file = recorded.string();
    manifest.holds_tables = false;
    manifest.files = {{"", "instituto.xml", 0, std::string(64, '0')}};
    return manifest;
  }

  SampleSchool school_;
};

// A manifest names any path as its exchange file: the restore never writes
// there on its say; it goes only onto an existing file named with --xml.
TEST_F(HostileCopies, ExchangeFileCopyGoesOnlyWhereTheUserSays) {
  const fs::path elsewhere = school_.dir / "home";
  fs::create_directory(elsewhere);
  const fs::path target = elsewhere / ".bashrc";
  Plant(kPlanted, ExchangeCopyOf(target), {{"instituto.xml", "echo hola\n"}});
  const std::string dir = school_.tables.string();

  const Outcome bare = RunRestore({kPlanted, "--dir", dir});
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(bare.err, "La copia '" + std::string(kPlanted) + "' es del archivo XML '" +
                          target.string() +
                          "': indique el archivo que se sustituye, por ejemplo «pontexa-cli "
                          "restore " +
                          kPlanted + " --xml RUTA». No se ha cambiado nada.\n");
  EXPECT_FALSE(fs::exists(target));

  const Outcome missing = RunRestore({kPlanted, "--dir", dir, "--xml", target.string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "No existe el archivo XML '" + target.string() +
                             "': la copia solo se repone sobre un archivo que ya existe. No se "
                             "ha cambiado nada.\n");
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(run::ListCopies(school_.tables).size(), 1u);  // the planted one only

  // Onto a symbolic link to the user's file: the file behind it gets the copy.
  const fs::path chosen = school_.dir / "elegido.xml";
  WriteFile(chosen, "antes");
  fs::create_symlink(chosen, school_.dir / "enlace.xml");
  const Outcome put =
      RunRestore({kPlanted, "--dir", dir, "--xml", (school_.dir / "enlace.xml").string()});
  EXPECT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(ReadFile(chosen), "echo hola\n");
  EXPECT_TRUE(fs::is_symlink(school_.dir / "enlace.xml"));
  EXPECT_FALSE(fs::exists(target));
  // What was there is in the restore's own copy.
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].manifest.restored, kPlanted);
  EXPECT_EQ(ReadFile(copies[0].folder / copies[0].manifest.files.at(0).name), "antes");

  const Outcome tables_copy = RunRestore({copies[0].name, "--dir", dir, "--xml", dir});
  EXPECT_EQ(tables_copy.status, 1);
}

// A manifest that names a file of no table it lists, or a path, is refused
// with nothing changed and no copy of the restore left behind.
TEST_F(HostileCopies, ManifestNamingOtherFilesIsRefusedAndNothingChanges) {
  WriteFile(school_.tables / "notas.txt", "mis notas");
  run::CopyManifest manifest;
  manifest.made_by = run::kMadeByToHoraplan;
  manifest.time = "2099-12-31 23:59:59";
  manifest.table_folder = school_.tables.string();
  manifest.tables = {"ASIGT"};
  manifest.files = {{"ASIGT", "notas.txt", 0, std::string(64, '0')}};
  Plant(kPlanted, manifest, {{"notas.txt", "sobrescrita"}});
  manifest.files = {{"ASIGT", "../ASIGT.DBF", 0, std::string(64, '0')}};
  Plant("20991231-235958", manifest, {});
  fs::create_directory(Copies() / "guardar-examenes");
  fs::copy_file(Copies() / kPlanted / run::kManifestName,
                Copies() / "guardar-examenes" / run::kManifestName);
  const FolderFiles before = FilesIn(school_.tables);

  const struct {
    const char* name;
    std::string error;
  } cases[] = {
      {kPlanted, "La copia '" + std::string(kPlanted) +
                     "' no se puede reponer: su manifiesto nombra el archivo 'notas.txt', que no "
                     "es de ninguna de sus tablas. No se ha cambiado nada.\n"},
      {"20991231-235958",
       "La copia '20991231-235958' no se puede reponer: su manifiesto nombra '../ASIGT.DBF', que "
       "no es un nombre de archivo. No se ha cambiado nada.\n"},
      {"guardar-examenes",
       "No existe la copia 'guardar-examenes' en '" + Copies().string() + "'\n"},
  };
  for (const auto& c : cases) {
    const Outcome restored = RunRestore({c.name, "--dir", school_.tables.string()});
    EXPECT_EQ(restored.status, 1) << c.name;
    EXPECT_EQ(restored.err, c.error);
    ExpectSameFiles(FilesIn(school_.tables), before);
  }
  // Neither is listed nor pruned.
  EXPECT_TRUE(run::ListCopies(school_.tables).empty());
  run::PruneCopies(school_.tables, "", 0);
  ExpectSameFiles(FilesIn(school_.tables), before);
}

// A table folder with two letter-case variants of one table file: every run
// that would take one of them refuses, naming both.
TEST_F(HostileCopies, TwoVariantsOfATableFileRefuseEveryRun) {
  fs::copy_file(school_.tables / "PROFT.DBF", school_.tables / "proft.dbf");
  const FolderFiles before = FilesIn(school_.tables);
  const std::string message = "'" + (school_.tables / "PROFT.DBF").string() + "' y '" +
                              (school_.tables / "proft.dbf").string() + "'";
  for (const char* command : {"to-horaplan", "to-gedu"}) {
    const Outcome run = RunCli(command, school_.exchange_file, school_.tables);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_THAT(run.err, HasSubstr(message)) << command;
    ExpectSameFiles(FilesIn(school_.tables), before);
  }
}

// A restore cut short as it switches files says which files it changed and
// names its own copy, which restores them; one refused before it changed
// anything leaves no copy of its own.
TEST_F(HostileCopies, FailedRestoreSaysWhatItChangedOrLeavesNoCopy) {
  {
    const QuickEnv quick;
    const std::string xml = ReadFile(school_.exchange_file);
    std::string changed = xml;
    changed.replace(changed.find("Lengua"), 6, "Idioma");
    WriteFile(school_.dir / "cambiado.xml", changed);
    ASSERT_EQ(RunInProcess("to-horaplan", school_.dir / "cambiado.xml", school_.tables).status, 0);
  }
  const std::string name = run::ListCopies(school_.tables).at(0).name;
  const FolderFiles before = FilesOutsideCopies(school_.tables);
  const fs::path stuck = school_.tables / "ASIGNOMT.DBF";
  std::string message;
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.FailRename(At(stuck));
    const ScopedEnv scoped(faults);
    message =
        testing::MessageOf([&] { run::RestoreCopy(school_.tables, name, std::time(nullptr)); });
  }
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 2u);
  const run::SavedCopy& copy_of_replaced = copies[0];
  EXPECT_THAT(message, StartsWith("No se puede reponer '" + stuck.string() +
                                  "': Error de entrada/salida. La restauración se ha quedado a "
                                  "medias: ya se habían cambiado "));
  EXPECT_THAT(message, HasSubstr("'ASIGT.DBF'"));
  EXPECT_THAT(message, HasSubstr(". Lo que había antes está en la copia '" +
                                 copy_of_replaced.folder.string() + "'; «pontexa-cli restore " +
                                 copy_of_replaced.name + "» lo repone."));
  {
    const QuickEnv quick;
    run::RestoreCopy(school_.tables, copy_of_replaced.name, std::time(nullptr));
  }
  ExpectSameFiles(FilesOutsideCopies(school_.tables), before);

  // Refused at its first step: nothing changed, and no copy of its own.
  const std::size_t copies_before = run::ListCopies(school_.tables).size();
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.FailCreate(testing::Named("~pontexa-" + std::to_string(getpid()) + "-ASIGT.DBF"));
    const ScopedEnv scoped(faults);
    EXPECT_NE(
        testing::MessageOf([&] { run::RestoreCopy(school_.tables, name, std::time(nullptr)); }),
        "(no error)");
  }
  EXPECT_EQ(run::ListCopies(school_.tables).size(), copies_before);
  ExpectSameFiles(FilesOutsideCopies(school_.tables), before);
}

// An exchange file with a line break in its name: its copy is listed on one
// line, and restoring it gives the file back.
TEST_F(HostileCopies, LineBreakInTheExchangeFileNameKeepsItsCopyVisible) {
  const fs::path odd = school_.dir / "horario\nnuevo.xml";
  fs::copy_file(school_.exchange_file, odd);
  const std::string before = ReadFile(odd);
  const Outcome run = RunCli("to-gedu", odd, school_.tables);
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_NE(ReadFile(odd), before);
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_EQ(copies.size(), 1u);

  const Outcome listed = RunProgram({CliPath(), "copies", "--dir", school_.tables.string()});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 1) << listed.out;
  EXPECT_THAT(listed.out, HasSubstr("horario\\nnuevo.xml\n"));

  const Outcome restored =
      RunRestore({copies[0].name, "--dir", school_.tables.string(), "--xml", odd.string()});
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(ReadFile(odd), before);
}

}  // namespace
}  // namespace pontexa::reliability
