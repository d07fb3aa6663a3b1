#include "run/saved_copies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/env.h"
#include "run/restore_files.h"
#include "run/tables_before_run.h"
#include "support/error_message.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;
using testing::MessageOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr std::time_t kNoon = 1781006400;  // a fixed moment; names follow the local time

// The system's Env, but every rename or removal of a file is refused as on a
// full or read-only disk.
class NoRenameEnv : public EnvWrapper {
 public:
  NoRenameEnv() : EnvWrapper(Env::System()) {}
  Status Rename(const fs::path&, const fs::path&) override {
    return Status::Of(Status::Code::kNoSpace);
  }
};
class NoRemoveEnv : public EnvWrapper {
 public:
  NoRemoveEnv() : EnvWrapper(Env::System()) {}
  Status Remove(const fs::path&) override { return Status::Of(Status::Code::kReadOnly); }
};

class SavedCopiesTest : public ::testing::Test {
 protected:
  CopyRequest Request(std::time_t now) const {
    CopyRequest request;
    request.made_by = kMadeByToHoraplan;
    request.table_folder = dir_.path();
    request.exchange_file = (dir_ / "instituto.xml").string();
    request.now = now;
    return request;
  }

  std::set<std::string> FilesInFolder() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      if (entry.is_regular_file())
        names.insert(entry.path().filename().string() + "=" + ReadFile(entry.path()));
    }
    return names;
  }

  TempDir dir_;
};

TEST(CopyManifest, ReadsBackWhatItWrites) {
  CopyManifest manifest;
  manifest.made_by = kMadeByRestore;
  manifest.restored = "20260101-101010";
  manifest.time = "2026-01-01 10:10:12";
  manifest.exchange_file = "/home/secretaría/mi horario.xml";
  manifest.table_folder = "/home/h/HTEMP";
  manifest.tables = {"ASIGNOMT", "PROFT"};
  manifest.files = {{"ASIGNOMT", "asignomt.dbf", 12, std::string(64, 'a')},
                    {"ASIGNOMT", "ASIGNOMT.cpg", 4, std::string(64, 'b')}};
  const std::optional<CopyManifest> read = ParseManifest(ManifestText(manifest));
  ASSERT_TRUE(read);
  EXPECT_EQ(ManifestText(*read), ManifestText(manifest));
  EXPECT_EQ(read->FilesOf("ASIGNOMT").size(), 2u);
  EXPECT_TRUE(read->FilesOf("PROFT").empty());  // a table that did not exist
}

// A manifest cut short, edited or of another program is no copy at all.
TEST(CopyManifest, RefusesAnythingButAWholeValidManifest) {
  CopyManifest manifest;
  manifest.made_by = kMadeByToGedu;
  manifest.time = "2026-01-01 10:10:12";
  manifest.exchange_file = "/x/instituto.xml";
  manifest.holds_tables = false;
  manifest.files = {{"", "instituto.xml", 10, std::string(64, 'c')}};
  const std::string good = ManifestText(manifest);
  ASSERT_TRUE(ParseManifest(good));
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"cut short", good.substr(0, good.size() - 4)},
      {"no last line", replaced("fin\n", "")},
      {"other format", replaced("formato: 2", "formato: 3")},
      {"unknown maker", replaced("origen: to-gedu", "origen: otro")},
      {"unknown escape", replaced("/x/instituto.xml", "/x/\\q.xml")},
      {"escape cut short", replaced("/x/instituto.xml", "/x/\\x4")},
      {"no sequence", replaced("secuencia: 0\n", "")},
      {"short digest", replaced(std::string(64, 'c'), "ccc")},
      {"size not a number", replaced(" 10 ", " diez ")},
      {"no exchange file", replaced("archivo-xml: /x/instituto.xml\n", "")},
      {"no time", replaced("hora: ", "otra: ")},
      {"no content", replaced("contenido: archivo-xml\n", "")},
      {"sequence twice", replaced("secuencia: 0\n", "secuencia: 0\nsecuencia: 0\n")},
      {"line without colon", replaced("hora: ", "hora ")},
      {"exchange file of a table", replaced("archivo: - ", "archivo: PROFT ")},
      {"empty", ""},
  };
  for (const auto& [label, text] : cases) EXPECT_FALSE(ParseManifest(text)) << label;
}

// No byte of a value can end a manifest's line or add one: a forged
// "fin" or "archivo:" line in a path stays part of the path.
TEST(CopyManifest, ValuesCannotBreakItsLines) {
  CopyManifest manifest;
  manifest.sequence = 7;
  manifest.made_by = kMadeByToGedu;
  manifest.time = "2026-01-01 10:10:12";
  manifest.exchange_file = "/x/a\nfin\narchivo: - 1 " + std::string(64, 'd') + " b\\\x1b\x7f.xml";
  manifest.table_folder = "/x/\r\ttablas";
  manifest.holds_tables = false;
  manifest.files = {{"", "horario.xml", 10, std::string(64, 'c')}};
  const std::string text = ManifestText(manifest);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
  EXPECT_NE(text.find("archivo-xml: /x/a\\x0Afin\\x0Aarchivo"), std::string::npos) << text;
  const std::optional<CopyManifest> read = ParseManifest(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->exchange_file, manifest.exchange_file);
  EXPECT_EQ(read->table_folder, manifest.table_folder);
  EXPECT_EQ(read->sequence, 7u);
  ASSERT_EQ(read->files.size(), 1u);
  EXPECT_EQ(read->files[0].name, "horario.xml");
}

// Copies made before values were escaped and copies counted still read, as
// the oldest copies, with their backslashes as they were written.
TEST(CopyManifest, ReadsTheFirstFormat) {
  const std::string text =
      "Pontexa: copia hecha antes de escribir\nformato: 1\norigen: to-horaplan\n"
      "hora: 2099-12-31 23:59:59\narchivo-xml: C:\\x41\\horario.xml\n"
      "carpeta-tablas: /h\ncontenido: tablas\ntabla: ASIGT\narchivo: ASIGT 3 " +
      std::string(64, 'e') + " asigt.dbf\nfin\n";
  const std::optional<CopyManifest> read = ParseManifest(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->sequence, 0u);
  EXPECT_EQ(read->exchange_file, "C:\\x41\\horario.xml");
  EXPECT_EQ(read->files.at(0).name, "asigt.dbf");
  EXPECT_FALSE(ManifestFault(*read));
}

// A manifest may name only the files of the tables it lists, by plain
// names, or its one copy of the exchange file.
TEST(CopyManifest, FaultNamesWhatItMayNotName) {
  const std::string digest(64, 'a');
  const auto tables_copy = [&](std::vector<std::string> tables, std::vector<CopiedFile> files) {
    CopyManifest manifest;
    manifest.tables = std::move(tables);
    manifest.files = std::move(files);
    return manifest;
  };
  CopyManifest exchange_copy;
  exchange_copy.holds_tables = false;
  exchange_copy.files = {{"", "../../.bashrc", 1, digest}};
  const struct {
    const char* label;
    CopyManifest manifest;
    std::optional<std::string> fault;
  } cases[] = {
      {"every file of its table",
       tables_copy({"ASIGT"}, {{"ASIGT", "asigt.dbf", 1, digest},
                               {"ASIGT", "ASIGT.MDX", 1, digest},
                               {"ASIGT", "ASIGT.cpg", 1, digest}}),
       std::nullopt},
      {"a file of the user's", tables_copy({"ASIGT"}, {{"ASIGT", "notas.txt", 1, digest}}),
       "su manifiesto nombra el archivo 'notas.txt', que no es de ninguna de sus tablas"},
      {"another table's file", tables_copy({"ASIGT", "PROFT"}, {{"ASIGT", "PROFT.DBF", 1, digest}}),
       "su manifiesto nombra el archivo 'PROFT.DBF', que no es de ninguna de sus tablas"},
      {"a path", tables_copy({"ASIGT"}, {{"ASIGT", "../ASIGT.DBF", 1, digest}}),
       "su manifiesto nombra '../ASIGT.DBF', que no es un nombre de archivo"},
      {"a control character", tables_copy({"ASIGT"}, {{"ASIGT", "ASIGT.DBF\n", 1, digest}}),
       "su manifiesto nombra 'ASIGT.DBF\\n', que no es un nombre de archivo"},
      {"the manifest itself", tables_copy({"ASIGT"}, {{"ASIGT", kManifestName, 1, digest}}),
       "su manifiesto nombra 'manifiesto.txt', que no es un nombre de archivo"},
      {"a table that is a path", tables_copy({"../ASIGT"}, {}),
       "su manifiesto nombra la tabla '../ASIGT', que no es un nombre de tabla"},
      {"the exchange file in a tables copy", tables_copy({"ASIGT"}, {{"", "a.xml", 1, digest}}),
       "su manifiesto nombra el archivo 'a.xml', que no es de ninguna de sus tablas"},
      {"an exchange copy by a path", exchange_copy,
       "su manifiesto nombra '../../.bashrc', que no es un nombre de archivo"},
  };
  for (const auto& c : cases) EXPECT_EQ(ManifestFault(c.manifest), c.fault) << c.label;
}

TEST(SavedCopies, OnlyTimeNamedFoldersAreCopies) {
  const struct {
    const char* name;
    bool copy;
  } cases[] = {{"20260609-101500", true},
               {"20260609-101500-2", true},
               {"20260609-101500-999", true},
               {"20260609-101500-1", false},
               {"20260609-101500-02", false},
               {"20260609-101500-", false},
               {"20260609-1015", false},
               {"guardar-examenes", false},
               {"2026060a-101500", false},
               {"20260609_101500", false},
               {"..", false},
               {"20260609-101500/..", false}};
  for (const auto& c : cases) EXPECT_EQ(IsCopyName(c.name), c.copy) << c.name;
}

TEST_F(SavedCopiesTest, CopiesEveryFileOfATableWhateverItsLetterCase) {
  WriteFile(dir_ / "ASIGNOMT.DBF", "tabla");
  WriteFile(dir_ / "asignomt.mdx", "indice");
  WriteFile(dir_ / "ASIGNOMT.cpg", "1252");
  WriteFile(dir_ / "SOLUC.DBF", "no es de esta conversión");
  const SavedCopy copy = CopyTables(Request(kNoon), {"ASIGNOMT", "PROFT"}, false);
  ASSERT_TRUE(copy.written());
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(copy.folder)) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names,
            (std::set<std::string>{"ASIGNOMT.DBF", "asignomt.mdx", "ASIGNOMT.cpg", kManifestName}));
  const std::optional<SavedCopy> found = FindCopy(dir_.path(), copy.name);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->manifest.FilesOf("ASIGNOMT").size(), 3u);
  EXPECT_EQ(found->manifest.files[0].sha256,
            "4a106a9d5ab0bb93b5b43a631db37df385a14c174875bea35bf244e5f35eedc8");  // "tabla"
}

TEST_F(SavedCopiesTest, NothingIsWrittenWhenNoTableExists) {
  const SavedCopy copy = CopyTables(Request(kNoon), {"ASIGNOMT"}, false);
  EXPECT_FALSE(copy.written());
  EXPECT_FALSE(fs::exists(CopiesFolder(dir_.path())));
}

TEST_F(SavedCopiesTest, CopiesOfOneSecondGetRunningNumbersAndListNewestFirst) {
  WriteFile(dir_ / "PROFT.DBF", "p");
  const SavedCopy first = CopyTables(Request(kNoon), {"PROFT"}, false);
  const SavedCopy second = CopyTables(Request(kNoon), {"PROFT"}, false);
  std::vector<std::string> names = {first.name};
  for (int i = 0; i < 8; ++i) names.push_back(CopyTables(Request(kNoon), {"PROFT"}, false).name);
  EXPECT_EQ(second.name, first.name + "-2");
  EXPECT_EQ(names.back(), first.name + "-10");
  const SavedCopy later = CopyTables(Request(kNoon + 1), {"PROFT"}, false);

  const std::vector<SavedCopy> listed = ListCopies(dir_.path());
  ASSERT_EQ(listed.size(), 11u);
  EXPECT_EQ(listed[0].name, later.name);
  EXPECT_EQ(listed[1].name, first.name + "-10");
  EXPECT_EQ(listed[2].name, first.name + "-9");
  EXPECT_EQ(listed.back().name, first.name);
}

TEST_F(SavedCopiesTest, PruningKeepsTheTwentyNewestAndNeverTouchesOtherFolders) {
  WriteFile(dir_ / "AULAT.DBF", "a");
  std::vector<std::string> made;
  for (int i = 0; i < 25; ++i)
    made.push_back(CopyTables(Request(kNoon + 60 * i), {"AULAT"}, false).name);
  const fs::path copies = CopiesFolder(dir_.path());
  fs::create_directory(copies / "19990101-000000");  // a copy cut short: no manifest
  WriteFile(copies / "19990101-000000" / "AULAT.DBF", "a");
  fs::create_directory(copies / "19990101-000001");  // a damaged manifest
  WriteFile(copies / "19990101-000001" / kManifestName, "Pontexa: copia\nfin\n");

  PruneCopies(dir_.path(), "");

  const std::vector<SavedCopy> kept = ListCopies(dir_.path());
  ASSERT_EQ(kept.size(), kCopiesKept);
  EXPECT_EQ(kept.front().name, made.back());
  EXPECT_EQ(kept.back().name, made[5]);
  EXPECT_FALSE(fs::exists(copies / made[4]));
  EXPECT_TRUE(fs::exists(copies / "19990101-000000" / "AULAT.DBF"));
  EXPECT_TRUE(fs::exists(copies / "19990101-000001" / kManifestName));
}

// Restoring removes what the run created (a table where none was, a .cpg
// beside a table) and brings back the files it had replaced or deleted.
// Pruning follows the order the copies were made in: a clock set back, or a
// copy that claims a time to come, never costs the copy just made.
TEST_F(SavedCopiesTest, PruningFollowsTheOrderCopiesWereMadeAndSparesTheNewest) {
  WriteFile(dir_ / "AULAT.DBF", "a");
  const fs::path copies = CopiesFolder(dir_.path());
  // A copy from before copies were counted, claiming a time to come.
  const SavedCopy planted = CopyTables(Request(kNoon), {"AULAT"}, false);
  std::string text = ReadFile(planted.folder / kManifestName);
  text.replace(text.find("formato: 2\nsecuencia: 1\n"), 24, "formato: 1\n");
  text.replace(text.find("hora: "), 25, "hora: 2099-12-31 23:59:59");
  WriteFile(planted.folder / kManifestName, text);
  std::vector<std::string> made;
  for (int i = 0; i < 4; ++i) {
    made.push_back(
        CopyTables(Request(kNoon - 3600 * i), {"AULAT"}, false).name);  // clock goes back
  }
  const std::vector<SavedCopy> listed = ListCopies(dir_.path());
  ASSERT_EQ(listed.size(), 5u);
  EXPECT_EQ(listed.front().name, made.back());
  EXPECT_EQ(listed.back().name, planted.name);

  PruneCopies(dir_.path(), made.back(), 2);
  std::vector<std::string> kept;
  for (const SavedCopy& copy : ListCopies(dir_.path())) kept.push_back(copy.name);
  EXPECT_EQ(kept, (std::vector<std::string>{made[3], made[2]}));

  // The copy a run made stays even when it sorts past those kept.
  PruneCopies(dir_.path(), made[2], 1);
  EXPECT_TRUE(fs::exists(copies / made[2] / kManifestName));
  EXPECT_FALSE(fs::exists(copies / made[3]));
}

// Pruning removes the files a manifest lists and nothing else: a folder that
// is not named as a copy is never touched, and a user's file in a copy
// folder keeps the folder.
TEST_F(SavedCopiesTest, PruningRemovesOnlyWhatItMade) {
  WriteFile(dir_ / "AULAT.DBF", "a");
  const fs::path copies = CopiesFolder(dir_.path());
  const SavedCopy first = CopyTables(Request(kNoon), {"AULAT"}, false);
  WriteFile(first.folder / "notas.txt", "mías");
  fs::create_directory(copies / "guardar-examenes");
  fs::copy_file(first.folder / kManifestName, copies / "guardar-examenes" / kManifestName);
  WriteFile(copies / "guardar-examenes" / "notas.txt", "mías");
  const SavedCopy second = CopyTables(Request(kNoon + 1), {"AULAT"}, false);
  const SavedCopy third = CopyTables(Request(kNoon + 2), {"AULAT"}, false);
  EXPECT_EQ(ListCopies(dir_.path()).size(), 3u);

  PruneCopies(dir_.path(), third.name, 1);
  EXPECT_EQ(ReadFile(copies / "guardar-examenes" / "notas.txt"), "mías");
  EXPECT_TRUE(fs::exists(copies / "guardar-examenes" / kManifestName));
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(first.folder)) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::set<std::string>{"notas.txt"});
  EXPECT_FALSE(fs::exists(second.folder));
  EXPECT_FALSE(FindCopy(dir_.path(), "guardar-examenes"));
}

TEST_F(SavedCopiesTest, TwoLetterCaseVariantsOfATableFileRefuseTheCopy) {
  WriteFile(dir_ / "ASIGT.DBF", "a");
  WriteFile(dir_ / "asigt.dbf", "b");
  EXPECT_EQ(MessageOf([&] {
              CopyTables(Request(kNoon), {"PROFT", "ASIGT"}, false);
            }),
            "La carpeta de tablas tiene dos archivos de la misma tabla que solo se distinguen por "
            "las mayúsculas: '" +
                (dir_ / "ASIGT.DBF").string() + "' y '" + (dir_ / "asigt.dbf").string() +
                "'. Deje solo uno de los dos; no se ha cambiado nada.");
  EXPECT_FALSE(fs::exists(CopiesFolder(dir_.path())));
}

// An exchange file with a line break in its name is copied under a plain
// name, and its copy is listed like any other.
TEST_F(SavedCopiesTest, ExchangeFileWithALineBreakInItsNameIsCopiedAndListed) {
  const fs::path odd = dir_ / "horario\nnuevo.xml";
  WriteFile(odd, "<document/>");
  CopyRequest request = Request(kNoon);
  request.made_by = kMadeByToGedu;
  request.exchange_file = odd.string();
  const SavedCopy copy = CopyExchangeFile(request);
  const std::vector<SavedCopy> listed = ListCopies(dir_.path());
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].manifest.exchange_file, odd.string());
  EXPECT_EQ(listed[0].manifest.files.at(0).name, "horario_nuevo.xml");
  EXPECT_EQ(ReadFile(copy.folder / "horario_nuevo.xml"), "<document/>");
}

TEST_F(SavedCopiesTest, RestoreTablesGivesTheFolderAsItWasCopied) {
  WriteFile(dir_ / "ASIGNOMT.DBF", "viejo");
  WriteFile(dir_ / "asignomt.mdx", "indice");
  WriteFile(dir_ / "SOLUC.DBF", "horario");
  const std::set<std::string> before = FilesInFolder();
  const SavedCopy copy = CopyTables(Request(kNoon), {"ASIGNOMT", "PROFT"}, false);

  fs::remove(dir_ / "asignomt.mdx");
  WriteFile(dir_ / "ASIGNOMT.DBF", "nuevo y más largo");
  WriteFile(dir_ / "ASIGNOMT.cpg", "1252");
  WriteFile(dir_ / "PROFT.DBF", "creada");
  EXPECT_FALSE(TableAsInCopy(copy, dir_.path(), "ASIGNOMT"));
  EXPECT_FALSE(TableAsInCopy(copy, dir_.path(), "PROFT"));

  RestoreTables(copy, dir_.path(), /*only_changed=*/true);
  EXPECT_EQ(FilesInFolder(), before);
  EXPECT_TRUE(TableAsInCopy(copy, dir_.path(), "ASIGNOMT"));
  EXPECT_TRUE(TableAsInCopy(copy, dir_.path(), "PROFT"));
}

TEST_F(SavedCopiesTest, DamagedCopyIsRefusedAndNothingChanges) {
  WriteFile(dir_ / "ASIGNOMT.DBF", "viejo");
  WriteFile(dir_ / "PROFT.DBF", "viejo");
  const SavedCopy copy = CopyTables(Request(kNoon), {"ASIGNOMT", "PROFT"}, false);
  WriteFile(copy.folder / "PROFT.DBF", "otro");
  WriteFile(dir_ / "ASIGNOMT.DBF", "nuevo");
  WriteFile(dir_ / "PROFT.DBF", "nuevo");
  const std::set<std::string> before = FilesInFolder();

  const std::string message = MessageOf([&] { RestoreTables(copy, dir_.path(), false); });
  EXPECT_EQ(message, "La copia '" + copy.folder.string() +
                         "' está dañada: el archivo 'PROFT.DBF' no es el que se copió");
  EXPECT_EQ(FilesInFolder(), before);
}

TEST_F(SavedCopiesTest, CopyThatCannotBeMadeLeavesNoFolderBehind) {
  // The copies folder is taken by a file: no copy can be made there.
  WriteFile(dir_ / "ASIGNOMT.DBF", "t");
  WriteFile(CopiesFolder(dir_.path()), "");
  const std::string message = MessageOf([&] { CopyTables(Request(kNoon), {"ASIGNOMT"}, false); });
  EXPECT_TRUE(message.starts_with("no se puede crear la carpeta '" +
                                  (CopiesFolder(dir_.path()) / "").string()))
      << message;
}

// The copies folder goes with its last copy, never while another copy is in it.
TEST_F(SavedCopiesTest, RemovingACopyRemovesTheCopiesFolderOnlyWhenEmpty) {
  WriteFile(dir_ / "PROFT.DBF", "p");
  const SavedCopy first = CopyTables(Request(kNoon), {"PROFT"}, false);
  const SavedCopy second = CopyTables(Request(kNoon + 1), {"PROFT"}, false);
  RemoveCopy(first);
  EXPECT_FALSE(fs::exists(first.folder));
  ASSERT_TRUE(fs::exists(second.folder / kManifestName));
  RemoveCopy(second);
  EXPECT_FALSE(fs::exists(CopiesFolder(dir_.path())));
  EXPECT_TRUE(fs::exists(dir_ / "PROFT.DBF"));
}

// When the tables cannot be restored after a failed run, the sentence after
// the run's error says why and how to restore them by hand, or that there
// was nothing to copy.
TEST_F(SavedCopiesTest, TablesThatCannotBeRestoredAreExplained) {
  WriteFile(dir_ / "ASIGNOMT.DBF", "viejo");
  {
    const TablesBeforeRun before(Request(kNoon), {"ASIGNOMT"});
    WriteFile(dir_ / "ASIGNOMT.DBF", "nuevo");
    const std::vector<SavedCopy> copies = ListCopies(dir_.path());
    ASSERT_EQ(copies.size(), 1u);
    NoRenameEnv full_disk;
    const ScopedEnv scope(full_disk);
    EXPECT_EQ(before.Restore(),
              "No se han podido dejar las tablas de Horaplan como estaban: no se puede reponer '" +
                  (dir_ / "ASIGNOMT.DBF").string() +
                  "': No queda espacio en el disco. La copia de las tablas anteriores está en '" +
                  copies[0].folder.string() + "'; «pontexa-cli restore " + copies[0].name +
                  "» las repone.");
    EXPECT_EQ(ReadFile(dir_ / "ASIGNOMT.DBF"), "nuevo");
  }
  {
    const TablesBeforeRun before(Request(kNoon), {"PROFT"});  // no PROFT yet: no copy
    WriteFile(dir_ / "PROFT.DBF", "creada");
    NoRemoveEnv read_only;
    const ScopedEnv scope(read_only);
    EXPECT_EQ(before.Restore(),
              "No se han podido dejar las tablas de Horaplan como estaban: no se puede borrar '" +
                  (dir_ / "PROFT.DBF").string() +
                  "'. Antes de la conversión no había ninguna de estas tablas en la carpeta.");
  }
}

}  // namespace
}  // namespace pontexa::run
