#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "run/saved_copies.h"

namespace pontexa::run {

// True when the file at `path` has the size and bytes `file` notes; a file
// that cannot be read has not.
bool FileAsCopied(const std::filesystem::path& path, const CopiedFile& file);

// True when the table's files in the folder are exactly those the copy holds:
// the same names, sizes and bytes, and no file where the table did not exist.
bool TableAsInCopy(const SavedCopy& copy, const std::filesystem::path& table_folder,
                   std::string_view table);

// Restores the tables of a copy into the table folder, every table of the
// copy or, with `only_changed`, those that differ from it: the files the copy
// holds come back under their own names and every other file of the table
// (a table created where none was, a .cpg written beside it) goes. Nothing is
// changed while another program holds a file of those tables (the in-use
// error) or while a copied file does not read back as it was copied; the
// files are first written beside their places and checked, then switched.
// Raises Error; `changed`, when given, then holds the names of the files of the
// table folder already removed or replaced.
void RestoreTables(const SavedCopy& copy, const std::filesystem::path& table_folder,
                   bool only_changed, std::vector<std::string>* changed = nullptr);

// True when the file at `path` has the bytes of the copy's exchange file.
bool ExchangeFileAsInCopy(const SavedCopy& copy, const std::filesystem::path& path);
// The same for the path the copy's manifest records: only for a copy this
// run made itself.
bool ExchangeFileAsInCopy(const SavedCopy& copy);

// Restores the copied exchange file at `path`, as a save does (a symbolic
// link followed): wholly the old file or wholly the copied one. Raises Error.
void RestoreExchangeFile(const SavedCopy& copy, const std::string& path);

}  // namespace pontexa::run
