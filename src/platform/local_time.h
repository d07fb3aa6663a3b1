#pragma once

#include <ctime>
#include <string>

namespace pontexa {

// `when` in the machine's local time, written with strftime's `format`; "" when
// the text would be longer than 39 bytes.
std::string LocalTime(std::time_t when, const char* format);

}  // namespace pontexa
