#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct _xmlDoc;

namespace pontexa::testing {

// An XML file read by libxml2 on its own, with XPath, to look at what a run
// wrote without going through the code under test. Texts come back in UTF-8.
class XmlFile {
 public:
  // Fails the calling test (ADD_FAILURE) and holds nothing when the file does not parse.
  explicit XmlFile(const std::filesystem::path& path);
  ~XmlFile();
  XmlFile(const XmlFile&) = delete;
  XmlFile& operator=(const XmlFile&) = delete;

  // How many nodes the XPath reaches.
  std::size_t Count(const std::string& xpath) const;
  // The attribute `name` of every element the XPath reaches, in document
  // order; "" for an element without it.
  std::vector<std::string> Attributes(const std::string& xpath, const char* name) const;

 private:
  struct DocFree {
    void operator()(_xmlDoc* doc) const;
  };
  std::unique_ptr<_xmlDoc, DocFree> doc_;
};

}  // namespace pontexa::testing
