#include "exchange/document.h"

#include <libxml/entities.h>
#include <libxml/tree.h>

#include <string>
#include <utility>
#include <vector>

#include "exchange/messages.h"
#include "exchange/xml_parse.h"
#include "platform/ascii.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_io.h"

namespace pontexa::exchange {
namespace {

// Entities nested deeper than this are not followed when reading text. The
// parser has already refused documents whose entities loop or grow out of
// measure; this only bounds the walk.
constexpr int kMaxEntityDepth = 40;

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view()
                         : std::string_view(reinterpret_cast<const char*>(text));
}

const xmlChar* Chars(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

// Text made only of XML white space, as the indentation between elements is.
// Such text is kept in the tree but never shown.
bool IsBlankText(const xmlNode* node) {
  if (node->type != XML_TEXT_NODE) return false;
  for (const xmlChar* c = node->content; c != nullptr && *c != 0; ++c) {
    if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') return false;
  }
  return true;
}

void AppendNodeText(const xmlNode* node, std::string& out, int depth);

void AppendEntityText(const xmlNode* reference, std::string& out, int depth) {
  if (depth >= kMaxEntityDepth) return;
  const xmlEntity* entity = reinterpret_cast<const xmlEntity*>(reference->children);
  if (entity == nullptr || entity->type != XML_ENTITY_DECL) {
    entity = xmlGetDocEntity(reference->doc, reference->name);
  }
  if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY) return;
  if (entity->children != nullptr) {
    for (const xmlNode* child = entity->children; child != nullptr; child = child->next) {
      AppendNodeText(child, out, depth + 1);
    }
    return;
  }
  // An entity used only inside attribute values has no parsed tree: parse its
  // replacement text into a short-lived list of text and references.
  if (entity->content == nullptr) return;
  xmlNode* list = xmlStringGetNodeList(reference->doc, entity->content);
  for (const xmlNode* child = list; child != nullptr; child = child->next) {
    AppendNodeText(child, out, depth + 1);
  }
  xmlFreeNodeList(list);
}

// Appends the text a node contributes to its element's text: text and CDATA,
// the text of elements below, and the text of internal entities.
void AppendNodeText(const xmlNode* node, std::string& out, int depth) {
  switch (node->type) {
    case XML_TEXT_NODE:
      if (!IsBlankText(node)) out.append(View(node->content));
      break;
    case XML_CDATA_SECTION_NODE:
      out.append(View(node->content));
      break;
    case XML_ELEMENT_NODE:
      for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        AppendNodeText(child, out, depth);
      }
      break;
    case XML_ENTITY_REF_NODE:
      AppendEntityText(node, out, depth);
      break;
    default:
      break;
  }
}

// The text of a node in UTF-8, before trimming.
std::string NodeText(const xmlNode* node) {
  std::string text;
  switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      text = View(node->content);
      break;
    case XML_ATTRIBUTE_NODE: {
      const xmlNode* first = node->children;
      // The usual attribute: one text node, read without walking.
      if (first != nullptr && first->next == nullptr && first->type == XML_TEXT_NODE) {
        text = View(first->content);
        break;
      }
      for (const xmlNode* child = first; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE) {
          text.append(View(child->content));
        } else {
          AppendNodeText(child, text, 0);
        }
      }
      break;
    }
    case XML_ELEMENT_NODE:
    case XML_ENTITY_REF_NODE:
      AppendNodeText(node, text, 0);
      break;
    default:
      break;
  }
  return text;
}

// One step of a selection path: a name, with or without a prefix.
struct Step {
  std::string_view prefix;
  std::string_view local;
};

// A name as written, "local" or "prefix:local".
Step StepOf(std::string_view name) {
  Step step;
  std::string_view::size_type colon = name.find(':');
  if (colon == std::string_view::npos) {
    step.local = name;
  } else {
    step.prefix = name.substr(0, colon);
    step.local = name.substr(colon + 1);
  }
  return step;
}

bool NameMatches(const xmlNode* node, const Step& step) {
  if (View(node->name) != step.local) return false;
  const xmlChar* prefix = node->ns != nullptr ? node->ns->prefix : nullptr;
  return View(prefix) == step.prefix;
}

std::vector<Step> ParsePath(std::string_view path) {
  std::string_view rest = path;
  if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  std::vector<Step> steps;
  bool valid = !rest.empty();
  while (valid) {
    std::string_view::size_type slash = rest.find('/');
    std::string_view name = rest.substr(0, slash);
    std::string copy(name);
    valid = !name.empty() && xmlValidateQName(Chars(copy), 0) == 0;
    if (!valid) break;
    steps.push_back(StepOf(name));
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  if (!valid) throw Error(messages::InvalidSelectionPath(Utf8FromSystem(path)));
  return steps;
}

// Depth first over the steps, so the matches come out in document order. Stops
// once `limit` nodes are found (0: no limit); returns true when it stopped so.
bool CollectMatches(const xmlNode* context, const std::vector<Step>& steps, std::size_t index,
                    std::vector<Node>& out, std::size_t limit) {
  const Step& step = steps[index];
  bool last = index + 1 == steps.size();
  for (xmlNode* child = context->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || !NameMatches(child, step)) continue;
    if (last) {
      out.emplace_back(child);
      if (out.size() == limit) return true;
    } else if (CollectMatches(child, steps, index + 1, out, limit)) {
      return true;
    }
  }
  return false;
}

std::vector<Node> Select(const xmlNode* context, std::string_view path, std::size_t limit) {
  std::vector<Step> steps = ParsePath(path);
  std::vector<Node> out;
  if (context == nullptr) return out;
  if (path.front() == '/') context = reinterpret_cast<const xmlNode*>(context->doc);
  if (context == nullptr) return out;
  CollectMatches(context, steps, 0, out, limit);
  return out;
}

bool IsElement(const xmlNode* node) { return node != nullptr && node->type == XML_ELEMENT_NODE; }

xmlDoc* NewEmptyDoc() {
  InitXmlLibrary();
  xmlDoc* doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
  if (doc == nullptr) throw Error(messages::NoMemoryToCreateDocument());
  return doc;
}

}  // namespace

// ---- Node ----

std::string Node::Value() const {
  if (node_ == nullptr) return "";
  return ValueFromUtf8(NodeText(node_));
}

std::string Node::Utf8Value() const {
  if (node_ == nullptr) return "";
  std::string text = NodeText(node_);
  // Code points up to U+0020 are single bytes in UTF-8, as ValueFromUtf8 cuts them.
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  text.resize(end);
  std::size_t begin = 0;
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  text.erase(0, begin);
  return text;
}

Element Node::AsElement() const { return IsElement(node_) ? Element(node_) : Element(); }

Node NodeList::Item(std::ptrdiff_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= nodes_.size()) return Node();
  return nodes_[static_cast<std::size_t>(index)];
}

// ---- AttributeMap ----

std::size_t AttributeMap::Length() const {
  if (!IsElement(element_)) return 0;
  std::size_t count = 0;
  for (const xmlAttr* attribute = element_->properties; attribute != nullptr;
       attribute = attribute->next) {
    ++count;
  }
  return count;
}

Node AttributeMap::NamedItem(std::string_view name) const {
  if (!IsElement(element_)) return Node();
  const Step step = StepOf(name);
  for (xmlAttr* attribute = element_->properties; attribute != nullptr;
       attribute = attribute->next) {
    xmlNode* node = reinterpret_cast<xmlNode*>(attribute);
    if (NameMatches(node, step)) return Node(node);
  }
  return Node();
}

// ---- Element ----

std::string Element::Name() const {
  if (node_ == nullptr) return "";
  std::string name;
  if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
    name = View(node_->ns->prefix);
    name += ':';
  }
  name += View(node_->name);
  return SystemFromUtf8(name);
}

NodeList Element::SelectNodes(std::string_view path) const {
  return NodeList(Select(node_, path, 0));
}

Node Element::SelectSingleNode(std::string_view path) const {
  std::vector<Node> found = Select(node_, path, 1);
  return found.empty() ? Node() : found.front();
}

NodeList Element::ChildNodes() const {
  std::vector<Node> children;
  if (!IsElement(node_)) return NodeList();
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (!IsBlankText(child)) children.emplace_back(child);
  }
  return NodeList(std::move(children));
}

Node Element::FirstChild() const {
  if (!IsElement(node_)) return Node();
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (!IsBlankText(child)) return Node(child);
  }
  return Node();
}

// ---- Document ----

Document::Document() { Reset(NewEmptyDoc()); }
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

void Document::Reset(_xmlDoc* doc) { doc_.reset(doc); }

void Document::Load(const std::string& path) {
  Reset(NewEmptyDoc());
  std::string bytes;
  if (Status status = ReadWholeFile(path, &bytes); !status) throw CannotLoad(status.text());
  Reset(ParseXml(bytes, path).release());
}

Element Document::DocumentElement() const {
  if (!doc_) return Element();
  return Element(xmlDocGetRootElement(doc_.get()));
}

NodeList Document::SelectNodes(std::string_view path) const {
  return NodeList(Select(reinterpret_cast<const xmlNode*>(doc_.get()), path, 0));
}

}  // namespace pontexa::exchange
