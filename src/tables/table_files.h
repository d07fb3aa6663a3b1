#pragma once

#include <array>
#include <filesystem>
#include <string_view>
#include <vector>

namespace pontexa::tables {

// The files that make one table T in a folder: T.DBF, its index T.MDX and the
// code-page side file T.cpg (code_page_file.h), each in any letter case. A
// copy takes all of them, a restore brings all of them back, and none of them
// may be held by another program while a run changes the table.
inline constexpr std::string_view kCodePageFileExtension = ".CPG";
inline constexpr std::array<std::string_view, 3> kTableFileExtensions = {".DBF", ".MDX",
                                                                         kCodePageFileExtension};

// Every file of the table in the folder: each letter-case variant of T.DBF,
// T.MDX and T.CPG, in that order.
std::vector<std::filesystem::path> TableFilesOf(const std::filesystem::path& table_folder,
                                                std::string_view table);

// Whether a file of that name is one of the table's files, whatever the
// letter case of either.
bool IsFileOfTable(std::string_view file_name, std::string_view table);

// Whether the file is a table's code-page side file (T.cpg in any letter case).
bool IsCodePageFile(const std::filesystem::path& file);

}  // namespace pontexa::tables
