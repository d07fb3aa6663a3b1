#include "run/run_report.h"

#include <gtest/gtest.h>

#include <filesystem>

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
  report.findings.Add({"cut", "PROFT", "NOMBRE", "teacher", "T\x01", "Otro."});
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

TEST(RunReport, FindingsAreGroupedByKindInTheOrderFirstFound) {
  const RunReport report = Sample();
  EXPECT_EQ(FindingsByKind(report),
            "cut (2)\n  S1: Cortado.\n  T\x01: Otro.\nskipped-lesson (1)\n  fila 2: Sin d\xC3\xAD"
            "a.\n");
  EXPECT_EQ(FindingsByKind(report, 2),
            "cut (2)\n  S1: Cortado.\n  T\x01: Otro.\n... y 1 aviso m\xC3\xA1s en el informe.\n");
  EXPECT_EQ(FindingsSummaryLine(report), "3 avisos: 2 cut, 1 skipped-lesson");
  EXPECT_EQ(FindingsCount(report), "Hay 3 avisos.");
  const std::string text = ReportText(report);
  EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);  // every line ends in CRLF
  EXPECT_NE(text.find("Resultado: error: Falta la tabla\tSOLUC\r\n"), std::string::npos);
  EXPECT_NE(text.find("Avisos: 3\r\n\r\ncut (2)\r\n"), std::string::npos) << text;
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

}  // namespace
}  // namespace pontexa::run
