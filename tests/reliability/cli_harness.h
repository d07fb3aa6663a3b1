#pragma once

// Runs pontexa-cli the way a user's script does, under the faults the tests
// arrange: a file-size limit, another user, a private read-only mount. Also
// the sample school as a starting point and whole-folder snapshots, so a test
// can say that a failed run changed nothing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pontexa::reliability {

namespace fs = std::filesystem;
using pontexa::testing::ReadFile;
using pontexa::testing::TempDir;
using pontexa::testing::WriteFile;

struct Outcome {
  int status = -1;       // exit status; -1 when killed by a signal
  int signal = 0;        // the signal that ended the program, if any
  std::string out, err;  // standard output and standard error
};

struct RunOptions {
  std::optional<rlim_t> file_size_limit;  // RLIMIT_FSIZE in bytes, SIGXFSZ ignored
  bool killed_at_limit = false;           // SIGXFSZ left to end the program there
  std::vector<std::string> wrapper;       // programs put in front, such as setpriv ...
};

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

// A started program whose standard output and error come through pipes (which,
// unlike files, no file-size limit cuts short).
struct Running {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
};

inline Running StartProgram(const std::vector<std::string>& argv, const RunOptions& options = {}) {
  std::vector<std::string> full = options.wrapper;
  full.insert(full.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (const std::string& arg : full) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(127);
    if (options.file_size_limit) {
      // Past the limit a write fails with EFBIG instead of killing the program.
      signal(SIGXFSZ, options.killed_at_limit ? SIG_DFL : SIG_IGN);
      const rlimit limit{*options.file_size_limit, *options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  return {child, out[0], err[0]};
}

inline Outcome WaitForProgram(const Running& running) {
  Outcome outcome;
  pollfd fds[2] = {{running.out, POLLIN, 0}, {running.err, POLLIN, 0}};
  std::string* texts[2] = {&outcome.out, &outcome.err};
  int open_pipes = 2;
  while (open_pipes > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  int status = 0;
  while (waitpid(running.pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

inline Outcome RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {}) {
  return WaitForProgram(StartProgram(argv, options));
}

// pontexa-cli COMMAND FILE --dir DIR.
inline Outcome RunCli(const std::string& command, const fs::path& file, const fs::path& dir,
                      const RunOptions& options = {}) {
  return RunProgram({CliPath(), command, file.string(), "--dir", dir.string()}, options);
}

// Every file below a folder with its bytes, by path relative to the folder;
// the run report, which every run rewrites, left out.
using Snapshot = std::map<std::string, std::string>;

inline constexpr char kReportFile[] = "pontexa-informe.txt";

// The copies Pontexa keeps inside the table folder.
inline constexpr char kCopiesFolder[] = "copias-pontexa";

inline Snapshot TakeSnapshot(const fs::path& folder) {
  Snapshot files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_regular_file() && name != kReportFile) files[name] = ReadFile(entry.path());
  }
  return files;
}

// The same, leaving out the copies folder.
inline Snapshot TakeSnapshotOutsideCopies(const fs::path& folder) {
  Snapshot files = TakeSnapshot(folder);
  std::erase_if(files, [](const auto& file) {
    return file.first.starts_with(std::string(kCopiesFolder) + "/");
  });
  return files;
}

// The same files with the same bytes; a difference is reported by file name.
inline void ExpectSameFiles(const Snapshot& now, const Snapshot& before) {
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
