#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace pontexa::bench {
namespace {

std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line += ' ';
    line += arg;
  }
  return line;
}

class FileActions {
 public:
  FileActions() { posix_spawn_file_actions_init(&actions_); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

Measurement RunMeasured(const std::vector<std::string>& argv,
                        const std::vector<std::string>& environment) {
  std::vector<std::string> env_entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view current(*entry);
    bool replaced = false;
    for (const std::string& extra : environment) {
      const std::size_t eq = extra.find('=');
      if (current.size() > eq &&
          current.substr(0, eq + 1) == std::string_view(extra).substr(0, eq + 1)) {
        replaced = true;
      }
    }
    if (!replaced) env_entries.emplace_back(current);
  }
  env_entries.insert(env_entries.end(), environment.begin(), environment.end());

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : env_entries) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  FileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  const auto started = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawn_error =
      posix_spawn(&pid, args[0], actions.get(), nullptr, args.data(), envp.data());
  if (spawn_error != 0) {
    throw std::runtime_error("No se puede ejecutar " + argv[0] + ": " + std::strerror(spawn_error));
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw std::runtime_error("wait4: " + std::string(std::strerror(errno)));
  }
  const auto ended = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::string how = WIFEXITED(status)
                                ? "terminó con estado " + std::to_string(WEXITSTATUS(status))
                                : "terminó por la señal " + std::to_string(WTERMSIG(status));
    throw std::runtime_error(CommandLine(argv) + " " + how);
  }

  Measurement m;
  m.wall_seconds = std::chrono::duration<double>(ended - started).count();
  m.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.peak_rss_kib = usage.ru_maxrss;
  return m;
}

long OwnPeakRssKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace pontexa::bench
