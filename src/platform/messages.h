#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The texts the platform layer shows the user, in one place.
namespace pontexa::messages {

// `text` between single quotes, as every message shows a name or a path.
std::string Quoted(std::string_view text);

std::string CannotRead(const std::filesystem::path& path, std::string_view reason);
std::string CannotWrite(const std::filesystem::path& path, std::string_view reason);

// Text in a code page that cannot be read.
std::string UnsupportedCodePage(int code_page);
std::string CannotConvertFromCodePage(int code_page);

// Reading and replacing whole files.
std::string NoFileGiven();
std::string NotARegularFile();
std::string FileTooLarge();
std::string ReadOnlyFile();
// The prefix of every failed save: "No se puede guardar el archivo '<path>': <why>".
std::string CannotSave(std::string_view path, std::string_view why);
std::string WrittenDiffers();

}  // namespace pontexa::messages
