#include "run/saved_timetable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "run/dry_run.h"
#include "run/restore.h"
#include "run/run_control.h"
#include "run/saved_copies.h"
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

// A school of two teachers and two rooms; `ahead` goes before them both.
std::string School(const std::string& teachers_ahead = "", const std::string& rooms_ahead = "") {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<document>
  <subjects><subject id="S1" name="Lengua" hours="4"/></subjects>
  <teachers>)" +
         teachers_ahead +
         R"(<teacher id="T7">Juana Pardo</teacher><teacher id="T2">Ana Gil</teacher>
  </teachers>
  <locations>)" +
         rooms_ahead +
         R"(<location id="L1">Aula Uno</location><location id="L2">Biblioteca</location>
  </locations>
  <groups>
    <group id="G1" name="1 ESO A">
      <assigned-subjects>
        <assigned-subject id="S1">
          <assigned-teachers><assigned-teacher id="T7"/></assigned-teachers>
        </assigned-subject>
      </assigned-subjects>
    </group>
  </groups>
</document>
)";
}

// Juan Pardo comes before Juana Pardo and takes her code JP; a room "Aula
// Usos Múltiples" takes AU from "Aula Uno".
const std::string kNamesakeAhead = R"(<teacher id="T9">Juan Pardo</teacher>)";
const std::string kRoomAhead = R"(<location id="L9">Aula Usos Múltiples</location>)";

// One SOLUC row: subject, group, teacher, room.
using Lesson = std::vector<std::string>;

class SavedTimetableTest : public ::testing::Test {
 protected:
  SavedTimetableTest() : control_(ui_, tables_, RegionalSettings{','}) {
    fs::create_directory(tables_);
  }

  // A GEDU-to-Horaplan run on the school; its findings of `kind`, by id.
  std::vector<std::pair<std::string, std::string>> Import(const std::string& xml,
                                                          const std::string& kind = "code-moved") {
    WriteFile(dir_ / "centro.xml", xml);
    ui_.WillChoose((dir_ / "centro.xml").string());
    EXPECT_TRUE(control_.RunToHoraplan());
    return Of(control_.LastReport()->findings, kind);
  }

  // A Horaplan-to-GEDU run; its timetable-older-than-catalogue findings.
  std::vector<std::pair<std::string, std::string>> Export() {
    ui_.WillChoose((dir_ / "centro.xml").string());
    EXPECT_TRUE(control_.RunToGedu());
    return Of(control_.LastReport()->findings, "timetable-older-than-catalogue");
  }

  static std::vector<std::pair<std::string, std::string>> Of(const Findings& findings,
                                                             const std::string& kind) {
    std::vector<std::pair<std::string, std::string>> found;
    findings.ForEach([&](const Finding& finding) {
      if (finding.kind == kind) found.emplace_back(finding.id, finding.detail);
    });
    return found;
  }

  // Horaplan saves a timetable: `lessons` in slot 1 of day 1 and on.
  void SaveTimetable(const std::vector<Lesson>& lessons) {
    const tables::TableStore store(tables_, RegionalSettings{','});
    store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout());
    tables::Table soluc(store, tables::kSoluc);
    soluc.OpenTable(HoldKind::kShared);
    int hour = 1;
    for (const Lesson& lesson : lessons) {
      soluc.StartNewRow();
      soluc.PutFloat(tables::field::kDia, 1);
      soluc.PutFloat(tables::field::kHora, hour++);
      soluc.PutFloat(tables::field::kSesiones, 1);
      soluc.PutText(tables::field::kAsig, lesson[0]);
      soluc.PutText(tables::field::kCodGrupo, lesson[1]);
      soluc.PutText(tables::field::kProf, lesson[2]);
      soluc.PutText(tables::field::kAula, lesson[3]);
      soluc.SaveNewRow();
    }
    soluc.CloseTable();
  }

  // Juana (JP) three times in Aula Uno (AU), Ana (AG) once in the library.
  void SaveUsualTimetable() {
    SaveTimetable({{"S1", "1EA", "JP", "AU"},
                   {"S1", "1EA", "JP", "AU"},
                   {"S1", "1EA", "JP", "AU"},
                   {"S1", "1EA", "AG", "B"}});
  }

  fs::path Record() const { return tables_ / kMovedCodesFileName; }

  TempDir dir_;
  fs::path tables_ = dir_ / "htemp";
  FakeRunUi ui_;
  RunControl control_;
};

const char kJuanaToJuan[] =
    "El c\xC3\xB3"
    "digo 'JP' era del profesor 'Juana Pardo' (T7) y ahora es de 'Juan Pardo' (T9): lo usan 3 "
    "clases del horario guardado (SOLUC).";

// The case that matters: a teacher inserted ahead of a namesake takes the
// code a saved timetable gives the namesake. One aviso per moved code, and
// the write-back warns until Horaplan saves the timetable again.
TEST_F(SavedTimetableTest, ReimportAfterNamesakeInsertedWarnsOncePerMovedCode) {
  Import(School());
  SaveUsualTimetable();

  const auto moved = Import(School(kNamesakeAhead, kRoomAhead));
  ASSERT_EQ(moved.size(), 2u);
  EXPECT_EQ(moved[0], std::make_pair(std::string("JP"), std::string(kJuanaToJuan)));
  EXPECT_EQ(moved[1].first, "AU");
  EXPECT_EQ(moved[1].second,
            "El c\xC3\xB3"
            "digo 'AU' era del aula 'Aula Uno' (L1) y ahora es de 'Aula Usos M\xC3\xBA"
            "ltiples' (L9): lo usan 3 clases del horario guardado (SOLUC).");
  // An aviso: the window's box shows it.
  EXPECT_EQ(ui_.CallsOf("findings").size(), 1u);
  EXPECT_NE(ui_.details().find(kJuanaToJuan), std::string::npos) << ui_.details();

  const auto older = Export();
  ASSERT_EQ(older.size(), 1u);
  EXPECT_NE(older[0].second.find("'JP', que era del profesor 'Juana Pardo'"), std::string::npos)
      << older[0].second;
  EXPECT_NE(older[0].second.find("'AU', que era del aula 'Aula Uno'"), std::string::npos);

  // Horaplan computes and saves the timetable again with the new codes.
  SaveTimetable({{"S1", "1EA", "JP1", "AU1"}});
  EXPECT_TRUE(Export().empty());
}

// Nothing moved: no aviso, no record, and the write-back says nothing either.
TEST_F(SavedTimetableTest, ReimportThatMovedNothingStaysSilent) {
  Import(School());
  SaveUsualTimetable();
  // Ana's namesake comes after her: Ana keeps AG, Juana keeps JP.
  std::string later = School();
  const std::string ana = R"(<teacher id="T2">Ana Gil</teacher>)";
  later.insert(later.find(ana) + ana.size(), R"(<teacher id="T3">Ana Gómez</teacher>)");
  EXPECT_TRUE(Import(later).empty());
  EXPECT_TRUE(ui_.CallsOf("findings").empty());  // a nota (AG1) only: the plain box
  EXPECT_FALSE(fs::exists(Record()));
  EXPECT_TRUE(Export().empty());
}

// Without a saved timetable there is nothing to guard and nothing recorded;
// what an earlier run recorded goes, since the last run found nothing.
TEST_F(SavedTimetableTest, WithoutSavedTimetableNothingIsCompared) {
  Import(School());
  EXPECT_TRUE(Import(School(kNamesakeAhead)).empty());
  EXPECT_FALSE(fs::exists(Record()));

  SaveUsualTimetable();
  Import(School());
  ASSERT_TRUE(fs::exists(Record()));
  const std::string soluc = ReadFile(tables_ / "SOLUC.DBF");
  fs::remove(tables_ / "SOLUC.DBF");
  EXPECT_TRUE(Import(School()).empty());
  EXPECT_FALSE(fs::exists(Record()));
  // The same SOLUC back: the last run recorded nothing, so nothing is said.
  WriteFile(tables_ / "SOLUC.DBF", soluc);
  EXPECT_TRUE(Export().empty());
}

// A SOLUC that cannot be read is said, and the run goes on.
TEST_F(SavedTimetableTest, UnreadableTimetableIsSaidAndTheRunGoesOn) {
  Import(School());
  WriteFile(tables_ / "SOLUC.DBF", "no es una tabla");
  EXPECT_TRUE(Import(School(kNamesakeAhead)).empty());
  const auto unchecked = Of(control_.LastReport()->findings, "timetable-not-checked");
  ASSERT_EQ(unchecked.size(), 1u);
  EXPECT_TRUE(unchecked[0].second.starts_with(
      "No se ha podido comprobar si los c\xC3\xB3"
      "digos del horario guardado (SOLUC) siguen nombrando a los mismos elementos: "))
      << unchecked[0].second;
  EXPECT_EQ(ui_.CallsOf("findings").size(), 1u);  // an aviso
}

// The comparison is with the catalogues the saved timetable was made from: a
// second re-import of the same file still finds the move, and a re-import
// that gives the codes back finds none and drops the record.
TEST_F(SavedTimetableTest, ComparesWithTheCataloguesTheTimetableWasSavedWith) {
  Import(School());
  SaveUsualTimetable();
  ASSERT_EQ(Import(School(kNamesakeAhead)).size(), 1u);

  const auto again = Import(School(kNamesakeAhead));
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].second, kJuanaToJuan);
  EXPECT_EQ(Export().size(), 1u);

  EXPECT_TRUE(Import(School()).empty());
  EXPECT_FALSE(fs::exists(Record()));
  EXPECT_TRUE(Export().empty());
}

TEST_F(SavedTimetableTest, CodeThatNamesNothingNowIsSaidSo) {
  Import(School());
  SaveTimetable({{"S1", "1EA", "AG", "B"}});
  // Ana leaves the school.
  std::string without_ana = School();
  without_ana.replace(without_ana.find(R"(<teacher id="T2">Ana Gil</teacher>)"),
                      std::string(R"(<teacher id="T2">Ana Gil</teacher>)").size(), "");
  const auto moved = Import(without_ana);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].second,
            "El c\xC3\xB3"
            "digo 'AG' era del profesor 'Ana Gil' (T2) y ahora no es de ning\xC3\xBAn profesor: "
            "lo usa 1 clase del horario guardado (SOLUC).");
}

// A restore that restores the catalogues under a timetable saved since
// compares the same way.
TEST_F(SavedTimetableTest, RestoreUnderNewerTimetableFindsTheCodesThatMove) {
  Import(School());
  SaveUsualTimetable();
  Import(School(kNamesakeAhead));
  const std::vector<SavedCopy> copies = ListCopies(tables_);
  ASSERT_FALSE(copies.empty());
  // Horaplan saves a timetable made with the new codes: JP is Juan now.
  SaveTimetable({{"S1", "1EA", "JP", "AU"}});

  const RestoreOutcome outcome = RestoreCopy(tables_, copies.front().name, Env::Current().Now());
  const auto moved = Of(outcome.findings, "code-moved");
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].second,
            "El c\xC3\xB3"
            "digo 'JP' era del profesor 'Juan Pardo' (T9) y ahora es de 'Juana Pardo' (T7): lo usa "
            "1 clase del horario guardado (SOLUC).");
  EXPECT_EQ(Export().size(), 1u);
}

// Undoing a re-import under a timetable Horaplan saved since gives its codes
// back to the elements they named before: the undo's box says so, with the
// sentences as details.
TEST_F(SavedTimetableTest, UndoUnderNewerTimetableShowsTheCodesThatMove) {
  Import(School());
  Import(School(kNamesakeAhead));
  SaveTimetable({{"S1", "1EA", "JP", "AU"}});
  ui_.ClearCalls();
  ui_.WillConfirm(true);
  ASSERT_TRUE(control_.UndoLastRun());
  const std::vector<std::string> findings = ui_.CallsOf("findings");
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0], "Hay 1 aviso.");
  EXPECT_NE(ui_.details().find("El c\xC3\xB3"
                               "digo 'JP' era del profesor 'Juan Pardo' (T9) y ahora es de "
                               "'Juana Pardo' (T7)"),
            std::string::npos)
      << ui_.details();
}

// --check reads SOLUC and the record as the real runs do, and changes neither.
TEST_F(SavedTimetableTest, CheckGivesTheSameFindings) {
  Import(School());
  SaveUsualTimetable();
  WriteFile(dir_ / "nuevo.xml", School(kNamesakeAhead));
  const DryRunOutcome trial =
      DryRun(true, (dir_ / "nuevo.xml").string(), tables_, RegionalSettings{','});
  ASSERT_TRUE(trial.would_succeed) << trial.message;
  const auto moved = Of(trial.report.findings, "code-moved");
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].second, kJuanaToJuan);
  EXPECT_FALSE(fs::exists(Record()));

  Import(School(kNamesakeAhead));
  const std::string record = ReadFile(Record());
  const DryRunOutcome back =
      DryRun(false, (dir_ / "centro.xml").string(), tables_, RegionalSettings{','});
  EXPECT_EQ(Of(back.report.findings, "timetable-older-than-catalogue").size(), 1u);
  EXPECT_EQ(ReadFile(Record()), record);
}

// Whatever lies in the record's place, the runs go on as if there were none.
TEST_F(SavedTimetableTest, RecordThatIsNoRecordCountsAsNone) {
  Import(School());
  SaveUsualTimetable();
  Import(School(kNamesakeAhead));
  const std::string good = ReadFile(Record());
  const std::vector<std::string> planted = {"", "basura\n", good.substr(0, good.size() - 1),
                                            good + "PROF\tJP\n", std::string(2 << 20, 'x')};
  for (const std::string& text : planted) {
    WriteFile(Record(), text);
    EXPECT_TRUE(Export().empty()) << text.substr(0, 80);
  }
  fs::remove(Record());
  fs::create_directory(Record());
  EXPECT_TRUE(Export().empty());
  fs::remove(Record());
  WriteFile(dir_ / "otro.txt", good);
  fs::create_symlink(dir_ / "otro.txt", Record());
  EXPECT_TRUE(Export().empty());
  // A new record replaces the link and leaves what it named alone.
  Import(School());
  Import(School(kNamesakeAhead));
  EXPECT_EQ(ReadFile(dir_ / "otro.txt"), good);
  EXPECT_FALSE(fs::is_symlink(Record()));
}

TEST(MovedCodesRecord, ReadsBackWhatItWrote) {
  MovedCodesRecord record;
  record.soluc = {11612, std::string(64, 'a')};
  record.moved.push_back({CodeCatalogue::kTeacher,
                          "\xD3"
                          "A",
                          {"T7", "Juana\tPardo %"}});
  record.moved.push_back({CodeCatalogue::kGroup, "1EA", {"", "1 ESO A"}});
  const std::string text = MovedCodesText(record);
  for (const char c : text) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
  const auto back = ParseMovedCodes(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->soluc, record.soluc);
  ASSERT_EQ(back->moved.size(), 2u);
  EXPECT_EQ(back->moved[0].catalogue, CodeCatalogue::kTeacher);
  EXPECT_EQ(back->moved[0].code,
            "\xD3"
            "A");
  EXPECT_EQ(back->moved[0].before.name, "Juana\tPardo %");
  EXPECT_EQ(back->moved[1].before.idgedu, "");
}

TEST(MovedCodesRecord, RefusesWhatIsNotExactlyOne) {
  const std::string sum(64, 'a');
  const std::string head = "pontexa codigos-movidos 1\nSOLUC\t10\t" + sum + "\n";
  const std::string bad[] = {
      "",
      "pontexa codigos-movidos 1\n",                           // no SOLUC line
      "pontexa codigos-movidos 2\nSOLUC\t10\t" + sum + "\n",  // another version
      "pontexa codigos-movidos 1\nSOLUC\t10\tabc\n",           // digest cut short
      "pontexa codigos-movidos 1\nSOLUC\t10\t" + std::string(64, 'A') + "\n",
      "pontexa codigos-movidos 1\nSOLUC\t-1\t" + sum + "\n",
      "pontexa codigos-movidos 1\nSOLUC\t\t" + sum + "\n",
      "pontexa codigos-movidos 1\nSOLUC\t1x\t" + sum + "\n",
  };
  for (const std::string& text : bad) EXPECT_FALSE(ParseMovedCodes(text)) << text;
  const std::string bad_lines[] = {
      "AULA\tA1\tL1\n",         // a field missing
      "MESA\tA1\tL1\tMesa\n",   // no such catalogue
      "PROF\t\tT1\tAna\n",      // no code
      "PROF\tJ%4\tT1\tAna\n",   // an escape cut short
      "PROF\tJ%ZZ\tT1\tAna\n",  // not an escape
      "PROF\tJ\xC9\tT1\tAna\n",  // a byte that goes escaped
      "PROF\tJP\tT1\tAna",      // cut short: no line end
  };
  for (const std::string& line : bad_lines) EXPECT_FALSE(ParseMovedCodes(head + line)) << line;
  EXPECT_TRUE(ParseMovedCodes(head));
  EXPECT_TRUE(ParseMovedCodes(head + "PROF\tJ%41\tT1\tAna\n"));
}

}  // namespace
}  // namespace pontexa::run
