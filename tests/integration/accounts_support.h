// Support for the integration tests of accounts and service configuration: the real
// system seam with its message boxes recorded instead of shown (a modal box would stop an
// unattended run), and the Wine user's name.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/error.h"
#include "platform/forwarding_system.h"
#include "raised_by.h"

namespace integ {

struct Box {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class RecordingSystem final : public Q::ForwardingSystem {
 public:
  RecordingSystem() : ForwardingSystem(*Q::Seam<Q::ISystem>::Default()), scope_(*this) {}
  const std::vector<Box>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }

  int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) override {
    boxes_.push_back(Box{text ? text : L"", caption ? caption : L"", type});
    return IDOK;
  }

 private:
  Q::ScopedSeam<Q::ISystem> scope_;
  std::vector<Box> boxes_;
};

inline std::wstring UserName() {
  wchar_t name[256] = {};
  DWORD size = 256;
  return GetUserNameW(name, &size) ? name : L"";
}

inline std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? name : L"";
}

using testsupport::RaisedBy;

}  // namespace integ
