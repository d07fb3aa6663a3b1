#pragma once

#include <string>
#include <string_view>

namespace pontexa {

// The system keeps text as 8-bit characters in one code page: Windows-1252 on
// every platform without an ANSI code page (Linux), the thread's ANSI code page
// on Windows. Timetable tables hold this text. Strings of "8-bit text" in the
// rest of the code are in this code page; messages for the user are UTF-8.

// UTF-8 text (as the XML library and the terminal use it) to 8-bit text. A
// character that the code page lacks becomes what Windows gives it: the
// character of Windows' best-fit table for code page 1252 (Ł gives L, ş gives
// s), or "?" when the table lists none (ễ, 中, 😀: one "?" each).
std::string SystemFromUtf8(std::string_view utf8);

// 8-bit text to UTF-8, exactly.
std::string Utf8FromSystem(std::string_view text);

// Text stored in a table under another code page (dBase language driver), to
// 8-bit text, characters the system code page lacks as in SystemFromUtf8. `code_page` is a Windows
// code page number such as 437, 850, 1252.
std::string SystemFromCodePage(std::string_view bytes, int code_page);

// Number of characters of 8-bit text as Unicode counts them (a double-byte
// character of a multi-byte code page is one); the cuts below use this count.
std::string FirstChars(std::string_view text, std::size_t n);
std::string LastChars(std::string_view text, std::size_t n);

// Code equality: letter case ignored, including the accented letters of the
// code page (á = Á, š = Š, œ = Œ, ÿ = Ÿ); accents and every other character,
// trailing spaces included, count.
bool SameCode(std::string_view a, std::string_view b);

// The form of a code that SameCode compares: equal folds mean equal codes.
// Used as a hash key where many codes are tested.
std::string FoldCase(std::string_view text);

}  // namespace pontexa
