#pragma once

#include <filesystem>
#include <string_view>

#include "run/saved_copies.h"

namespace pontexa::run {

// True when the table's files in the folder are exactly those the copy holds:
// the same names, sizes and bytes, and no file where the table did not exist.
bool TableAsInCopy(const SavedCopy& copy, const std::filesystem::path& table_folder,
                   std::string_view table);

// Puts the tables of a copy back into the table folder, every table of the
// copy or, with `only_changed`, those that differ from it: the files the copy
// holds come back under their own names and every other file of the table
// (a table created where none was, a .cpg written beside it) goes. Nothing is
// changed while another program holds a file of those tables (the in-use
// error) or while a copied file does not read back as it was copied; the
// files are first written beside their places and checked, then switched.
// Raises Error.
void PutBackTables(const SavedCopy& copy, const std::filesystem::path& table_folder,
                   bool only_changed);

// True when the exchange file named in the copy's manifest has the copied bytes.
bool ExchangeFileAsInCopy(const SavedCopy& copy);

// Puts the copied exchange file back at the path its manifest records, as a
// save does: wholly the old file or wholly the copied one. Raises Error.
void PutBackExchangeFile(const SavedCopy& copy);

}  // namespace pontexa::run
