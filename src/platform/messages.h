#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The texts the platform layer shows the user, in one place.
namespace pontexa::messages {

std::string CannotRead(const std::filesystem::path& path, std::string_view reason);
std::string CannotWrite(const std::filesystem::path& path, std::string_view reason);

// Text in a code page that cannot be read.
std::string UnsupportedCodePage(int code_page);
std::string CannotConvertFromCodePage(int code_page);

}  // namespace pontexa::messages
