#pragma once

// Small Horaplan tables and exchange documents in a temporary folder, and the
// written section as compact text, for the tests of the time-tables section.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_file.h"
#include "exchange/section_writer.h"
#include "platform/regional_settings.h"
#include "support/soluc_layout.h"
#include "support/temp_dir.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"
#include "to_gedu/timetable_section.h"

namespace pontexa::to_gedu::testing {

using Row = std::vector<std::string>;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;
using tables::FieldLayout;
using tables::FieldType;
using tables::Layout;

// Writes a table whose rows give the values in layout order: text fields take
// the text, float fields the number written with a point ("" leaves it blank).
inline void WriteTable(const tables::TableStore& store, const std::string& name,
                       const Layout& layout, const std::vector<Row>& rows) {
  store.MakeEmptyTable(name, layout);
  tables::Table table(store, name);
  table.OpenTable(HoldKind::kShared);
  for (const Row& row : rows) {
    table.StartNewRow();
    for (std::size_t i = 0; i < row.size() && i < layout.size(); ++i) {
      if (row[i].empty()) continue;
      if (layout[i].type == FieldType::kText) {
        table.PutText(layout[i].name, row[i]);
      } else {
        table.PutFloat(layout[i].name, std::strtod(row[i].c_str(), nullptr));
      }
    }
    table.SaveNewRow();
  }
  table.CloseTable();
}

using pontexa::testing::SolucLayout;

class TimetableTest : public ::testing::Test {
 protected:
  explicit TimetableTest(char decimal_separator = ',')
      : store_(dir_.path(), RegionalSettings{decimal_separator}) {
    // Every table exists and is empty unless a test fills it.
    WriteTable(store_, tables::kDiashorast, tables::DiashorastLayout(), {});
    WriteTable(store_, tables::kGrupost, tables::GrupostLayout(), {});
    WriteTable(store_, tables::kProft, tables::ProftLayout(), {});
    WriteTable(store_, tables::kAulat, tables::AulatLayout(), {});
    WriteTable(store_, tables::kAsignomt, tables::AsignomtLayout(), {});
    WriteTable(store_, tables::kSoluc, SolucLayout(), {});
  }

  // Rows of (DIA, TEXTODIA, HORA, HORADESDE, HORAHASTA).
  void DiasHoras(const std::vector<Row>& rows) {
    std::vector<Row> full;
    for (const Row& r : rows) full.push_back({"", "", r[0], r[1], r[2], r[3], r[4], ""});
    WriteTable(store_, tables::kDiashorast, tables::DiashorastLayout(), full);
  }
  // Rows of (ABREV, IDGEDU).
  void Grupos(const std::vector<Row>& rows) {
    std::vector<Row> full;
    for (const Row& r : rows) full.push_back({r[0], "", "", "", "", r[1]});
    WriteTable(store_, tables::kGrupost, tables::GrupostLayout(), full);
  }
  void Profesores(const std::vector<Row>& rows) {
    std::vector<Row> full;
    for (const Row& r : rows) full.push_back({r[0], "", "", "", r[1]});
    WriteTable(store_, tables::kProft, tables::ProftLayout(), full);
  }
  void Aulas(const std::vector<Row>& rows) {
    std::vector<Row> full;
    for (const Row& r : rows) full.push_back({r[0], "", "", "", r[1]});
    WriteTable(store_, tables::kAulat, tables::AulatLayout(), full);
  }
  // Rows of (COD, NOMBRE, IDGEDU).
  void Asignaturas(const std::vector<Row>& rows) {
    std::vector<Row> full;
    for (const Row& r : rows) full.push_back({r[0], "", r[1], r[2], ""});
    WriteTable(store_, tables::kAsignomt, tables::AsignomtLayout(), full);
  }
  // Rows of (DIA, HORA, SESIONES, ASIG, CODGRUPO, PROF, AULA).
  void Soluc(const std::vector<Row>& rows, const Layout& layout = SolucLayout()) {
    WriteTable(store_, tables::kSoluc, layout, rows);
  }

  // The section alone, as WriteTimetableSection writes it.
  std::string Section() {
    std::string text;
    exchange::SectionWriter out([&text](std::string_view piece) { text += piece; });
    WriteTimetableSection(out, store_);
    return text;
  }

  // Writes the section into the exchange file at path, as the run does.
  void WriteSectionInto(const std::filesystem::path& path) {
    exchange::ExchangeFile file;
    ASSERT_NO_THROW(file.Load(path.string()));
    file.SaveWithSection(path.string(), [this](exchange::SectionWriter& out) {
      WriteTimetableSection(out, store_);
    });
  }

  // One list of the section, such as "days" or "inputs", as saved.
  std::string List(const std::string& name) {
    const std::string section = Section();
    std::smatch match;
    if (std::regex_search(
            section, match,
            std::regex("<" + name + "/>|<" + name + ">.*?</" + name +
                       ">(?=<(groups|members|activities|inputs)[/>]|</time-table>)"))) {
      return match.str();
    }
    return "";
  }

  TempDir dir_;
  tables::TableStore store_;
};

}  // namespace pontexa::to_gedu::testing
