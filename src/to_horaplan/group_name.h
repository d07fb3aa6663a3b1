#pragma once

#include <string>
#include <string_view>

namespace pontexa::to_horaplan {

// A group's name such as "1 ESO A" as Horaplan keeps it: course, level, letter.
struct GroupNameParts {
  std::string curso;  // the first byte of the name
  std::string nivel;  // the bytes strictly between the first and the last space
  std::string grupo;  // the last character of the name
};

// Cuts a (trimmed) group name by the positions of its spaces. With fewer than
// two spaces the level is empty; an empty name gives three empty parts.
GroupNameParts CutGroupName(std::string_view name);

}  // namespace pontexa::to_horaplan
