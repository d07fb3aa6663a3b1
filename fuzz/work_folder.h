#pragma once

// A scratch folder for one fuzzing process, on a memory file system when there
// is one. libFuzzer may end the process without running exit handlers, so the
// folder carries the process id, and folders of processes that are gone are
// removed when the next one starts.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace pontexa::fuzz {

inline std::filesystem::path MakeWorkFolder(const std::string& kind) {
  namespace fs = std::filesystem;
  const fs::path base =
      fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  const std::string prefix = "pontexa-fuzz-" + kind + "-";
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(base, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      fs::remove_all(entry.path(), error);
    }
  }
  const fs::path folder = base / (prefix + std::to_string(getpid()));
  fs::remove_all(folder, error);
  if (!fs::create_directory(folder, error)) {
    std::fprintf(stderr, "cannot create %s\n", folder.c_str());
    std::abort();
  }
  return folder;
}

}  // namespace pontexa::fuzz
