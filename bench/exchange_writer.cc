#include "exchange_writer.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace pontexa::bench {
namespace {

// Text for an attribute value or element content.
void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendEscaped(out, value);
  out += '"';
}

}  // namespace

std::string ExchangeFileText(const School& school) {
  std::string out;
  out.reserve(256 * (school.subjects.size() + school.groups.size() * 30));
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>\n";

  out += "  <subjects>\n";
  for (const Subject& subject : school.subjects) {
    out += "    <subject";
    AppendAttribute(out, "id", subject.id);
    AppendAttribute(out, "name", subject.name);
    if (!subject.hours.empty()) AppendAttribute(out, "hours", subject.hours);
    out += "/>\n";
  }
  out += "  </subjects>\n";

  out += "  <teachers>\n";
  for (const Teacher& teacher : school.teachers) {
    out += "    <teacher";
    AppendAttribute(out, "id", teacher.id);
    out += '>';
    AppendEscaped(out, teacher.name);
    out += "</teacher>\n";
  }
  out += "  </teachers>\n";

  out += "  <locations>\n";
  for (const Room& room : school.rooms) {
    out += "    <location";
    AppendAttribute(out, "id", room.id);
    out += '>';
    AppendEscaped(out, room.name);
    out += "</location>\n";
  }
  out += "  </locations>\n";

  out += "  <groups>\n";
  for (const Group& group : school.groups) {
    out += "    <group";
    AppendAttribute(out, "id", group.id);
    AppendAttribute(out, "name", group.name);
    out += ">\n      <assigned-subjects>\n";
    for (const Assignment& assignment : group.assignments) {
      out += "        <assigned-subject";
      AppendAttribute(out, "id", school.subjects[assignment.subject].id);
      out += ">\n          <assigned-teachers>\n";
      for (int teacher : assignment.teachers) {
        out += "            <assigned-teacher";
        AppendAttribute(out, "id", school.teachers[teacher].id);
        out += "/>\n";
      }
      out += "          </assigned-teachers>\n        </assigned-subject>\n";
    }
    out += "      </assigned-subjects>\n    </group>\n";
  }
  out += "  </groups>\n</document>\n";
  return out;
}

void WriteExchangeFile(const School& school, const std::filesystem::path& path) {
  const std::string text = ExchangeFileText(school);
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "wb"));
  if (!file) throw std::runtime_error("No se puede crear " + path.string());
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
      std::fclose(file.release()) != 0) {
    throw std::runtime_error("No se puede escribir " + path.string());
  }
}

}  // namespace pontexa::bench
