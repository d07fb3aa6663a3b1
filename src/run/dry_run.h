#pragma once

#include <filesystem>
#include <string>

#include "platform/regional_settings.h"
#include "run/run_report.h"

namespace pontexa::run {

// What a conversion would do, found by running it on scratch copies.
struct DryRunOutcome {
  bool would_succeed = false;
  std::string message;  // the closing message, or the error as it would be shown
  RunReport report;     // with the real exchange file and table folder in it
};

// Runs the conversion (GEDU to Horaplan when `to_horaplan`, else Horaplan to
// GEDU) on a temporary folder holding copies of the tables it reads or
// replaces (with their .MDX and .cpg files) and a temporary copy of the
// exchange file; nothing in the real folder or file changes, and the scratch
// folder goes when it ends. A table another program holds makes it fail as
// the conversion would. Errors become the outcome, never exceptions, but for
// a scratch folder that cannot be made (Error).
DryRunOutcome DryRun(bool to_horaplan, const std::string& exchange_file,
                     const std::filesystem::path& table_folder, RegionalSettings regional);

}  // namespace pontexa::run
