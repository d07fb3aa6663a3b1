// Appending to a table when the disk refuses more bytes (a per-file size
// limit, which needs no privileges) or when the process dies halfway: the file
// left behind is a whole table that our store and python3-dbfread read alike,
// holding the rows that reached the disk in the order they were saved.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "support/python.h"
#include "support/temp_dir.h"
#include "tables/table_store.h"

namespace pontexa::tables {
namespace {

using ::testing::HasSubstr;
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
      table.OpenTable(OpenMode::kShared);
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

// The N of every row, in stored order, as our store reads them.
std::vector<std::string> RowsByStore(const TableStore& store) {
  std::vector<std::string> rows;
  Table table(store, "T");
  table.OpenTable(OpenMode::kShared);
  for (table.ToFirstRow(); !table.PastLastRow(); table.ToNextRow()) {
    rows.push_back(table.TextOf("N"));
  }
  return rows;
}

// The same as python3-dbfread reads them.
std::vector<std::string> RowsByDbfread(const std::filesystem::path& file) {
  const testing::Outcome run = testing::RunPython(R"(
import sys, dbfread
for r in dbfread.DBF(sys.argv[1], load=True, char_decode_errors='strict').records:
    print(r['N'])
)",
                                                  {file.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> rows;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  return rows;
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
    store_.MakeEmptyTable("T", {{"N", FieldType::kText, 8}, {"T", FieldType::kText, 100}});
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

  TempDir dir_;
  TableStore store_{dir_.path(), {','}};
};

TEST_F(TableFullDiskTest, FailedCloseKeepsTheRowsWhollyWrittenAndCountsThem) {
  const rlim_t limit = 3000;
  const ChildReport child = AppendInChild(store_, 40, limit);
  EXPECT_EQ(child.saved, 40);
  EXPECT_THAT(child.error,
              HasSubstr("No se puede escribir en la tabla '" + (dir_ / "T.DBF").string() + "'"));
  EXPECT_THAT(child.error, HasSubstr("El archivo es demasiado grande"));
  ExpectTableOf((limit - kHeader) / kRecord);
}

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

TEST_F(TableFullDiskTest, DiskFullAtTheLastByteStillLeavesAWholeTable) {
  // Room for ten rows exactly and no end-of-file marker: the header still
  // counts the ten rows that every reader finds.
  const rlim_t limit = kHeader + 10 * kRecord;
  const ChildReport child = AppendInChild(store_, 12, limit);
  EXPECT_THAT(child.error, HasSubstr("demasiado grande"));
  EXPECT_TRUE(RowsByStore(store_) == Numbered(10));
  EXPECT_TRUE(RowsByDbfread(dir_ / "T.DBF") == Numbered(10));
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
