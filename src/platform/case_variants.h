#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace pontexa {

// Every entry of `directory` whose name equals `name` without regard to ASCII
// letter case (Windows programs under Wine may write HTEMP, htemp or Asigt.dbf),
// the exact spelling first, the others in name order; none when the directory
// is missing.
std::vector<std::filesystem::path> CaseVariants(const std::filesystem::path& directory,
                                                std::string_view name);

}  // namespace pontexa
