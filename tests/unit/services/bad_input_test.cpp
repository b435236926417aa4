// Names that are empty, as long as the platform allows or longer, hold format directives
// or backslashes, or are not valid in the ANSI code page pass through every service
// operation without a crash and are never used as a format.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "services/control.h"
#include "services/service.h"
#include "services_test_util.h"

namespace {

using svctest::RaisedBy;
using svctest::Scm;

const std::vector<std::wstring>& BadNames() {
  static const std::vector<std::wstring> names = {
      std::wstring(256, L'N'),  // the longest name the manager accepts
      std::wstring(257, L'L'),  // one more
      L"%s%s%s%s%n%n",
      L"%ls %d %x %p",
      L"back\\slash\\",
      L"\\\\server\\svc",
      L"\x4E2D\x6587\x263A",  // not in code page 1252
      L"\xE000\xFFFF",
  };
  return names;
}

TEST(ServiceBadInputTest, NamesPassThroughEveryOperation) {
  int n = 0;
  for (const std::wstring& name : BadNames()) {
    // The display name carries the same text; the list shows both unchanged.
    Scm().AddService(name).Display(name).Running().AcceptsStop().AcceptsPauseContinue()
        .Description(name);
    Scm().AddService(L"dep" + std::to_wstring(++n)).Display(name).DependsOn(name).Running()
        .AcceptsStop();
  }
  Scm().AddService(L"blank").Display(L"").Running();

  Q::TqServiceList list(L"%s%n", Q::kListServices, nullptr);
  Q::TqObject** array = nullptr;
  int count = 0;
  list.Enumerate(&array, &count);
  ASSERT_EQ(static_cast<int>(2 * BadNames().size() + 1), count);
  for (int i = 0; i < count; ++i) {
    auto* service = static_cast<Q::TqService*>(array[i]);
    const std::wstring name = service->Name();
    wchar_t* display = nullptr;
    service->GetDisplayName(&display);
    if (name == L"blank") {
      EXPECT_STREQ(L"[no_display_name]", display);
    } else if (name.compare(0, 3, L"dep") != 0) {
      EXPECT_EQ(name, std::wstring(display));
    }
    delete[] display;

    // Every operation either works or raises one of its own fixed texts; none of them
    // carries the name or a formatted remainder of it.
    for (const auto& action : std::vector<std::function<void()>>{
             [&] { Q::RefreshServiceStatus(service); },
             [&] { Q::RefreshDependents(service); },
             [&] { Q::ControlServiceAndWait(service, 2, false, 10000); },
             [&] { Q::ControlServiceAndWait(service, 3, false, 10000); },
             [&] { Q::ControlServiceAndWait(service, 1, true, 10000); },
             [&] {
               const wchar_t* argv[] = {service->Name(), L"%n"};
               Q::StartServiceAndWait(service, 10000, 2, argv);
             }}) {
      const std::wstring raised = RaisedBy(action);
      EXPECT_TRUE(raised == L"(none)" || raised.compare(0, 4, L"!!: ") == 0);
      if (name.size() > 3) {
        EXPECT_EQ(std::wstring::npos, raised.find(name)) << raised;
      }
    }
    delete service;
  }
  delete[] array;
  EXPECT_EQ(0, Scm().OpenHandleCount());
}

TEST(ServiceBadInputTest, EmptyAndOverlongNamesAreRefusedByTheManager) {
  for (const std::wstring& name : {std::wstring(), std::wstring(257, L'x'), std::wstring(5000, L'%')}) {
    const std::wstring computer = L"\\\\" + name;  // no such computer
    Q::TqService service(name.c_str(), name.c_str(), Q::kListServices, 0x10, 1, 0, 0, 0, 0, 0,
                         computer.c_str());
    EXPECT_EQ(L"!!: Failed to open Services database!",
              RaisedBy([&] { Q::RefreshServiceStatus(&service); }));
    Q::TqService local(name.c_str(), nullptr, Q::kListServices, 0x10, 1, 0, 0, 0, 0, 0, nullptr);
    EXPECT_EQ(L"!!: Access to Service denied!", RaisedBy([&] { Q::RefreshServiceStatus(&local); }));
    EXPECT_EQ(L"!!: Access to Service denied!",
              RaisedBy([&] { Q::ControlServiceAndWait(&local, 1, true, 10000); }));
    EXPECT_EQ(L"!!: Access to Service denied!",
              RaisedBy([&] { Q::StartServiceAndWait(&local, 10000, 0, nullptr); }));
  }
  EXPECT_EQ(0, Scm().OpenHandleCount());
}

}  // namespace
