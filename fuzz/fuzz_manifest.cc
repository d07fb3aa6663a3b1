// Any bytes as a copy's manifest: read, written back and read again, judged
// by the checks a restore makes, then planted in a copy folder and restored,
// listed and pruned. Whatever the manifest says, nothing outside the table
// folder and the exchange file named for the restore may change, no file of
// the user's in the table folder may change, and a manifest the checks pass
// names only plain file names of its own tables.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "run/copy_manifest.h"
#include "run/restore.h"
#include "run/saved_copies.h"
#include "work_folder.h"

namespace {

namespace fs = std::filesystem;
using pontexa::Error;
using namespace pontexa::run;

constexpr char kCopyName[] = "20990101-000000";

const fs::path& WorkFolder() {
  static const fs::path folder = pontexa::fuzz::MakeWorkFolder("manifest");
  return folder;
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::abort();
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsPlain(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
    return false;
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// What the checks promise of a manifest they pass.
void CheckTrusted(const CopyManifest& manifest) {
  for (const CopiedFile& file : manifest.files) {
    if (!IsPlain(file.name) || file.name == kManifestName) std::abort();
    if (file.table.empty()) {
      if (manifest.holds_tables || manifest.files.size() != 1) std::abort();
      continue;
    }
    bool of_table = false;
    for (const char* extension : {".DBF", ".MDX", ".CPG"}) {
      if (SameIgnoringCase(file.name, file.table + extension)) of_table = true;
    }
    if (!of_table || !manifest.holds_tables) std::abort();
  }
  for (const std::string& table : manifest.tables) {
    if (!IsPlain(table)) std::abort();
  }
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::optional<CopyManifest> manifest = ParseManifest(text);
  if (manifest) {
    // What is written reads back as the same manifest.
    const std::string written = ManifestText(*manifest);
    const std::optional<CopyManifest> again = ParseManifest(written);
    if (!again || ManifestText(*again) != written) std::abort();
    if (!ManifestFault(*manifest)) CheckTrusted(*manifest);
  }

  // The places: the table folder with a file of the user's, a folder outside
  // it, the file named for the restore, and the planted copy with one file
  // under the names manifests most often give.
  const fs::path work = WorkFolder();
  const fs::path tables = work / "tablas";
  const fs::path outside = work / "fuera";
  const fs::path exchange_file = work / "destino.xml";
  std::error_code error;
  fs::remove_all(tables, error);
  fs::remove_all(outside, error);
  fs::create_directories(tables / kCopiesFolderName / kCopyName);
  fs::create_directories(outside);
  WriteBytes(tables / "notas.txt", "mías");
  WriteBytes(outside / "secreto.txt", "no tocar");
  WriteBytes(exchange_file, "<document/>");
  const fs::path copy = tables / kCopiesFolderName / kCopyName;
  for (const char* name : {"ASIGT.DBF", "instituto.xml", "notas.txt"}) WriteBytes(copy / name, "x");
  WriteBytes(copy / kManifestName, text);

  for (const std::string& xml : {std::string(), exchange_file.string()}) {
    try {
      RestoreCopy(tables, kCopyName, 0, xml);
    } catch (const Error&) {
    }
  }
  (void)ListCopies(tables);
  PruneCopies(tables, "", 0);

  if (ReadBytes(tables / "notas.txt") != "mías") std::abort();
  if (ReadBytes(outside / "secreto.txt") != "no tocar") std::abort();
  if (Entries(outside) != std::set<std::string>{"secreto.txt"}) std::abort();
  if (Entries(work) != std::set<std::string>{"destino.xml", "fuera", "tablas"}) std::abort();
  // Only a copy of the exchange file may have changed the file named for it.
  if (ReadBytes(exchange_file) != "<document/>" && (!manifest || manifest->holds_tables)) {
    std::abort();
  }
  return 0;
}
