#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Every text the six table builds show the user, in one place: the errors that
// end a build and the findings of the run report. The parts come in as they are
// to be shown (UTF-8); each function adds the quotes.
namespace pontexa::to_horaplan::messages {

// Errors.
std::string FieldNotInLayout(std::string_view field);
// `kind` is "la asignatura", "el profesor", ...
std::string NoFreeCode(std::string_view kind, std::string_view name, std::string_view id,
                       std::size_t width, std::string_view base);

// Findings.
std::string ReplacedCharacters(std::string_view original, std::string_view stored);
// `name` may be empty.
std::string MissingId(std::string_view element, std::string_view name);
std::string DuplicateId(std::string_view id, std::string_view element);
std::string MissingName(std::string_view element);
std::string Cut(std::string_view value, std::size_t length, std::string_view field,
                std::size_t width, std::string_view kept);
std::string RenamedCode(std::string_view base, std::string_view code);
std::string HoursNotANumber(std::string_view hours);
std::string UnknownGroup(std::string_view group);
std::string UnknownSubject(std::string_view subject, std::string_view group);
std::string NoTeacher(std::string_view subject, std::string_view group);
std::string UnknownTeacher(std::string_view teacher, std::string_view subject,
                           std::string_view group);

}  // namespace pontexa::to_horaplan::messages
