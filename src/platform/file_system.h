#pragma once

#include <string>

namespace pontexa {

// The file-system questions the run control asks; tests answer them with a fake.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True when path names an existing file; false for "", a missing path or a folder.
  virtual bool IsExistingFile(const std::string& path) const = 0;
};

class RealFileSystem : public FileSystem {
 public:
  bool IsExistingFile(const std::string& path) const override;
};

}  // namespace pontexa
