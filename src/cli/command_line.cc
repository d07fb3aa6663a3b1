#include "cli/command_line.h"

#include <cstddef>

#include "cli/messages.h"

namespace pontexa::cli {
namespace {

std::optional<Command> CommandNamed(std::string_view name) {
  if (name == "to-horaplan") return Command::kToHoraplan;
  if (name == "to-gedu") return Command::kToGedu;
  if (name == "copies" || name == "snapshots") return Command::kCopies;
  if (name == "restore") return Command::kRestore;
  return std::nullopt;
}

// Takes the options and the one file or copy name that follow the command;
// the fault of the first argument that does not fit, or "" when they all do.
std::string ReadOptions(const std::vector<std::string_view>& args, Arguments& parsed,
                        std::optional<std::string>& file) {
  // An option given with its value in the next argument, once at most.
  const auto take_next = [&](std::size_t& i, std::optional<std::string>& value,
                             std::string_view option, bool folder) -> std::string {
    if (i + 1 >= args.size()) {
      return folder ? messages::MissingFolderAfter(option) : messages::MissingFileAfter(option);
    }
    if (value) return messages::Repeated(option);
    value = std::string(args[++i]);
    return "";
  };
  // The same option with its value after '='.
  const auto take_joined = [&](std::string_view arg, std::optional<std::string>& value,
                               std::string_view option) -> std::string {
    if (value) return messages::Repeated(option);
    value = std::string(arg.substr(option.size() + 1));
    return "";
  };
  bool options_done = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    std::string fault;
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg == "--dir") {
      fault = take_next(i, parsed.table_folder, "--dir", /*folder=*/true);
    } else if (!options_done && arg.starts_with("--dir=")) {
      fault = take_joined(arg, parsed.table_folder, "--dir");
    } else if (!options_done && arg == "--report") {
      fault = take_next(i, parsed.json_report, "--report", /*folder=*/false);
    } else if (!options_done && arg == "--xml") {
      fault = take_next(i, parsed.xml, "--xml", /*folder=*/false);
    } else if (!options_done && arg.starts_with("--xml=")) {
      fault = take_joined(arg, parsed.xml, "--xml");
    } else if (!options_done && arg == "--check") {
      parsed.check = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      fault = messages::UnknownOption(arg);
    } else if (file) {
      fault = messages::ExtraArgument(arg);
    } else {
      file = std::string(arg);
    }
    if (!fault.empty()) return fault;
  }
  return "";
}

// What the options together may not be for the command; "" when they fit.
std::string CheckCombination(const Arguments& parsed, const std::optional<std::string>& file) {
  const Command command = parsed.command;
  if (command == Command::kCopies && file) return messages::ExtraArgument(*file);
  if (command == Command::kRestore && !file) return messages::MissingCopyName();
  if (!file && command != Command::kCopies) return messages::MissingXmlFile();
  if (parsed.table_folder && parsed.table_folder->empty()) return messages::EmptyFolder();
  const bool conversion = command == Command::kToHoraplan || command == Command::kToGedu;
  if (!conversion && (parsed.check || parsed.json_report)) {
    return messages::CheckAndReportOnlyForConversions();
  }
  if (parsed.xml && command != Command::kRestore) return messages::XmlOnlyForRestore();
  if (parsed.xml && parsed.xml->empty()) return messages::EmptyXmlName();
  if (parsed.json_report && parsed.json_report->empty()) return messages::EmptyReportName();
  return "";
}

}  // namespace

std::variant<Arguments, UsageFault> ParseCommandLine(const std::vector<std::string_view>& args) {
  if (args.empty()) return UsageFault{messages::MissingCommand()};
  Arguments parsed;
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    parsed.command = Command::kHelp;
    return parsed;
  }
  if (args.size() == 1 && args[0] == "--version") {
    parsed.command = Command::kVersion;
    return parsed;
  }
  const std::optional<Command> command = CommandNamed(args[0]);
  if (!command) return UsageFault{messages::UnknownCommand(args[0])};
  parsed.command = *command;
  std::optional<std::string> file;
  if (std::string fault = ReadOptions(args, parsed, file); !fault.empty()) {
    return UsageFault{std::move(fault)};
  }
  if (std::string fault = CheckCombination(parsed, file); !fault.empty()) {
    return UsageFault{std::move(fault)};
  }
  parsed.exchange_file = file.value_or("");
  return parsed;
}

}  // namespace pontexa::cli
