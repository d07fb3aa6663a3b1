#include "run/saved_copies.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/env.h"
#include "run/put_back.h"
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
      {"other format", replaced("formato: 1", "formato: 2")},
      {"unknown maker", replaced("origen: to-gedu", "origen: otro")},
      {"path as a name", replaced(" instituto.xml\n", " ../instituto.xml\n")},
      {"short digest", replaced(std::string(64, 'c'), "ccc")},
      {"size not a number", replaced(" 10 ", " diez ")},
      {"no exchange file", replaced("archivo-xml: /x/instituto.xml\n", "")},
      {"empty", ""},
  };
  for (const auto& [label, text] : cases) EXPECT_FALSE(ParseManifest(text)) << label;
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

  PruneCopies(dir_.path());

  const std::vector<SavedCopy> kept = ListCopies(dir_.path());
  ASSERT_EQ(kept.size(), kCopiesKept);
  EXPECT_EQ(kept.front().name, made.back());
  EXPECT_EQ(kept.back().name, made[5]);
  EXPECT_FALSE(fs::exists(copies / made[4]));
  EXPECT_TRUE(fs::exists(copies / "19990101-000000" / "AULAT.DBF"));
  EXPECT_TRUE(fs::exists(copies / "19990101-000001" / kManifestName));
}

// Putting back removes what the run created (a table where none was, a .cpg
// beside a table) and brings back the files it had replaced or deleted.
TEST_F(SavedCopiesTest, PutBackGivesTheFolderAsItWasCopied) {
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

  PutBackTables(copy, dir_.path(), /*only_changed=*/true);
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

  const std::string message = MessageOf([&] { PutBackTables(copy, dir_.path(), false); });
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

// When the tables cannot be put back after a failed run, the sentence after
// the run's error says why and how to put them back by hand, or that there
// was nothing to copy.
TEST_F(SavedCopiesTest, TablesThatCannotBePutBackAreExplained) {
  WriteFile(dir_ / "ASIGNOMT.DBF", "viejo");
  {
    const TablesBeforeRun before(Request(kNoon), {"ASIGNOMT"});
    WriteFile(dir_ / "ASIGNOMT.DBF", "nuevo");
    const std::vector<SavedCopy> copies = ListCopies(dir_.path());
    ASSERT_EQ(copies.size(), 1u);
    NoRenameEnv full_disk;
    const ScopedEnv scope(full_disk);
    EXPECT_EQ(before.PutBack(),
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
    EXPECT_EQ(before.PutBack(),
              "No se han podido dejar las tablas de Horaplan como estaban: no se puede borrar '" +
                  (dir_ / "PROFT.DBF").string() +
                  "'. Antes de la conversión no había ninguna de estas tablas en la carpeta.");
  }
}

}  // namespace
}  // namespace pontexa::run
