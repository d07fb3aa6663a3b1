#include "run/copy_manifest.h"

#include <algorithm>
#include <charconv>

namespace pontexa::run {
namespace {

constexpr char kFirstLine[] = "Pontexa: copia hecha antes de escribir";
constexpr char kFormat[] = "1";
constexpr char kLastLine[] = "fin";

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0\n\r", 5)) == std::string_view::npos;
}

bool IsDigest(std::string_view text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

bool HasNoLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos;
}

// "archivo: TABLE SIZE SHA256 NAME", with "-" as the table of the exchange file
// and the name last, since it may hold spaces.
std::optional<CopiedFile> ParseFileLine(std::string_view value) {
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
  if (!table || !size || !digest) return std::nullopt;
  file.table = *table == "-" ? "" : std::string(*table);
  const auto [end, error] = std::from_chars(size->data(), size->data() + size->size(), file.size);
  if (error != std::errc() || end != size->data() + size->size()) return std::nullopt;
  if (!IsDigest(*digest) || !IsPlainFileName(rest)) return std::nullopt;
  file.sha256 = std::string(*digest);
  file.name = std::string(rest);
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
  text += "origen: " + manifest.made_by + "\n";
  if (!manifest.restored.empty()) text += "repone: " + manifest.restored + "\n";
  text += "hora: " + manifest.time + "\n";
  text += "archivo-xml: " + manifest.exchange_file + "\n";
  text += "carpeta-tablas: " + manifest.table_folder + "\n";
  text += std::string("contenido: ") + (manifest.holds_tables ? "tablas" : "archivo-xml") + "\n";
  for (const std::string& table : manifest.tables) text += "tabla: " + table + "\n";
  for (const CopiedFile& file : manifest.files) {
    text += "archivo: " + (file.table.empty() ? std::string("-") : file.table) + " " +
            std::to_string(file.size) + " " + file.sha256 + " " + file.name + "\n";
  }
  text += std::string(kLastLine) + "\n";
  return text;
}

std::optional<CopyManifest> ParseManifest(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  if (lines.size() < 2 || lines.front() != kFirstLine || lines.back() != kLastLine) {
    return std::nullopt;
  }
  CopyManifest manifest;
  bool format_seen = false, content_seen = false, time_seen = false;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 2);
    if (key == "formato") {
      if (value != kFormat) return std::nullopt;
      format_seen = true;
    } else if (key == "origen") {
      manifest.made_by = std::string(value);
    } else if (key == "repone") {
      manifest.restored = std::string(value);
    } else if (key == "hora") {
      manifest.time = std::string(value);
      time_seen = true;
    } else if (key == "archivo-xml") {
      manifest.exchange_file = std::string(value);
    } else if (key == "carpeta-tablas") {
      manifest.table_folder = std::string(value);
    } else if (key == "contenido") {
      if (value != "tablas" && value != "archivo-xml") return std::nullopt;
      manifest.holds_tables = value == "tablas";
      content_seen = true;
    } else if (key == "tabla") {
      if (!IsPlainFileName(value) || value.find(' ') != std::string_view::npos) {
        return std::nullopt;
      }
      manifest.tables.emplace_back(value);
    } else if (key == "archivo") {
      std::optional<CopiedFile> file = ParseFileLine(value);
      if (!file) return std::nullopt;
      manifest.files.push_back(std::move(*file));
    }
    // Keys this version does not know are left for later versions.
  }
  const bool known_maker = manifest.made_by == kMadeByToHoraplan ||
                           manifest.made_by == kMadeByToGedu || manifest.made_by == kMadeByRestore;
  if (!format_seen || !content_seen || !time_seen || !known_maker) return std::nullopt;
  if (manifest.holds_tables) {
    if (manifest.tables.empty()) return std::nullopt;
    for (const CopiedFile& file : manifest.files) {
      if (std::find(manifest.tables.begin(), manifest.tables.end(), file.table) ==
          manifest.tables.end()) {
        return std::nullopt;
      }
    }
  } else if (manifest.files.size() != 1 || !manifest.files[0].table.empty() ||
             manifest.exchange_file.empty() || !HasNoLineBreak(manifest.exchange_file)) {
    return std::nullopt;
  }
  // Two files of one name would overwrite each other in the copy's folder.
  for (std::size_t i = 0; i < manifest.files.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (manifest.files[i].name == manifest.files[j].name) return std::nullopt;
    }
  }
  return manifest;
}

}  // namespace pontexa::run
