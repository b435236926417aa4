#include "objects/computer.h"

#include <gtest/gtest.h>

#include "objects/accounts.h"
#include "objects_test_util.h"
#include "services/service.h"

namespace {

using testobjects::Enumerate;
using testobjects::Net;
using testobjects::System;
using testobjects::ThrownMessage;

// Kind, name and computer of the three lists a computer always has.
void ExpectAccountsAndServiceLists(const testobjects::Children& children, std::size_t first,
                                   const wchar_t* computer) {
  ASSERT_GE(children.size(), first + 3);
  ASSERT_EQ(Q::kKindAccountsList, children[first]->GetKind());
  auto* users = static_cast<Q::TqAccountsList*>(children[first]);
  EXPECT_STREQ(L"Users", users->Name());
  EXPECT_STREQ(computer, users->Server());
  const wchar_t* names[] = {L"Devices", L"Services"};
  const unsigned char kinds[] = {Q::kListDrivers, Q::kListServices};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Q::kKindServiceList, children[first + 1 + i]->GetKind());
    auto* list = static_cast<Q::TqServiceList*>(children[first + 1 + i]);
    EXPECT_STREQ(names[i], list->Name());
    EXPECT_EQ(kinds[i], list->ListKind());
    EXPECT_STREQ(computer, list->Computer());
  }
}

TEST(LocalComputerTest, ChildrenAndDisplayName) {
  Q::TqLocalComputer local(L"\\\\.");
  EXPECT_EQ(Q::kKindLocalComputer, local.GetKind());
  EXPECT_EQ(1, local.HasChildren());
  wchar_t* display = nullptr;
  local.GetDisplayName(&display);
  EXPECT_EQ(L"\\\\SIMHOST", testobjects::Owned(display));
  testobjects::Children children = Enumerate(local);
  EXPECT_EQ(3u, children.size());
  ExpectAccountsAndServiceLists(children, 0, nullptr);

  sim::Active()->failures().Fail("GetComputerNameW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(L"Getting Computer Name failed!", ThrownMessage([&local] {
              wchar_t* text = nullptr;
              local.GetDisplayName(&text);
            }));
  EXPECT_EQ(L"!!: Creating object failed!", ThrownMessage([] { Q::TqLocalComputer l(nullptr); }));
}

TEST(ComputerTest, DisplayNameIsTheBareComputerName) {
  struct Case {
    const wchar_t* name;
    const wchar_t* display;
  } cases[] = {{L"\\\\PC01", L"PC01"}, {L"PC01", L"PC01"}, {L"", L""}, {L"\\\\", L""}};
  for (const Case& c : cases) {
    Q::TqComputer computer(c.name, nullptr);
    wchar_t* display = nullptr;
    computer.GetDisplayName(&display);
    EXPECT_EQ(c.display, testobjects::Owned(display)) << c.name;
  }
}

TEST(ComputerTest, ReachableComputerListsItsAccountsAndServicesOnce) {
  Net().Machine(L"SRV");
  {
    Q::TqComputer computer(L"\\\\SRV", new Q::CAccount(L"SRV$", L"\\\\DC01"));
    EXPECT_EQ(Q::kKindComputer, computer.GetKind());
    EXPECT_EQ(1, computer.HasChildren());
    ExpectAccountsAndServiceLists(Enumerate(computer), 0, L"\\\\SRV");
    ExpectAccountsAndServiceLists(Enumerate(computer), 0, L"\\\\SRV");
    const auto probes = sim::Active()->log().Of("NetServerGetInfo");
    ASSERT_EQ(1u, probes.size());
    EXPECT_EQ((std::vector<std::wstring>{L"\\\\SRV", L"102"}), probes[0].args);
    ASSERT_NE(nullptr, computer.ServerInformation());
    EXPECT_STREQ(L"SRV", reinterpret_cast<const SERVER_INFO_102*>(computer.ServerInformation())->sv102_name);
    wchar_t* name = nullptr;
    EXPECT_EQ(0u, computer.Account()->GetName(&name));
    EXPECT_STREQ(L"SRV$", name);
  }
  EXPECT_EQ(0, Net().OutstandingBuffers());
  EXPECT_EQ(0, Net().BadFrees());
}

TEST(ComputerTest, SilentComputerHasNoChildrenAndNoMessage) {
  Net().SetAnswers(L"FAR", false);
  Q::TqComputer computer(L"\\\\FAR", nullptr);
  EXPECT_EQ(0u, Enumerate(computer).size());
  EXPECT_EQ(nullptr, computer.ServerInformation());
  EXPECT_TRUE(System().Boxes().empty());
  EXPECT_EQ(L"!!: Server is not respond", ThrownMessage([&computer] { computer.Probe(); }));
  // Asked again at the next expansion, and answered once it answers.
  Net().SetAnswers(L"FAR", true);
  EXPECT_EQ(3u, Enumerate(computer).size());
  EXPECT_EQ(3u, sim::Active()->log().Count("NetServerGetInfo"));
}

TEST(ComputerTest, NeedsANameAndReleasesItsAccountEitherWay) {
  EXPECT_EQ(L"!!: Creating object failed!",
            ThrownMessage([] { Q::TqComputer c(nullptr, new Q::CAccount(L"x", nullptr)); }));
}

}  // namespace
