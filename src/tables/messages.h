#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The texts the table files show the user, in one place; each function builds
// its message from its parts. Paths are shown as the system spells them.
namespace pontexa::tables::messages {

// Opening, creating and writing.
std::string NoSuchTable(const std::filesystem::path& path);
std::string CannotOpenTable(const std::filesystem::path& path, std::string_view reason);
std::string NotAFile();
std::string CannotCreateTable(const std::filesystem::path& path, std::string_view reason);
std::string CannotReadTable(const std::filesystem::path& path, std::string_view reason);
std::string CannotWriteTable(const std::filesystem::path& path, std::string_view reason);
std::string CannotWriteFile(const std::filesystem::path& path, std::string_view reason);
// "La tabla '<path>'" for a .DBF file, "El archivo '<path>'" for any other
// (an index, a code-page file); `program` may be empty.
std::string InUse(const std::filesystem::path& path, std::string_view program);

// What a header that cannot be read says.
std::string TooShortForDbase(const std::filesystem::path& path);
std::string Dbase7(const std::filesystem::path& path);
std::string UnreadableVersion(const std::filesystem::path& path);
std::string Damaged(const std::filesystem::path& path, std::string_view reason);
std::string NoFieldsDescribed();
std::string ShorterThanHeader();
std::string FieldWithoutValidName(std::size_t field_number);
std::string FieldOfZeroWidth(std::size_t field_number);
std::string MoreDecimalsThanWidth(std::size_t field_number);
std::string RecordLengthMismatch();
std::string RowsMissing(std::uint32_t stored_rows);

// Field values.
std::string NotAFloat(std::string_view text);
std::string NotAnInteger(std::string_view text);

// The table store: names, layouts and the folder.
std::string InvalidTableName(std::string_view name);
std::string LayoutWithoutFields(std::string_view table);
std::string LayoutWithTooManyFields(std::string_view table);
std::string LayoutWithInvalidFieldName(std::string_view table, std::string_view field);
std::string LayoutWithInvalidWidth(std::string_view table, std::string_view field);
std::string LayoutRepeatsField(std::string_view table, std::string_view field);
std::string NoTableFolder(const std::filesystem::path& folder);

// Rows of an open table. `binding` names what looked the field up; it may be empty.
std::string TableClosed();
std::string FieldNotFound(std::string_view binding, std::string_view field);
std::string ReadOnlyTable(const std::filesystem::path& path);
std::string NoRowStarted(const std::filesystem::path& path);
std::string NoRowToSave(const std::filesystem::path& path);
std::string TextOutsideCodePage(std::string_view text, const std::filesystem::path& path,
                                int code_page);
std::string FieldTakesNoNumbers(std::string_view field, const std::filesystem::path& path);
std::string NumberDoesNotFit(std::string_view number, std::string_view field,
                             const std::filesystem::path& path);

// The records of a table. `reason` may be empty.
std::string EngineCannotRead(const std::filesystem::path& path, std::string_view reason);
std::string EngineCannotAppend(const std::filesystem::path& path, std::string_view reason);

}  // namespace pontexa::tables::messages
