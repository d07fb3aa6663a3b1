#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/messages.h"

namespace {

namespace messages = pontexa::cli::messages;
using pontexa::cli::Arguments;
using pontexa::cli::Command;
using pontexa::cli::ParseCommandLine;
using pontexa::cli::UsageFault;

std::variant<Arguments, UsageFault> Parse(const std::vector<std::string>& args) {
  const std::vector<std::string_view> views(args.begin(), args.end());
  return ParseCommandLine(views);
}

TEST(CommandLine, WrongUsageSaysTheFirstFault) {
  const struct {
    std::vector<std::string> args;
    std::string problem;
  } cases[] = {
      {{}, messages::MissingCommand()},
      {{"exportar", "a.xml"}, messages::UnknownCommand("exportar")},
      {{"--help", "to-gedu"}, messages::UnknownCommand("--help")},
      {{"--version", "x"}, messages::UnknownCommand("--version")},
      {{"to-horaplan"}, messages::MissingXmlFile()},
      {{"to-gedu", "--check"}, messages::MissingXmlFile()},
      {{"to-horaplan", "a.xml", "b.xml"}, messages::ExtraArgument("b.xml")},
      {{"to-horaplan", "a.xml", "--dir"}, messages::MissingFolderAfter("--dir")},
      {{"to-horaplan", "a.xml", "--report"}, messages::MissingFileAfter("--report")},
      {{"to-gedu", "a.xml", "--carpeta", "x"}, messages::UnknownOption("--carpeta")},
      {{"to-gedu", "a.xml", "--dir", "x", "--dir", "y"}, messages::Repeated("--dir")},
      {{"to-gedu", "a.xml", "--dir=x", "--dir", "y"}, messages::Repeated("--dir")},
      {{"to-gedu", "a.xml", "--dir", "x", "--dir=y"}, messages::Repeated("--dir")},
      {{"to-gedu", "a.xml", "--report", "a", "--report", "b"}, messages::Repeated("--report")},
      // A missing value is said before the repetition.
      {{"to-gedu", "a.xml", "--dir", "x", "--dir"}, messages::MissingFolderAfter("--dir")},
      {{"to-gedu", "a.xml", "--dir="}, messages::EmptyFolder()},
      {{"to-gedu", "a.xml", "--report", ""}, messages::EmptyReportName()},
      {{"to-gedu", "a.xml", "--xml", "b.xml"}, messages::XmlOnlyForRestore()},
      {{"copies", "sobra"}, messages::ExtraArgument("sobra")},
      {{"snapshots", "sobra"}, messages::ExtraArgument("sobra")},
      {{"copies", "--check"}, messages::CheckAndReportOnlyForConversions()},
      {{"restore", "a", "--report", "r.json"}, messages::CheckAndReportOnlyForConversions()},
      {{"restore"}, messages::MissingCopyName()},
      {{"restore", "a", "b"}, messages::ExtraArgument("b")},
      {{"restore", "a", "--xml"}, messages::MissingFileAfter("--xml")},
      {{"restore", "a", "--xml", "x.xml", "--xml=y.xml"}, messages::Repeated("--xml")},
      {{"restore", "a", "--xml="}, messages::EmptyXmlName()},
      // After "--" an option-like argument is the file, and a second one is extra.
      {{"to-gedu", "--", "a.xml", "--dir"}, messages::ExtraArgument("--dir")},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.args);
    const auto* fault = std::get_if<UsageFault>(&parsed);
    ASSERT_NE(fault, nullptr) << ::testing::PrintToString(c.args);
    EXPECT_EQ(fault->problem, c.problem) << ::testing::PrintToString(c.args);
  }
}

TEST(CommandLine, WellFormedLinesGiveTheirCommand) {
  const struct {
    std::vector<std::string> args;
    Command command;
    std::string file;
    std::optional<std::string> table_folder;
    std::optional<std::string> report;
    std::optional<std::string> xml;
    bool check;
  } cases[] = {
      {{"--help"}, Command::kHelp, "", {}, {}, {}, false},
      {{"-h"}, Command::kHelp, "", {}, {}, {}, false},
      {{"--version"}, Command::kVersion, "", {}, {}, {}, false},
      {{"to-horaplan", "a.xml"}, Command::kToHoraplan, "a.xml", {}, {}, {}, false},
      {{"to-gedu", "--dir", "t", "a.xml", "--check"}, Command::kToGedu, "a.xml", "t", {}, {}, true},
      {{"to-gedu", "a", "--dir=t", "--report", "r"}, Command::kToGedu, "a", "t", "r", {}, false},
      // The value after --dir is taken whole, even when it looks like an option.
      {{"to-gedu", "--dir", "--check", "a"}, Command::kToGedu, "a", "--check", {}, {}, false},
      {{"to-horaplan", "--", "-raro.xml"}, Command::kToHoraplan, "-raro.xml", {}, {}, {}, false},
      {{"to-horaplan", "-"}, Command::kToHoraplan, "-", {}, {}, {}, false},
      {{"copies"}, Command::kCopies, "", {}, {}, {}, false},
      {{"copies", "--dir", "t"}, Command::kCopies, "", "t", {}, {}, false},
      // The older name of the same command.
      {{"snapshots", "--dir", "t"}, Command::kCopies, "", "t", {}, {}, false},
      {{"restore", "c", "--xml=x.xml"}, Command::kRestore, "c", {}, {}, "x.xml", false},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.args);
    const auto* arguments = std::get_if<Arguments>(&parsed);
    ASSERT_NE(arguments, nullptr) << ::testing::PrintToString(c.args) << ": "
                                  << std::get<UsageFault>(parsed).problem;
    EXPECT_EQ(arguments->command, c.command) << ::testing::PrintToString(c.args);
    EXPECT_EQ(arguments->exchange_file, c.file) << ::testing::PrintToString(c.args);
    EXPECT_EQ(arguments->table_folder, c.table_folder) << ::testing::PrintToString(c.args);
    EXPECT_EQ(arguments->json_report, c.report) << ::testing::PrintToString(c.args);
    EXPECT_EQ(arguments->xml, c.xml) << ::testing::PrintToString(c.args);
    EXPECT_EQ(arguments->check, c.check) << ::testing::PrintToString(c.args);
  }
}

}  // namespace
