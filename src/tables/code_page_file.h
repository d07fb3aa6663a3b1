#pragma once

#include <filesystem>
#include <string_view>

namespace pontexa::tables {

// The side file T.cpg that names the code page of table T.DBF. GIS readers
// (GDAL, QGIS) take the tables' language driver 0x57 as ISO-8859-1 and would
// misread € – “ ” …; the side file tells them the text is Windows-1252.
// Horaplan ignores it.

// Writes `table_folder`/T.cpg holding "1252", replacing every letter-case variant
// of that name. Raises Error naming the file when it cannot be written.
void WriteCodePageFile(const std::filesystem::path& table_folder, std::string_view table_name);

// Deletes every letter-case variant of `table_folder`/T.cpg; a file that cannot
// be deleted stays, silently.
void RemoveCodePageFiles(const std::filesystem::path& table_folder, std::string_view table_name);

}  // namespace pontexa::tables
