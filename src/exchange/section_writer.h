#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
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

  Sink sink_;
  std::string buffer_;
  std::vector<std::string> open_;
  // The element just started still takes attributes: its start tag is open.
  bool start_tag_open_ = false;
  // The names of the attributes the element just started has, the first
  // attribute_count_ of them.
  std::vector<std::string> attribute_names_;
  std::size_t attribute_count_ = 0;
};

}  // namespace pontexa::exchange
