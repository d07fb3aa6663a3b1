#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pontexa {

// Characters decoded from bytes in a named encoding ("Shift_JIS", "UCS-4LE"),
// each with the offset of its first byte. Decoding stops at the first sequence
// that does not convert; an encoding the system does not know gives no
// characters. Answered by the system's own converter (platform/posix).
struct DecodedText {
  std::vector<char32_t> characters;
  std::vector<std::size_t> offsets;
  std::size_t total_bytes = 0;
};
DecodedText DecodeCharacters(std::string_view bytes, const std::string& encoding);

}  // namespace pontexa
