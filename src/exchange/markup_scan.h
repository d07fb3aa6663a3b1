#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/text_encoding.h"

namespace pontexa::exchange {

// A stretch of a file's bytes, from begin up to (not including) end.
struct ByteRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Something that stands directly under the root element (or at the top of an
// entity's text): a child element, from its '<' to the end of its end tag, or
// an entity reference, the whole "&name;".
struct TopItem {
  enum class Kind { kElement, kReference };
  Kind kind = Kind::kElement;
  std::string name;  // the element's name as written, prefix included; the entity's name
  ByteRange bytes;
};

// Where the parts a section replacement needs lie in a file's bytes.
struct RootLayout {
  ByteRange root_name;      // the root's name in its start tag
  bool root_empty = false;  // the root is written "<name .../>"
  // Where the root's end tag starts ("</"), or for an empty root where its "/>" starts.
  std::size_t root_end = 0;
  std::size_t after_root = 0;  // just past the root's last '>'
  std::vector<TopItem> items;  // the root's child elements and entity references, in order
};

// Finds the root's layout in the bytes of a file that the parser has accepted
// as well-formed (the scan relies on that and checks nothing), whose
// characters are laid out as `encoding` says.
RootLayout ScanRootLayout(std::string_view bytes, const FileEncoding& encoding);

// The child elements and entity references at the top of a piece of XML
// content in UTF-8, such as an entity's replacement text.
std::vector<TopItem> ScanContentTop(std::string_view utf8);

}  // namespace pontexa::exchange
