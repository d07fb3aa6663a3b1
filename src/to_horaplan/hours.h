#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pontexa::to_horaplan {

// The weekly hours of a subject as the exchange file and ASIGNOMT give them.
// Either "." or "," is taken as the decimal separator, whatever the regional
// settings, since GEDU writes the point and users type the comma. Nothing when
// the text is not a number.
std::optional<double> ReadHours(std::string_view text);

// The SESIONES text for the hours stored in an ASIGT row: n = the smallest whole
// number not below them; n "1" characters up to 13; from 14 on, the decimal
// text of n - 13 followed by thirteen "1". Empty for n of 0 or less.
std::string SesionesText(double hours);

}  // namespace pontexa::to_horaplan
