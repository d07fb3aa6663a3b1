#pragma once

namespace pontexa {

// The Windows-1252 byte that Windows writes for a code point when it converts
// text to that code page: the code page's own character, or the look-alike its
// published best-fit table gives (Ł gives L, Đ gives Ð, “ stays “); "?" for a
// code point the table does not list, including every one outside the basic
// plane.
char BestFit1252(char32_t code_point);

}  // namespace pontexa
