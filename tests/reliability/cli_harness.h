#pragma once

// Runs pontexa-cli the way a user's script does, under the faults the tests
// arrange: a file-size limit, another user, a private read-only mount. Also
// the sample school as a starting point and every file of a folder with its
// bytes, so a test can say that a failed run changed nothing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/program.h"
#include "support/temp_dir.h"

namespace pontexa::reliability {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

using pontexa::testing::Outcome;
using pontexa::testing::Running;
using pontexa::testing::RunOptions;
using pontexa::testing::RunProgram;
using pontexa::testing::StartProgram;
using pontexa::testing::WaitForProgram;

inline RunOptions FileSizeLimit(rlim_t bytes) {
  RunOptions options;
  options.file_size_limit = bytes;
  return options;
}

inline RunOptions Wrapped(std::vector<std::string> wrapper) {
  RunOptions options;
  options.wrapper = std::move(wrapper);
  return options;
}

inline std::string CliPath() { return PONTEXA_CLI; }

// pontexa-cli COMMAND FILE --dir DIR.
inline Outcome RunCli(const std::string& command, const fs::path& file, const fs::path& dir,
                      const RunOptions& options = {}) {
  return RunProgram({CliPath(), command, file.string(), "--dir", dir.string()}, options);
}

// Every file below a folder with its bytes, by path relative to the folder;
// the run report, which every run rewrites, and its temporary file (which a run
// killed while writing the report leaves until the next report) left out.
using FolderFiles = std::map<std::string, std::string>;

inline constexpr char kReportFile[] = "pontexa-informe.txt";
// The lock file every run holds its claim on; it stays, as the report does.
inline constexpr char kLockFile[] = "pontexa-bloqueo.lck";

// The copies Pontexa keeps inside the table folder.
inline constexpr char kCopiesFolder[] = "copias-pontexa";

inline FolderFiles FilesIn(const fs::path& folder) {
  FolderFiles files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_regular_file() && name != kReportFile && name != kLockFile &&
        name != std::string("~") + kReportFile) {
      files[name] = ReadFile(entry.path());
    }
  }
  return files;
}

// The same, leaving out the copies folder.
inline FolderFiles FilesOutsideCopies(const fs::path& folder) {
  FolderFiles files = FilesIn(folder);
  std::erase_if(files, [](const auto& file) {
    return file.first.starts_with(std::string(kCopiesFolder) + "/");
  });
  return files;
}

// The same files with the same bytes; a difference is reported by file name.
inline void ExpectSameFiles(const FolderFiles& now, const FolderFiles& before) {
  for (const auto& [name, bytes] : before) {
    const auto found = now.find(name);
    if (found == now.end()) {
      ADD_FAILURE() << name << " is gone";
    } else if (found->second != bytes) {
      ADD_FAILURE() << name << " changed";
    }
  }
  for (const auto& [name, bytes] : now) {
    if (!before.count(name)) ADD_FAILURE() << name << " is new";
  }
}

// A folder holding the sample school's exchange file and, in htemp/, the
// tables as they stand when Horaplan has computed its timetable: the
// catalogues from a GEDU-to-Horaplan run, then Horaplan's DIASHORAST and SOLUC.
class SampleSchool {
 public:
  SampleSchool() {
    fs::create_directory(tables);
    fs::copy_file(fs::path(PONTEXA_EXAMPLES) / "instituto.xml", exchange_file);
  }

  // False (with a test failure) when the first conversion does not succeed.
  bool PrepareHoraplanTables() {
    const Outcome built = RunCli("to-horaplan", exchange_file, tables);
    EXPECT_EQ(built.status, 0) << built.err;
    if (built.status != 0) return false;
    for (const char* name : {"DIASHORAST.DBF", "SOLUC.DBF"}) {
      fs::copy_file(fs::path(PONTEXA_EXAMPLES) / name, tables / name,
                    fs::copy_options::overwrite_existing);
    }
    return true;
  }

  TempDir dir;
  fs::path tables = dir / "htemp";
  fs::path exchange_file = dir / "instituto.xml";
};

}  // namespace pontexa::reliability
