#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pontexa {

// The small records Pontexa keeps beside the tables (the run under way, the
// codes moved under a saved timetable) hold one value per word or field of a
// line. A value goes in with every byte that could break the line or the
// word, or that is not plain ASCII, as %HH: control characters, blanks,
// bytes from 0x7F on, and '%' itself.
std::string PercentEscaped(std::string_view text);

// The value back; nothing when the text holds a byte PercentEscaped never
// leaves as it is, or an escape cut short or not hexadecimal, so that a
// damaged or planted record is refused rather than misread.
std::optional<std::string> PercentUnescaped(std::string_view text);

}  // namespace pontexa
