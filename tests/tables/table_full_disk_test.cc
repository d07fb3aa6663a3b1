// Appending to a table when the disk refuses more bytes or when the process
// dies halfway: the file left behind is a whole table that our store and
// python3-dbfread read alike, holding the rows that reached the disk in the
// order they were saved. The disk fills up in this process through the
// fault-injecting Env, at exactly the byte a case chooses; one case fills it for
// real, through a per-file size limit in a child process (which needs no
// privileges).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "support/error_message.h"
#include "support/fault_env.h"
#include "support/python.h"
#include "support/temp_dir.h"
#include "tables/table.h"
#include "tables/table_store.h"

namespace pontexa::tables {
namespace {

using testing::FaultEnv;
using ::testing::HasSubstr;
using testing::MessageOf;
using testing::Named;
using testing::ReadFile;
using testing::TempDir;

// Two text fields: N (8) holding the row's number, T (100).
constexpr std::uint64_t kHeader = 32 + 2 * 32 + 1;
constexpr std::uint64_t kRecord = 1 + 8 + 100;

struct ChildReport {
  int saved = 0;               // rows whose SaveNewRow returned
  std::string error;           // the message raised, if any
  bool refused_after = false;  // a further row was refused after the error
};

// In a child process limited to `limit` bytes per file, appends `rows` rows to
// the empty table T and closes it, or leaves without closing when `die_open`.
ChildReport AppendInChild(const TableStore& store, int rows, rlim_t limit, bool die_open = false) {
  int channel[2];
  EXPECT_EQ(pipe(channel), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel[0]);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit bound{limit, limit};
    setrlimit(RLIMIT_FSIZE, &bound);
    int saved = 0;
    std::string error;
    bool refused_after = false;
    const auto report_and_exit = [&] {
      const std::string report =
          std::to_string(saved) + "\n" + (refused_after ? "1" : "0") + "\n" + error;
      (void)!write(channel[1], report.data(), report.size());
      _exit(0);
    };
    try {
      Table table(store, "T");
      table.OpenTable(HoldKind::kShared);
      try {
        for (int i = 0; i < rows; ++i) {
          table.StartNewRow();
          table.PutText("N", std::to_string(i));
          table.PutText("T", "fila " + std::to_string(i));
          table.SaveNewRow();
          ++saved;
        }
        if (die_open) report_and_exit();  // the table is never closed
        table.CloseTable();
      } catch (const Error& e) {
        error = e.what();
        try {
          table.StartNewRow();
          table.PutText("N", "otra");
          table.SaveNewRow();
        } catch (const Error&) {
          refused_after = true;
        }
      }
    } catch (const Error& e) {
      error = std::string("al abrir: ") + e.what();
    }
    report_and_exit();
  }
  close(channel[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, got);
  close(channel[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ChildReport result;
  std::istringstream lines(report);
  std::string refused;
  lines >> result.saved >> refused;
  lines.get();
  std::getline(lines, result.error, '\0');
  result.refused_after = refused == "1";
  return result;
}

// Appends `rows` rows to the empty table T and closes it, in this process;
// the message raised, or "(no error)".
std::string Append(const TableStore& store, int rows) {
  Table table(store, "T");
  table.OpenTable(HoldKind::kShared);
  return MessageOf([&] {
    for (int i = 0; i < rows; ++i) {
      table.StartNewRow();
      table.PutText("N", std::to_string(i));
      table.PutText("T", "fila " + std::to_string(i));
      table.SaveNewRow();
    }
    table.CloseTable();
  });
}

// The N of every row, in stored order, as our store reads them.
std::vector<std::string> RowsByStore(const TableStore& store) {
  std::vector<std::string> rows;
  Table table(store, "T");
  table.OpenTable(HoldKind::kShared);
  for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
    rows.push_back(table.TextOf("N"));
  }
  return rows;
}

// The same as python3-dbfread reads them, for each file, in one run of it.
std::vector<std::vector<std::string>> RowsByDbfread(
    const std::vector<std::filesystem::path>& files) {
  std::vector<std::string> args;
  for (const auto& file : files) args.push_back(file.string());
  const testing::Outcome run = testing::RunPython(R"(
import sys, dbfread
for name in sys.argv[1:]:
    rows = dbfread.DBF(name, load=True, char_decode_errors='strict').records
    print(' '.join(r['N'] for r in rows))
)",
                                                  args);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::vector<std::string>> tables;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> rows;
    std::istringstream words(line);
    for (std::string word; words >> word;) rows.push_back(word);
    tables.push_back(std::move(rows));
  }
  return tables;
}

std::vector<std::string> RowsByDbfread(const std::filesystem::path& file) {
  std::vector<std::vector<std::string>> tables = RowsByDbfread(std::vector{file});
  return tables.empty() ? std::vector<std::string>{} : tables.front();
}

std::vector<std::string> Numbered(std::uint64_t count) {
  std::vector<std::string> rows;
  for (std::uint64_t i = 0; i < count; ++i) rows.push_back(std::to_string(i));
  return rows;
}

class TableFullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::PythonHasModule("dbfread")) GTEST_SKIP() << "python3-dbfread is missing";
    MakeTable(store_);
  }

  static void MakeTable(const TableStore& store) {
    store.MakeEmptyTable("T", {{"N", FieldType::kText, 8}, {"T", FieldType::kText, 100}});
  }

  // Both readers see exactly the rows 0 to count - 1, and the file ends right
  // after them with the end-of-file marker.
  void ExpectTableOf(std::uint64_t count) {
    const std::vector<std::string> expected = Numbered(count);
    EXPECT_TRUE(RowsByStore(store_) == expected) << "the store reads another set of rows";
    EXPECT_TRUE(RowsByDbfread(dir_ / "T.DBF") == expected) << "dbfread reads another set of rows";
    const std::string bytes = ReadFile(dir_ / "T.DBF");
    ASSERT_EQ(bytes.size(), kHeader + count * kRecord + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
  }

  // The disk of the faults takes T.DBF up to `size` bytes, the empty table's
  // included.
  static void LimitTableTo(FaultEnv& faults, std::uint64_t size) {
    faults.FailWritesAfter(Named("T.DBF"), size - (kHeader + 1));
  }

  std::string NoRoom() const {
    return "No se puede escribir en la tabla '" + (dir_ / "T.DBF").string() +
           "': No queda espacio en el disco";
  }

  TempDir dir_;
  TableStore store_{dir_.path(), {','}};
};

TEST_F(TableFullDiskTest, FailedCloseKeepsTheRowsWhollyWrittenAndCountsThem) {
  const std::uint64_t limit = 3000;
  {
    FaultEnv faults;
    LimitTableTo(faults, limit);
    const ScopedEnv scoped(faults);
    EXPECT_EQ(Append(store_, 40), NoRoom());
  }
  ExpectTableOf((limit - kHeader) / kRecord);
}

// The one full disk of this file that is real: the system's own refusal, and
// its own words for it, past a per-file size limit.
TEST_F(TableFullDiskTest, FailedBlockWhileAppendingKeepsTheRowsWhollyWritten) {
  // Past the first block written while appending, short of the second.
  const rlim_t limit = 1'500'000;
  const ChildReport child = AppendInChild(store_, 30'000, limit);
  EXPECT_THAT(child.error, HasSubstr("No se puede escribir en la tabla"));
  EXPECT_THAT(child.error, HasSubstr("demasiado grande"));
  EXPECT_TRUE(child.refused_after);
  const std::uint64_t on_disk = (limit - kHeader) / kRecord;
  EXPECT_GE(static_cast<std::uint64_t>(child.saved), on_disk);
  EXPECT_LT(child.saved, 30'000);
  ExpectTableOf(on_disk);
}

TEST_F(TableFullDiskTest, FailedBlockRefusesEveryFurtherRow) {
  FaultEnv faults;
  LimitTableTo(faults, 1'500'000);
  const ScopedEnv scoped(faults);
  Table table(store_, "T");
  table.OpenTable(HoldKind::kShared);
  int saved = 0;
  const std::string error = MessageOf([&] {
    for (; saved < 30'000; ++saved) {
      table.StartNewRow();
      table.PutText("N", std::to_string(saved));
      table.SaveNewRow();
    }
  });
  EXPECT_EQ(error, NoRoom());
  EXPECT_LT(saved, 30'000);
  EXPECT_EQ(MessageOf([&] {
              table.StartNewRow();
              table.SaveNewRow();
            }),
            NoRoom());
}

TEST_F(TableFullDiskTest, DiskFullAtTheLastByteStillLeavesAWholeTable) {
  // Room for ten rows exactly and no end-of-file marker: the header still
  // counts the ten rows that every reader finds.
  {
    FaultEnv faults;
    LimitTableTo(faults, kHeader + 10 * kRecord);
    const ScopedEnv scoped(faults);
    EXPECT_EQ(Append(store_, 12), NoRoom());
  }
  EXPECT_TRUE(RowsByStore(store_) == Numbered(10));
  EXPECT_TRUE(RowsByDbfread(dir_ / "T.DBF") == Numbered(10));
}

// A table is written in blocks while rows are appended, each followed by an
// end-of-file marker and the header's new count, and the rest at close. The
// disk fills up one byte before, at and one byte after the end of each of
// those writes: every time the table left holds the rows wholly written, which
// both readers find, and the run is told unless everything fitted.
TEST_F(TableFullDiskTest, DiskFullAtEachBlockBoundaryLeavesTheRowsWhollyWritten) {
  constexpr int kRows = 25'000;  // two blocks, and the rest at close
  const std::uint64_t whole = kHeader + kRows * kRecord + 1;
  std::set<std::uint64_t> ends;
  {
    FaultEnv recorder;
    const ScopedEnv scoped(recorder);
    ASSERT_EQ(Append(store_, kRows), "(no error)");
    for (const FaultEnv::Write& write : recorder.writes()) {
      if (write.offset + write.size > kHeader + 1) ends.insert(write.offset + write.size);
    }
  }
  ASSERT_GE(ends.size(), 5u) << "two blocks with their markers, then the rest";
  ASSERT_EQ(*ends.rbegin(), whole);

  struct Case {
    std::uint64_t limit;
    std::uint64_t rows;
    std::filesystem::path file;
  };
  std::vector<Case> cases;
  std::uint64_t last = 0;  // the last limit tried
  for (const std::uint64_t end : ends) {
    for (const std::uint64_t limit : {end - 1, end, end + 1}) {
      if (limit > whole || limit <= last) continue;
      const std::string label = "limit " + std::to_string(limit);
      const TempDir dir;
      const TableStore store(dir.path(), {','});
      MakeTable(store);
      std::string error;
      {
        FaultEnv faults;
        LimitTableTo(faults, limit);
        const ScopedEnv scoped(faults);
        error = Append(store, kRows);
      }
      const std::uint64_t rows = std::min<std::uint64_t>(kRows, (limit - kHeader) / kRecord);
      if (limit == whole) {
        EXPECT_EQ(error, "(no error)") << label;
      } else {
        EXPECT_EQ(error, "No se puede escribir en la tabla '" + (dir / "T.DBF").string() +
                             "': No queda espacio en el disco")
            << label;
      }
      EXPECT_TRUE(RowsByStore(store) == Numbered(rows)) << label;
      // The end-of-file marker follows the rows wherever there was room for it.
      const std::string bytes = ReadFile(dir / "T.DBF");
      const std::uint64_t rows_end = kHeader + rows * kRecord;
      EXPECT_EQ(bytes.size(), rows_end + (limit > rows_end ? 1 : 0)) << label;
      // python3-dbfread reads the tables of writes cut one byte short, and the
      // whole one: the reader's start-up is most of this test's time.
      if (limit == end - 1 || limit == whole) {
        const std::filesystem::path kept = dir_ / ("T" + std::to_string(cases.size()) + ".DBF");
        std::filesystem::copy_file(dir / "T.DBF", kept);
        cases.push_back({limit, rows, kept});
      }
      last = limit;
    }
  }
  const std::vector<std::vector<std::string>> by_dbfread = [&] {
    std::vector<std::filesystem::path> files;
    for (const Case& c : cases) files.push_back(c.file);
    return RowsByDbfread(files);
  }();
  ASSERT_EQ(by_dbfread.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_TRUE(by_dbfread[i] == Numbered(cases[i].rows)) << "limit " << cases[i].limit;
  }
}

// A close that fails once every block is written (a network file system may
// say only then that bytes were lost) is told, naming the table, and releases it.
TEST_F(TableFullDiskTest, CloseFailingAfterTheLastBlockIsToldAndReleasesTheTable) {
  {
    FaultEnv faults;
    faults.FailClose(Named("T.DBF"));
    const ScopedEnv scoped(faults);
    EXPECT_EQ(Append(store_, 12'000), NoRoom());
  }
  Table again(store_, "T");
  again.OpenTable(HoldKind::kExclusive);
  again.CloseTable();
  ExpectTableOf(12'000);
}

TEST_F(TableFullDiskTest, ProcessDyingAfterABlockLeavesTheRowsOfThatBlock) {
  const ChildReport child = AppendInChild(store_, 12'000, RLIM_INFINITY, /*die_open=*/true);
  EXPECT_EQ(child.saved, 12'000);
  const std::vector<std::string> by_store = RowsByStore(store_);
  EXPECT_GT(by_store.size(), 0u);
  EXPECT_LT(by_store.size(), 12'000u);
  EXPECT_TRUE(by_store == Numbered(by_store.size()));
  EXPECT_TRUE(RowsByDbfread(dir_ / "T.DBF") == by_store);
}

}  // namespace
}  // namespace pontexa::tables
