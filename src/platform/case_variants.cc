#include "platform/case_variants.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/ascii.h"

namespace pontexa {

std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                std::string_view name) {
  std::vector<std::filesystem::path> found;
  std::error_code error;
  std::filesystem::directory_iterator it(directory, error);
  if (error) return found;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    std::string file_name = it->path().filename().string();
    if (SameIgnoringAsciiCase(file_name, name)) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
    const bool a_exact = a.filename().string() == name;
    const bool b_exact = b.filename().string() == name;
    if (a_exact != b_exact) return a_exact;
    return a.filename().string() < b.filename().string();
  });
  return found;
}

}  // namespace pontexa
