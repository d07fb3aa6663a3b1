#pragma once

#include <string>
#include <string_view>

// The texts the exchange file's reading and writing show the user, in one
// place; each function builds its message from its parts (UTF-8). What libxml2
// reports while parsing is put into words where it is caught, in xml_parse.cc.
namespace pontexa::exchange::messages {

// Reading.
std::string FileEmpty();
std::string FileTooLarge();
std::string NoMemoryToRead();
std::string NotWellFormed();
std::string EntitiesTooLarge(long line, long column, unsigned long long times_file_size);
std::string NoEndOfRootElement();

// Writing a new section, and what it is checked against.
std::string InvalidElementName(std::string_view name);
std::string InvalidAttributeName(std::string_view name);
std::string CannotSetAttributeWithoutElement(std::string_view name);
std::string ControlCharacterInAttribute(std::string_view name, int code);

// Writing a new section.
std::string AttributeAlreadySet(std::string_view name);
std::string NoOpenElementToEnd();
std::string ElementNotEnded(std::string_view name);

// Writing.
std::string NoRootToWriteInto();
std::string StatefulEncoding(std::string_view path, std::string_view encoding);
std::string WrittenUnreadable(std::string_view why);
std::string EncodingNotWritable(std::string_view encoding);
std::string CannotWriteInEncoding(std::string_view encoding);

}  // namespace pontexa::exchange::messages
