#pragma once

#include <string>
#include <string_view>
#include <vector>

// Every text the runs, the copies and the restore show the user, in one place.
// Each function builds its message from its parts; paths and names come in as
// they are to be shown.
namespace pontexa::run {

inline constexpr char kNoFileMessage[] = "No existe archivo";
inline constexpr char kToHoraplanDone[] = "Proceso finalizado";
inline constexpr char kToGeduDone[] = "Proceso Terminado";

namespace messages {

std::string OutOfMemory();
std::string InternalError(std::string_view what);
// The message of the error being handled, as the user reads it: Error's own
// message, or one of the two above. Call only inside a catch block of a
// std::exception.
std::string MessageOfCurrentError();

// The exchange file.
std::string NotAnXmlDocument();
std::string CannotReadExchangeFile(std::string_view path, std::string_view reason);
std::string CannotCopyBeforeSaving(std::string_view path, std::string_view reason);
// Added after the count of findings; starts with a blank.
std::string ReportIsAt(std::string_view path);

// The copies made before writing, and putting them back.
std::string CannotCopyTablesBeforeWriting(const std::vector<std::string>& tables,
                                          std::string_view reason);
std::string CannotCopyBeforeRestoring(std::string_view copy, std::string_view reason);
std::string NoSuchCopy(std::string_view copy, std::string_view copies_folder);
std::string DamagedCopy(std::string_view copy_folder);
std::string DamagedCopyFile(std::string_view copy_folder, std::string_view file);
std::string CannotPutBack(std::string_view target, std::string_view reason);
std::string CannotRemove(std::string_view file);
std::string CannotMakeFolder(std::string_view folder, std::string_view reason);
std::string TooManyCopiesThisSecond(std::string_view copies_folder);
std::string CannotCopyFileNamed(std::string_view name);
std::string CannotWrite(std::string_view path, std::string_view reason);

// The dry run.
std::string CannotMakeTrialFolder(std::string_view reason);

}  // namespace messages
}  // namespace pontexa::run
