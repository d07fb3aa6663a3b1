#include "run/copy_manifest.h"

#include <algorithm>
#include <charconv>

#include "platform/ascii.h"
#include "run/messages.h"
#include "tables/table_files.h"

namespace pontexa::run {
namespace {

constexpr char kFirstLine[] = "Pontexa: copia hecha antes de escribir";
// The first format wrote values as they were; the second escapes them and
// counts the copies.
constexpr char kFirstFormat[] = "1";
constexpr char kFormat[] = "2";
constexpr char kLastLine[] = "fin";

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::string Escaped(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (IsControl(c)) {
      const auto byte = static_cast<unsigned char>(c);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The value an escaped text stands for; nothing for an escape that Escaped
// never writes.
std::optional<std::string> Unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      i += 1;
      continue;
    }
    if (i + 3 >= text.size() || text[i + 1] != 'x') return std::nullopt;
    const int high = HexDigit(text[i + 2]);
    const int low = HexDigit(text[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 3;
  }
  return out;
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos &&
         std::none_of(name.begin(), name.end(), IsControl);
}

bool IsTableName(std::string_view table) {
  return !table.empty() && std::all_of(table.begin(), table.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

bool IsDigest(std::string_view text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// "archivo: TABLE SIZE SHA256 NAME", with "-" as the table of the exchange file
// and the name last, since it may hold spaces.
std::optional<CopiedFile> ParseFileLine(std::string_view value, bool escaped) {
  CopiedFile file;
  std::string_view rest = value;
  const auto next_word = [&rest]() -> std::optional<std::string_view> {
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos || space == 0) return std::nullopt;
    std::string_view word = rest.substr(0, space);
    rest.remove_prefix(space + 1);
    return word;
  };
  const auto table = next_word();
  const auto size = next_word();
  const auto digest = next_word();
  if (!table || !size || !digest || rest.empty()) return std::nullopt;
  file.table = *table == "-" ? "" : std::string(*table);
  const auto [end, error] = std::from_chars(size->data(), size->data() + size->size(), file.size);
  if (error != std::errc() || end != size->data() + size->size()) return std::nullopt;
  if (!IsDigest(*digest)) return std::nullopt;
  file.sha256 = std::string(*digest);
  if (!escaped) {
    file.name = std::string(rest);
  } else if (std::optional<std::string> name = Unescaped(rest)) {
    file.name = std::move(*name);
  } else {
    return std::nullopt;
  }
  return file;
}

}  // namespace

std::vector<CopiedFile> CopyManifest::FilesOf(std::string_view table) const {
  std::vector<CopiedFile> found;
  for (const CopiedFile& file : files) {
    if (file.table == table) found.push_back(file);
  }
  return found;
}

std::string ManifestText(const CopyManifest& manifest) {
  std::string text = std::string(kFirstLine) + "\n";
  text += "formato: " + std::string(kFormat) + "\n";
  text += "secuencia: " + std::to_string(manifest.sequence) + "\n";
  text += "origen: " + Escaped(manifest.made_by) + "\n";
  if (!manifest.restored.empty()) text += "repone: " + Escaped(manifest.restored) + "\n";
  text += "hora: " + Escaped(manifest.time) + "\n";
  text += "archivo-xml: " + Escaped(manifest.exchange_file) + "\n";
  text += "carpeta-tablas: " + Escaped(manifest.table_folder) + "\n";
  text += std::string("contenido: ") + (manifest.holds_tables ? "tablas" : "archivo-xml") + "\n";
  for (const std::string& table : manifest.tables) text += "tabla: " + Escaped(table) + "\n";
  for (const CopiedFile& file : manifest.files) {
    text += "archivo: " + (file.table.empty() ? std::string("-") : Escaped(file.table)) + " " +
            std::to_string(file.size) + " " + file.sha256 + " " + Escaped(file.name) + "\n";
  }
  text += std::string(kLastLine) + "\n";
  return text;
}

namespace {

// The text's lines, each ended by '\n'; none when the last one is cut short.
std::optional<std::vector<std::string_view>> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Whether the values are escaped, as the format line says; none for a format
// this version does not read.
std::optional<bool> EscapedInFormat(std::string_view format_line) {
  if (format_line == std::string("formato: ") + kFormat) return true;
  if (format_line == std::string("formato: ") + kFirstFormat) return false;
  return std::nullopt;
}

// The keys a manifest must have.
struct KeysSeen {
  bool content = false;
  bool time = false;
  bool sequence = false;
};

// Reads one "key: value" line into the manifest; false when it cannot be read.
bool ReadManifestLine(std::string_view line, bool escaped, CopyManifest& manifest,
                      KeysSeen& seen) {
  const std::size_t colon = line.find(": ");
  if (colon == std::string_view::npos) return false;
  const std::string_view key = line.substr(0, colon);
  const std::string_view raw = line.substr(colon + 2);
  if (key == "archivo") {
    std::optional<CopiedFile> file = ParseFileLine(raw, escaped);
    if (!file) return false;
    manifest.files.push_back(std::move(*file));
    return true;
  }
  std::string value(raw);
  if (escaped) {
    std::optional<std::string> unescaped = Unescaped(raw);
    if (!unescaped) return false;
    value = std::move(*unescaped);
  }
  if (key == "secuencia" && escaped) {
    const auto [end, error] =
        std::from_chars(raw.data(), raw.data() + raw.size(), manifest.sequence);
    if (error != std::errc() || end != raw.data() + raw.size() || seen.sequence) return false;
    seen.sequence = true;
  } else if (key == "origen") {
    manifest.made_by = std::move(value);
  } else if (key == "repone") {
    manifest.restored = std::move(value);
  } else if (key == "hora") {
    manifest.time = std::move(value);
    seen.time = true;
  } else if (key == "archivo-xml") {
    manifest.exchange_file = std::move(value);
  } else if (key == "carpeta-tablas") {
    manifest.table_folder = std::move(value);
  } else if (key == "contenido") {
    if (value != "tablas" && value != "archivo-xml") return false;
    manifest.holds_tables = value == "tablas";
    seen.content = true;
  } else if (key == "tabla") {
    if (value.empty() || value.find(' ') != std::string::npos) return false;
    manifest.tables.push_back(std::move(value));
  }
  // Keys this version does not know are left for later versions.
  return true;
}

// Whether what the lines said holds together: the keys every manifest has, a
// known maker, and files that belong to the copy's tables, or the one copy of
// the exchange file, each name once.
bool HoldsTogether(const CopyManifest& manifest, bool escaped, const KeysSeen& seen) {
  const bool known_maker = manifest.made_by == kMadeByToHoraplan ||
                           manifest.made_by == kMadeByToGedu || manifest.made_by == kMadeByRestore;
  if (!seen.content || !seen.time || !known_maker) return false;
  if (escaped && !seen.sequence) return false;
  if (manifest.holds_tables) {
    if (manifest.tables.empty()) return false;
    for (const CopiedFile& file : manifest.files) {
      if (std::find(manifest.tables.begin(), manifest.tables.end(), file.table) ==
          manifest.tables.end()) {
        return false;
      }
    }
  } else if (manifest.files.size() != 1 || !manifest.files[0].table.empty() ||
             manifest.exchange_file.empty()) {
    return false;
  }
  // Two files of one name would overwrite each other in the copy's folder.
  for (std::size_t i = 0; i < manifest.files.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (manifest.files[i].name == manifest.files[j].name) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<CopyManifest> ParseManifest(std::string_view text) {
  const std::optional<std::vector<std::string_view>> lines = LinesOf(text);
  if (!lines || lines->size() < 3 || lines->front() != kFirstLine || lines->back() != kLastLine) {
    return std::nullopt;
  }
  // The format comes second, so that every value after it is read the way
  // its format wrote it.
  const std::optional<bool> escaped = EscapedInFormat((*lines)[1]);
  if (!escaped) return std::nullopt;
  CopyManifest manifest;
  KeysSeen seen;
  for (std::size_t i = 2; i + 1 < lines->size(); ++i) {
    if (!ReadManifestLine((*lines)[i], *escaped, manifest, seen)) return std::nullopt;
  }
  if (!HoldsTogether(manifest, *escaped, seen)) return std::nullopt;
  return manifest;
}

std::optional<std::string> ManifestFault(const CopyManifest& manifest) {
  for (const std::string& table : manifest.tables) {
    if (!IsTableName(table)) return messages::ManifestNamesNoTable(table);
  }
  for (const CopiedFile& file : manifest.files) {
    if (!IsPlainFileName(file.name) || file.name == kManifestName) {
      return messages::ManifestNamesNoFileName(file.name);
    }
    if (file.table.empty()) {
      // Only a copy of the exchange file holds it, and only it.
      if (manifest.holds_tables || manifest.files.size() != 1) {
        return messages::ManifestNamesFileOfNoTable(file.name);
      }
      continue;
    }
    if (!manifest.holds_tables || !tables::IsFileOfTable(file.name, file.table)) {
      return messages::ManifestNamesFileOfNoTable(file.name);
    }
  }
  return std::nullopt;
}

}  // namespace pontexa::run
