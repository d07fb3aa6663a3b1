#pragma once

#include <filesystem>
#include <string>

#include "synthetic_school.h"

namespace pontexa::bench {

// The school as GEDU exports it: a UTF-8 exchange file with root `document` and
// the subjects, teachers, locations and groups (with their assigned subjects and
// teachers), indented by two spaces.
std::string ExchangeFileText(const School& school);

// Writes ExchangeFileText to path, replacing the file. Throws std::runtime_error
// when the file cannot be written.
void WriteExchangeFile(const School& school, const std::filesystem::path& path);

}  // namespace pontexa::bench
