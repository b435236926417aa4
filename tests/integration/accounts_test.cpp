// Accounts, well-known accounts and computers against Wine's own account lookups and
// network management (a workgroup computer: no domain, no directory).
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "accounts_support.h"
#include "app/environment.h"
#include "objects/accounts.h"
#include "objects/computer.h"
#include "objects/wellknown.h"

namespace {

struct Owned {
  std::vector<std::unique_ptr<Q::TqObject>> items;
};

Owned Enumerate(Q::TqObject& object) {
  Q::TqObject** array = nullptr;
  int count = 0;
  object.Enumerate(&array, &count);
  Owned out;
  for (int i = 0; i < count; ++i) out.items.emplace_back(array[i]);
  delete[] array;
  return out;
}

std::wstring Text(wchar_t* text) {
  std::wstring out = text ? text : L"(null)";
  delete[] text;
  return out;
}

TEST(AccountsOnWine, WellKnownSidsAreNamedByTheRealLookup) {
  integ::RecordingSystem system;
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  ASSERT_TRUE(InitializeSid(sid, &nt, 1));
  *GetSidSubAuthority(sid, 0) = SECURITY_LOCAL_SYSTEM_RID;
  Q::CAccount system18(static_cast<PSID>(sid), nullptr);
  wchar_t* full = nullptr;
  ASSERT_EQ(0u, system18.GetFullName(&full));
  EXPECT_STREQ(L"NT AUTHORITY\\SYSTEM", full);
  wchar_t* text = nullptr;
  ASSERT_EQ(0u, Q::SidToText(&system18, &text));
  EXPECT_EQ(L"S-1-5-18", Text(text));

  // From the name, through the prefix rule, to the same SID.
  Q::CAccount byName(L"NT AUTHORITY\\SYSTEM", nullptr);
  ASSERT_EQ(0u, Q::SidToText(&byName, &text));
  EXPECT_EQ(L"S-1-5-18", Text(text));
  wchar_t* domain = nullptr;
  EXPECT_EQ(0u, byName.GetDomain(&domain));
  EXPECT_STREQ(L"NT AUTHORITY", domain);

  Q::CAccount unknown(L"no-such-account-here", nullptr);
  PSID none = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NONE_MAPPED), unknown.GetSid(&none));
}

TEST(AccountsOnWine, WellKnownListNamesItsRows) {
  integ::RecordingSystem system;
  Q::TqWellKnownAccountsList list(L"System accounts", nullptr);
  Owned children = Enumerate(list);
  ASSERT_EQ(Q::IsWindowsXpOrLater() ? 22u : 19u, children.items.size());
  EXPECT_STREQ(L"Everyone", children.items[0]->Name());
  EXPECT_STREQ(L"SYSTEM", children.items[10]->Name());
  auto* system18 = static_cast<Q::TqAccount*>(children.items[10].get());
  wchar_t* full = nullptr;
  ASSERT_EQ(0u, system18->Account()->GetFullName(&full));
  EXPECT_STREQ(L"NT AUTHORITY\\SYSTEM", full);
  // The platform's own SID functions build exactly the table, in its order.
  const wchar_t* const kTable[] = {
      L"S-1-1-0",  L"S-1-2-0",  L"S-1-3-0",  L"S-1-3-1",  L"S-1-5",    L"S-1-5-1",
      L"S-1-5-2",  L"S-1-5-3",  L"S-1-5-4",  L"S-1-5-6",  L"S-1-5-18", L"S-1-5-32",
      L"S-1-5-11", L"S-1-5-12", L"S-1-5-10", L"S-1-5-13", L"S-1-5-8",  L"S-1-5-9",
      L"S-1-5-7",  L"S-1-5-19", L"S-1-5-20", L"S-1-5-14"};
  for (std::size_t i = 0; i < children.items.size(); ++i) {
    auto* account = static_cast<Q::TqAccount*>(children.items[i].get());
    EXPECT_EQ(Q::kAccountUser, account->Type()) << i;
    wchar_t* text = nullptr;
    ASSERT_EQ(0u, Q::SidToText(account->Account(), &text)) << i;
    EXPECT_EQ(kTable[i], Text(text)) << i;
  }
  if (children.items.size() == 22) {
    EXPECT_STREQ(L"LOCAL SERVICE", children.items[19]->Name());
    EXPECT_STREQ(L"NETWORK SERVICE", children.items[20]->Name());
  }
  EXPECT_TRUE(system.Boxes().empty());
}

TEST(AccountsOnWine, LocalGroupMembersComeFromThePlatformsRecords) {
  integ::RecordingSystem system;
  // The built-in Administrators alias, named as this computer names it.
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  ASSERT_TRUE(InitializeSid(sid, &nt, 2));
  *GetSidSubAuthority(sid, 0) = SECURITY_BUILTIN_DOMAIN_RID;
  *GetSidSubAuthority(sid, 1) = DOMAIN_ALIAS_RID_ADMINS;
  Q::TqAccount group(static_cast<PSID>(sid), nullptr, Q::kAccountLocalGroup);
  ASSERT_NE(nullptr, group.Name());
  // The name the SID lookup gave is one the member call accepts: no member-detection box.
  Owned members = Enumerate(group);
  EXPECT_TRUE(system.Boxes().empty());
  // Every member (Wine reports none) is built from the SID in the platform's record.
  for (const auto& child : members.items) {
    auto* member = static_cast<Q::TqAccount*>(child.get());
    EXPECT_EQ(Q::kKindAccount, member->GetKind());
    ASSERT_NE(nullptr, member->Name());
    wchar_t* text = nullptr;
    ASSERT_EQ(0u, Q::SidToText(member->Account(), &text));
    EXPECT_EQ(0, std::wcsncmp(text, L"S-1-5-", 6)) << text;
    delete[] text;
    const SID_NAME_USE* use = member->Account()->Use();
    ASSERT_NE(nullptr, use);
    EXPECT_EQ(*use == SidTypeGroup ? Q::kAccountGlobalGroup : Q::kAccountUser, member->Type());
  }
}

TEST(AccountsOnWine, LocalAccountsListTheWineUser) {
  integ::RecordingSystem system;
  const std::wstring user = integ::UserName();
  ASSERT_FALSE(user.empty());
  Q::TqAccountsList list(L"Users", nullptr);
  Owned children = Enumerate(list);
  bool found = false;
  for (const auto& child : children.items) {
    auto* account = static_cast<Q::TqAccount*>(child.get());
    if (account->Type() == Q::kAccountUser && user == account->Name()) found = true;
  }
  EXPECT_TRUE(found);
  // A refused group list (NetGroupEnum: access denied) is not reported.
  EXPECT_TRUE(system.Boxes().empty());

  // The user resolves to an account of this computer.
  Q::CAccount account(user.c_str(), nullptr);
  wchar_t* domain = nullptr;
  ASSERT_EQ(0u, account.GetDomain(&domain));
  EXPECT_EQ(integ::ComputerName(), std::wstring(domain));
  ASSERT_NE(nullptr, account.Use());
  EXPECT_EQ(SidTypeUser, *account.Use());
}

TEST(AccountsOnWine, WorkgroupComputerHasNoControllerAndNoServerInformation) {
  integ::RecordingSystem system;
  EXPECT_EQ(L"!!: Failed to detect DC!",
            integ::RaisedBy([] { delete[] Q::FindDomainController(nullptr, true); }));
  EXPECT_EQ(L"!!: Failed to detect DC!",
            integ::RaisedBy([] { delete[] Q::FindDomainController(nullptr, false); }));
  // The locator does not know the domain: the parsed part stays as written.
  wchar_t* domain = nullptr;
  wchar_t* object = nullptr;
  Q::ParseWinNTPath(L"WinNT://SOMEDOM/jim,user", &domain, &object, true);
  EXPECT_EQ(L"SOMEDOM", Text(domain));
  EXPECT_EQ(L"jim", Text(object));

  // Wine refuses the server information level, so a browsed computer shows nothing.
  const std::wstring unc = L"\\\\" + integ::ComputerName();
  Q::TqComputer computer(unc.c_str(), nullptr);
  EXPECT_TRUE(Enumerate(computer).items.empty());
  EXPECT_EQ(nullptr, computer.ServerInformation());
  wchar_t* display = nullptr;
  computer.GetDisplayName(&display);
  EXPECT_EQ(integ::ComputerName(), Text(display));

  Q::TqLocalComputer local(L"\\\\.");
  local.GetDisplayName(&display);
  EXPECT_EQ(unc, Text(display));
  Owned children = Enumerate(local);
  ASSERT_EQ(3u, children.items.size());
  EXPECT_EQ(Q::kKindAccountsList, children.items[0]->GetKind());
  EXPECT_TRUE(system.Boxes().empty());
}

}  // namespace
