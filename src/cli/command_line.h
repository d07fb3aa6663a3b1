#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pontexa::cli {

enum class Command { kHelp, kVersion, kToHoraplan, kToGedu, kCopies, kRestore };

// What a well-formed command line asks for.
struct Arguments {
  Command command = Command::kToHoraplan;
  std::string exchange_file;  // or the copy's name for restore
  std::optional<std::string> table_folder;
  std::optional<std::string> json_report;
  std::optional<std::string> xml;  // restore: where an exchange-file copy goes
  bool check = false;
};

// Why a command line is wrong usage: the text shown after "pontexa-cli: ".
struct UsageFault {
  std::string problem;
};

// Reads the arguments after the program's name. Nothing is checked against
// the disk; the first fault found is the one returned.
std::variant<Arguments, UsageFault> ParseCommandLine(const std::vector<std::string_view>& args);

}  // namespace pontexa::cli
