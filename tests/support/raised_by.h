// The message of the TError an action raises, for tests in every suite.
#pragma once

#include <functional>
#include <string>

#include "app/error.h"

namespace testsupport {

// Runs `action`; returns the message of the TError it throws (released here), or "(none)"
// when it throws nothing.
inline std::wstring RaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (Q::TError* error) {
    std::wstring message = error->Message ? error->Message : L"";
    Q::ReleaseError(error);
    return message;
  }
  return L"(none)";
}

}  // namespace testsupport
