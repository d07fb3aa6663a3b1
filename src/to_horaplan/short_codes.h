#pragma once

#include <string>
#include <string_view>

namespace pontexa::to_horaplan {

// Initials of a name: its first byte, then each byte that follows a space (a
// space in the last position adds nothing; a space after a space adds that space).
std::string InitialsOf(std::string_view name);

// The codes handed out during one table build.
class UsedCodes;

}  // namespace pontexa::to_horaplan
