#include "toolkit/xmldoc.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>

namespace Q {

int TXMLNode::AsInteger() const {
  const std::wstring text = Text();
  // Blanks around the number are allowed; anything else is not a number.
  std::size_t begin = text.find_first_not_of(L" \t\r\n");
  std::size_t end = text.find_last_not_of(L" \t\r\n");
  if (begin == std::wstring::npos) throw EXmlError("'' is not a valid integer value");
  const std::wstring digits = text.substr(begin, end - begin + 1);
  wchar_t* stop = nullptr;
  errno = 0;
  const long value = std::wcstol(digits.c_str(), &stop, 10);
  if (stop == digits.c_str() || *stop != L'\0' || errno == ERANGE || value < INT_MIN ||
      value > INT_MAX)
    throw EXmlError("not a valid integer value");
  return static_cast<int>(value);
}

int TXMLNode::ChildCount() const {
  return impl_ ? static_cast<int>(impl_->Elements().size()) : 0;
}

TXMLNode TXMLNode::Child(int index) const {
  if (!impl_ || index < 0) return TXMLNode();
  auto children = impl_->Elements();
  if (index >= static_cast<int>(children.size())) return TXMLNode();
  return TXMLNode(children[static_cast<std::size_t>(index)]);
}

TXMLNode TXMLNode::ChildNamed(const std::wstring& name) const {
  if (!impl_) return TXMLNode();
  for (auto& child : impl_->Elements())
    if (child->Name() == name) return TXMLNode(child);
  return TXMLNode();
}

TXMLNode TXMLNode::AddChild(const std::wstring& name) {
  return impl_ ? TXMLNode(impl_->AppendElement(name)) : TXMLNode();
}

TXMLNode TXMLNode::AddChild(const std::wstring& name, const std::wstring& text) {
  TXMLNode child = AddChild(name);
  child.SetText(text);
  return child;
}

void TXMLNode::ClearChildNodes() {
  if (impl_) impl_->RemoveChildren();
}

TXMLDocument::TXMLDocument(TComponent* owner) : TComponent(owner), doc_(CreateXmlDocument()) {}

TXMLDocument::~TXMLDocument() = default;

TXMLNode TXMLDocument::DocumentElement() const { return TXMLNode(doc_->Root()); }

TXMLNode TXMLDocument::NewDocument(const std::wstring& name) {
  return TXMLNode(doc_->NewDocument(name));
}

void TXMLDocument::LoadFromFile(const std::wstring& path) { doc_->LoadFromFile(path); }

void TXMLDocument::LoadFromXML(const std::wstring& xml) { doc_->LoadFromText(xml); }

void TXMLDocument::SaveToFile(const std::wstring& path) { doc_->SaveToFile(path); }

std::wstring TXMLDocument::XML() const { return doc_->Text(); }

}  // namespace Q
