#include "support/xml_file.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

namespace pontexa::testing {
namespace {

struct XPathFree {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

// Every node the XPath reaches, handed to `visit` in document order.
template <typename Visit>
void ForEachNode(xmlDoc* doc, const std::string& xpath, Visit visit) {
  if (doc == nullptr) return;
  std::unique_ptr<xmlXPathContext, XPathFree> context(xmlXPathNewContext(doc));
  std::unique_ptr<xmlXPathObject, XPathFree> found(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context.get()));
  if (!found) {
    ADD_FAILURE() << "XPath no válido: " << xpath;
    return;
  }
  if (found->nodesetval == nullptr) return;
  for (int i = 0; i < found->nodesetval->nodeNr; ++i) visit(found->nodesetval->nodeTab[i]);
}

}  // namespace

void XmlFile::DocFree::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

XmlFile::XmlFile(const std::filesystem::path& path)
    : doc_(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR)) {
  if (!doc_) ADD_FAILURE() << "No se puede leer " << path;
}

XmlFile::~XmlFile() = default;

std::size_t XmlFile::Count(const std::string& xpath) const {
  std::size_t count = 0;
  ForEachNode(doc_.get(), xpath, [&](xmlNode*) { ++count; });
  return count;
}

std::vector<std::string> XmlFile::Attributes(const std::string& xpath, const char* name) const {
  std::vector<std::string> values;
  ForEachNode(doc_.get(), xpath, [&](xmlNode* node) {
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    values.emplace_back(value != nullptr ? reinterpret_cast<const char*>(value) : "");
    xmlFree(value);
  });
  return values;
}

}  // namespace pontexa::testing
