// Helpers shared by the service tests.
#pragma once

#include <functional>
#include <string>

#include "app/error.h"
#include "sim/computer.h"

namespace svctest {

inline sim::SimScm& Scm() { return sim::Active()->scm(); }
inline sim::CallLog& Log() { return sim::Active()->log(); }
inline sim::Clock& Clock() { return sim::Active()->clock(); }

// The message of the TError that `action` raises, or "(none)".
inline std::wstring RaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (Q::TError* error) {
    std::wstring message = error->Message ? error->Message : L"(null)";
    Q::ReleaseError(error);
    return message;
  }
  return L"(none)";
}

}  // namespace svctest
