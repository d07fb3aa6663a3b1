// Any bytes as the exchange file, through both conversions: GEDU to Horaplan
// into a folder of its own, and Horaplan to GEDU against fixed small tables,
// saving into the file. Every failure must reach the run control as an error
// with a message, and a failed Horaplan-to-GEDU run must leave the file as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/regional_settings.h"
#include "run/run_control.h"
#include "run/run_ui.h"
#include "tables/catalogue.h"
#include "tables/table_store.h"
#include "work_folder.h"

namespace {

namespace fs = std::filesystem;
using pontexa::HoldKind;
using pontexa::tables::FieldType;
using pontexa::tables::Layout;
using pontexa::tables::Table;
using pontexa::tables::TableStore;

// A small school: the catalogues the timetable below refers to.
constexpr char kSchool[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<document>
  <subjects><subject id="S1" name="Matemáticas"/><subject id="S2" name="Lengua"/></subjects>
  <teachers><teacher id="T1">Ana Gil</teacher><teacher id="T2">Luis Ruiz</teacher></teachers>
  <locations><location id="L1">Aula 1</location></locations>
  <groups><group id="G1" name="1 ESO A">
    <assigned-subjects><assigned-subject id="S1" hours="4">
      <assigned-teachers><assigned-teacher id="T1"/></assigned-teachers>
    </assigned-subject></assigned-subjects>
  </group></groups>
</document>
)";

class QuietUi : public pontexa::run::RunUi {
 public:
  explicit QuietUi(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> ChooseExchangeFile(const std::string&) override { return path_; }
  void ShowMessage(const std::string&) override {}
  void ShowMessageWithDetails(const std::string&, const std::string&, const std::string&) override {
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void SetWaitCursor(bool) override {}
  std::vector<std::string> errors;

 private:
  std::string path_;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::abort();
}

void FillTable(const TableStore& store, const char* name, const Layout& layout,
               const std::vector<std::vector<std::string>>& rows) {
  store.MakeEmptyTable(name, layout);
  Table table(store, name);
  table.OpenTable(HoldKind::kShared);
  for (const auto& row : rows) {
    table.StartNewRow();
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (layout[i].type == FieldType::kText) {
        table.PutText(layout[i].name, row[i]);
      } else {
        table.PutFloat(layout[i].name, std::stod(row[i]));
      }
    }
    table.SaveNewRow();
  }
}

struct Folders {
  fs::path root;
  fs::path exchange_file;
  fs::path built_tables;     // where GEDU to Horaplan writes
  fs::path horaplan_tables;  // the fixed tables that Horaplan to GEDU reads
};

const Folders& Setup() {
  static const Folders folders = [] {
    const fs::path root = pontexa::fuzz::MakeWorkFolder("xml");
    Folders made{root, root / "intercambio.xml", root / "nuevas", root / "htemp"};
    fs::create_directory(made.built_tables);
    fs::create_directory(made.horaplan_tables);

    // The catalogues as the first conversion writes them, then Horaplan's week
    // and timetable.
    WriteBytes(made.exchange_file, kSchool);
    QuietUi ui(made.exchange_file.string());
    pontexa::run::RunControl control(ui, made.horaplan_tables, {','});
    if (!control.RunToHoraplan()) std::abort();
    const TableStore store(made.horaplan_tables, {','});
    FillTable(store, pontexa::tables::kDiashorast, pontexa::tables::DiashorastLayout(),
              {{"11", "11", "1", "Lunes", "1", "8:00", "8:55", "55"},
               {"12", "12", "1", "Lunes", "2", "9:00", "9:55", "55"}});
    const Layout soluc = {{"DIA", FieldType::kFloat, 0},      {"HORA", FieldType::kFloat, 0},
                          {"SESIONES", FieldType::kFloat, 0}, {"ASIG", FieldType::kText, 4},
                          {"CODGRUPO", FieldType::kText, 4},  {"PROF", FieldType::kText, 4},
                          {"AULA", FieldType::kText, 4}};
    Table subjects(store, pontexa::tables::kAsignomt);
    subjects.OpenTable(HoldKind::kShared);
    subjects.ToFirstRow();
    const std::string subject = subjects.TextOf("COD");
    subjects.CloseTable();
    FillTable(
        store, pontexa::tables::kSoluc, soluc,
        {{"1", "1", "1", subject, "1EA", "AG", "A1"}, {"1", "2", "1", subject, "1EA", "AG", "A1"}});
    return made;
  }();
  return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Folders& folders = Setup();
  const std::string input(reinterpret_cast<const char*>(data), size);

  WriteBytes(folders.exchange_file, input);
  {
    QuietUi ui(folders.exchange_file.string());
    pontexa::run::RunControl control(ui, folders.built_tables, {','});
    const bool done = control.RunToHoraplan();
    // A run ends either with its closing message or with one error that says why.
    if (done != ui.errors.empty() || (!done && (ui.errors.size() != 1 || ui.errors[0].empty()))) {
      std::abort();
    }
    // The first conversion never writes the exchange file.
    if (ReadBytes(folders.exchange_file) != input) std::abort();
  }
  {
    QuietUi ui(folders.exchange_file.string());
    pontexa::run::RunControl control(ui, folders.horaplan_tables, {','});
    const bool done = control.RunToGedu();
    if (done != ui.errors.empty() || (!done && (ui.errors.size() != 1 || ui.errors[0].empty()))) {
      std::abort();
    }
    if (!done && ReadBytes(folders.exchange_file) != input) std::abort();
    if (done) {
      // What was saved loads again, and a second run replaces the section with
      // the same one.
      const std::string saved = ReadBytes(folders.exchange_file);
      QuietUi again(folders.exchange_file.string());
      pontexa::run::RunControl second(again, folders.horaplan_tables, {','});
      if (!second.RunToGedu()) std::abort();
      if (ReadBytes(folders.exchange_file) != saved) std::abort();
    }
  }
  return 0;
}
