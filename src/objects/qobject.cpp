#include "objects/qobject.h"

#include <cwchar>

namespace Q {

wchar_t* NewWideCopy(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  const std::size_t n = std::wcslen(text);
  auto* copy = new wchar_t[n + 1];
  std::wmemcpy(copy, text, n + 1);
  return copy;
}

TqObject::TqObject(const wchar_t* name)
    : name_(NewWideCopy(name)), expandable_(0), fileSystem_(0) {}

TqObject::~TqObject() { delete[] name_; }

void TqObject::GetName(wchar_t** out) { *out = NewWideCopy(name_); }

void TqObject::GetDisplayName(wchar_t** out) { *out = NewWideCopy(name_ ? name_ : L""); }

unsigned char TqObject::GetKind() { return kKindObject; }

void TqObject::Enumerate(TqObject*** children, int* count) {
  *children = nullptr;
  *count = 0;
}

unsigned char TqObject::HasChildren() { return expandable_; }

TqChildren::~TqChildren() {
  for (TqObject* child : items_) delete child;
}

void TqChildren::Add(TqObject* child) {
  if (child == nullptr) return;
  try {
    items_.push_back(child);
  } catch (...) {
    delete child;
    throw;
  }
}

void TqChildren::Release(TqObject*** children, int* count) {
  if (items_.empty()) {
    *children = nullptr;
    *count = 0;
    return;
  }
  auto** array = new TqObject*[items_.size()];
  for (std::size_t i = 0; i < items_.size(); ++i) array[i] = items_[i];
  *children = array;
  *count = static_cast<int>(items_.size());
  items_.clear();
}

}  // namespace Q
