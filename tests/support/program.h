#pragma once

// Runs a program the way a user's script does (no shell; argv[0] is its path),
// optionally under a fault the test arranges: a file-size limit, or programs
// put in front such as setpriv or unshare.

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace pontexa::testing {

struct Outcome {
  int status = -1;       // exit status; -1 when killed by a signal
  int signal = 0;        // the signal that ended the program, if any
  std::string out, err;  // standard output and standard error
};

struct RunOptions {
  std::optional<rlim_t> file_size_limit;  // RLIMIT_FSIZE in bytes, SIGXFSZ ignored
  bool killed_at_limit = false;           // SIGXFSZ left to end the program there
  std::vector<std::string> wrapper;       // programs put in front, such as setpriv ...
  std::vector<std::string> env;           // "NAME=value" added to the test's environment
};

// A started program whose standard output and error come through pipes (which,
// unlike files, no file-size limit cuts short); standard input is /dev/null.
// A program that cannot be started ends with status 127.
struct Running {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
};

Running StartProgram(const std::vector<std::string>& argv, const RunOptions& options = {});
Outcome WaitForProgram(const Running& running);
Outcome RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

}  // namespace pontexa::testing
