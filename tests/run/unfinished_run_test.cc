#include "run/unfinished_run.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/local_time.h"
#include "run/folder_claim.h"
#include "run/recovery_messages.h"
#include "run/run_control.h"
#include "run/run_report.h"
#include "support/fake_run_ui.h"
#include "support/fault_env.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;
using testing::FaultEnv;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::vector<std::string> kTables = {"ASIGNOMT", "PROFT", "ASIGT"};

TEST(RunRecord, TextGivesBackEveryValueWhateverItHolds) {
  RunRecord record;
  record.made_by = kMadeByToGedu;
  record.tables = false;
  record.time = "2026-12-09 19:20";
  record.copy_base = "20261209-192000";
  record.process = 4321;
  record.exchange_file = "/home/ana/mis datos/100%\nfalso: línea\r.xml";
  record.copy_made = true;
  record.copy_name = "20261209-192000-2";
  record.copied = {{"", "instituto.xml", 28000, std::string(64, 'a')}};
  record.writing = "";
  const std::string text = RunRecordText(record);
  // No value can add a line of its own.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11) << text;
  const std::optional<RunRecord> back = ParseRunRecord(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->exchange_file, record.exchange_file);
  EXPECT_EQ(back->copy_name, record.copy_name);
  EXPECT_FALSE(back->tables);
  EXPECT_EQ(back->process, 4321);
  ASSERT_EQ(back->copied.size(), 1u);
  EXPECT_EQ(back->copied[0].table, "");
  EXPECT_EQ(back->copied[0].size, 28000u);
}

TEST(RunRecord, TextThatIsNotAWholeRecordIsRefused) {
  RunRecord record;
  record.made_by = kMadeByToHoraplan;
  record.table_names = kTables;
  record.copy_base = "20261209-192000";
  record.copy_made = true;
  record.copy_name = "20261209-192000";
  record.copied = {{"PROFT", "PROFT.DBF", 10, std::string(64, 'b')}};
  const std::string whole = RunRecordText(record);
  ASSERT_TRUE(ParseRunRecord(whole));
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = whole;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  for (const std::string& broken : {
           whole.substr(0, whole.size() - 4),                  // cut before its last line
           whole.substr(0, whole.size() - 1),                  // last line without its end
           replaced("pontexa-en-curso 1", "otra cosa"),        // not a record
           replaced("copia: 20261209-192000", "copia: ../x"),  // a copy outside the copies
           replaced("PROFT.DBF 10", "../PROFT.DBF 10"),        // a file outside the folder
           replaced(" 10 ", " diez "),                         // a size that is no number
           replaced("contenido: tablas", "contenido: otra"),
           replaced("tablas: ASIGNOMT", "tablas: ../../notas"),  // a table outside the folder
           replaced("copiado: PROFT", "copiado: OTRA"),          // a file of no table of the run
           whole.substr(0, whole.size() - 4) + "escribiendo: OTRA\nfin\n",
           replaced("carpeta-copia: ", "carpeta-copia: ../"),
           replaced("carpeta-copia: 20261209-192000", "carpeta-copia: 20261209_192000"),
           replaced("carpeta-copia: 20261209-192000", "carpeta-copia: 2026120-9192000"),
           replaced("proceso: ", "proceso: x"),
           replaced("contenido: tablas\n", ""),    // what the copy holds, unsaid
           replaced("ejecucion: ", "otra: "),      // a key this version does not know
           replaced("ejecucion: ", "ejecucion "),  // a line without its colon
           whole + "sobra\n",
           std::string(),
       }) {
    EXPECT_FALSE(ParseRunRecord(broken)) << broken;
  }
}

// A table folder with three tables and a run of GEDU to Horaplan that is cut
// short while it writes ASIGNOMT, as a kill leaves it.
class UnfinishedRunTest : public ::testing::Test {
 protected:
  UnfinishedRunTest() {
    for (const std::string& table : kTables) {
      WriteFile(dir_ / (table + ".DBF"), "antes " + table);
    }
    WriteFile(dir_ / "asigt.cpg", "1252");
  }

  std::vector<std::string> Tables() const {
    std::vector<std::string> contents;
    for (const std::string& table : kTables) {
      contents.push_back(fs::exists(dir_ / (table + ".DBF")) ? ReadFile(dir_ / (table + ".DBF"))
                                                             : "(no)");
    }
    for (const char* name : {"asigt.cpg", "ASIGNOMT.cpg"}) {
      contents.push_back(fs::exists(dir_ / name) ? ReadFile(dir_ / name) : "(no)");
    }
    return contents;
  }

  // What a run killed while it wrote ASIGNOMT leaves: its record, its whole
  // copy, ASIGNOMT half written with a new code-page file beside it. With
  // `before_copy`, killed while it made its copy: the record without a copy,
  // and a copy folder without a manifest.
  void CutShort(bool before_copy = false, const char* made_by = kMadeByToHoraplan) {
    RunRecord record;
    record.made_by = made_by;
    record.time = LocalTime(now_, "%Y-%m-%d %H:%M");
    record.copy_base = LocalTime(now_, "%Y%m%d-%H%M%S");
    record.process = 99;
    record.exchange_file = (dir_ / "instituto.xml").string();
    record.table_names = kTables;
    if (before_copy) {
      const fs::path unfinished = CopiesFolder(dir_.path()) / (record.copy_base + "-2");
      fs::create_directories(unfinished);
      WriteFile(unfinished / "PROFT.DBF", "a medias");
    } else {
      CopyRequest request;
      request.made_by = kMadeByToHoraplan;
      request.table_folder = dir_.path();
      request.now = now_;
      copy_ = CopyTables(request, kTables, false);
      record.copy_made = true;
      record.copy_name = copy_.name;
      record.copied = copy_.manifest.files;
      record.last_known = copy_.manifest.files;
      record.writing = "ASIGNOMT";
      WriteFile(dir_ / "ASIGNOMT.DBF", "a medias");
      WriteFile(dir_ / "ASIGNOMT.cpg", "1252");
    }
    WriteFile(dir_ / kRunRecordName, RunRecordText(record));
    time_ = record.time;
  }

  std::string PutRight() {
    const FolderClaim claim = FolderClaim::Take(dir_.path(), HoldKind::kExclusive);
    return PutRightUnfinishedRun(dir_.path());
  }

  // The error PutRight raises, "" when none.
  std::string PutRightError() {
    try {
      PutRight();
    } catch (const Error& error) {
      return error.what();
    }
    return "";
  }

  TempDir dir_;
  std::time_t now_ = std::time(nullptr);
  SavedCopy copy_;
  std::string time_;
  const std::vector<std::string> old_ = {"antes ASIGNOMT", "antes PROFT", "antes ASIGT", "1252",
                                         "(no)"};
};

TEST_F(UnfinishedRunTest, TablesGoBackFromTheCopyAndTheRunsLeftoversGo) {
  CutShort();
  // What the run left, and what is not its own.
  WriteFile(dir_ / "~pontexa-99-ASIGT.DBF", "a medias");
  WriteFile(dir_ / "~pontexa-informe.txt", "a medias");
  WriteFile(dir_ / "~pontexa-notas.txt", "del usuario");
  fs::create_directories(CopiesFolder(dir_.path()) / "guardar-examenes");
  EXPECT_EQ(PutRight(), messages::TablesPutRight(false, time_));
  EXPECT_EQ(Tables(), old_);
  EXPECT_FALSE(fs::exists(dir_ / kRunRecordName));
  EXPECT_FALSE(fs::exists(dir_ / "~pontexa-99-ASIGT.DBF"));
  EXPECT_FALSE(fs::exists(dir_ / "~pontexa-informe.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "~pontexa-notas.txt"));
  EXPECT_TRUE(fs::exists(CopiesFolder(dir_.path()) / "guardar-examenes"));
  // The copy stays: it is the user's, as every other copy.
  EXPECT_TRUE(fs::exists(copy_.folder / kManifestName));
  // Once put right there is nothing more to say.
  EXPECT_EQ(PutRight(), "");
}

TEST_F(UnfinishedRunTest, RunCutShortWhileCopyingLeavesTheTablesAndLosesItsUnfinishedCopy) {
  CutShort(/*before_copy=*/true);
  EXPECT_EQ(PutRight(), messages::TablesPutRight(false, time_));
  EXPECT_EQ(Tables(), old_);
  EXPECT_FALSE(fs::exists(CopiesFolder(dir_.path())));
  EXPECT_FALSE(fs::exists(dir_ / kRunRecordName));
}

// A restore cut short is restored from the copy it made of what it replaced,
// and the message names a restore, not a conversion.
TEST_F(UnfinishedRunTest, RestoreCutShortIsRestoredFromItsOwnCopyAndSaidAsARestore) {
  CutShort(/*before_copy=*/false, kMadeByRestore);
  const std::string said = PutRight();
  EXPECT_EQ(said, messages::TablesPutRight(/*restore=*/true, time_));
  EXPECT_TRUE(said.starts_with("La \xC3\xBAltima restauraci\xC3\xB3n (")) << said;
  EXPECT_EQ(Tables(), old_);
}

// A table changed after the run's last step (Horaplan opened the mixed
// tables and saved): nothing is restored; the user is told which copy holds
// the tables as they were.
TEST_F(UnfinishedRunTest, TablesUsedAfterTheRunAreLeftAloneAndTheCopyIsNamed) {
  CutShort();
  WriteFile(dir_ / "PROFT.DBF", "cambiada en Horaplan");
  const std::vector<std::string> used = Tables();
  EXPECT_EQ(PutRight(), messages::TablesUsedSince(false, time_, copy_.name,
                                                  CopiesFolder(dir_.path()).string()));
  EXPECT_EQ(Tables(), used);
  EXPECT_FALSE(fs::exists(dir_ / kRunRecordName));
  // The table being written when the run was cut short may hold anything.
  CutShort();
  WriteFile(dir_ / "ASIGNOMT.DBF", "otra cosa a medias");
  EXPECT_EQ(PutRight(), messages::TablesPutRight(false, time_));
}

// While the tables cannot be restored the record stays, and every run that
// would change the folder is refused, naming the copy.
TEST_F(UnfinishedRunTest, TablesThatCannotBeRestoredRefuseEveryRunNamingTheCopy) {
  CutShort();
  const std::vector<std::string> mixed = Tables();
  const std::string copies = CopiesFolder(dir_.path()).string();
  {
    FaultEnv faults;
    faults.LeaveOutOtherProcesses();
    faults.HoldElsewhere(testing::Named("ASIGNOMT.DBF"), "horaplan.exe");
    const ScopedEnv scoped(faults);
    const std::string refusal = PutRightError();
    EXPECT_TRUE(refusal.starts_with("La \xC3\xBAltima conversi\xC3\xB3n (" + time_ +
                                    ") no termin\xC3\xB3 y las tablas de Horaplan no se pueden "
                                    "dejar como estaban antes de ella: "))
        << refusal;
    EXPECT_NE(refusal.find("ASIGNOMT.DBF"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("'" + copy_.name + "' en '" + copies + "'"), std::string::npos)
        << refusal;
    EXPECT_EQ(Tables(), mixed);
    EXPECT_TRUE(fs::exists(dir_ / kRunRecordName));

    // The conversion says the same, and goes no further.
    testing::FakeRunUi ui;
    ui.WillChoose((dir_ / "instituto.xml").string());
    WriteFile(dir_ / "instituto.xml", "<document/>");
    RunControl control(ui, dir_.path(), RegionalSettings{','});
    EXPECT_FALSE(control.RunToHoraplan());
    EXPECT_EQ(ui.CallsOf("error"), std::vector<std::string>{ErrorBoxText(refusal)});
    EXPECT_EQ(Tables(), mixed);
  }
  // A copy that is gone cannot restore anything either.
  fs::remove_all(copy_.folder);
  const std::string missing = PutRightError();
  EXPECT_NE(missing.find(messages::CopyOfRunMissing(copy_.name)), std::string::npos) << missing;
  // Nothing can bring them back: the message says how to go on.
  EXPECT_TRUE(missing.ends_with(
      messages::RemoveRecordToGoOn((dir_ / kRunRecordName).string())))
      << missing;
  EXPECT_TRUE(fs::exists(dir_ / kRunRecordName));
}

// A run cut short after it restored everything, as its copy was being
// removed: the tables already are as they were, so nothing is missing.
TEST_F(UnfinishedRunTest, TablesAlreadyBackNeedNoCopy) {
  CutShort();
  fs::remove_all(copy_.folder);
  WriteFile(dir_ / "ASIGNOMT.DBF", "antes ASIGNOMT");
  fs::remove(dir_ / "ASIGNOMT.cpg");
  EXPECT_EQ(PutRight(), messages::TablesPutRight(false, time_));
  EXPECT_EQ(Tables(), old_);
}

// A Horaplan-to-GEDU run replaces the exchange file whole: its recovery says
// which file is there and never writes it.
TEST_F(UnfinishedRunTest, SaveCutShortSaysWhetherTheExchangeFileIsOldOrNew) {
  const fs::path exchange = dir_ / "instituto.xml";
  for (const bool saved : {false, true}) {
    WriteFile(exchange, "<document>viejo</document>");
    CopyRequest request;
    request.made_by = kMadeByToGedu;
    request.table_folder = dir_.path();
    request.exchange_file = exchange.string();
    request.now = now_;
    const SavedCopy copy = CopyExchangeFile(request);
    RunRecord record;
    record.made_by = kMadeByToGedu;
    record.tables = false;
    record.time = "2026-12-09 19:20";
    record.exchange_file = exchange.string();
    record.copy_made = true;
    record.copy_name = copy.name;
    record.copied = copy.manifest.files;
    WriteFile(dir_ / kRunRecordName, RunRecordText(record));
    WriteFile(dir_ / ".instituto.xml.pontexa-a1B2c3", "a medias");
    if (saved) WriteFile(exchange, "<document>nuevo</document>");
    const std::string there = ReadFile(exchange);
    EXPECT_EQ(PutRight(), saved ? messages::ExchangeFileIsNew(false, record.time, exchange.string())
                                : messages::ExchangeFileKeptOld(false, record.time,
                                                                exchange.string()));
    EXPECT_EQ(ReadFile(exchange), there);
    EXPECT_FALSE(fs::exists(dir_ / ".instituto.xml.pontexa-a1B2c3"));
    EXPECT_FALSE(fs::exists(dir_ / kRunRecordName));
  }
}

// --check and the list of copies only say that a run waits to be put right.
TEST_F(UnfinishedRunTest, NoticeOnlySaysARunWaitsAndChangesNothing) {
  EXPECT_EQ(UnfinishedRunNotice(dir_.path()), "");
  CutShort();
  const std::vector<std::string> mixed = Tables();
  EXPECT_EQ(UnfinishedRunNotice(dir_.path()), messages::UnfinishedRunWaiting(false, time_));
  EXPECT_EQ(Tables(), mixed);
  EXPECT_TRUE(fs::exists(dir_ / kRunRecordName));
  WriteFile(dir_ / kRunRecordName, "pontexa-en-curso 1\nroto");
  EXPECT_EQ(UnfinishedRunNotice(dir_.path()),
            messages::DamagedRunRecord((dir_ / kRunRecordName).string()));
  EXPECT_NE(PutRightError(), "");
}

// The next conversion puts the folder right before anything else, says so
// first, and its report records it.
TEST_F(UnfinishedRunTest, NextConversionSaysItFirstAndItsReportRecordsIt) {
  CutShort();
  WriteFile(dir_ / "instituto.xml", "<document/>");
  testing::FakeRunUi ui;
  ui.WillChoose((dir_ / "instituto.xml").string());
  RunControl control(ui, dir_.path(), RegionalSettings{','});
  control.RunToGedu();
  ASSERT_GE(ui.calls().size(), 2u);
  EXPECT_EQ(ui.calls()[1], "notice " + messages::TablesPutRight(false, time_));
  EXPECT_EQ(Tables(), old_);
  ASSERT_TRUE(control.LastReport());
  EXPECT_NE(ReadFile(dir_ / kReportFileName).find(messages::ReportRecovery(
                messages::TablesPutRight(false, time_))),
            std::string::npos);
}

// A record that cannot be written stops the run before it changes anything.
TEST_F(UnfinishedRunTest, RunWhoseRecordCannotBeWrittenChangesNothing) {
  WriteFile(dir_ / "instituto.xml", "<document/>");
  FaultEnv faults;
  faults.LeaveOutOtherProcesses();
  faults.FailWritesAfter(testing::Named("~pontexa-en-curso.txt"), 0);
  const ScopedEnv scoped(faults);
  testing::FakeRunUi ui;
  ui.WillChoose((dir_ / "instituto.xml").string());
  RunControl control(ui, dir_.path(), RegionalSettings{','});
  EXPECT_FALSE(control.RunToHoraplan());
  const std::vector<std::string> errors = ui.CallsOf("error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].starts_with("No se puede anotar el comienzo")) << errors[0];
  EXPECT_EQ(Tables(), old_);
  EXPECT_FALSE(fs::exists(CopiesFolder(dir_.path())));
  EXPECT_FALSE(fs::exists(dir_ / kRunRecordName));
  EXPECT_FALSE(fs::exists(dir_ / ("~" + std::string(kRunRecordName))));
}

}  // namespace
}  // namespace pontexa::run
