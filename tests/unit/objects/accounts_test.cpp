#include "objects/accounts.h"

#include <gtest/gtest.h>

#include "objects_test_util.h"

namespace {

using testobjects::Enumerate;
using testobjects::Net;
using testobjects::System;
using testobjects::ThrownMessage;

Q::TqAccount* AsAccount(Q::TqObject* object) {
  EXPECT_EQ(Q::kKindAccount, object->GetKind());
  return static_cast<Q::TqAccount*>(object);
}

class AccountsTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(0, Net().OutstandingBuffers());
    EXPECT_EQ(0, Net().BadFrees());
  }
};

TEST_F(AccountsTest, ListGivesUsersThenGlobalThenLocalGroups) {
  Net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
  Net().AddUser(L"DC01", L"jim");
  Q::TqAccountsList list(L"Domain Users", L"\\\\DC01");
  EXPECT_EQ(Q::kKindAccountsList, list.GetKind());
  EXPECT_EQ(1, list.HasChildren());
  testobjects::Children children = Enumerate(list);
  EXPECT_EQ((std::vector<std::wstring>{L"Administrator", L"Guest", L"DC01$", L"jim",
                                        L"Domain Admins", L"Domain Users", L"Administrators",
                                        L"Users", L"Guests"}),
            children.Names());
  const unsigned char types[] = {1, 1, 1, 1, 3, 3, 2, 2, 2};
  for (std::size_t i = 0; i < children.size(); ++i) {
    Q::TqAccount* account = AsAccount(children[i]);
    EXPECT_EQ(types[i], account->Type()) << i;
    EXPECT_EQ(types[i] != 1 ? 1 : 0, account->HasChildren());
    EXPECT_STREQ(L"\\\\DC01", account->Server());
  }
  const auto users = sim::Active()->log().Of("NetUserEnum");
  ASSERT_EQ(1u, users.size());
  EXPECT_EQ((std::vector<std::wstring>{L"\\\\DC01", L"0", L"0x0", L"4294967295", L"0"}), users[0].args);
}

TEST_F(AccountsTest, FailingListsContributeNothingAndShowNothing) {
  sim::Active()->failures().Fail("NetGroupEnum", ERROR_ACCESS_DENIED);
  sim::Active()->failures().Fail("NetUserEnum", ERROR_ACCESS_DENIED);
  Q::TqAccountsList list(L"Users", nullptr);
  EXPECT_EQ((std::vector<std::wstring>{L"Administrators", L"Users", L"Guests"}),
            Enumerate(list).Names());
  EXPECT_TRUE(System().Boxes().empty());

  Net().SetAnswers(L"GONE", false);
  Q::TqAccountsList gone(L"Users", L"\\\\GONE");
  EXPECT_EQ(0u, Enumerate(gone).size());
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(AccountsTest, ObjectsWithoutANameCannotBeCreated) {
  EXPECT_EQ(L"!!: Creating object failed!", ThrownMessage([] { Q::TqAccountsList l(nullptr, nullptr); }));
  EXPECT_EQ(L"!!: Creating object failed!",
            ThrownMessage([] { Q::TqAccount a(static_cast<const wchar_t*>(nullptr), nullptr, 1); }));
  EXPECT_EQ(L"!!: Creating object failed!",
            ThrownMessage([] { Q::TqAccount a(static_cast<PSID>(nullptr), nullptr, 1); }));
}

TEST_F(AccountsTest, LocalGroupMembersAreTypedBySidUse) {
  Net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
  Net().Join(L"SIMHOST", L"CORP");
  Net().AddUser(L"DC01", L"jim");
  Net().AddGroup(L"DC01", L"Sales").members = {L"jim", L"Administrator"};
  sim::NetLocalGroup& group = Net().AddLocalGroup(L"SIMHOST", L"Operators");
  group.memberSids = {Net().AccountSid(L"SIMHOST", L"Administrator"),  // local user
                      Net().AccountSid(L"DC01", L"Sales"),             // global group
                      L"S-1-5-32-545",                                 // alias
                      L"S-1-1-0",                                      // well-known group
                      Net().AccountSid(L"DC01", L"jim")};              // domain user
  Q::TqAccount operators(L"Operators", nullptr, Q::kAccountLocalGroup);
  testobjects::Children members = Enumerate(operators);
  EXPECT_EQ((std::vector<std::wstring>{L"Administrator", L"Sales", L"Users", L"Everyone", L"jim"}),
            members.Names());
  const unsigned char types[] = {1, 3, 1, 1, 1};
  for (std::size_t i = 0; i < members.size(); ++i) EXPECT_EQ(types[i], AsAccount(members[i])->Type());

  // The global group member expands itself through the group-users call.
  Net().Machine(L"SIMHOST").groups = Net().Machine(L"DC01").groups;  // asked on the group's server
  testobjects::Children sales = Enumerate(*members[1]);
  EXPECT_EQ((std::vector<std::wstring>{L"jim", L"Administrator"}), sales.Names());
  for (std::size_t i = 0; i < sales.size(); ++i) EXPECT_EQ(1, AsAccount(sales[i])->Type());
  EXPECT_EQ(L"0", sim::Active()->log().Of("NetGroupGetUsers")[0].args[2]);
  EXPECT_EQ(L"1", sim::Active()->log().Of("NetLocalGroupGetMembers")[0].args[2]);
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(AccountsTest, UnreachableGroupShowsOneBoxPerExpansion) {
  Net().AddLocalGroup(L"FAR", L"Staff");
  Net().SetAnswers(L"FAR", false);
  Q::TqAccount group(L"Staff", L"\\\\FAR", Q::kAccountLocalGroup);
  for (int attempt = 1; attempt <= 2; ++attempt) {
    EXPECT_EQ(0u, Enumerate(group).size());
    ASSERT_EQ(static_cast<std::size_t>(attempt), System().Boxes().size());
  }
  const sim::MessageBoxRecord& box = System().Boxes()[0];
  EXPECT_EQ(L"Failed to detect Members of Group! (This Group belongs to another computer mayby)",
            box.text);
  EXPECT_EQ(L"Error", box.caption);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONERROR), box.type);
  EXPECT_EQ(nullptr, box.owner);

  Q::TqAccount global(L"NoSuchGroup", nullptr, Q::kAccountGlobalGroup);
  EXPECT_EQ(0u, Enumerate(global).size());
  EXPECT_EQ(3u, System().Boxes().size());
}

TEST_F(AccountsTest, UsersHaveNoChildrenAndUnknownTypesAreRefused) {
  Q::TqAccount user(L"Administrator", nullptr, Q::kAccountUser);
  EXPECT_EQ(0u, Enumerate(user).size());
  EXPECT_EQ(0u, sim::Active()->log().Calls().size());
  Q::TqAccount odd(L"Administrator", nullptr, 7);
  EXPECT_EQ(L"!!: TqAccount: Unknown Account Type!", ThrownMessage([&odd] {
              Q::TqObject** children = nullptr;
              int count = 0;
              odd.Enumerate(&children, &count);
            }));
}

TEST_F(AccountsTest, DescriptiveTextsAndPrivileges) {
  Net().AddUser(L"SIMHOST", L"jim", L"Jim Beam", L"Sales manager");
  Net().AddGroup(L"SIMHOST", L"Sales", L"The sales team");
  Q::TqAccount jim(L"jim", nullptr, Q::kAccountUser);
  wchar_t* full = nullptr;
  wchar_t* comment = nullptr;
  jim.GetUserNameAndComment(&full, &comment);
  EXPECT_EQ(L"Jim Beam", testobjects::Owned(full));
  EXPECT_EQ(L"Sales manager", testobjects::Owned(comment));
  DWORD priv = 9, flags = 9;
  Q::TqAccount admin(L"Administrator", nullptr, Q::kAccountUser);
  admin.GetUserPrivilege(&priv, &flags);
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_ADMIN), priv);
  EXPECT_TRUE(flags & UF_NORMAL_ACCOUNT);
  Q::TqAccount guest(L"Guest", nullptr, Q::kAccountUser);
  guest.GetUserPrivilege(&priv, &flags);
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_GUEST), priv);
  EXPECT_TRUE(flags & UF_ACCOUNTDISABLE);

  Q::TqAccount sales(L"Sales", nullptr, Q::kAccountGlobalGroup);
  wchar_t* text = nullptr;
  sales.GetGroupComment(&text);
  EXPECT_EQ(L"The sales team", testobjects::Owned(text));
  sales.GetLocalGroupComment(&text);  // wrong type: nothing, no call
  EXPECT_EQ(nullptr, text);
  Q::TqAccount admins(L"Administrators", nullptr, Q::kAccountLocalGroup);
  admins.GetLocalGroupComment(&text);
  EXPECT_EQ(L"Administrators have complete and unrestricted access to the computer/domain",
            testobjects::Owned(text));
  sales.GetUserNameAndComment(&full, &comment);
  EXPECT_EQ(nullptr, full);
  sales.GetUserPrivilege(&priv, &flags);
  EXPECT_EQ(0u, priv);
  EXPECT_EQ(0u, flags);
  // Questions of the wrong type ask nobody.
  EXPECT_EQ(3u, sim::Active()->log().Count("NetUserGetInfo"));
  EXPECT_EQ(1u, sim::Active()->log().Count("NetLocalGroupGetInfo"));
}

TEST_F(AccountsTest, FailedInformationQueries) {
  Q::TqAccount missingGroup(L"Nope", nullptr, Q::kAccountGlobalGroup);
  EXPECT_EQ(L"!!: Getting Group information failed!", ThrownMessage([&] {
              wchar_t* text = nullptr;
              missingGroup.GetGroupComment(&text);
            }));
  Q::TqAccount missingAlias(L"Nope", nullptr, Q::kAccountLocalGroup);
  EXPECT_EQ(L"!!: Getting Local Group information failed!", ThrownMessage([&] {
              wchar_t* text = nullptr;
              missingAlias.GetLocalGroupComment(&text);
            }));
  Q::TqAccount missingUser(L"Nope", nullptr, Q::kAccountUser);
  wchar_t* full = reinterpret_cast<wchar_t*>(0x1);
  wchar_t* comment = reinterpret_cast<wchar_t*>(0x1);
  missingUser.GetUserNameAndComment(&full, &comment);
  EXPECT_EQ(nullptr, full);
  EXPECT_EQ(nullptr, comment);
  DWORD priv = 5, flags = 5;
  missingUser.GetUserPrivilege(&priv, &flags);
  EXPECT_EQ(0u, priv + flags);
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(AccountsTest, AccountFromSidTakesTheServersName) {
  const std::vector<BYTE> sid = sim::SidFromText(L"S-1-5-32-544");
  Q::TqAccount account(static_cast<PSID>(const_cast<BYTE*>(sid.data())), nullptr, Q::kAccountLocalGroup);
  EXPECT_STREQ(L"Administrators", account.Name());
  const std::vector<BYTE> unknown = sim::SidFromText(L"S-1-5-21-9-9-9-1234");
  Q::TqAccount nameless(static_cast<PSID>(const_cast<BYTE*>(unknown.data())), nullptr, Q::kAccountUser);
  EXPECT_EQ(nullptr, nameless.Name());
  EXPECT_EQ(L"", testobjects::Owned([&] { wchar_t* t; nameless.GetDisplayName(&t); return t; }()));
}

}  // namespace
