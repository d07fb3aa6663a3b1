#include "platform/case_variants.h"

#include <algorithm>
#include <string>

#include "platform/ascii.h"
#include "platform/env.h"

namespace pontexa {

namespace {

// The entries of `names` that equal `name` without regard to letter case, the
// exact spelling first, the others in name order.
void AddVariants(const std::filesystem::path& directory, const std::vector<std::string>& names,
                 std::string_view name, std::vector<std::filesystem::path>* found) {
  std::vector<const std::string*> matches;
  for (const std::string& file_name : names) {
    if (SameIgnoringAsciiCase(file_name, name)) matches.push_back(&file_name);
  }
  std::sort(matches.begin(), matches.end(), [&](const std::string* a, const std::string* b) {
    const bool a_exact = *a == name;
    const bool b_exact = *b == name;
    if (a_exact != b_exact) return a_exact;
    return *a < *b;
  });
  for (const std::string* match : matches) found->push_back(directory / *match);
}

}  // namespace

std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                std::string_view name) {
  std::vector<std::string> names;
  std::vector<std::filesystem::path> found;
  if (!Env::Current().List(directory, &names).ok()) return found;
  AddVariants(directory, names, name, &found);
  return found;
}

std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                const std::vector<std::string>& names) {
  std::vector<std::string> listed;
  std::vector<std::filesystem::path> found;
  if (!Env::Current().List(directory, &listed).ok()) return found;
  for (const std::string& name : names) AddVariants(directory, listed, name, &found);
  return found;
}

}  // namespace pontexa
