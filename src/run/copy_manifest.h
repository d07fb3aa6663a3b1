#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontexa::run {

// What made a copy: a conversion before it wrote, or a restore before it
// restored another copy.
inline constexpr char kMadeByToHoraplan[] = "to-horaplan";
inline constexpr char kMadeByToGedu[] = "to-gedu";
inline constexpr char kMadeByRestore[] = "restore";

// One file kept in a copy's folder, under its own name.
struct CopiedFile {
  std::string table;  // the table it belongs to; "" for the exchange file
  std::string name;   // the file name it had in the table folder (or the exchange file's)
  std::uint64_t size = 0;
  std::string sha256;  // 64 lower-case hexadecimal digits
};

// The description of one copy, kept beside its files as `manifiesto.txt`
// (UTF-8 text, one "key: value" per line). A copy holds either tables (every
// file of each listed table: its .DBF, .MDX and .cpg in whatever letter case
// they had; a listed table without files did not exist) or the exchange file.
struct CopyManifest {
  // The order copies were made in, counted per copies folder from 1; 0 for a
  // copy made before copies were counted, which counts as older than any other.
  std::uint64_t sequence = 0;
  std::string made_by;              // kMadeBy...
  std::string restored;             // for a restore: the name of the copy restored
  std::string time;                 // local time of the copy, "AAAA-MM-DD HH:MM:SS"
  std::string exchange_file;        // full path of the exchange file of the run
  std::string table_folder;         // full path of the table folder
  bool holds_tables = true;         // false: it holds the exchange file
  std::vector<std::string> tables;  // tables covered, in run order
  std::vector<CopiedFile> files;

  std::vector<CopiedFile> FilesOf(std::string_view table) const;
};

inline constexpr char kManifestName[] = "manifiesto.txt";

// The manifest's text. Every value is written so that no byte of it can end
// or add a line: a backslash as "\\", a control character as "\xHH".
std::string ManifestText(const CopyManifest& manifest);

// The manifest a text describes, or nothing when the text is not a complete,
// well-formed manifest (a copy cut short, a file of someone else). Manifests
// of the first format, written before values were escaped and copies
// counted, are read as they were written.
std::optional<CopyManifest> ParseManifest(std::string_view text);

// Why the files a well-formed manifest names cannot be trusted, as a reason
// in lower case ("su manifiesto nombra ..."); nothing when they can: every
// table name is letters, digits or "_", and every file name is a plain name
// (no "/", no "..", no control character) that is the .DBF, .MDX or .cpg of
// the table it belongs to, or the one copy of the exchange file.
std::optional<std::string> ManifestFault(const CopyManifest& manifest);

}  // namespace pontexa::run
