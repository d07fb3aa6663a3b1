#pragma once

#include <set>
#include <string>

#include "platform/file_system.h"

namespace pontexa::testing {

// A file system that knows only the files it is told about, and records every
// path it was asked about.
class FakeFileSystem : public FileSystem {
 public:
  void AddFile(const std::string& path) { files_.insert(path); }
  void RemoveFile(const std::string& path) { files_.erase(path); }

  bool IsExistingFile(const std::string& path) const override {
    asked_.insert(path);
    return files_.count(path) != 0;
  }
  bool WasAsked(const std::string& path) const { return asked_.count(path) != 0; }

 private:
  std::set<std::string> files_;
  mutable std::set<std::string> asked_;
};

}  // namespace pontexa::testing
