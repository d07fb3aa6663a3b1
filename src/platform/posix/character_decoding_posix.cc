// Decoding through iconv, which glibc provides.

#include <errno.h>
#include <iconv.h>

#include "platform/character_decoding.h"

namespace pontexa {

DecodedText DecodeCharacters(std::string_view bytes, const std::string& encoding) {
  DecodedText text;
  text.total_bytes = bytes.size();
  iconv_t cd = iconv_open("UTF-32LE", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  while (in_left > 0) {
    unsigned char one[4];
    char* out = reinterpret_cast<char*>(one);
    std::size_t out_left = sizeof one;
    const std::size_t at = bytes.size() - in_left;
    // Room for one character: iconv converts exactly one, or only a shift sequence.
    std::size_t result = iconv(cd, &in, &in_left, &out, &out_left);
    if (out_left == 0) {
      text.characters.push_back(static_cast<char32_t>(one[0] | one[1] << 8 | one[2] << 16 |
                                                      static_cast<char32_t>(one[3]) << 24));
      text.offsets.push_back(at);
    } else if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      break;
    } else if (bytes.size() - in_left == at) {
      break;
    }
  }
  iconv_close(cd);
  return text;
}

}  // namespace pontexa
