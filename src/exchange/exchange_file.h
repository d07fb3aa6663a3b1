#pragma once

#include <functional>
#include <string>

#include "exchange/markup_scan.h"
#include "exchange/section_writer.h"
#include "exchange/text_encoding.h"
#include "exchange/xml_parse.h"
#include "platform/file_copy.h"

namespace pontexa::exchange {

// The exchange file as its bytes, for the conversion that writes a section into
// it: the file is written back as it was read, with that one section replaced.
class ExchangeFile {
 public:
  ExchangeFile() = default;

  // Reads the whole file and checks it under the rules of ReadSchoolRecords
  // (the same safety settings and the same reasons for refusing it), without
  // building a tree. Raises CannotLoad, as ReadSchoolRecords does, when it
  // cannot be read or is not well-formed; Error "No se puede escribir la
  // sección de horarios en el archivo '<path>': ..." when it is in a stateful
  // encoding (see IsStatefulEncoding), into which no section can be written.
  void Load(const std::string& path);

  // Writes the loaded file to path: its bytes with each `time-tables` child of
  // the root taken out (from its '<' to the end of its end tag; the text around
  // it stays) and the section that `write_section` writes put in as the root's
  // last child, just before the root's end tag, in the file's encoding (a
  // character it cannot hold as a character reference). Every other byte is
  // kept. A root written "<name/>" gets an end tag; a reference directly under
  // the root to an entity that holds a `time-tables` element is replaced by the
  // entity's text without it. The file is replaced atomically (see
  // WriteFileAtomically) once the written file has been read back and has
  // loaded under the rules of Load. Errors raised by `write_section` come first
  // and unchanged; then the save's own, "No se puede guardar el archivo
  // '<path>': <why>" (a written file that would not load among them); on any
  // error the file on disk stays as it was. Returns the size and SHA-256 of
  // the saved file, taken from the pass that read it back, so a caller that
  // notes what the save left need not read it once more.
  FileDigest SaveWithSection(const std::string& path,
                       const std::function<void(SectionWriter&)>& write_section) const;

 private:
  // One change to the loaded bytes: the range is replaced by `utf8`, in the file's encoding.
  struct Edit {
    ByteRange bytes;
    std::string utf8;
  };
  std::vector<Edit> EarlierSections() const;
  bool EntityWithoutSections(const std::string& name, int depth, std::string& text) const;

  std::string bytes_;
  XmlDocPtr dtd_;
  FileEncoding encoding_;
  RootLayout layout_;
  bool loaded_ = false;
};

}  // namespace pontexa::exchange
