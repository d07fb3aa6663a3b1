#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "exchange/cannot_load.h"

struct _xmlDoc;
struct _xmlParserCtxt;

namespace pontexa::exchange {

// Sets libxml2 up once for the process: initialised, and refusing to load any
// external resource. Called by every entry point here; harmless to call again.
void InitXmlLibrary();

struct XmlDocFree {
  void operator()(_xmlDoc* doc) const;
};
using XmlDocPtr = std::unique_ptr<_xmlDoc, XmlDocFree>;

// Every parse here keeps to the same rules: nothing is read from outside the
// file (no external entity, no external DTD, no network), no entity reference
// is replaced by its text, and libxml2's limits on depth and size stay in
// force. A file whose entity references stand for more than ten times its own
// size in text (plus 1 MiB) is refused, the parse stopped as soon as the count
// passes that. libxml2 prints nothing. A file that does not parse raises
// CannotLoad, led by the line and column ("línea 3, columna 7: ..."). `name` is
// the file's name, used only to tell the file's own errors from those inside
// entity declarations.

// Checks that the bytes parse, without building a tree. Raises CannotLoad when
// they do not.
void CheckWellFormed(std::string_view bytes, const std::string& name);

// What the parser saw directly under the root element, written in the file
// itself (not brought in by an entity reference).
struct RootChildCount {
  std::size_t elements = 0;
  std::size_t named = 0;  // those whose name, without a prefix, is the name asked for
};

// The same check, which also returns, when the bytes parse, a document
// without elements that holds what the parse learnt besides (the DTD with its
// entities, and the encoding the file declares), and counts the root's child
// elements and those of them named `child_name`.
XmlDocPtr CheckWellFormed(std::string_view bytes, const std::string& name,
                          const std::string& child_name, RootChildCount& count);

// The same check on the file at `path`, read block by block so that the file is
// never held whole in memory. `name` is the file's name as CheckWellFormed takes
// it. Returns the file's length when it parses; raises CannotLoad when it does
// not, as CheckWellFormed, or when it cannot be read.
std::size_t CheckWellFormedFile(const std::string& path, const std::string& name);

// Parses the file at `path`, read block by block, in one pass that builds no
// tree, under the same rules and with the same errors as CheckWellFormed, in
// every encoding the parser reads. `install` is
// handed the parser's context before the parse starts and sets the content
// handlers of its SAX table (elements, text, CDATA, comments, processing
// instructions, references); the DTD is recorded as usual, so that the
// handlers can look entities up in the context's document while the parse
// runs. Raises CannotLoad as CheckWellFormed does, or with why the file
// cannot be read (as ReadWholeFile says it).
void StreamXmlFile(const std::string& path, const std::string& name,
                   const std::function<void(_xmlParserCtxt* context)>& install);

// How the handlers `install` sets find the object they work for. `install`
// names it with SetStreamOwner; a handler passes StreamOwner its first
// argument and gets the object back for the file's own callbacks, and nullptr
// for those of the parses libxml2 makes to read an entity's text.
void SetStreamOwner(_xmlParserCtxt* context, void* owner);
void* StreamOwner(void* user);

}  // namespace pontexa::exchange
