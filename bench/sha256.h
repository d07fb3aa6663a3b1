#pragma once

#include <filesystem>
#include <string>

#include "platform/sha256.h"

namespace pontexa::bench {

using pontexa::Sha256;

// The digest of a whole file; throws std::runtime_error when it cannot be read.
std::string Sha256OfFile(const std::filesystem::path& path);

// The digest of a dBase table with its date of last update (header bytes 1 to 3)
// taken as zeros: the same table written on another day gives the same digest.
std::string Sha256OfTableFile(const std::filesystem::path& path);

}  // namespace pontexa::bench
