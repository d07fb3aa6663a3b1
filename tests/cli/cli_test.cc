#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/held_file.h"
#include "support/program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

using pontexa::testing::Outcome;
using pontexa::testing::RunOptions;
using pontexa::testing::RunProgram;

// `env` entries ("NAME=value") are added to the test's own environment.
Outcome Cli(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
  args.insert(args.begin(), PONTEXA_CLI);
  RunOptions options;
  options.env = env;
  return RunProgram(args, options);
}

// The tables as an independent dBase reader sees them: every field as text
// ("" for blank), floats in %g.
using Rows = std::vector<std::vector<std::string>>;
struct ReadBack {
  std::map<std::string, std::vector<std::string>> fields;
  std::map<std::string, Rows> rows;
};

constexpr char kReader[] = R"(
import os, sys
from dbfread import DBF
for name in sys.argv[2:]:
    table = DBF(os.path.join(sys.argv[1], name + '.DBF'), encoding='cp1252', char_decode_errors='strict')
    print('TABLE\t' + name + '\t' + '\t'.join(table.field_names))
    for record in table:
        values = []
        for value in record.values():
            if value is None: values.append('')
            elif isinstance(value, float): values.append('%g' % value)
            else: values.append(str(value).rstrip(' '))
        print('ROW\t' + '\t'.join(values))
)";

ReadBack ReadTables(const fs::path& dir, const std::vector<std::string>& names) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-c", kReader, dir.string()};
  argv.insert(argv.end(), names.begin(), names.end());
  const Outcome outcome = RunProgram(argv);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  ReadBack read;
  std::istringstream lines(outcome.out);
  std::string line, table;
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      cells.push_back(line.substr(start, tab - start));
    }
    cells.push_back(line.substr(start));
    if (cells[0] == "TABLE") {
      table = cells[1];
      read.fields[table] = std::vector<std::string>(cells.begin() + 2, cells.end());
      read.rows[table];
    } else {
      read.rows[table].emplace_back(cells.begin() + 1, cells.end());
    }
  }
  return read;
}

constexpr char kSmallSchool[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<document>
  <teachers><teacher id="T1">Ana Gil</teacher></teachers>
  <groups><group id="G1" name="1 ESO A"/></groups>
</document>
)";

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    fs::create_directory(tables_);
    fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", sample_);
  }
  TempDir dir_;
  fs::path tables_ = dir_ / "htemp";
  fs::path sample_ = dir_ / "instituto.xml";
};

TEST_F(CliTest, ConvertsTheSampleSchoolForHoraplan) {
  const Outcome outcome = Cli({"to-horaplan", sample_.string(), "--dir", tables_.string()});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "Proceso finalizado\n");
  // Codes made unique and a long name cut: notas only.
  EXPECT_THAT(outcome.err, ::testing::StartsWith("pontexa-cli: 0 avisos, 25 notas"));

  ReadBack read =
      ReadTables(tables_, {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"});
  EXPECT_EQ(read.fields["ASIGNOMT"],
            (std::vector<std::string>{"COD", "CODLARGO", "NOMBRE", "IDGEDU", "HORAS"}));
  EXPECT_EQ(read.fields["ASIGT"],
            (std::vector<std::string>{"CASIG", "CPROF", "CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO",
                                      "GRUPO", "HORAS", "SESIONES"}));
  EXPECT_EQ(read.fields["DIASHORAST"],
            (std::vector<std::string>{"DIHO", "CODDIHO", "DIA", "TEXTODIA", "HORA", "HORADESDE",
                                      "HORAHASTA", "MINUTOS"}));

  Rows& subjects = read.rows["ASIGNOMT"];
  ASSERT_EQ(subjects.size(), 40u);
  // Subjects named as GEDU names them, course last: the long codes of one
  // subject in the four courses get numbers, and a name longer than its
  // field is cut.
  EXPECT_EQ(subjects[0],
            (std::vector<std::string>{"0101", "Lengu", "Lengua Castellana y Literatura 1.º ESO",
                                      "ASG2300101", "4"}));
  EXPECT_EQ(subjects[7],
            (std::vector<std::string>{"0108", "Educa1", "Educación Plástica, Visual y Audiovisual",
                                      "ASG2300108", "2"}));
  EXPECT_EQ(subjects[10][1], "Lengu1");
  EXPECT_EQ(subjects[29], (std::vector<std::string>{"0310", "Proye", "Proyecto de Ciencias 3.º ESO",
                                                    "ASG2300310", "1.5"}));

  Rows& teachers = read.rows["PROFT"];
  ASSERT_EQ(teachers.size(), 30u);
  EXPECT_EQ(teachers[0], (std::vector<std::string>{"JP", "Juan Pérez López", "", "", "180040117"}));
  EXPECT_EQ(teachers[27],
            (std::vector<std::string>{"LP", "Lorena Pardo Benítez", "", "", "180040380"}));
  EXPECT_EQ(teachers[28][0], "ÓA");

  Rows& rooms = read.rows["AULAT"];
  ASSERT_EQ(rooms.size(), 15u);
  EXPECT_EQ(rooms[9], (std::vector<std::string>{"M", "Música", "", "", "AU0401"}));
  EXPECT_EQ(rooms[10][0], "Ed");

  Rows& groups = read.rows["GRUPOST"];
  ASSERT_EQ(groups.size(), 12u);
  EXPECT_EQ(groups[0], (std::vector<std::string>{"1EA", "", "ESO", "1", "A", "23240101"}));
  EXPECT_EQ(groups[11], (std::vector<std::string>{"4EC", "", "ESO", "4", "C", "23240403"}));

  Rows& assignments = read.rows["ASIGT"];
  ASSERT_EQ(assignments.size(), 120u);
  EXPECT_EQ(assignments[0],
            (std::vector<std::string>{"0101", "MR", "1EA", "", "", "ESO", "1", "A", "4", "1111"}));
  // The science project of 3 ESO B: 1.5 hours, two sessions, the second of its
  // two teachers.
  EXPECT_EQ(assignments[79],
            (std::vector<std::string>{"0310", "JM", "3EB", "", "", "ESO", "3", "B", "1.5", "11"}));
  EXPECT_TRUE(read.rows["DIASHORAST"].empty());
}

TEST_F(CliTest, DefaultFolderIsHtempInTheWinePrefix) {
  fs::create_directories(dir_ / "wine" / "drive_c" / "HTEMP");
  const Outcome outcome =
      Cli({"to-horaplan", sample_.string()}, {"WINEPREFIX=" + (dir_ / "wine").string()});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(fs::exists(dir_ / "wine" / "drive_c" / "HTEMP" / "ASIGT.DBF"));
}

// The groups are held: the run stops before any table is touched, every table
// is as it was, and the error says so.
TEST_F(CliTest, HeldGroupTableEndsTheRunBeforeAnyTableIsTouched) {
  WriteFile(dir_ / "antes.xml", kSmallSchool);
  ASSERT_EQ(Cli({"to-horaplan", (dir_ / "antes.xml").string(), "--dir", tables_.string()}).status,
            0);
  std::map<std::string, std::string> before;
  for (const char* name : {"ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"}) {
    before[name] = ReadFile(tables_ / (std::string(name) + ".DBF"));
  }

  Outcome outcome;
  {
    pontexa::testing::HeldFile held(tables_ / "GRUPOST.DBF");
    outcome = Cli({"to-horaplan", sample_.string(), "--dir", tables_.string()});
  }
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "La tabla '" + (tables_ / "GRUPOST.DBF").string() +
                             "' está en uso por otro programa (horaplan.exe). Las tablas de "
                             "Horaplan se han dejado como estaban.\n");
  for (const auto& [name, bytes] : before) {
    EXPECT_EQ(ReadFile(tables_ / (name + ".DBF")), bytes) << name;
  }

  // Released: the next run rebuilds everything.
  EXPECT_EQ(Cli({"to-horaplan", sample_.string(), "--dir", tables_.string()}).status, 0);
  EXPECT_EQ(ReadTables(tables_, {"GRUPOST"}).rows["GRUPOST"].size(), 12u);
}

TEST_F(CliTest, FailuresGoToStandardErrorWithStatusOne) {
  const Outcome missing =
      Cli({"to-horaplan", (dir_ / "falta.xml").string(), "--dir", tables_.string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "No existe archivo\n");

  EXPECT_EQ(Cli({"to-gedu", dir_.path().string(), "--dir", tables_.string()}).err,
            "No existe archivo\n");  // a folder is no file

  WriteFile(dir_ / "roto.xml", "<document>\n<teachers>\n</document>\n");
  const Outcome broken = Cli({"to-gedu", (dir_ / "roto.xml").string(), "--dir", tables_.string()});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("roto.xml"), std::string::npos) << broken.err;
  EXPECT_EQ(ReadFile(dir_ / "roto.xml"), "<document>\n<teachers>\n</document>\n");

  // Horaplan has not written its timetable yet.
  const Outcome no_tables = Cli({"to-gedu", sample_.string(), "--dir", tables_.string()});
  EXPECT_EQ(no_tables.status, 1);
  EXPECT_NE(no_tables.err.find("DIASHORAST"), std::string::npos) << no_tables.err;
  EXPECT_EQ(ReadFile(sample_), ReadFile(fs::path(PONTEXA_EXAMPLES) / "instituto.xml"));
  // Only the report every run leaves, saying how it ended, and the lock file.
  EXPECT_EQ(std::distance(fs::directory_iterator(tables_), fs::directory_iterator()), 2);
  EXPECT_TRUE(fs::exists(tables_ / "pontexa-bloqueo.lck"));
  EXPECT_NE(ReadFile(tables_ / "pontexa-informe.txt").find("Resultado: error: "),
            std::string::npos);
}

TEST(CliUsage, WrongUsageGivesStatusTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"exportar", "a.xml"},
      {"to-horaplan"},
      {"to-horaplan", "a.xml", "b.xml"},
      {"to-horaplan", "a.xml", "--dir"},
      {"to-gedu", "a.xml", "--carpeta", "x"},
      {"to-gedu", "a.xml", "--dir", "x", "--dir", "y"},
      {"--help", "to-gedu"},
      {"copies", "sobra"},
      {"snapshots", "sobra"},
      {"restore"},
      {"restore", "a", "b"},
      {"restore", "a", "--xml"},
      {"restore", "a", "--xml", "x.xml", "--xml=y.xml"},
      {"restore", "a", "--xml="},
      {"to-gedu", "a.xml", "--xml", "b.xml"},
  };
  for (const auto& args : cases) {
    const Outcome outcome = Cli(args);
    EXPECT_EQ(outcome.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find("Uso: pontexa-cli"), std::string::npos) << outcome.err;
  }
}

TEST(CliUsage, HelpAndVersionGoToStandardOutput) {
  const Outcome help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("to-horaplan"), std::string::npos);
  EXPECT_NE(help.out.find("--dir"), std::string::npos);
  EXPECT_NE(help.out.find("restore NOMBRE"), std::string::npos);
  EXPECT_NE(help.out.find("copias-pontexa"), std::string::npos);
  const Outcome version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "pontexa-cli 1.02\n");
}

}  // namespace
