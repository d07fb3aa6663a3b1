#include "run/run_control.h"
#include "run/folder_claim.h"
#include "run/recovery_messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "run/tables_before_run.h"
#include "support/fake_run_ui.h"
#include "support/held_file.h"
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

constexpr char kSmallSchool[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<document>
  <subjects><subject id="S1" name="Lengua" hours="4"/></subjects>
  <teachers><teacher id="T1">Ana Gil</teacher></teachers>
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

// The system's own Env, noting every path whose file it was asked about.
class AskedEnv : public EnvWrapper {
 public:
  AskedEnv() : EnvWrapper(Env::System()) {}
  Status Info(const std::filesystem::path& path, FileInfo* info) override {
    asked_.insert(path.string());
    return EnvWrapper::Info(path, info);
  }
  bool WasAsked(const std::string& path) const { return asked_.count(path) != 0; }

 private:
  std::set<std::string> asked_;
};

class RunControlTest : public ::testing::Test {
 protected:
  RunControlTest() : control_(ui_, table_folder_, RegionalSettings{','}) {
    fs::create_directory(table_folder_);
  }

  std::string ExchangeFile(const std::string& name, const std::string& xml) {
    const fs::path path = dir_ / name;
    WriteFile(path, xml);
    return path.string();
  }

  std::vector<std::string> TableFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(table_folder_)) {
      // The report every run writes and the lock file it holds are no tables.
      if (entry.path().filename() != kReportFileName &&
          entry.path().filename() != kClaimFileName) {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  }

  std::int64_t RowCount(const char* table_name) {
    tables::TableStore store(table_folder_, RegionalSettings{','});
    tables::Table table(store, table_name);
    table.OpenTable(HoldKind::kShared);
    return table.RowCount();
  }

  TempDir dir_;
  fs::path table_folder_ = dir_ / "HTEMP";
  FakeRunUi ui_;
  AskedEnv env_;
  ScopedEnv scoped_env_{env_};
  RunControl control_;
};

TEST(ErrorBoxText, AddsAPointAfterACharacterAboveThePoint) {
  struct Case {
    std::string message, shown;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Falta la tabla", "Falta la tabla."},
      {"Falta la tabla.", "Falta la tabla."},
      {"Falta la tabla ", "Falta la tabla "},
      {"\xC2\xA1"
       "Cuidado!",
       "\xC2\xA1"
       "Cuidado!"},
      {"campo -", "campo -"},
      {"campo ,", "campo ,"},
      {"ruta /", "ruta /."},
      {"tabla: 3", "tabla: 3."},
      {"No se encontr\xC3\xB3 el \xC3\xADndice", "No se encontr\xC3\xB3 el \xC3\xADndice."},
      {"en la l\xC3\xADnea del \xC3\xA1", "en la l\xC3\xADnea del \xC3\xA1."},  // last byte 0xA1
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}

TEST_F(RunControlTest, FirstClickWithTheDialogCancelledSaysNoFile) {
  EXPECT_FALSE(control_.RunToHoraplan());
  EXPECT_FALSE(control_.RunToGedu());
  EXPECT_EQ(ui_.calls(), (Calls{"choose ", "message No existe archivo", "choose ",
                                "message No existe archivo"}));
  EXPECT_TRUE(TableFiles().empty());
  EXPECT_EQ(control_.ExchangeFileName(), "");
}

TEST_F(RunControlTest, MissingTypedNameIsRememberedForTheNextRun) {
  const std::string missing = (dir_ / "falta.xml").string();
  ui_.WillChoose(missing);
  EXPECT_FALSE(control_.RunToHoraplan());
  EXPECT_FALSE(control_.RunToHoraplan());  // dialog cancelled this time
  EXPECT_EQ(ui_.calls(), (Calls{"choose ", "message No existe archivo", "choose " + missing,
                                "message No existe archivo"}));
  EXPECT_EQ(control_.ExchangeFileName(), missing);
  EXPECT_TRUE(env_.WasAsked(missing));
}

TEST_F(RunControlTest, ConversionRebuildsTheTablesUnderTheWaitCursor) {
  const std::string path = ExchangeFile("instituto.xml", kSmallSchool);
  ui_.WillChoose(path);
  // While the cursor is on, no table has been written yet; when it goes off,
  // all six are there, each with its code-page file.
  std::vector<std::size_t> files_seen;
  ui_.on_call = [&](const std::string& call) {
    if (call.starts_with("cursor")) files_seen.push_back(TableFiles().size());
  };
  EXPECT_TRUE(control_.RunToHoraplan());
  EXPECT_EQ(ui_.calls(),
            (Calls{"choose ", "cursor on", "cursor off", "message Proceso finalizado"}));
  EXPECT_EQ(files_seen, (std::vector<std::size_t>{0, 12}));
  EXPECT_EQ(RowCount(tables::kAsigt), 1);
}

// While another run holds the folder, both conversions are refused at once
// with a message naming it, and nothing in the folder changes, not even the
// report.
TEST_F(RunControlTest, ConversionsAreRefusedWhileAnotherRunHoldsTheFolder) {
  const std::string path = ExchangeFile("instituto.xml", kSmallSchool);
  const std::string before = ReadFile(path);
  const FolderClaim other = FolderClaim::Take(table_folder_, HoldKind::kExclusive);
  const std::string refusal =
      ErrorBoxText(messages::FolderInUse(std::to_string(Env::Current().ThisProcess()),
                                         Env::Current().HostName(), table_folder_.string()));
  for (const bool to_horaplan : {true, false}) {
    ui_.ClearCalls();
    ui_.WillChoose(path);
    EXPECT_FALSE(to_horaplan ? control_.RunToHoraplan() : control_.RunToGedu());
    // The second run is offered the path the first confirmed.
    EXPECT_EQ(ui_.calls(), (Calls{"choose " + (to_horaplan ? std::string() : path),
                                  "error " + refusal}));
    EXPECT_EQ(TableFiles(), std::vector<std::string>{}) << to_horaplan;
    EXPECT_FALSE(fs::exists(table_folder_ / kReportFileName)) << to_horaplan;
    EXPECT_EQ(ReadFile(path), before);
  }
}

// Two Horaplan-to-GEDU runs from different table folders never save one
// exchange file at the same time.
TEST_F(RunControlTest, SaveOfAnExchangeFileAnotherRunIsSavingIsRefused) {
  const std::string path = ExchangeFile("instituto.xml", kSmallSchool);
  ui_.WillChoose(path);
  ASSERT_TRUE(control_.RunToHoraplan());
  const std::string before = ReadFile(path);
  const ExchangeFileClaim other = ExchangeFileClaim::Take(path);
  ui_.ClearCalls();
  ui_.WillChoose(path);
  EXPECT_FALSE(control_.RunToGedu());
  EXPECT_EQ(ui_.CallsOf("error"), Calls{ErrorBoxText(messages::ExchangeFileInUse(path))});
  EXPECT_EQ(ReadFile(path), before);
}

// No box waits for the user while the run holds the folder: another run can
// take it at every box, the run's own closing message and errors included.
TEST_F(RunControlTest, NoBoxWaitsWithTheFolderClaimed) {
  const std::string path = ExchangeFile("instituto.xml", kSmallSchool);
  int boxes = 0;
  ui_.on_call = [&](const std::string& call) {
    if (call.starts_with("message") || call.starts_with("error") || call.starts_with("notice")) {
      ++boxes;
      EXPECT_NO_THROW(FolderClaim::Take(table_folder_, HoldKind::kExclusive)) << call;
    }
  };
  ui_.WillChoose(path);
  EXPECT_TRUE(control_.RunToHoraplan());
  ui_.WillChoose(path);
  EXPECT_FALSE(control_.RunToGedu());  // Horaplan has not made its timetable
  EXPECT_EQ(boxes, 2);
}

TEST_F(RunControlTest, PathChosenWithOneButtonServesTheOther) {
  const std::string path = ExchangeFile("instituto.xml", kSmallSchool);
  ui_.WillChoose(path);
  ASSERT_TRUE(control_.RunToHoraplan());
  // Horaplan's timetable, still empty.
  tables::TableStore store(table_folder_, RegionalSettings{','});
  store.MakeEmptyTable(tables::kSoluc, testing::SolucLayout(tables::FieldType::kText, 2));
  ui_.ClearCalls();

  EXPECT_TRUE(control_.RunToGedu());  // dialog cancelled: the same file again
  EXPECT_EQ(ui_.calls(), (Calls{"choose " + path, "message Proceso Terminado"}));
  const std::string saved = ReadFile(path);
  EXPECT_NE(saved.find("<time-tables>"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Ana Gil"), std::string::npos) << saved;
  // Saved in place: no other file next to it.
  std::vector<fs::path> beside;
  for (const auto& entry : fs::directory_iterator(dir_.path())) beside.push_back(entry.path());
  EXPECT_EQ(beside.size(), 2u);  // the exchange file and the tables' folder
}

// Another program holds the fourth table: every table is as it was, byte for
// byte, the copy made before the run goes, and the error says so.
TEST_F(RunControlTest, HeldFourthTableLeavesEveryTableAsItWas) {
  ui_.WillChoose(ExchangeFile("antes.xml", kSmallSchool));
  ASSERT_TRUE(control_.RunToHoraplan());
  std::map<std::string, std::string> before;
  for (const std::string& name : TableFiles()) before[name] = ReadFile(table_folder_ / name);
  ui_.ClearCalls();

  const std::string sample = ReadFile(fs::path(PONTEXA_EXAMPLES) / "instituto.xml");
  ui_.WillChoose(ExchangeFile("instituto.xml", sample));
  {
    testing::HeldFile held(table_folder_ / "GRUPOST.DBF");  // Horaplan has the groups open
    EXPECT_FALSE(control_.RunToHoraplan());
  }
  const Calls calls = ui_.calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(Calls(calls.begin() + 1, calls.begin() + 3), (Calls{"cursor on", "cursor off"}));
  EXPECT_TRUE(calls[3].starts_with("error ")) << calls[3];
  EXPECT_NE(calls[3].find("GRUPOST"), std::string::npos) << calls[3];
  EXPECT_TRUE(calls[3].ends_with(". " + std::string(kTablesLeftAsTheyWere))) << calls[3];
  EXPECT_FALSE(ui_.wait_cursor());

  std::map<std::string, std::string> after;
  for (const std::string& name : TableFiles()) after[name] = ReadFile(table_folder_ / name);
  EXPECT_TRUE(after == before);  // the same six files, and no copy left

  // Once Horaplan lets go, the next run gets through.
  ui_.ClearCalls();
  EXPECT_TRUE(control_.RunToHoraplan());
  EXPECT_EQ(RowCount(tables::kGrupost), 12);
}

TEST_F(RunControlTest, FileThatDoesNotLoadEndsTheRunBeforeAnyTable) {
  struct Case {
    const char* name;
    std::string content;
    const char* reason;  // what the parser says, with its line
  };
  for (const Case& c : {Case{"roto.xml", "<document>\n  <subjects>\n</document>\n", "3"},
                        Case{"vacio.xml", "", "vac"}}) {
    const std::string path = ExchangeFile(c.name, c.content);
    ui_.ClearCalls();
    ui_.WillChoose(path);
    EXPECT_FALSE(control_.RunToHoraplan());
    const std::vector<std::string> errors = ui_.CallsOf("error");
    ASSERT_EQ(errors.size(), 1u) << c.name;
    // After the file's name comes the parser's reason.
    EXPECT_NE(errors[0].find(c.reason, errors[0].find(path) + path.size()), std::string::npos)
        << errors[0];
    EXPECT_NE(errors[0].find(path), std::string::npos) << errors[0];
    EXPECT_TRUE(errors[0].ends_with(".")) << errors[0];
    EXPECT_EQ(ui_.calls().size(), 2u) << c.name;  // no cursor, no closing message
    EXPECT_TRUE(TableFiles().empty());

    ui_.ClearCalls();
    EXPECT_FALSE(control_.RunToGedu());
    EXPECT_EQ(ui_.CallsOf("error").size(), 1u);
    EXPECT_EQ(ReadFile(path), c.content);
  }
}

TEST_F(RunControlTest, ImportFailureLeavesTheExchangeFileAsItWas) {
  const std::string path = ExchangeFile("instituto.xml", kSmallSchool);
  ui_.WillChoose(path);
  EXPECT_FALSE(control_.RunToGedu());  // no Horaplan tables at all
  ASSERT_EQ(ui_.CallsOf("error").size(), 1u);
  EXPECT_TRUE(ui_.CallsOf("message").empty());
  EXPECT_EQ(ReadFile(path), kSmallSchool);
}

}  // namespace
}  // namespace pontexa::run
