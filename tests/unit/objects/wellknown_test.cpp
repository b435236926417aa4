#include "objects/wellknown.h"

#include <gtest/gtest.h>

#include "objects/accounts.h"
#include "objects_test_util.h"

namespace {

using testobjects::Enumerate;
using testobjects::Net;

std::vector<std::wstring> SidTexts(const testobjects::Children& children) {
  std::vector<std::wstring> out;
  for (const auto& child : children.items) {
    auto* account = static_cast<Q::TqAccount*>(child.get());
    PSID sid = nullptr;
    EXPECT_EQ(0u, account->Account()->GetSid(&sid));
    out.push_back(sim::SidToString(sid));
  }
  return out;
}

const std::vector<std::wstring> kFirst19 = {
    L"S-1-1-0",  L"S-1-2-0",  L"S-1-3-0",  L"S-1-3-1",  L"S-1-5",    L"S-1-5-1",  L"S-1-5-2",
    L"S-1-5-3",  L"S-1-5-4",  L"S-1-5-6",  L"S-1-5-18", L"S-1-5-32", L"S-1-5-11", L"S-1-5-12",
    L"S-1-5-10", L"S-1-5-13", L"S-1-5-8",  L"S-1-5-9",  L"S-1-5-7"};

TEST(WellKnownAccountsTest, Version50ListsNineteenRows) {
  testobjects::System().SetVersion(VER_PLATFORM_WIN32_NT, 5, 0, 2195);
  Q::TqWellKnownAccountsList list(L"System accounts", nullptr);
  EXPECT_EQ(Q::kKindWellKnownAccountsList, list.GetKind());
  EXPECT_EQ(1, list.HasChildren());
  testobjects::Children children = Enumerate(list);
  EXPECT_EQ(kFirst19, SidTexts(children));
}

TEST(WellKnownAccountsTest, Version51AddsTheServiceAccountsInTableOrder) {
  for (DWORD major : {5u, 6u}) {
    testobjects::System().SetVersion(VER_PLATFORM_WIN32_NT, major, major == 5 ? 1 : 0, 2600);
    Q::TqWellKnownAccountsList list(L"System accounts", nullptr);
    testobjects::Children children = Enumerate(list);
    std::vector<std::wstring> expected = kFirst19;
    expected.insert(expected.end(), {L"S-1-5-19", L"S-1-5-20", L"S-1-5-14"});
    EXPECT_EQ(expected, SidTexts(children));
    EXPECT_STREQ(L"SYSTEM", children[10]->Name());
    EXPECT_STREQ(L"Everyone", children[0]->Name());
    EXPECT_STREQ(L"NETWORK SERVICE", children[20]->Name());
    for (const auto& child : children.items) {
      auto* account = static_cast<Q::TqAccount*>(child.get());
      EXPECT_EQ(Q::kAccountUser, account->Type());
      EXPECT_EQ(0, account->HasChildren());
      EXPECT_EQ(0u, Enumerate(*account).size());
    }
    // Row 11 is the local system account.
    wchar_t* full = nullptr;
    EXPECT_EQ(0u, static_cast<Q::TqAccount*>(children[10])->Account()->GetFullName(&full));
    EXPECT_STREQ(L"NT AUTHORITY\\SYSTEM", full);
  }
}

TEST(WellKnownAccountsTest, NamesComeFromTheListsServer) {
  Net().SetSidName(L"DE01", L"S-1-1-0", sim::SidName{L"", L"Jeder", SidTypeWellKnownGroup});
  Q::TqWellKnownAccountsList list(L"System accounts", L"\\\\DE01");
  testobjects::Children children = Enumerate(list);
  EXPECT_STREQ(L"Jeder", children[0]->Name());
  EXPECT_STREQ(L"\\\\DE01", static_cast<Q::TqAccount*>(children[0])->Server());
}

TEST(WellKnownAccountsTest, UnnamedRowsStayListedWithoutAName) {
  sim::Active()->failures().Fail("LookupAccountSidW", ERROR_NONE_MAPPED);
  Q::TqWellKnownAccountsList list(L"System accounts", nullptr);
  testobjects::Children children = Enumerate(list);
  ASSERT_EQ(22u, children.size());
  wchar_t* display = nullptr;
  children[3]->GetDisplayName(&display);
  EXPECT_EQ(L"", testobjects::Owned(display));
  wchar_t* name = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED),
            static_cast<Q::TqAccount*>(children[3])->Account()->GetName(&name));
}

TEST(WellKnownAccountsTest, NeedsAName) {
  EXPECT_EQ(L"!!: Creating object failed!",
            testobjects::ThrownMessage([] { Q::TqWellKnownAccountsList l(nullptr, nullptr); }));
}

}  // namespace
