#include "run/run_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/env.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

RunReport Sample() {
  RunReport report;
  report.conversion = "to-gedu";
  report.exchange_file = "C:\\horarios\\\"centro\".xml";
  report.table_folder = "/h";
  report.started = 0;
  report.ok = false;
  report.error = "Falta la tabla\tSOLUC\n";
  report.findings.CountRows("SOLUC", 3);
  report.findings.Add({"cut", "ASIGNOMT", "NOMBRE", "subject", "S1", "Cortado."});
  report.findings.Add({"skipped-lesson", "SOLUC", "DIA", "", "fila 2",
                       "Sin d\xC3\xAD"
                       "a."});
  report.findings.Add({"cut", "PROFT", "IDGEDU", "teacher", "T\x01", "Otro."});
  report.findings.Add({"unknown-teacher", "ASIGT", "CPROF", "assigned-teacher", "T9", "Sin."});
  report.findings.Add({"cut", "AULAT", "IDGEDU", "location", "A1", "Aula."});
  return report;
}

// Quotes, backslashes and control characters are escaped; UTF-8 passes as it is.
TEST(RunReport, JsonEscapesWhatJsonMust) {
  const std::string json = ReportJson(Sample());
  EXPECT_NE(json.find("\"exchange_file\": \"C:\\\\horarios\\\\\\\"centro\\\".xml\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"error\": \"Falta la tabla\\tSOLUC\\n\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"id\": \"T\\u0001\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"detail\": \"Sin d\xC3\xAD"
                      "a.\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"ok\": false"), std::string::npos);
  EXPECT_NE(json.find("\"tables\": {\"SOLUC\": 3}"), std::string::npos);
}

TEST(RunReport, JsonGivesEachFindingItsLevel) {
  const std::string json = ReportJson(Sample());
  EXPECT_NE(json.find("{\"kind\": \"cut\", \"level\": \"nota\", \"table\": \"ASIGNOMT\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"kind\": \"cut\", \"level\": \"aviso\", \"table\": \"PROFT\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"kind\": \"skipped-lesson\", \"level\": \"nota\""), std::string::npos);
}

// The window's details and its count are the avisos alone, grouped by kind in
// the order first found; the notas stay in the report.
TEST(RunReport, WindowShowsTheAvisosGroupedByKind) {
  const RunReport report = Sample();
  EXPECT_EQ(FindingsByKind(report, FindingLevel::kAviso),
            "cut (2)\n  T\\x01: Otro.\n  A1: Aula.\nunknown-teacher (1)\n  T9: Sin.\n");
  EXPECT_EQ(FindingsByKind(report, FindingLevel::kAviso, 2),
            "cut (2)\n  T\\x01: Otro.\n  A1: Aula.\n... y 1 aviso m\xC3\xA1s en el informe.\n");
  EXPECT_EQ(FindingsByKind(report, FindingLevel::kNota),
            "cut (1)\n  S1: Cortado.\nskipped-lesson (1)\n  fila 2: Sin d\xC3\xAD"
            "a.\n");
  EXPECT_EQ(FindingsCount(report), "Hay 3 avisos.");
  EXPECT_EQ(FindingsSummaryLine(report),
            "3 avisos (2 cut, 1 unknown-teacher), 2 notas (1 cut, 1 skipped-lesson)");
}

// The report lists the avisos, then the notas, each under its count.
TEST(RunReport, TextListsAvisosThenNotas) {
  const std::string text = ReportText(Sample());
  EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);  // every line ends in CRLF
  EXPECT_NE(text.find("Resultado: error: Falta la tabla\\tSOLUC\\n\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nAvisos: 3\r\n\r\ncut (2)\r\n  T\\x01: Otro.\r\n  A1: Aula.\r\n"
                      "unknown-teacher (1)\r\n  T9: Sin.\r\n\r\nNotas: 2\r\n\r\ncut (1)\r\n"
                      "  S1: Cortado.\r\nskipped-lesson (1)\r\n"),
            std::string::npos)
      << text;
}

// Either level may be empty: its count says so, and nothing of the other is lost.
TEST(RunReport, EmptyLevelsSaySo) {
  struct Case {
    std::vector<Finding> findings;
    const char* text;     // the end of the report as a terminal shows it
    const char* summary;  // the batch tool's line
  };
  const Case cases[] = {
      {{}, "\nAvisos: ninguno\n\nNotas: ninguna\n", "0 avisos, 0 notas"},
      {{{"renamed-code", "PROFT", "ABREV", "teacher", "T2",
         "Otro c\xC3\xB3"
         "digo."}},
       "\nAvisos: ninguno\n\nNotas: 1\n\nrenamed-code (1)\n  T2: Otro c\xC3\xB3"
       "digo.\n",
       "0 avisos, 1 nota (1 renamed-code)"},
      {{{"no-teacher", "ASIGT", "CPROF", "assigned-subject", "", "Sin profesor."}},
       "\nAvisos: 1\n\nno-teacher (1)\n  (sin id): Sin profesor.\n\nNotas: ninguna\n",
       "1 aviso (1 no-teacher), 0 notas"},
  };
  for (const Case& c : cases) {
    RunReport report;
    report.conversion = "to-horaplan";
    report.ok = true;
    for (const Finding& finding : c.findings) report.findings.Add(finding);
    std::ostringstream out;
    WriteReportText(out, report, /*for_notepad=*/false);
    EXPECT_TRUE(out.str().ends_with(c.text)) << out.str();
    EXPECT_EQ(FindingsSummaryLine(report), c.summary);
  }
}

// No value can add a line to the report, whatever control characters it
// holds: they show as escapes, and the report has the lines it would have had.
TEST(RunReport, ValuesCannotAddLines) {
  RunReport plain;
  plain.conversion = "to-horaplan";
  plain.exchange_file = "/x/a.xml";
  plain.table_folder = "/h";
  plain.ok = true;
  plain.notes = {"una nota"};
  plain.findings.CountRows("ASIGT", 1);
  plain.findings.Add({"cut", "ASIGT", "ID", "subject", "S1", "Cortado."});
  RunReport forged = plain;
  forged.exchange_file = "/x/a\r\nResultado: terminado\x1b[2J.xml";
  forged.table_folder = "/h\n";
  forged.notes = {"una\nnota"};
  forged.findings = Findings();
  forged.findings.CountRows("ASIGT\n", 1);
  forged.findings.Add(
      {"cut\n", "ASIGT", "ID", "subject", "S1\n\nAvisos: ninguno", "Cor\rtado.\x7f"});
  const auto lines = [](const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  };
  const std::string text = ReportText(forged);
  EXPECT_EQ(lines(text), lines(ReportText(plain)));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), lines(text));
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_NE(text.find("Archivo XML: /x/a\\r\\nResultado: terminado\\x1B[2J.xml\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  S1\\n\\nAvisos: ninguno: Cor\\rtado.\\x7F\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Nota: una\\nnota\r\n"), std::string::npos) << text;
  const std::string details = FindingsByKind(forged, FindingLevel::kAviso);
  EXPECT_EQ(lines(details), lines(FindingsByKind(plain, FindingLevel::kAviso)));
  EXPECT_NE(ReportJson(forged).find("\"notes\": [\"una\\nnota\"]"), std::string::npos);
}

// What a run put right of one cut short before it is in the JSON report as in
// the text, and null when there was nothing.
TEST(RunReport, JsonSaysWhatWasPutRightOfARunCutShort) {
  RunReport report = Sample();
  EXPECT_NE(ReportJson(report).find("\"recovery\": null,"), std::string::npos);
  report.recovery = "La última conversión (2026-12-09 10:00) no terminó.\n";
  EXPECT_NE(ReportJson(report).find(
                "\"recovery\": \"La última conversión (2026-12-09 10:00) no terminó.\\n\","),
            std::string::npos)
      << ReportJson(report);
}

// A run's findings written to a file as they come give the very report, JSON
// and window details that findings held in memory give, past the findings the
// window shows and across the file's blocks.
TEST(RunReport, SpooledFindingsGiveTheSameReport) {
  testing::TempDir dir;
  RunReport in_memory;
  in_memory.conversion = "to-gedu";
  in_memory.table_folder = dir.path().string();
  in_memory.ok = true;
  in_memory.findings.CountRows("SOLUC", 7);
  RunReport spooled = in_memory;
  spooled.findings.SpoolIn(dir.path());
  static const char* const kKinds[] = {"teacher-twice", "room-twice", "skipped-lesson"};
  for (int i = 0; i < 5000; ++i) {
    const Finding finding{kKinds[i % 3 == 2 ? 2 : i % 7 == 0], "SOLUC", "CPROF", "",
                          "fila " + std::to_string(i),
                          "El profesor est\xC3\xA1 en dos sitios a la vez\n" +
                              std::string(i % 50, '.')};
    in_memory.findings.Add(finding);
    spooled.findings.Add(finding);
  }
  EXPECT_EQ(ReportText(spooled), ReportText(in_memory));
  EXPECT_EQ(ReportJson(spooled), ReportJson(in_memory));
  EXPECT_EQ(FindingsSummaryLine(spooled), FindingsSummaryLine(in_memory));
  for (const std::size_t most : {std::size_t{1000}, SIZE_MAX}) {
    EXPECT_EQ(FindingsByKind(spooled, FindingLevel::kAviso, most),
              FindingsByKind(in_memory, FindingLevel::kAviso, most));
  }
  // And the report file holds that text.
  ASSERT_TRUE(WriteReportFile(spooled));
  EXPECT_EQ(testing::ReadFile(ReportPath(spooled)), ReportText(in_memory));
}

// How a save left the exchange file, as the report notes it.
TEST(RunReport, NotesOnASavedFileSayWhatWasNotKept) {
  FileInfo before;
  before.owner = 1001;
  before.group = 100;
  FileInfo same = before;
  FileInfo other_owner = before;
  other_owner.owner = 1000;
  FileInfo linked = before;
  linked.links = 3;
  const struct {
    const char* label;
    FileInfo before, after;
    std::vector<std::string> notes;
  } cases[] = {
      {"kept", before, same, {}},
      {"owner not kept",
       before,
       other_owner,
       {"el sistema no ha permitido conservar el propietario y el grupo del archivo XML "
        "(1001:100); ahora son 1000:100."}},
      {"other names",
       linked,
       same,
       {"el archivo XML tenía 3 nombres (enlaces físicos); los demás nombres siguen con el "
        "contenido anterior."}},
  };
  for (const auto& c : cases) EXPECT_EQ(NotesOnSavedFile(c.before, c.after), c.notes) << c.label;
}

// A run killed while writing its report leaves the temporary file; the next
// report takes it over, so nothing of the killed one stays beside the tables.
TEST(RunReport, NextReportTakesOverWhatAKilledWriteLeft) {
  const testing::TempDir dir;
  const std::filesystem::path left = dir.path() / "~pontexa-informe.txt";
  testing::WriteFile(left, "a medio escribir");
  RunReport report = Sample();
  report.table_folder = dir.path().string();
  ASSERT_TRUE(WriteReportFile(report));
  EXPECT_FALSE(std::filesystem::exists(left));
  EXPECT_EQ(testing::ReadFile(dir.path() / kReportFileName), ReportText(report));
}

// A symbolic link with the temporary name (left there by anyone) is neither
// written through nor kept: the report is written all the same.
TEST(RunReport, LinkWithTheTemporaryNameIsNotWrittenThrough) {
  const testing::TempDir dir;
  testing::WriteFile(dir / "otro.txt", "no se toca");
  std::filesystem::create_symlink(dir / "otro.txt", dir / "~pontexa-informe.txt");
  RunReport report = Sample();
  report.table_folder = dir.path().string();
  ASSERT_TRUE(WriteReportFile(report));
  EXPECT_EQ(testing::ReadFile(dir / "otro.txt"), "no se toca");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / kReportFileName));
  EXPECT_EQ(testing::ReadFile(dir / kReportFileName), ReportText(report));
}

// The disk fills while the report is written: no report is said to be
// written, the last one stays as it was and nothing half-written is left.
TEST(RunReport, ReportThatDoesNotFitLeavesTheLastOne) {
  // Files open for writing take 100 bytes, then the disk is full.
  class FullDiskEnv : public EnvWrapper {
   public:
    FullDiskEnv() : EnvWrapper(Env::System()) {}
    Status Open(const std::filesystem::path& path, OpenOptions options,
                std::unique_ptr<File>* file) override {
      Status status = EnvWrapper::Open(path, options, file);
      if (status && options.mode != OpenMode::kRead)
        *file = std::make_unique<Small>(std::move(*file));
      return status;
    }

   private:
    class Small : public File {
     public:
      explicit Small(std::unique_ptr<File> file) : file_(std::move(file)) {}
      Status ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                    std::size_t* read) override {
        return file_->ReadAt(offset, buffer, size, read);
      }
      Status Read(char* buffer, std::size_t size, std::size_t* read) override {
        return file_->Read(buffer, size, read);
      }
      Status WriteAt(std::uint64_t offset, std::string_view bytes, std::size_t* written) override {
        return file_->WriteAt(offset, bytes, written);
      }
      Status Append(std::string_view bytes) override {
        if (appended_ + bytes.size() > 100) return Status::Of(Status::Code::kNoSpace);
        appended_ += bytes.size();
        return file_->Append(bytes);
      }
      Status Truncate(std::uint64_t size) override { return file_->Truncate(size); }
      void StartWriteBack(std::uint64_t offset, std::uint64_t length) override {
        file_->StartWriteBack(offset, length);
      }
      Status Sync() override { return file_->Sync(); }
      Status Info(FileInfo* info) override { return file_->Info(info); }
      Status TakeAccessOf(const FileInfo* original) override {
        return file_->TakeAccessOf(original);
      }
      Status Close() override { return file_->Close(); }
      bool TryHold(HoldKind kind) override { return file_->TryHold(kind); }
      std::optional<ProcessId> LockedElsewhere() override { return file_->LockedElsewhere(); }

     private:
      std::unique_ptr<File> file_;
      std::size_t appended_ = 0;
    };
  };
  const testing::TempDir dir;
  testing::WriteFile(dir / kReportFileName, "el informe anterior");
  RunReport report = Sample();
  report.table_folder = dir.path().string();
  FullDiskEnv full;
  const ScopedEnv scope(full);
  EXPECT_FALSE(WriteReportFile(report));
  EXPECT_EQ(testing::ReadFile(dir / kReportFileName), "el informe anterior");
  EXPECT_FALSE(std::filesystem::exists(dir / "~pontexa-informe.txt"));
}

}  // namespace
}  // namespace pontexa::run
