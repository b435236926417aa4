// The XML document over MSXML 6 (Windows build), driven through IDispatch: the class is
// found by its ProgID, so no MSXML import library or generated header is needed.
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/xmldoc.h"

namespace Q {
namespace {

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// An owned IDispatch reference.
class Disp {
 public:
  Disp() = default;
  explicit Disp(IDispatch* p) : p_(p) {}  // takes the reference
  Disp(const Disp& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Disp& operator=(Disp o) {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Disp() {
    if (p_) p_->Release();
  }
  IDispatch* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  IDispatch* p_ = nullptr;
};

// A VARIANT that clears itself.
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

struct Arg {
  VARIANT v;
  explicit Arg(const std::wstring& s) {
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }
  explicit Arg(IDispatch* d) {
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = d;
    if (d) d->AddRef();
  }
  explicit Arg(long n) {
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
  }
  explicit Arg(bool b) {
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  }
  ~Arg() { VariantClear(&v); }
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
};

// Invokes `name` on `d`; throws EXmlError with the call's name when it fails.
HRESULT Invoke(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT*> args,
               VARIANT* result, bool throwOnFailure = true) {
  if (!d) throw EXmlError("no XML object");
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw EXmlError("XML DOM has no member " + Narrow(name));
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(reversed.size());
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  DISPID put = DISPID_PROPERTYPUT;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &put;
  }
  EXCEPINFO info{};
  hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
  std::wstring description = info.bstrDescription ? info.bstrDescription : L"";
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  if (FAILED(hr) && throwOnFailure)
    throw EXmlError("XML DOM " + Narrow(name) + " failed" +
                    (description.empty() ? std::string() : ": " + Narrow(description)));
  return hr;
}

Disp GetDisp(IDispatch* d, const wchar_t* name) {
  Var r;
  Invoke(d, name, DISPATCH_PROPERTYGET, {}, &r.v);
  if (r.v.vt != VT_DISPATCH || !r.v.pdispVal) return Disp();
  r.v.pdispVal->AddRef();
  return Disp(r.v.pdispVal);
}

std::wstring GetText(IDispatch* d, const wchar_t* name) {
  Var r;
  Invoke(d, name, DISPATCH_PROPERTYGET, {}, &r.v);
  if (r.v.vt != VT_BSTR || !r.v.bstrVal) return std::wstring();
  return std::wstring(r.v.bstrVal, SysStringLen(r.v.bstrVal));
}

long GetLong(IDispatch* d, const wchar_t* name) {
  Var r;
  Invoke(d, name, DISPATCH_PROPERTYGET, {}, &r.v);
  Var converted;
  if (FAILED(VariantChangeType(&converted.v, &r.v, 0, VT_I4))) return 0;
  return converted.v.lVal;
}

Disp CallDisp(IDispatch* d, const wchar_t* name, std::vector<VARIANT*> args) {
  Var r;
  Invoke(d, name, DISPATCH_METHOD, std::move(args), &r.v);
  if (r.v.vt != VT_DISPATCH || !r.v.pdispVal) return Disp();
  r.v.pdispVal->AddRef();
  return Disp(r.v.pdispVal);
}

class Node : public IXmlNode {
 public:
  explicit Node(Disp node) : node_(std::move(node)) {}
  std::wstring Name() override { return GetText(node_.get(), L"nodeName"); }
  std::wstring Text() override { return GetText(node_.get(), L"text"); }
  void SetText(const std::wstring& text) override {
    Arg value(text);
    Invoke(node_.get(), L"text", DISPATCH_PROPERTYPUT, {&value.v}, nullptr);
  }
  std::vector<std::shared_ptr<IXmlNode>> Elements() override {
    std::vector<std::shared_ptr<IXmlNode>> out;
    Disp list = GetDisp(node_.get(), L"childNodes");
    const long count = GetLong(list.get(), L"length");
    for (long i = 0; i < count; ++i) {
      Arg index(i);
      Var r;
      Invoke(list.get(), L"item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {&index.v}, &r.v);
      if (r.v.vt != VT_DISPATCH || !r.v.pdispVal) continue;
      r.v.pdispVal->AddRef();
      Disp child(r.v.pdispVal);
      if (GetLong(child.get(), L"nodeType") == 1) out.push_back(std::make_shared<Node>(child));
    }
    return out;
  }
  std::shared_ptr<IXmlNode> AppendElement(const std::wstring& name) override {
    Disp doc = GetDisp(node_.get(), L"ownerDocument");
    Arg tag(name);
    Disp element = CallDisp(doc.get(), L"createElement", {&tag.v});
    Arg child(element.get());
    Disp appended = CallDisp(node_.get(), L"appendChild", {&child.v});
    return std::make_shared<Node>(appended ? appended : element);
  }
  void RemoveChildren() override {
    for (;;) {
      Disp first = GetDisp(node_.get(), L"firstChild");
      if (!first) break;
      Arg child(first.get());
      CallDisp(node_.get(), L"removeChild", {&child.v});
    }
  }

 private:
  Disp node_;
};

class Document : public IXmlDocument {
 public:
  Document() {
    // The product initialises COM at start; a caller without it (tests) gets it here.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comInitialised_ = SUCCEEDED(hr);
    doc_ = Create();
  }
  ~Document() override {
    doc_ = Disp();
    if (comInitialised_) CoUninitialize();
  }
  std::shared_ptr<IXmlNode> Root() override {
    Disp root = GetDisp(doc_.get(), L"documentElement");
    return root ? std::make_shared<Node>(root) : nullptr;
  }
  std::shared_ptr<IXmlNode> NewDocument(const std::wstring& name) override {
    doc_ = Create();
    Arg target(std::wstring(L"xml"));
    Arg data(std::wstring(L"version=\"1.0\""));
    Disp declaration = CallDisp(doc_.get(), L"createProcessingInstruction", {&target.v, &data.v});
    Arg declarationArg(declaration.get());
    CallDisp(doc_.get(), L"appendChild", {&declarationArg.v});
    Arg tag(name);
    Disp root = CallDisp(doc_.get(), L"createElement", {&tag.v});
    Arg rootArg(root.get());
    CallDisp(doc_.get(), L"appendChild", {&rootArg.v});
    return std::make_shared<Node>(root);
  }
  void LoadFromFile(const std::wstring& path) override { Load(L"load", path); }
  void LoadFromText(const std::wstring& xml) override { Load(L"loadXML", xml); }
  void SaveToFile(const std::wstring& path) override {
    Arg file(path);
    Invoke(doc_.get(), L"save", DISPATCH_METHOD, {&file.v}, nullptr);
  }
  std::wstring Text() override { return GetText(doc_.get(), L"xml"); }

 private:
  static Disp Create() {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid)))
      throw EXmlError("MSXML 6 is not available");
    IDispatch* p = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&p))) || !p)
      throw EXmlError("MSXML 6 cannot be created");
    Disp doc(p);
    Arg no(false);
    Invoke(doc.get(), L"async", DISPATCH_PROPERTYPUT, {&no.v}, nullptr);
    Arg noExternals(false);
    Invoke(doc.get(), L"resolveExternals", DISPATCH_PROPERTYPUT, {&noExternals.v}, nullptr, false);
    return doc;
  }
  void Load(const wchar_t* method, const std::wstring& source) {
    Arg arg(source);
    Var ok;
    Invoke(doc_.get(), method, DISPATCH_METHOD, {&arg.v}, &ok.v);
    if (ok.v.vt == VT_BOOL && ok.v.boolVal == VARIANT_TRUE) return;
    std::string reason = "the XML document cannot be read or is not well-formed";
    try {
      Disp error = GetDisp(doc_.get(), L"parseError");
      const std::wstring text = GetText(error.get(), L"reason");
      if (!text.empty()) reason += ": " + Narrow(text);
    } catch (const EXmlError&) {
    }
    throw EXmlError(reason);
  }

  Disp doc_;
  bool comInitialised_ = false;
};

}  // namespace

std::unique_ptr<IXmlDocument> CreateXmlDocument() { return std::make_unique<Document>(); }

}  // namespace Q
