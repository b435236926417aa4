// The XML document over libxml2 (native build).
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/xmldoc.h"

namespace Q {
namespace {

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    // UTF-16 surrogate pairs (where wchar_t is 16 bits wide).
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      const uint32_t low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::wstring FromUtf8(const xmlChar* text) {
  std::wstring out;
  if (!text) return out;
  const unsigned char* p = text;
  while (*p) {
    uint32_t c = *p++;
    int extra = 0;
    if (c >= 0xF0) { c &= 0x07; extra = 3; }
    else if (c >= 0xE0) { c &= 0x0F; extra = 2; }
    else if (c >= 0xC0) { c &= 0x1F; extra = 1; }
    for (; extra > 0 && (*p & 0xC0) == 0x80; --extra) c = (c << 6) | (*p++ & 0x3F);
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

// Owns one parsed document and the nodes removed from it, so that node handles never
// outlive the memory they point to.
struct DocHolder {
  xmlDocPtr doc = nullptr;
  std::vector<xmlNodePtr> removed;
  ~DocHolder() {
    for (xmlNodePtr n : removed) xmlFreeNode(n);
    if (doc) xmlFreeDoc(doc);
  }
};

class Node : public IXmlNode {
 public:
  Node(std::shared_ptr<DocHolder> holder, xmlNodePtr node) : holder_(std::move(holder)), node_(node) {}
  std::wstring Name() override { return FromUtf8(node_->name); }
  std::wstring Text() override {
    xmlChar* content = xmlNodeGetContent(node_);
    std::wstring out = FromUtf8(content);
    xmlFree(content);
    return out;
  }
  void SetText(const std::wstring& text) override {
    RemoveChildren();
    const std::string utf8 = ToUtf8(text);
    if (!utf8.empty()) xmlAddChild(node_, xmlNewDocText(holder_->doc, X(utf8)));
  }
  std::vector<std::shared_ptr<IXmlNode>> Elements() override {
    std::vector<std::shared_ptr<IXmlNode>> out;
    for (xmlNodePtr c = node_->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) out.push_back(std::make_shared<Node>(holder_, c));
    return out;
  }
  std::shared_ptr<IXmlNode> AppendElement(const std::wstring& name) override {
    xmlNodePtr child = xmlNewDocNode(holder_->doc, nullptr, X(ToUtf8(name)), nullptr);
    if (!child) throw EXmlError("cannot create an element");
    xmlAddChild(node_, child);
    return std::make_shared<Node>(holder_, child);
  }
  void RemoveChildren() override {
    while (xmlNodePtr c = node_->children) {
      xmlUnlinkNode(c);
      holder_->removed.push_back(c);
    }
  }

 private:
  std::shared_ptr<DocHolder> holder_;
  xmlNodePtr node_;
};

class Document : public IXmlDocument {
 public:
  Document() { Reset(xmlNewDoc(X("1.0"))); }
  std::shared_ptr<IXmlNode> Root() override {
    xmlNodePtr root = xmlDocGetRootElement(holder_->doc);
    return root ? std::make_shared<Node>(holder_, root) : nullptr;
  }
  std::shared_ptr<IXmlNode> NewDocument(const std::wstring& name) override {
    Reset(xmlNewDoc(X("1.0")));
    xmlNodePtr root = xmlNewDocNode(holder_->doc, nullptr, X(ToUtf8(name)), nullptr);
    xmlDocSetRootElement(holder_->doc, root);
    return std::make_shared<Node>(holder_, root);
  }
  void LoadFromFile(const std::wstring& path) override {
    xmlDocPtr doc = xmlReadFile(ToUtf8(path).c_str(), nullptr, kOptions);
    if (!doc) throw EXmlError("the XML file cannot be read or is not well-formed");
    Reset(doc);
  }
  void LoadFromText(const std::wstring& xml) override {
    const std::string utf8 = ToUtf8(xml);
    xmlDocPtr doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kOptions);
    if (!doc) throw EXmlError("the XML text is not well-formed");
    Reset(doc);
  }
  void SaveToFile(const std::wstring& path) override {
    if (xmlSaveFormatFileEnc(ToUtf8(path).c_str(), holder_->doc, "UTF-8", 1) < 0)
      throw EXmlError("the XML file cannot be written");
  }
  std::wstring Text() override {
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(holder_->doc, &buffer, &size, "UTF-8", 1);
    std::wstring out = FromUtf8(buffer);
    xmlFree(buffer);
    return out;
  }

 private:
  // No network, no entity expansion, no messages on the console.
  static constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  void Reset(xmlDocPtr doc) {
    holder_ = std::make_shared<DocHolder>();
    holder_->doc = doc;
  }
  std::shared_ptr<DocHolder> holder_;
};

}  // namespace

std::unique_ptr<IXmlDocument> CreateXmlDocument() { return std::make_unique<Document>(); }

}  // namespace Q
