// pontexa-bench-floor: the least work any conversion of the same data has to do,
// against which the benchmark sets the conversions' time and memory.
//
//   pontexa-bench-floor --xml FILE.xml --scratch DIR [TABLE.DBF...]
//   pontexa-bench-floor --stream --xml FILE.xml [--output OUT [--read-output]]
//                       [--write-tables] --scratch DIR [TABLE.DBF...]
//
// Tree floor: reads the bytes of every table, parses the exchange file with
// libxml2 into a tree, saves the tree into DIR, writes the tables' bytes into
// DIR, frees the tree. The parse options are the ones the exchange document uses.
//
// Streaming floor: reads the bytes of every table, runs libxml2's streaming
// reader over the exchange file (same options), and writes the conversion's
// output into DIR: the bytes of OUT (through a small buffer) when the output
// is an exchange file, then with --read-output the streaming reader once more
// over what it wrote (the check a save makes before it replaces the file); the
// tables' bytes with --write-tables when the output is the tables.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
using XmlDocPtr = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

std::string ReadBytes(const std::filesystem::path& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) throw std::runtime_error("No se puede abrir " + path.string());
  std::string bytes;
  char chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
  if (std::ferror(file.get())) throw std::runtime_error("No se puede leer " + path.string());
  return bytes;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) throw std::runtime_error("No se puede crear " + path.string());
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
      std::fclose(file.release()) != 0) {
    throw std::runtime_error("No se puede escribir " + path.string());
  }
}

// Copies a file through a small buffer, so that its bytes are never all in memory.
void CopyBytes(const std::filesystem::path& from, const std::filesystem::path& to) {
  FilePtr in(std::fopen(from.c_str(), "rb"));
  if (!in) throw std::runtime_error("No se puede abrir " + from.string());
  FilePtr out(std::fopen(to.c_str(), "wb"));
  if (!out) throw std::runtime_error("No se puede crear " + to.string());
  char chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) {
    if (std::fwrite(chunk, 1, got, out.get()) != got) {
      throw std::runtime_error("No se puede escribir " + to.string());
    }
  }
  if (std::ferror(in.get()) || std::fclose(out.release()) != 0) {
    throw std::runtime_error("No se puede copiar " + from.string());
  }
}

// Runs libxml2's streaming reader over the whole file.
void StreamRead(const std::filesystem::path& xml) {
  std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)> reader(
      xmlReaderForFile(xml.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_COMPACT),
      &xmlFreeTextReader);
  if (!reader) throw std::runtime_error("libxml2 no puede abrir " + xml.string());
  int step;
  while ((step = xmlTextReaderRead(reader.get())) == 1) {
  }
  if (step < 0) throw std::runtime_error("libxml2 no puede leer " + xml.string());
}

}  // namespace

int main(int argc, char** argv) {
  std::string xml;
  std::filesystem::path output;
  bool stream = false;
  bool write_tables = false;
  bool read_output = false;
  std::filesystem::path scratch;
  std::vector<std::filesystem::path> tables;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--xml" && i + 1 < argc) {
      xml = argv[++i];
    } else if (arg == "--stream") {
      stream = true;
    } else if (arg == "--write-tables") {
      write_tables = true;
    } else if (arg == "--read-output") {
      read_output = true;
    } else if (arg == "--output" && i + 1 < argc) {
      output = argv[++i];
    } else if (arg == "--scratch" && i + 1 < argc) {
      scratch = argv[++i];
    } else if (!arg.starts_with("--")) {
      tables.emplace_back(arg);
    } else {
      std::fprintf(stderr, "Argumento no válido: %s\n", argv[i]);
      return 2;
    }
  }
  if (xml.empty() || scratch.empty()) {
    std::fprintf(
        stderr,
        "uso: pontexa-bench-floor [--stream [--output SALIDA [--read-output]] [--write-tables]] "
        "--xml ARCHIVO.xml --scratch CARPETA [TABLA.DBF...]\n");
    return 2;
  }

  try {
    std::vector<std::string> table_bytes;
    for (const auto& table : tables) table_bytes.push_back(ReadBytes(table));

    if (stream) {
      StreamRead(xml);
      if (!output.empty()) CopyBytes(output, scratch / "floor.xml");
      if (!output.empty() && read_output) StreamRead(scratch / "floor.xml");
      for (std::size_t i = 0; write_tables && i < tables.size(); ++i) {
        WriteBytes(scratch / tables[i].filename(), table_bytes[i]);
      }
      return 0;
    }

    XmlDocPtr doc(xmlReadFile(xml.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_COMPACT),
                  &xmlFreeDoc);
    if (!doc) throw std::runtime_error("libxml2 no puede leer " + xml);
    const std::filesystem::path saved = scratch / "floor.xml";
    if (xmlSaveFile(saved.c_str(), doc.get()) < 0) {
      throw std::runtime_error("libxml2 no puede guardar " + saved.string());
    }

    for (std::size_t i = 0; i < tables.size(); ++i) {
      WriteBytes(scratch / tables[i].filename(), table_bytes[i]);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
