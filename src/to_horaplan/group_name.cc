#include "to_horaplan/group_name.h"

#include "platform/code_page.h"

namespace pontexa::to_horaplan {

GroupNameParts CutGroupName(std::string_view name) {
  GroupNameParts parts;
  if (name.empty()) return parts;
  parts.curso = std::string(name.substr(0, 1));
  // The level runs from just after the first space to just before the last one.
  const std::size_t first_space = name.find(' ');
  const std::size_t last_space = name.rfind(' ');
  if (first_space != std::string_view::npos && last_space > first_space) {
    parts.nivel = std::string(name.substr(first_space + 1, last_space - first_space - 1));
  }
  parts.grupo = LastChars(name, 1);
  return parts;
}

}  // namespace pontexa::to_horaplan
