// Helpers shared by the object model's unit tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/error.h"
#include "objects/qobject.h"
#include "sim/computer.h"

namespace testobjects {

inline sim::Computer& Computer() { return *sim::Active(); }
inline sim::SimNet& Net() { return sim::Active()->net(); }
inline sim::SimSystem& System() { return sim::Active()->system(); }

// Runs `action` and returns the message of the TError it throws ("" when none).
inline std::wstring ThrownMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (Q::TError* error) {
    std::wstring message = error->Message ? error->Message : L"";
    Q::ReleaseError(error);
    return message;
  }
  return L"";
}

// The children of one Enumerate, owned.
struct Children {
  std::vector<std::unique_ptr<Q::TqObject>> items;
  Q::TqObject* operator[](std::size_t i) const { return items[i].get(); }
  std::size_t size() const { return items.size(); }
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> out;
    for (const auto& item : items) out.push_back(item->Name() ? item->Name() : L"(none)");
    return out;
  }
};

inline Children Enumerate(Q::TqObject& object) {
  Q::TqObject** array = nullptr;
  int count = -1;
  object.Enumerate(&array, &count);
  Children out;
  EXPECT_GE(count, 0);
  if (count == 0) {
    EXPECT_EQ(nullptr, array);
  }
  for (int i = 0; i < count; ++i) out.items.emplace_back(array[i]);
  delete[] array;
  return out;
}

inline std::wstring Owned(wchar_t* text) {
  std::wstring out = text ? text : L"(null)";
  delete[] text;
  return out;
}

}  // namespace testobjects
