#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pontexa {

// Every entry of `directory` whose name equals `name` without regard to ASCII
// letter case (Windows programs under Wine may write HTEMP, htemp or Asigt.dbf),
// the exact spelling first, the others in name order; none when the directory
// is missing.
std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                std::string_view name);
// The same for several names, from one listing of the directory: the variants
// of the first name, then those of the second, and so on.
std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                const std::vector<std::string>& names);

}  // namespace pontexa
