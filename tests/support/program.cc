#include "support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace pontexa::testing {

Running StartProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  std::vector<std::string> full = options.wrapper;
  full.insert(full.end(), argv.begin(), argv.end());
  if (full.empty()) return {};
  std::vector<char*> args;
  for (const std::string& arg : full) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return {};
  }
  const pid_t child = fork();
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(127);
    for (const std::string& entry : options.env) putenv(const_cast<char*>(entry.c_str()));
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
  if (child < 0) {
    close(out[0]);
    close(err[0]);
    return {};
  }
  return {child, out[0], err[0]};
}

Outcome WaitForProgram(const Running& running) {
  Outcome outcome;
  if (running.pid < 0) return outcome;
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
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  while (waitpid(running.pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

Outcome RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  return WaitForProgram(StartProgram(argv, options));
}

}  // namespace pontexa::testing
