#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

struct _xmlDoc;

namespace pontexa::exchange {

// Sets libxml2 up once for the process: initialised, and refusing to load any
// external resource. Called by every entry point here; harmless to call again.
void InitXmlLibrary();

struct XmlDocFree {
  void operator()(_xmlDoc* doc) const;
};
using XmlDocPtr = std::unique_ptr<_xmlDoc, XmlDocFree>;

// Parses the bytes of an XML file. White space between elements, comments,
// processing instructions, CDATA sections, the DOCTYPE and entity references are
// all kept as they are, so the tree can be written back unchanged. Nothing is
// read from outside the bytes (no external entity, no external DTD, no network),
// no entity reference is replaced by its text, and libxml2's limits on depth and
// size stay in force. A file whose entity references stand for more than ten
// times its own size in text (plus 1 MiB) is refused, the parse stopped as soon
// as the count passes that. libxml2 prints nothing. On failure returns null and sets
// failure to why, in Spanish, led by the line and column ("línea 3, columna 7: ...").
// `name` is the file's name, used only to tell the file's own errors from those
// inside entity declarations.
XmlDocPtr ParseXml(std::string_view bytes, const std::string& name, std::string& failure);

// Checks that the bytes parse, under the same rules as ParseXml, without building
// a tree (several times faster). Returns "" when they do, else why not, as ParseXml.
std::string CheckWellFormed(std::string_view bytes, const std::string& name);

// What the parser saw directly under the root element, written in the file
// itself (not brought in by an entity reference).
struct RootChildCount {
  std::size_t elements = 0;
  std::size_t named = 0;  // those whose name, without a prefix, is the name asked for
};

// The same check, which also hands over, when the bytes parse, a document
// without elements that holds what the parse learnt besides (the DTD with its
// entities, and the encoding the file declares), and counts the root's child
// elements and those of them named `child_name`.
std::string CheckWellFormed(std::string_view bytes, const std::string& name, XmlDocPtr& dtd,
                            const std::string& child_name, RootChildCount& count);

// The same check on the file at `path`, read block by block so that the file is
// never held whole in memory. `name` is the file's name as CheckWellFormed takes
// it. Returns "" when the file parses, and sets `size` to the file's length;
// else why not, as CheckWellFormed, or why the file cannot be read.
std::string CheckWellFormedFile(const std::string& path, const std::string& name,
                                std::size_t& size);

// Writes `prolog` and then the tree as XML text in `encoding` to the file
// descriptor, without adding or removing white space, the tree led by an XML
// declaration naming the encoding when `declaration` is set. A character that
// the encoding lacks is written as a character reference. Returns "" on success,
// else why not, in Spanish. `size` is set to the number of bytes written.
std::string SerializeXmlTo(File* file, std::string_view prolog, _xmlDoc* doc,
                           const std::string& encoding, bool declaration, std::size_t& size);

}  // namespace pontexa::exchange
