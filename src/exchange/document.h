#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cannot_load.h"
#include "exchange/xml_parse.h"

// libxml2's node and document types, named here so that only this folder's
// sources include libxml2 itself.
struct _xmlNode;
struct _xmlDoc;

namespace pontexa::exchange {

class Element;

// A node of the loaded tree, or nothing. Handles do not own: the document owns
// every node, and a handle is valid while its document lives and the node is in
// it (or was created by it).
//
// Text that consists only of white space between elements is kept in the tree as
// it was read, but no operation here ever shows it: it is not a child, not a
// first child and not part of any text.
class Node {
 public:
  Node() = default;
  explicit Node(_xmlNode* node) : node_(node) {}

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }

  // The value as the steps read it: the node's text (an attribute's value, a
  // text node's characters, the text of all text and CDATA below an element),
  // with every code point U+0000 to U+0020 cut from both ends, in 8-bit text.
  // "" for nothing. A reference to an entity declared in the document's DTD reads
  // as the entity's text; one to an external entity reads as "" (such entities
  // are never loaded).
  std::string Value() const;
  // The same text before it becomes 8-bit text: UTF-8, cut the same way, so
  // that a caller can tell which characters the code page could not hold.
  std::string Utf8Value() const;

  // The element behind this node, or nothing when it is not an element.
  Element AsElement() const;

  _xmlNode* raw() const { return node_; }

 protected:
  _xmlNode* node_ = nullptr;
};

// An ordered list of nodes counted from 0.
class NodeList {
 public:
  NodeList() = default;
  explicit NodeList(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
  std::size_t Length() const { return nodes_.size(); }
  // Nothing for an index outside 0 to Length() - 1.
  Node Item(std::ptrdiff_t index) const;

 private:
  std::vector<Node> nodes_;
};

// The attributes of one element.
class AttributeMap {
 public:
  explicit AttributeMap(_xmlNode* element) : element_(element) {}
  std::size_t Length() const;
  // The attribute with exactly this name (letter case counts), or nothing.
  Node NamedItem(std::string_view name) const;

 private:
  _xmlNode* element_ = nullptr;
};

class Element : public Node {
 public:
  Element() = default;
  explicit Element(_xmlNode* node) : Node(node) {}

  std::string Name() const;

  // A plain chain of child element names joined by "/", such as
  // "assigned-subjects/assigned-subject": every element it reaches, in document
  // order. A path that starts with "/" starts at the document. A name without a
  // prefix matches elements written without one; "x:name" matches elements
  // written with prefix x. Raises Error for anything else (predicates, "*", "..").
  NodeList SelectNodes(std::string_view path) const;
  // The first element that the path reaches, or nothing.
  Node SelectSingleNode(std::string_view path) const;

  // Children of every kind but the hidden white space, in document order.
  NodeList ChildNodes() const;
  Node FirstChild() const;
  AttributeMap Attributes() const { return AttributeMap(node_); }
};

// The exchange file as a tree. Creating a Document gives an empty one; Load fills it.
class Document {
 public:
  Document();
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Reads and parses the whole file. A missing, unreadable or ill-formed file
  // raises CannotLoad, which says why, and leaves the document empty.
  // No external entity or DTD is loaded, the network is never used and no
  // entity is expanded; a file whose entity references stand for far more text
  // than the file holds is refused (see ParseXml).
  void Load(const std::string& path);

  // The root element, or nothing for an empty document.
  Element DocumentElement() const;
  // An absolute path such as "/document/groups/group": every element it reaches,
  // in document order; empty when the root element has another name.
  NodeList SelectNodes(std::string_view path) const;

 private:
  void Reset(_xmlDoc* doc);

  std::unique_ptr<_xmlDoc, XmlDocFree> doc_;
};

}  // namespace pontexa::exchange
