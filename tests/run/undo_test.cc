#include "run/undo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/file_copy.h"
#include "run/folder_claim.h"
#include "run/messages.h"
#include "run/recovery_messages.h"
#include "run/run_control.h"
#include "run/run_report.h"
#include "run/undo_messages.h"
#include "support/fake_run_ui.h"
#include "support/soluc_layout.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;
using testing::FakeRunUi;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Calls = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

std::string School(const std::string& teacher) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<document>
  <subjects><subject id="S1" name="Lengua" hours="4"/></subjects>
  <teachers><teacher id="T1">)" +
         teacher + R"(</teacher></teachers>
  <locations><location id="L1">Aula 1</location></locations>
  <groups>
    <group id="G1" name="1 ESO A">
      <assigned-subjects>
        <assigned-subject id="S1">
          <assigned-teachers><assigned-teacher id="T1"/></assigned-teachers>
        </assigned-subject>
      </assigned-subjects>
    </group>
  </groups>
</document>
)";
}

class UndoTest : public ::testing::Test {
 protected:
  UndoTest() : control_(ui_, table_folder_, RegionalSettings{','}) {
    fs::create_directory(table_folder_);
    WriteFile(exchange_, School("Ana Gil"));
  }

  // Every table file of the folder with its bytes; the run's own files
  // (report, lock, copies) are no tables.
  Files Tables() const {
    Files files;
    for (const auto& entry : fs::directory_iterator(table_folder_)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && (name.ends_with(".DBF") || name.ends_with(".MDX") ||
                                      name.ends_with(".cpg") || name.ends_with(".CPG"))) {
        files[name] = ReadFile(entry.path());
      }
    }
    return files;
  }

  // A first run, then a second on another school: the state the second left
  // and the one before it.
  void TwoRuns() {
    ui_.WillChoose(exchange_.string());
    ASSERT_TRUE(control_.RunToHoraplan());
    first_ = Tables();
    WriteFile(exchange_, School("Berta Ruiz"));
    ASSERT_TRUE(control_.RunToHoraplan());
    second_ = Tables();
    ASSERT_NE(first_, second_);
    ui_.ClearCalls();
  }

  TempDir dir_;
  fs::path table_folder_ = dir_ / "HTEMP";
  fs::path exchange_ = dir_ / "instituto.xml";
  FakeRunUi ui_;
  RunControl control_;
  Files first_, second_;
};

// A run on a folder without tables made no copy: nothing to undo is offered.
TEST_F(UndoTest, FirstRunWithoutACopyOffersNoUndo) {
  ui_.WillChoose(exchange_.string());
  ASSERT_TRUE(control_.RunToHoraplan());
  EXPECT_EQ(ui_.undo_offers(), 0);
  EXPECT_FALSE(control_.CanUndoLastRun());
  ui_.ClearCalls();
  EXPECT_FALSE(control_.UndoLastRun());
  EXPECT_EQ(ui_.calls(), Calls{"message " + messages::NothingToUndo()});
}

// "Deshacer" in the closing box, confirmed once, restores the tables byte
// for byte and says so, naming the copy of what it replaced.
TEST_F(UndoTest, UndoFromTheClosingBoxPutsTheTablesBackByteForByte) {
  ui_.WillChoose(exchange_.string());
  ASSERT_TRUE(control_.RunToHoraplan());
  const Files before = Tables();
  WriteFile(exchange_, School("Berta Ruiz"));
  ui_.ClearCalls();
  ui_.WillUndo(true);
  ui_.WillConfirm(true);
  ASSERT_TRUE(control_.RunToHoraplan());

  EXPECT_EQ(Tables(), before);
  EXPECT_EQ(ui_.undo_offers(), 1);
  const Calls messages = ui_.CallsOf("message");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], kToHoraplanDone);
  const std::vector<SavedCopy> copies = ListCopies(table_folder_);
  ASSERT_FALSE(copies.empty());
  EXPECT_EQ(copies.front().manifest.made_by, kMadeByRestore);
  EXPECT_EQ(messages[1], messages::UndoDone(true, "", copies.front().name));
  EXPECT_EQ(ui_.CallsOf("confirm"), Calls{messages::UndoQuestion(true, "")});
  EXPECT_EQ(ui_.last_question().go_ahead, "Deshacer");
  // Undone once: nothing more to undo, and no box waited with the folder held.
  EXPECT_FALSE(control_.CanUndoLastRun());
  EXPECT_NO_THROW(FolderClaim::Take(table_folder_, HoldKind::kExclusive));
}

// Cancelled at the question, or closed with "Aceptar": nothing changes and
// the run can still be undone later (from the window's menu).
TEST_F(UndoTest, CancelledUndoChangesNothing) {
  TwoRuns();
  ASSERT_TRUE(control_.CanUndoLastRun());
  ui_.WillConfirm(false);
  EXPECT_FALSE(control_.UndoLastRun());
  EXPECT_EQ(Tables(), second_);
  EXPECT_TRUE(control_.CanUndoLastRun());
  EXPECT_EQ(ui_.CallsOf("message"), Calls{});
}

// Files changed since the run (Horaplan saved a table, a file went, one
// came): the user is told which and asked again; no means nothing changes,
// yes restores the run's copy all the same.
TEST_F(UndoTest, FilesChangedSinceTheRunAreNamedAndAskedAgain) {
  TwoRuns();
  WriteFile(table_folder_ / "ASIGT.DBF", "cambiado por Horaplan");
  fs::remove(table_folder_ / "AULAT.DBF");
  WriteFile(table_folder_ / "PROFT.MDX", "nuevo");
  const Files changed = Tables();
  const std::vector<std::string> expected = {
      messages::ChangedFile("PROFT.MDX", messages::FileChange::kAdded),
      messages::ChangedFile("AULAT.DBF", messages::FileChange::kRemoved),
      messages::ChangedFile("ASIGT.DBF", messages::FileChange::kModified)};

  ui_.WillConfirm(true);
  ui_.WillConfirm(false);
  EXPECT_FALSE(control_.UndoLastRun());
  EXPECT_EQ(Tables(), changed);
  EXPECT_EQ(ui_.CallsOf("confirm"),
            (Calls{messages::UndoQuestion(true, ""), messages::ChangedSinceQuestion(expected)}));
  EXPECT_TRUE(ui_.last_question().warning);

  ui_.ClearCalls();
  ui_.WillConfirm(true);
  ui_.WillConfirm(true);
  EXPECT_TRUE(control_.UndoLastRun());
  EXPECT_EQ(Tables(), first_);
  // What was there is in the undo's own copy.
  const std::vector<SavedCopy> copies = ListCopies(table_folder_);
  ASSERT_FALSE(copies.empty());
  EXPECT_EQ(copies.front().manifest.FilesOf(tables::kAsigt).front().size,
            std::string("cambiado por Horaplan").size());
}

// No question or message of an undo waits with the folder claimed: another
// run could take it at every box.
TEST_F(UndoTest, NoBoxOfTheUndoWaitsWithTheFolderClaimed) {
  TwoRuns();
  WriteFile(table_folder_ / "ASIGT.DBF", "cambiado por Horaplan");
  int boxes = 0;
  ui_.on_call = [&](const std::string& call) {
    if (call.starts_with("confirm") || call.starts_with("message")) {
      ++boxes;
      EXPECT_NO_THROW(FolderClaim::Take(table_folder_, HoldKind::kExclusive)) << call;
    }
  };
  ui_.WillConfirm(true);
  ui_.WillConfirm(true);
  EXPECT_TRUE(control_.UndoLastRun());
  EXPECT_EQ(boxes, 3);
}

TEST(ChangedSince, NamesEachFileThatDiffersFromHowTheRunLeftIt) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> change;
    std::vector<std::string> said;
  };
  using messages::ChangedFile;
  using messages::FileChange;
  const std::vector<Case> cases = {
      {"untouched", [](const fs::path&) {}, {}},
      {"same bytes written again",
       [](const fs::path& dir) { WriteFile(dir / "PROFT.DBF", "profesores"); },
       {}},
      {"same size, other bytes",
       [](const fs::path& dir) { WriteFile(dir / "PROFT.DBF", "profesorES"); },
       {ChangedFile("PROFT.DBF", FileChange::kModified)}},
      {"removed",
       [](const fs::path& dir) { fs::remove(dir / "PROFT.DBF"); },
       {ChangedFile("PROFT.DBF", FileChange::kRemoved)}},
      {"index added in another letter case",
       [](const fs::path& dir) { WriteFile(dir / "proft.mdx", "x"); },
       {ChangedFile("proft.mdx", FileChange::kAdded)}},
      {"a table the run did not touch",
       [](const fs::path& dir) { WriteFile(dir / "SOLUC.DBF", "x"); },
       {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir / "PROFT.DBF", "profesores");
    CopyRequest request;
    request.made_by = kMadeByToHoraplan;
    request.table_folder = dir.path();
    request.now = 1;
    const SavedCopy copy = CopyTables(request, {tables::kProft}, /*even_if_empty=*/false);
    const RunLeft left = NoteWhatRunLeft(dir.path(), copy, "");
    c.change(dir.path());
    EXPECT_EQ(ChangedSince(dir.path(), left), c.said) << c.what;
  }
}

// The exchange file's digest taken as its save read it back stands for the
// file: the bytes it names are the run's, whatever is on disk when noted.
TEST(NoteWhatRunLeftTest, SavedDigestStandsForTheExchangeFile) {
  struct Case {
    const char* what;
    std::string noted;       // the bytes the given digest is of
    std::string on_disk;     // the file when noted
    std::string afterwards;  // the file when asked
    Calls said;
  };
  const std::string change =
      messages::ChangedFile("instituto.xml", messages::FileChange::kModified);
  const Case cases[] = {
      {"the saved bytes, untouched", "nuevo", "nuevo", "nuevo", {}},
      {"the saved bytes, changed since", "nuevo", "nuevo", "otro", {change}},
      {"changed before it was noted", "nuevo", "otro", "otro", {change}},
      {"restored as saved", "nuevo", "otro", "nuevo", {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path exchange = dir / "instituto.xml";
    WriteFile(exchange, "antes");
    CopyRequest request;
    request.made_by = kMadeByToGedu;
    request.table_folder = dir.path();
    request.exchange_file = exchange.string();
    request.now = 1;
    const SavedCopy copy = CopyExchangeFile(request);
    WriteFile(dir / "digerido", c.noted);
    const FileDigest saved = DigestOfFile(dir / "digerido");
    WriteFile(exchange, c.on_disk);
    const RunLeft left = NoteWhatRunLeft(dir.path(), copy, exchange.string(), &saved);
    WriteFile(exchange, c.afterwards);
    EXPECT_EQ(ChangedSince(dir.path(), left), c.said) << c.what;
  }
}

// Undoing Horaplan to GEDU restores the exchange file the run saved as it
// was, and a change to that file since is asked about.
TEST_F(UndoTest, UndoOfTheSaveRestoresTheExchangeFile) {
  ui_.WillChoose(exchange_.string());
  ASSERT_TRUE(control_.RunToHoraplan());
  tables::TableStore store(table_folder_, RegionalSettings{','});
  store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout(tables::FieldType::kText, 2));
  const std::string before = ReadFile(exchange_);
  ASSERT_TRUE(control_.RunToGedu());
  ASSERT_NE(ReadFile(exchange_), before);
  ASSERT_EQ(ui_.undo_offers(), 1);

  WriteFile(exchange_, ReadFile(exchange_) + "\n");
  ui_.ClearCalls();
  ui_.WillConfirm(true);
  ui_.WillConfirm(true);
  EXPECT_TRUE(control_.UndoLastRun());
  EXPECT_EQ(ReadFile(exchange_), before);
  EXPECT_EQ(ui_.CallsOf("confirm"),
            (Calls{messages::UndoQuestion(false, exchange_.string()),
                   messages::ChangedSinceQuestion({messages::ChangedFile(
                       "instituto.xml", messages::FileChange::kModified)})}));
  const std::vector<SavedCopy> copies = ListCopies(table_folder_);
  ASSERT_FALSE(copies.empty());
  EXPECT_EQ(ui_.CallsOf("message"),
            Calls{messages::UndoDone(false, exchange_.string(), copies.front().name)});
}

// While another run holds the folder the undo is refused, naming it, and
// nothing changes; the run can be undone once the folder is free.
TEST_F(UndoTest, UndoIsRefusedWhileAnotherRunHoldsTheFolder) {
  TwoRuns();
  {
    const FolderClaim other = FolderClaim::Take(table_folder_, HoldKind::kExclusive);
    ui_.WillConfirm(true);
    EXPECT_FALSE(control_.UndoLastRun());
    EXPECT_EQ(ui_.CallsOf("error"), Calls{ErrorBoxText(messages::FolderInUse(
                                        std::to_string(Env::Current().ThisProcess()),
                                        Env::Current().HostName(), table_folder_.string()))});
    EXPECT_EQ(Tables(), second_);
  }
  ui_.WillConfirm(true);
  EXPECT_TRUE(control_.UndoLastRun());
  EXPECT_EQ(Tables(), first_);
}

// The list shows every copy newest first; "Reponer" on an older one restores
// its tables after one question.
TEST_F(UndoTest, ListedOlderCopyIsRestored) {
  TwoRuns();
  WriteFile(exchange_, School("Carla Sanz"));
  ui_.WillChoose(exchange_.string());
  ASSERT_TRUE(control_.RunToHoraplan());
  std::vector<CopyRow> rows;
  ASSERT_TRUE(control_.ListSavedCopies(&rows));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].made_by, messages::CopyBeforeToHoraplan());
  EXPECT_EQ(rows[0].contents, "ASIGNOMT, PROFT, AULAT, GRUPOST, ASIGT, DIASHORAST");
  EXPECT_TRUE(rows[0].tables);

  // The older copy holds the tables of the first run.
  ui_.ClearCalls();
  ui_.WillConfirm(true);
  EXPECT_TRUE(control_.RestoreSavedCopy(rows[1].name));
  EXPECT_EQ(Tables(), first_);
  EXPECT_EQ(ui_.CallsOf("confirm"),
            Calls{messages::RestoreQuestion(true, rows[1].time, rows[1].made_by)});
  const std::vector<SavedCopy> copies = ListCopies(table_folder_);
  EXPECT_EQ(ui_.CallsOf("message"),
            Calls{messages::RestoreDone(true, rows[1].name, copies.front().name, "")});
}

// A copy of the exchange file goes onto the file the user chooses, offered
// the recorded path; a cancelled choice changes nothing.
TEST_F(UndoTest, ExchangeFileCopyGoesOntoTheChosenFile) {
  ui_.WillChoose(exchange_.string());
  ASSERT_TRUE(control_.RunToHoraplan());
  tables::TableStore store(table_folder_, RegionalSettings{','});
  store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout(tables::FieldType::kText, 2));
  const std::string before = ReadFile(exchange_);
  ASSERT_TRUE(control_.RunToGedu());
  const std::string saved = ReadFile(exchange_);
  std::vector<CopyRow> rows;
  ASSERT_TRUE(control_.ListSavedCopies(&rows));
  ASSERT_FALSE(rows.empty());
  ASSERT_FALSE(rows[0].tables);
  EXPECT_EQ(rows[0].made_by, messages::CopyBeforeToGedu());

  ui_.ClearCalls();
  ui_.WillConfirm(true);
  EXPECT_FALSE(control_.RestoreSavedCopy(rows[0].name));  // the dialog is cancelled
  EXPECT_EQ(ReadFile(exchange_), saved);
  EXPECT_EQ(ui_.CallsOf("choose"), Calls{rows[0].exchange_file});

  const fs::path other = dir_ / "otro.xml";
  WriteFile(other, saved);
  ui_.WillConfirm(true);
  ui_.WillChoose(other.string());
  EXPECT_TRUE(control_.RestoreSavedCopy(rows[0].name));
  EXPECT_EQ(ReadFile(other), before);
  EXPECT_EQ(ReadFile(exchange_), saved);
}

TEST_F(UndoTest, UnknownCopyIsAnError) {
  ui_.WillConfirm(true);
  EXPECT_FALSE(control_.RestoreSavedCopy("20990101-000000"));
  EXPECT_EQ(ui_.CallsOf("confirm"), Calls{});
  ASSERT_EQ(ui_.CallsOf("error").size(), 1u);
}

}  // namespace
}  // namespace pontexa::run
