// The XML document component: a DOM over the platform's XML parser (MSXML 6 through COM
// in the Windows build, libxml2 natively) with the operations the windows need: the root
// element, elements by name, children by index or name, element text (as text or as an
// integer), removing and appending children, loading and saving files and text.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/component.h"

namespace Q {

// A failure of the XML framework (unreadable or malformed file, a text that is not an
// integer). Not a program error: the window boundary shows it as an exception.
class EXmlError : public EFrameworkError {
 public:
  explicit EXmlError(const std::string& what) : EFrameworkError(what) {}
};

// One element of a document (backend implementation).
class IXmlNode {
 public:
  virtual ~IXmlNode() = default;
  virtual std::wstring Name() = 0;
  virtual std::wstring Text() = 0;
  virtual void SetText(const std::wstring& text) = 0;
  // Element children in document order (text and other nodes are skipped).
  virtual std::vector<std::shared_ptr<IXmlNode>> Elements() = 0;
  virtual std::shared_ptr<IXmlNode> AppendElement(const std::wstring& name) = 0;
  virtual void RemoveChildren() = 0;
};

// A document (backend implementation).
class IXmlDocument {
 public:
  virtual ~IXmlDocument() = default;
  // The root element, or null when the document has none.
  virtual std::shared_ptr<IXmlNode> Root() = 0;
  // Replaces the whole document by one with an empty root element `name`.
  virtual std::shared_ptr<IXmlNode> NewDocument(const std::wstring& name) = 0;
  virtual void LoadFromFile(const std::wstring& path) = 0;
  virtual void LoadFromText(const std::wstring& xml) = 0;
  virtual void SaveToFile(const std::wstring& path) = 0;
  virtual std::wstring Text() = 0;
};

// Creates the build's document implementation (empty: no root element).
std::unique_ptr<IXmlDocument> CreateXmlDocument();

// A node handle; a null handle reads as empty and ignores writes.
class TXMLNode {
 public:
  TXMLNode() = default;
  explicit TXMLNode(std::shared_ptr<IXmlNode> impl) : impl_(std::move(impl)) {}
  bool IsNull() const { return !impl_; }
  explicit operator bool() const { return impl_ != nullptr; }

  std::wstring NodeName() const { return impl_ ? impl_->Name() : std::wstring(); }
  std::wstring Text() const { return impl_ ? impl_->Text() : std::wstring(); }
  void SetText(const std::wstring& text) {
    if (impl_) impl_->SetText(text);
  }
  // The text as a decimal integer; EXmlError when it is not one.
  int AsInteger() const;
  void SetInteger(int value) { SetText(std::to_wstring(value)); }

  int ChildCount() const;
  TXMLNode Child(int index) const;
  // The first child element named `name` (case-sensitive), or a null node.
  TXMLNode ChildNamed(const std::wstring& name) const;
  TXMLNode AddChild(const std::wstring& name);
  // AddChild with the text set.
  TXMLNode AddChild(const std::wstring& name, const std::wstring& text);
  void ClearChildNodes();

 private:
  std::shared_ptr<IXmlNode> impl_;
};

class TXMLDocument : public TComponent {
 public:
  // Active and empty (no root element).
  explicit TXMLDocument(TComponent* owner);
  ~TXMLDocument() override;
  const char* ClassName() const override { return "TXMLDocument"; }

  TXMLNode DocumentElement() const;
  // Starts a new document whose root is an empty element `name`.
  TXMLNode NewDocument(const std::wstring& name);
  void LoadFromFile(const std::wstring& path);
  void LoadFromXML(const std::wstring& xml);
  void SaveToFile(const std::wstring& path);
  std::wstring XML() const;

 private:
  std::unique_ptr<IXmlDocument> doc_;
};

}  // namespace Q
