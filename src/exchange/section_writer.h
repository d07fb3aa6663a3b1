#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pontexa::exchange {

// Writes new elements as XML text (UTF-8) in document order, with no white
// space between them, and hands the text to a sink in large pieces. An element
// is started, given its attributes, then its children, then ended; one without
// children is written as "<name .../>". Attribute values are escaped as
// libxml2 escapes them ('<', '>', '&', '"' and line breaks and tabs as
// references), so the text reads back with the values it was given.
class SectionWriter {
 public:
  using Sink = std::function<void(std::string_view utf8)>;

  explicit SectionWriter(Sink sink);
  SectionWriter(const SectionWriter&) = delete;
  SectionWriter& operator=(const SectionWriter&) = delete;

  // A new element, the last child of the one open. Raises Error for a name that
  // is not an XML name without a prefix.
  void StartElement(std::string_view name);
  // An attribute of the element just started; `text` is 8-bit text. Raises
  // Error for a name that is not an XML name, a value with a control character
  // that XML cannot hold, an attribute given twice, or no element to take it.
  void SetAttribute(std::string_view name, std::string_view text);
  // Ends the element open last. Raises Error when none is open.
  void EndElement();
  // Hands everything written so far to the sink. Raises Error when an element
  // is still open.
  void Finish();

 private:
  void CloseStartTag();
  void Emit();
  // Room for `count` more bytes at the end of the text; returns where they go.
  char* Extend(std::size_t count);
  void Grow(std::size_t count);
  void Append(std::string_view bytes);
  // Appends `name` when it is a name made only of ASCII letters, digits, '_',
  // '-' and '.', led by a letter or '_', checking it as it copies; false, with
  // nothing appended, when it is not.
  bool AppendPlainName(std::string_view name);

  Sink sink_;
  // The text not yet handed to the sink is buffer_[0, used_): the buffer keeps
  // its size, so that appending is a copy and nothing else.
  std::string buffer_;
  std::size_t used_ = 0;
  // The names of the open elements, one after the other, and where each starts.
  std::string open_names_;
  std::vector<std::size_t> open_starts_;
  // The element just started still takes attributes: its start tag is open.
  bool start_tag_open_ = false;
  // Where the names of the attributes of the open start tag lie in buffer_
  // (the buffer is handed on only once a start tag is closed).
  std::vector<std::pair<std::size_t, std::size_t>> attribute_names_;
};

}  // namespace pontexa::exchange
