#include "support/python.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

extern char** environ;

namespace pontexa::testing {

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  ProgramResult result;
  if (argv.empty()) return result;
  TempDir dir;
  const std::string out_path = (dir / "out").string();
  const std::string err_path = (dir / "err").string();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    result.errors = "cannot start " + argv[0];
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.output = ReadFile(out_path);
  result.errors = ReadFile(err_path);
  return result;
}

ProgramResult RunPython(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

bool PythonHasModule(const std::string& module) {
  return RunPython("import " + module).exit_code == 0;
}

}  // namespace pontexa::testing
