// Every moment a run can be cut short, by a kill or by a power cut: the run's
// changes to the file system are recorded through the Env, the folder is
// rebuilt as it stands after every prefix of them (for a power cut, with what
// was not yet flushed to disk lost), and the next start's recovery must leave
// exactly the state before the run or exactly the state after it.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>

#include "reliability/cli_harness.h"
#include "reliability/in_process.h"
#include "run/restore.h"
#include "run/saved_copies.h"
#include "run/saved_timetable.h"
#include "run/unfinished_run.h"
#include "support/crash_states.h"

namespace pontexa::reliability {
namespace {

using testing::ChangeRecorder;
using testing::CrashState;
using testing::FileChange;

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// What is checked after every crash: the tables and the exchange file.
struct Outcomes {
  FolderFiles tables;
  std::string exchange_file;
};

class CrashStatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PrepareTablesInProcess(school_));
    // Files beside the tables that a rebuild removes or leaves, so that the
    // old and new states differ in their names too.
    WriteFile(school_.tables / "asignomt.cpg", "1252");
    WriteFile(school_.tables / "PROFT.MDX", std::string(512, '\x01'));
    std::string xml = ReadFile(school_.exchange_file);
    for (const auto& [from, to] : {std::pair{"Aula", "Sala"}, {"Lengua", "Idioma"}}) {
      xml = Replaced(xml, from, to);
    }
    WriteFile(changed_, xml);
  }

  // The record of codes moved under the saved timetable is left out: it is
  // written once the tables are final, and a crash before it only loses the
  // aviso it would give, never a table.
  Outcomes Now() const {
    FolderFiles tables = FilesOutsideCopies(school_.tables);
    tables.erase(run::kMovedCodesFileName);
    return {std::move(tables), ReadFile(exchange_)};
  }

  // Runs `run` with every change below the school's folder recorded; gives the
  // changes, the state before and the state after.
  std::vector<FileChange> Record(const std::function<void()>& run) {
    before_ = Now();
    start_ = std::make_unique<FolderFiles>(FilesIn(school_.dir.path()));
    initial_ = std::make_unique<CrashState>(school_.dir.path());
    std::vector<FileChange> changes;
    {
      testing::FaultEnv quick;
      quick.LeaveOutOtherProcesses();
      ChangeRecorder recorder(quick, school_.dir.path());
      const ScopedEnv scoped(recorder);
      run();
      changes = recorder.changes();
    }
    after_ = Now();
    return changes;
  }

  // The folder made as the view shows it, in its own place, so that the
  // paths the run recorded lead to it.
  void Rebuild(const CrashState& state, bool power_cut) {
    for (const auto& entry : fs::directory_iterator(school_.dir.path())) fs::remove_all(entry);
    if (power_cut) {
      state.WriteDiskView(school_.dir.path());
    } else {
      state.WriteSystemView(school_.dir.path());
    }
  }

  // Rebuilds every crash state of the recorded run, puts each right as the
  // next start does and checks it. Returns how many different states were
  // checked (a state reached twice, such as the same folder killed just
  // before and just after a sync, is checked once).
  int CheckEveryCrash(const std::vector<FileChange>& changes, bool tables_change,
                      const std::string& label) {
    CrashState state = *initial_;
    std::set<std::size_t> seen;
    int states = 0;
    for (std::size_t done = 0; done <= changes.size(); ++done) {
      if (done > 0) state.Apply(changes[done - 1]);
      for (const bool power_cut : {false, true}) {
        // The last state is checked whatever came before: it must be the new one.
        if (!seen.insert(state.Fingerprint(power_cut)).second && done < changes.size()) continue;
        const std::string where = label + " after " + std::to_string(done) + " of " +
                                  std::to_string(changes.size()) +
                                  (power_cut ? " changes, power cut" : " changes, killed");
        Rebuild(state, power_cut);
        const Outcomes crashed = Now();
        std::string notice;
        bool error = false;
        {
          const QuickEnv quick;
          notice = run::PutRightAtStartUp(school_.tables, &error);
        }
        ++states;
        EXPECT_FALSE(error) << where << ": " << notice;
        const Outcomes now = Now();
        if (tables_change) {
          const bool old = now.tables == before_.tables;
          const bool new_ = now.tables == after_.tables;
          EXPECT_TRUE(old || new_) << where << ": tables neither old nor new";
          // A run that got to its end keeps its tables, power cut or not.
          if (done == changes.size()) {
            EXPECT_TRUE(new_) << where;
          }
        } else {
          EXPECT_TRUE(now.exchange_file == before_.exchange_file ||
                      now.exchange_file == after_.exchange_file)
              << where << ": exchange file neither old nor new";
          // Its recovery never writes the exchange file.
          EXPECT_TRUE(now.exchange_file == crashed.exchange_file) << where;
          EXPECT_EQ(now.tables, before_.tables) << where;
          if (done == changes.size()) {
            EXPECT_TRUE(now.exchange_file == after_.exchange_file) << where;
          }
        }
        ExpectNoLeftovers(where);
        if (::testing::Test::HasFailure()) return states;
      }
    }
    return states;
  }

  void ExpectNoLeftovers(const std::string& where) {
    EXPECT_FALSE(fs::exists(school_.tables / run::kRunRecordName)) << where;
    for (const auto& entry : fs::recursive_directory_iterator(school_.dir.path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_FALSE(name.starts_with("~") || name.starts_with(".instituto.xml.pontexa-"))
          << where << ": " << entry.path() << " left over";
      if (entry.is_directory() && entry.path().parent_path().filename() == kCopiesFolder) {
        EXPECT_TRUE(fs::exists(entry.path() / run::kManifestName))
            << where << ": copy " << name << " without its manifest";
      }
    }
  }

  // The counts, for the record of what was proved.
  static void Say(const char* kind, std::size_t changes, int states) {
    std::printf("%s: %zu changes, %d different crash states, all put right\n", kind, changes,
                states);
    ::testing::Test::RecordProperty(std::string(kind) + "-crash-states", states);
  }

  SampleSchool school_;
  fs::path changed_ = school_.dir / "cambiado.xml";
  fs::path exchange_ = school_.exchange_file;
  Outcomes before_;
  Outcomes after_;
  std::unique_ptr<FolderFiles> start_;
  std::unique_ptr<CrashState> initial_;
};

TEST_F(CrashStatesTest, GeduToHoraplanCutShortAnywhereIsRestoredOrFinished) {
  const std::vector<FileChange> changes = Record([&] {
    const Outcome run = RunInProcess("to-horaplan", changed_, school_.tables);
    ASSERT_EQ(run.status, 0) << run.err;
  });
  ASSERT_NE(after_.tables, before_.tables);
  const int states = CheckEveryCrash(changes, /*tables_change=*/true, "to-horaplan");
  Say("to-horaplan", changes.size(), states);
}

TEST_F(CrashStatesTest, HoraplanToGeduCutShortAnywhereLeavesTheOldOrTheNewFile) {
  const std::vector<FileChange> changes = Record([&] {
    const Outcome run = RunInProcess("to-gedu", exchange_, school_.tables);
    ASSERT_EQ(run.status, 0) << run.err;
  });
  ASSERT_NE(after_.exchange_file, before_.exchange_file);
  const int states = CheckEveryCrash(changes, /*tables_change=*/false, "to-gedu");
  Say("to-gedu", changes.size(), states);
}

TEST_F(CrashStatesTest, RestoreCutShortAnywhereIsRestoredOrFinished) {
  {
    const QuickEnv quick;
    ASSERT_EQ(RunInProcess("to-horaplan", changed_, school_.tables).status, 0);
  }
  const std::vector<run::SavedCopy> copies = run::ListCopies(school_.tables);
  ASSERT_FALSE(copies.empty());
  const std::vector<FileChange> changes = Record([&] {
    run::RestoreCopy(school_.tables, copies.front().name, std::time(nullptr));
  });
  ASSERT_NE(after_.tables, before_.tables);
  const int states = CheckEveryCrash(changes, /*tables_change=*/true, "restore");
  Say("restore", changes.size(), states);
}

}  // namespace
}  // namespace pontexa::reliability
