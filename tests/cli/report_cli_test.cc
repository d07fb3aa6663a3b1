// The run report through pontexa-cli: the findings of a school made to hold
// one case of every kind, none on the sample school, the report file, the
// one-line summary, the JSON report and the dry run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/regional_settings.h"
#include "support/program.h"
#include "support/soluc_layout.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"

namespace pontexa {
namespace {

using ::testing::HasSubstr;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

using testing::Outcome;
using testing::RunOptions;
using testing::RunProgram;

// One case of every GEDU-to-Horaplan kind, each in its own element:
//   S2 hours "dos" (hours-not-number) and no teacher in G1 (no-teacher);
//   T1 twice (duplicate-id); T2 shares Ana Gil's initials (renamed-code);
//   T3 "Łukasz" (replaced-characters); a room without id (missing-id) and
//   L3 without a name (missing-name); a group id of 61 characters, which its
//   field cuts (cut) and the assignments then do not find (unknown-group);
//   NOPE (unknown-subject) and TX (unknown-teacher) in G1.
const std::string kLongGroupId = std::string(61, 'G');
const std::string kEveryKindSchool = R"(<?xml version="1.0" encoding="UTF-8"?>
<document>
  <subjects>
    <subject id="S1" name="Lengua" hours="4"/>
    <subject id="S2" name="Matemáticas" hours="dos"/>
  </subjects>
  <teachers>
    <teacher id="T1">Ana Gil</teacher>
    <teacher id="T2">Alberto García</teacher>
    <teacher id="T3">Łukasz Nowak</teacher>
    <teacher id="T1">Berta Ruiz</teacher>
  </teachers>
  <locations>
    <location id="L1">Aula</location>
    <location>Gimnasio</location>
    <location id="L3"/>
  </locations>
  <groups>
    <group id="G1" name="1 ESO A">
      <assigned-subjects>
        <assigned-subject id="S1"><assigned-teachers><assigned-teacher id="T1"/></assigned-teachers></assigned-subject>
        <assigned-subject id="S2"/>
        <assigned-subject id="NOPE"><assigned-teachers><assigned-teacher id="T1"/></assigned-teachers></assigned-subject>
        <assigned-subject id="S1"><assigned-teachers><assigned-teacher id="TX"/></assigned-teachers></assigned-subject>
      </assigned-subjects>
    </group>
    <group id=")" + kLongGroupId + R"(" name="2 ESO B">
      <assigned-subjects>
        <assigned-subject id="S1"><assigned-teachers><assigned-teacher id="T2"/></assigned-teachers></assigned-subject>
      </assigned-subjects>
    </group>
  </groups>
</document>
)";

class ReportCliTest : public ::testing::Test {
 protected:
  ReportCliTest() { fs::create_directory(tables_); }

  Outcome Run(std::vector<std::string> args) {
    args.insert(args.begin(), PONTEXA_CLI);
    return RunProgram(args);
  }

  Outcome Convert(const char* command, const fs::path& file, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {command, file.string(), "--dir", tables_.string()};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }

  // "level kind id" of each finding of a JSON report, as Python's json module reads
  // it, counted.
  std::map<std::string, int> FindingsIn(const fs::path& json) {
    const std::string line =
        "/usr/bin/python3 -c \"import json,sys\nfor f in json.load(open(sys.argv[1]))['findings']: "
        "print(f['level'], f['kind'], f['id'])\" '" +
        json.string() + "' >'" + (dir_ / "kinds").string() + "'";
    EXPECT_EQ(std::system(line.c_str()), 0);
    std::map<std::string, int> counted;
    const std::string text = ReadFile(dir_ / "kinds");
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      ++counted[text.substr(start, end - start)];
    }
    return counted;
  }

  // Horaplan's week (days 1 and 2, intervals 1 and 2) and a timetable built
  // on the codes the every-kind school gets: S1, S2; AG, AG1, BR; A, G; 1EA,
  // 2EB.
  void WriteHoraplanTables() {
    const tables::TableStore store(tables_, RegionalSettings{'.'});
    store.MakeEmptyTable(tables::kDiashorast, tables::DiashorastLayout());
    {
      tables::Table week(store, tables::kDiashorast);
      week.OpenTable(HoldKind::kExclusive);
      for (const char* day : {"1", "2"}) {
        for (const char* hour : {"1", "2"}) {
          week.StartNewRow();
          week.PutText("DIA", day);
          week.PutText("TEXTODIA", day[0] == '1' ? "Lunes" : "Martes");
          week.PutText("HORA", hour);
          week.SaveNewRow();
        }
      }
      week.CloseTable();
    }
    store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout(tables::FieldType::kFloat, 0));
    tables::Table soluc(store, tables::kSoluc);
    soluc.OpenTable(HoldKind::kExclusive);
    struct Lesson {
      double day, hour;
      const char *subject, *group, *teacher, *room;
    };
    const Lesson lessons[] = {
        {1, 1, "S1", "1EA", "AG", "A"},   // AG in two rooms at 1/1 ...
        {1, 1, "S1", "2EB", "AG", "G"},   // ... (teacher-in-two-rooms)
        {1, 2, "S2", "1EA", "AG1", "A"},  // room A with AG1 and LN at 1/2
        {1, 2, "S2", "2EB", "BR", "A"},   // (room-with-two-teachers)
        {0, 1, "S1", "1EA", "BR", "A"},   // row 5: no day (skipped-lesson)
        {2, 3, "S1", "1EA", "BR", "G"},   // day 2, interval 3 (slot-not-in-week)
        {2, 1, "S1", "1EA", "ZZ", "G"},   // ZZ (code-not-in-catalogue)
        // Normal lessons: one teacher with two groups in one room, one group
        // split between two teachers in two rooms.
        {2, 2, "S1", "1EA", "BR", "A"},
        {2, 2, "S1", "2EB", "BR", "A"},
        {2, 1, "S2", "2EB", "AG", "A"},
        {2, 1, "S2", "2EB", "AG1", ""},
    };
    for (const Lesson& lesson : lessons) {
      soluc.StartNewRow();
      soluc.PutFloat("DIA", lesson.day);
      soluc.PutFloat("HORA", lesson.hour);
      soluc.PutFloat("SESIONES", 1);
      soluc.PutText("ASIG", lesson.subject);
      soluc.PutText("CODGRUPO", lesson.group);
      soluc.PutText("PROF", lesson.teacher);
      soluc.PutText("AULA", lesson.room);
      soluc.SaveNewRow();
    }
    soluc.CloseTable();
  }

  // Every file of the table folder and the exchange file, with their bytes.
  std::map<std::string, std::string> Everything(const fs::path& exchange_file) {
    std::map<std::string, std::string> files = {{"xml", ReadFile(exchange_file)}};
    for (const auto& entry : fs::recursive_directory_iterator(tables_)) {
      if (entry.is_regular_file()) files[entry.path().string()] = ReadFile(entry.path());
    }
    return files;
  }

  TempDir dir_;
  fs::path tables_ = dir_ / "htemp";
  fs::path school_ = dir_ / "escuela.xml";
  fs::path json_ = dir_ / "informe.json";
};

TEST_F(ReportCliTest, SchoolWithOneCaseOfEachKindGivesExactlyThoseFindings) {
  WriteFile(school_, kEveryKindSchool);
  const Outcome horaplan = Convert("to-horaplan", school_, {"--report", json_.string()});
  ASSERT_EQ(horaplan.status, 0) << horaplan.err;  // findings are no failure
  EXPECT_EQ(horaplan.out, "Proceso finalizado\n");
  EXPECT_EQ(FindingsIn(json_), (std::map<std::string, int>{
                                   {"aviso hours-not-number S2", 1},
                                   {"aviso duplicate-id T1", 1},
                                   {"nota renamed-code T2", 1},
                                   {"nota replaced-characters T3", 1},
                                   {"aviso missing-id ", 1},
                                   {"aviso missing-name L3", 1},
                                   {"aviso cut " + kLongGroupId, 1},
                                   {"aviso unknown-group " + kLongGroupId, 1},
                                   {"aviso no-teacher S2", 1},
                                   {"aviso unknown-subject NOPE", 1},
                                   {"aviso unknown-teacher TX", 1},
                               }));
  // Avisos, then notas, each with its kinds in the order first found.
  EXPECT_EQ(horaplan.err,
            "pontexa-cli: 9 avisos (1 hours-not-number, 1 duplicate-id, 1 missing-id, "
            "1 missing-name, 1 cut, 1 no-teacher, 1 unknown-subject, 1 unknown-teacher, "
            "1 unknown-group), 2 notas (1 renamed-code, 1 replaced-characters); informe en '" +
                (tables_ / "pontexa-informe.txt").string() + "'\n");
  const std::string json = ReadFile(json_);
  EXPECT_THAT(json, HasSubstr("\"conversion\": \"to-horaplan\""));
  EXPECT_THAT(json, HasSubstr("\"ok\": true"));
  EXPECT_THAT(json, HasSubstr("\"error\": null"));
  EXPECT_THAT(json, HasSubstr("\"tables\": {\"ASIGNOMT\": 2, \"PROFT\": 4, \"AULAT\": 3, "
                              "\"GRUPOST\": 2, \"ASIGT\": 5, \"DIASHORAST\": 0}"));
  EXPECT_THAT(json, HasSubstr("\"kind\": \"replaced-characters\", \"level\": \"nota\", "
                              "\"table\": \"PROFT\", \"field\": \"NOMBRE\", \"element\": "
                              "\"teacher\", \"id\": \"T3\""));

  WriteHoraplanTables();
  const Outcome gedu = Convert("to-gedu", school_, {"--report", json_.string()});
  ASSERT_EQ(gedu.status, 0) << gedu.err;
  EXPECT_EQ(FindingsIn(json_), (std::map<std::string, int>{
                                   {"aviso teacher-in-two-rooms AG", 1},
                                   {"aviso room-with-two-teachers A", 1},
                                   {"nota skipped-lesson fila 5", 1},
                                   {"aviso slot-not-in-week día 2, intervalo i3", 1},
                                   {"aviso code-not-in-catalogue ZZ", 1},
                               }));
  EXPECT_THAT(ReadFile(json_), HasSubstr("\"SOLUC\": 11"));
}

// The sample names its subjects as GEDU does: its codes get numbers and one
// long name is cut, which only changes how they look in Horaplan. Notas, no
// avisos; and the way back finds nothing.
TEST_F(ReportCliTest, SampleSchoolGivesNotasOnlyAndNothingOnTheWayBack) {
  const fs::path sample = dir_ / "instituto.xml";
  fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", sample);
  const Outcome horaplan = Convert("to-horaplan", sample, {"--report", json_.string()});
  ASSERT_EQ(horaplan.status, 0) << horaplan.err;
  EXPECT_EQ(horaplan.out, "Proceso finalizado\n");
  EXPECT_EQ(horaplan.err, "pontexa-cli: 0 avisos, 25 notas (1 cut, 24 renamed-code); informe en '" +
                              (tables_ / "pontexa-informe.txt").string() + "'\n");
  const std::map<std::string, int> found = FindingsIn(json_);
  for (const auto& [finding, count] : found) {
    EXPECT_TRUE(finding.starts_with("nota ")) << finding;
  }
  EXPECT_EQ(found.count("nota cut ASG2300108"), 1u);
  EXPECT_EQ(found.count("nota renamed-code ASG2300201"), 1u);  // Lengu1
  for (const char* name : {"DIASHORAST.DBF", "SOLUC.DBF"}) {
    fs::copy_file(fs::path(PONTEXA_EXAMPLES) / name, tables_ / name,
                  fs::copy_options::overwrite_existing);
  }
  const Outcome gedu = Convert("to-gedu", sample, {"--report", json_.string()});
  ASSERT_EQ(gedu.status, 0) << gedu.err;
  EXPECT_EQ(gedu.err, "");
  EXPECT_TRUE(FindingsIn(json_).empty()) << ReadFile(json_);
}

// The avisos of a JSON report, counted.
std::map<std::string, int> AvisosOf(const std::map<std::string, int>& findings) {
  std::map<std::string, int> avisos;
  for (const auto& [finding, count] : findings) {
    if (finding.starts_with("aviso ")) avisos[finding] = count;
  }
  return avisos;
}

// The sample school with its saved timetable, re-imported after GEDU's file
// gained a teacher ahead of Juan Pérez López with the same initials: Juan's
// code JP, used by the timetable, is now hers. One aviso for that code, from
// --check as from the run; then the way back warns until SOLUC is saved again.
TEST_F(ReportCliTest, SampleReimportedWithATeacherAheadOfANamesakeWarnsOncePerMovedCode) {
  const fs::path sample = dir_ / "instituto.xml";
  fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", sample);
  ASSERT_EQ(Convert("to-horaplan", sample).status, 0);
  for (const char* name : {"DIASHORAST.DBF", "SOLUC.DBF"}) {
    fs::copy_file(fs::path(PONTEXA_EXAMPLES) / name, tables_ / name,
                  fs::copy_options::overwrite_existing);
  }
  const std::string teacher = R"(<teacher id="180040117">Juan Pérez López</teacher>)";
  std::string text = ReadFile(sample);
  text.insert(text.find(teacher), R"(<teacher id="180040999">Juana Pastor Luna</teacher>)");
  WriteFile(sample, text);
  const std::map<std::string, int> moved = {{"aviso code-moved JP", 1}};

  const Outcome check = Convert("to-horaplan", sample, {"--check", "--report", json_.string()});
  ASSERT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(AvisosOf(FindingsIn(json_)), moved) << ReadFile(json_);

  const Outcome run = Convert("to-horaplan", sample, {"--report", json_.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(AvisosOf(FindingsIn(json_)), moved) << ReadFile(json_);
  EXPECT_THAT(ReadFile(json_),
              HasSubstr("El c\xC3\xB3"
                        "digo 'JP' era del profesor 'Juan P\xC3\xA9rez L\xC3\xB3pez' (180040117) y "
                        "ahora es de 'Juana Pastor Luna' (180040999): lo usan "));
  EXPECT_THAT(run.err, StartsWith("pontexa-cli: 1 aviso (1 code-moved), 26 notas"));

  // Horaplan fills in the week again, but the timetable is the one saved before.
  fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "DIASHORAST.DBF", tables_ / "DIASHORAST.DBF",
                fs::copy_options::overwrite_existing);
  const Outcome back = Convert("to-gedu", sample, {"--report", json_.string()});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(AvisosOf(FindingsIn(json_)),
            (std::map<std::string, int>{{"aviso timetable-older-than-catalogue SOLUC", 1}}));
}

// The report for people: byte-order mark, CRLF, rows, findings by kind; also
// after a run that fails.
TEST_F(ReportCliTest, ReportFileIsWrittenAfterEveryRun) {
  WriteFile(school_, kEveryKindSchool);
  ASSERT_EQ(Convert("to-horaplan", school_).status, 0);
  const std::string report = ReadFile(tables_ / "pontexa-informe.txt");
  EXPECT_THAT(report, StartsWith("\xEF\xBB\xBFInforme de Pontexa\r\n"));
  EXPECT_EQ(report.find("\n"), report.find("\r\n") + 1);
  EXPECT_THAT(report, HasSubstr("Resultado: terminado\r\n"));
  EXPECT_THAT(report, HasSubstr("  ASIGT       5\r\n"));
  EXPECT_THAT(report, HasSubstr("Avisos: 9\r\n"));
  EXPECT_THAT(report, HasSubstr("Notas: 2\r\n"));
  EXPECT_THAT(report, HasSubstr("unknown-teacher (1)\r\n  TX: El profesor 'TX'"));

  // Horaplan has no timetable here: the run fails, and its report says why.
  const Outcome failed = Convert("to-gedu", school_, {"--report", json_.string()});
  EXPECT_EQ(failed.status, 1);
  EXPECT_THAT(ReadFile(tables_ / "pontexa-informe.txt"), HasSubstr("Resultado: error: "));
  EXPECT_THAT(ReadFile(json_), HasSubstr("\"ok\": false"));
  EXPECT_THAT(ReadFile(json_), HasSubstr("\"error\": \"No existe la tabla"));
}

// The report's own words, whole, for each conversion: its headings, and each
// timetable finding's sentence (the time of the run left out).
TEST_F(ReportCliTest, ReportSaysEachHeadingAndFindingInItsOwnWords) {
  const auto without_time = [](std::string text) {
    const std::size_t start = text.find("Hora: ");
    return start == std::string::npos ? text
                                      : text.erase(start, text.find('\n', start) + 1 - start);
  };
  WriteFile(school_, kEveryKindSchool);
  ASSERT_EQ(Convert("to-horaplan", school_).status, 0);
  const std::string built = without_time(ReadFile(tables_ / "pontexa-informe.txt"));
  EXPECT_THAT(built, StartsWith("\xEF\xBB\xBFInforme de Pontexa\r\n\r\n"
                                "Conversión: desde GEDU hacia Horaplan\r\n"
                                "Archivo XML: " +
                                school_.string() +
                                "\r\n"
                                "Carpeta de tablas: " +
                                tables_.string() +
                                "\r\n"
                                "Resultado: terminado\r\n\r\n"
                                "Filas escritas:\r\n"
                                "  ASIGNOMT    2\r\n"));

  WriteHoraplanTables();
  ASSERT_EQ(Convert("to-gedu", school_).status, 0);
  EXPECT_EQ(without_time(ReadFile(tables_ / "pontexa-informe.txt")),
            "\xEF\xBB\xBFInforme de Pontexa\r\n\r\n"
            "Conversión: desde Horaplan hacia GEDU\r\n"
            "Archivo XML: " +
                school_.string() +
                "\r\n"
                "Carpeta de tablas: " +
                tables_.string() +
                "\r\n"
                "Resultado: terminado\r\n\r\n"
                "Filas leídas:\r\n"
                "  DIASHORAST  4\r\n"
                "  SOLUC       11\r\n"
                "  ASIGNOMT    2\r\n"
                "  GRUPOST     2\r\n"
                "  PROFT       4\r\n"
                "  AULAT       3\r\n\r\n"
                "Avisos: 4\r\n\r\n"
                "teacher-in-two-rooms (1)\r\n"
                "  AG: El profesor 'AG' está a la vez en las aulas 'A' y 'G' el día 1, intervalo "
                "i1.\r\n"
                "room-with-two-teachers (1)\r\n"
                "  A: El aula 'A' tiene a la vez a los profesores 'AG1' y 'BR' el día 1, intervalo "
                "i2.\r\n"
                "code-not-in-catalogue (1)\r\n"
                "  ZZ: El código 'ZZ' de el profesor (1 clase) no está en PROFT: se escribe el "
                "código como identificador.\r\n"
                "slot-not-in-week (1)\r\n"
                "  día 2, intervalo i3: 1 clase cae en un día e intervalo que DIASHORAST no "
                "tiene: GEDU no los conoce.\r\n"
                "\r\n"
                "Notas: 1\r\n\r\n"
                "skipped-lesson (1)\r\n"
                "  fila 5: La clase de la fila 5 de SOLUC (asignatura 'S1', grupo '1EA', profesor "
                "'BR') no tiene día (DIA 0): no se escribe en GEDU.\r\n");
}

// --check runs on scratch copies: the folder and the file stay byte for byte
// as they were, whether the conversion would succeed or fail.
TEST_F(ReportCliTest, CheckChangesNothingWhetherTheRunWouldSucceedOrFail) {
  WriteFile(school_, kEveryKindSchool);
  ASSERT_EQ(Convert("to-horaplan", school_).status, 0);
  WriteHoraplanTables();
  const auto before = Everything(school_);

  const Outcome would_succeed = Convert("to-gedu", school_, {"--check"});
  EXPECT_EQ(would_succeed.status, 0) << would_succeed.err;
  EXPECT_THAT(would_succeed.out, StartsWith("Informe de Pontexa\n"));
  EXPECT_THAT(would_succeed.out, HasSubstr("Archivo XML: " + school_.string() + "\n"));
  EXPECT_THAT(would_succeed.out, HasSubstr("teacher-in-two-rooms (1)"));
  EXPECT_TRUE(Everything(school_) == before);

  const Outcome rebuild = Convert("to-horaplan", school_, {"--check", "--report", json_.string()});
  EXPECT_EQ(rebuild.status, 0) << rebuild.err;
  EXPECT_THAT(ReadFile(json_), HasSubstr("\"table_folder\": \"" + tables_.string() + "\""));
  EXPECT_TRUE(Everything(school_) == before);

  fs::remove(tables_ / "SOLUC.DBF");
  const auto without_timetable = Everything(school_);
  const Outcome would_fail = Convert("to-gedu", school_, {"--check"});
  EXPECT_EQ(would_fail.status, 1);
  EXPECT_THAT(would_fail.err, HasSubstr("'" + (tables_ / "SOLUC.DBF").string() + "'"));
  EXPECT_THAT(would_fail.out, HasSubstr("Resultado: error: "));
  EXPECT_TRUE(Everything(school_) == without_timetable);
}

// --check without a temporary folder to work in says so, as an error of the
// run and not as an internal one; --report follows a symbolic link, so that
// a script can name /dev/stdout or a link of its own.
TEST_F(ReportCliTest, CheckWithoutATemporaryFolderAndReportThroughALink) {
  WriteFile(school_, kEveryKindSchool);
  RunOptions no_temporary;
  no_temporary.env = {"TMPDIR=" + (dir_ / "no-existe").string()};
  const Outcome check = RunProgram(
      {PONTEXA_CLI, "to-horaplan", school_.string(), "--dir", tables_.string(), "--check"},
      no_temporary);
  EXPECT_EQ(check.status, 1);
  EXPECT_THAT(check.err, StartsWith("No se puede crear una carpeta temporal para la prueba: "));
  EXPECT_EQ(check.out, "");

  const fs::path target = dir_ / "destino.json";
  fs::create_symlink(target, json_);
  ASSERT_EQ(Convert("to-horaplan", school_, {"--report", json_.string()}).status, 0);
  EXPECT_TRUE(fs::is_symlink(json_));
  EXPECT_THAT(ReadFile(target), HasSubstr("\"conversion\": \"to-horaplan\""));
}

}  // namespace
}  // namespace pontexa
