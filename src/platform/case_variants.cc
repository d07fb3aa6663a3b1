#include "platform/case_variants.h"

#include <algorithm>
#include <string>

#include "platform/ascii.h"
#include "platform/env.h"

namespace pontexa {

std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                std::string_view name) {
  std::vector<std::string> names;
  std::vector<std::filesystem::path> found;
  if (!Env::Current().List(directory, &names).ok()) return found;
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    const bool a_exact = a == name;
    const bool b_exact = b == name;
    if (a_exact != b_exact) return a_exact;
    return a < b;
  });
  for (const std::string& file_name : names) {
    if (SameIgnoringAsciiCase(file_name, name)) found.push_back(directory / file_name);
  }
  return found;
}

}  // namespace pontexa
