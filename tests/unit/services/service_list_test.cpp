#include "services/service.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "services_test_util.h"
#include "text/coredict.h"

namespace {

using svctest::Log;
using svctest::RaisedBy;
using svctest::Scm;

// The children of one Enumerate, owned.
struct Children {
  std::vector<std::unique_ptr<Q::TqService>> items;
  bool nullArray = false;
};

Children Enumerate(Q::TqServiceList& list) {
  Q::TqObject** array = nullptr;
  int count = -1;
  list.Enumerate(&array, &count);
  Children out;
  out.nullArray = array == nullptr;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(Q::kKindService, array[i]->GetKind());
    out.items.emplace_back(static_cast<Q::TqService*>(array[i]));
  }
  delete[] array;
  return out;
}

std::vector<std::wstring> Names(const Children& c) {
  std::vector<std::wstring> out;
  for (const auto& s : c.items) out.emplace_back(s->Name());
  return out;
}

class ServiceListTest : public testing::Test {
 protected:
  void SetUp() override {
    Q::ResetCoreDictionaryForTesting();
    Scm().AddService(L"Spooler").Display(L"Print Spooler").Running().AcceptsStop()
        .DependsOn(L"RPCSS");
    Scm().AddService(L"RPCSS").Display(L"Remote Procedure Call").Running()
        .Type(SERVICE_WIN32_SHARE_PROCESS);
    Scm().AddDriver(L"Tcpip").Running();
    Scm().AddDriver(L"Ntfs").Type(SERVICE_FILE_SYSTEM_DRIVER).Running();
    Scm().AddDriver(L"Fs_Rec").Type(SERVICE_RECOGNIZER_DRIVER);
    Scm().AddService(L"Fax").Display(L"Fax").InState(SERVICE_PAUSED)
        .Type(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS)
        .Accepts(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE).ExitCodes(0, 7);
  }
  void TearDown() override { EXPECT_EQ(0, Scm().OpenHandleCount()); }
};

TEST_F(ServiceListTest, ServicesAndDriversAreAskedForByTheirMasks) {
  Q::TqServiceList services(L"Services", Q::kListServices, nullptr);
  Q::TqServiceList drivers(L"Devices", Q::kListDrivers, nullptr);
  EXPECT_EQ(Q::kKindServiceList, services.GetKind());
  EXPECT_EQ(1, services.HasChildren());

  Children s = Enumerate(services);
  EXPECT_EQ((std::vector<std::wstring>{L"Spooler", L"RPCSS", L"Fax"}), Names(s));
  Children d = Enumerate(drivers);
  EXPECT_EQ((std::vector<std::wstring>{L"Tcpip", L"Ntfs", L"Fs_Rec"}), Names(d));

  const auto calls = Log().Of("EnumServicesStatusW");
  ASSERT_EQ(4u, calls.size());  // two per list: size, then entries
  EXPECT_EQ(L"0x30", calls[0].args[1]);
  EXPECT_EQ(L"3", calls[0].args[2]);
  EXPECT_EQ(L"(null)", calls[0].args[3]);
  EXPECT_EQ(L"0", calls[0].args[4]);
  EXPECT_EQ(L"0", calls[1].args[5]);  // same resume value
  EXPECT_EQ(L"0xB", calls[2].args[1]);
  EXPECT_EQ(L"0xF003F", Log().Of("OpenSCManagerW")[0].args[2]);
  EXPECT_EQ(L"(null)", Log().Of("OpenSCManagerW")[0].args[0]);

  // Every status value travels into the record; the list kind and computer too.
  const Q::TqService& fax = *s.items[2];
  EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS),
            fax.Status.dwServiceType);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), fax.Status.dwCurrentState);
  EXPECT_EQ(3u, fax.Status.dwControlsAccepted);
  EXPECT_EQ(7u, fax.Status.dwServiceSpecificExitCode);
  EXPECT_EQ(Q::kListServices, fax.ListKind);
  EXPECT_EQ(nullptr, fax.Computer);
  EXPECT_EQ(Q::kListDrivers, d.items[0]->ListKind);
  EXPECT_EQ(0, d.items[0]->HasChildren());
  // A new record has no configuration, recovery block or dependents, and a zeroed
  // description block.
  EXPECT_EQ(nullptr, fax.ConfigBlock);
  EXPECT_EQ(nullptr, fax.RecoveryBlock);
  EXPECT_EQ(nullptr, fax.DependentsBlock);
  EXPECT_EQ(0u, fax.DependentsCount);
  ASSERT_NE(nullptr, fax.DescriptionBlock);
  for (unsigned i = 0; i < Q::kDescriptionBlockBytes; ++i) ASSERT_EQ(0, fax.DescriptionBlock[i]);

  wchar_t* display = nullptr;
  s.items[0]->GetDisplayName(&display);
  EXPECT_STREQ(L"Print Spooler", display);
  delete[] display;
}

TEST_F(ServiceListTest, RemoteListPassesTheUncNameEverywhere) {
  Scm().AddMachineName(L"\\\\SRV01");
  Q::TqServiceList list(L"Services", Q::kListServices, L"\\\\SRV01");
  Children s = Enumerate(list);
  ASSERT_EQ(3u, s.items.size());
  EXPECT_EQ(L"\\\\SRV01", Log().Of("OpenSCManagerW")[0].args[0]);
  for (const auto& item : s.items) EXPECT_STREQ(L"\\\\SRV01", item->Computer);
}

TEST_F(ServiceListTest, NoEntriesGiveANullArrayAfterOneCall) {
  Scm().RemoveService(L"Tcpip");
  Scm().RemoveService(L"Ntfs");
  Scm().RemoveService(L"Fs_Rec");
  Q::TqServiceList drivers(L"Devices", Q::kListDrivers, nullptr);
  Children d = Enumerate(drivers);
  EXPECT_TRUE(d.nullArray);
  EXPECT_TRUE(d.items.empty());
  EXPECT_EQ(1u, Log().Count("EnumServicesStatusW"));
}

TEST_F(ServiceListTest, ALargeDatabaseIsReadInSeveralCalls) {
  for (int i = 0; i < 300; ++i) Scm().AddService(L"Bulk" + std::to_wstring(i));
  Scm().SetEnumerationLimit(4096);  // far less than the whole list
  Q::TqServiceList services(L"Services", Q::kListServices, nullptr);
  Children s = Enumerate(services);
  ASSERT_EQ(303u, s.items.size());
  EXPECT_EQ(L"Bulk299", std::wstring(s.items.back()->Name()));
  EXPECT_GT(Log().Count("EnumServicesStatusW"), 3u);
}

TEST_F(ServiceListTest, APartialAnswerWithoutAResumeValueIsAFailureNotDuplicates) {
  for (int i = 0; i < 300; ++i) Scm().AddService(L"Bulk" + std::to_wstring(i));
  Q::TqServiceList services(L"Services", Q::kListServices, nullptr);
  Scm().KeepResumeValue(true);
  EXPECT_EQ(3u + 300u, Enumerate(services).items.size());  // everything fits: one pass
  Scm().SetEnumerationLimit(4096);
  Q::TqObject** array = nullptr;
  int count = 0;
  EXPECT_EQ(L"!!: EnumServicesStatus failed!", RaisedBy([&] { services.Enumerate(&array, &count); }));
  EXPECT_EQ(nullptr, array);
}

TEST_F(ServiceListTest, FailuresRaiseAndLeaveNoChildren) {
  struct Case {
    const char* call;
    DWORD error;
    int times;
    unsigned char kind;
    const wchar_t* message;
  } cases[] = {
      {"OpenSCManagerW", ERROR_ACCESS_DENIED, 1, Q::kListServices,
       L"!!: Access to Services database denied!"},
      {nullptr, 0, 0, 3, L"!!: Unknown Service Type!"},
      {nullptr, 0, 0, 0, L"!!: Unknown Service Type!"},
      {"EnumServicesStatusW", ERROR_ACCESS_DENIED, 1, Q::kListServices,
       L"!!: EnumServicesStatus failed!"},
      {"EnumServicesStatusW", ERROR_INVALID_HANDLE, 1, Q::kListDrivers,
       L"!!: EnumServicesStatus failed!"},
  };
  for (const Case& c : cases) {
    if (c.call) sim::Active()->failures().Fail(c.call, c.error, c.times);
    Q::TqServiceList list(L"List", c.kind, nullptr);
    Q::TqObject** array = reinterpret_cast<Q::TqObject**>(1);
    int count = -1;
    EXPECT_EQ(c.message, RaisedBy([&] { list.Enumerate(&array, &count); }));
    EXPECT_EQ(nullptr, array);
    EXPECT_EQ(0, count);
    EXPECT_EQ(0, Scm().OpenHandleCount());
  }
}

TEST_F(ServiceListTest, SecondEnumerationCallFailureRaises) {
  Q::TqServiceList list(L"Services", Q::kListServices, nullptr);
  Q::TqObject** array = nullptr;
  int count = 0;
  sim::Active()->failures().Fail("EnumServicesStatusW", ERROR_MORE_DATA, 1);
  // The injected first answer carries no size: the second call gets no room, returns
  // nothing and is a failure.
  EXPECT_EQ(L"!!: EnumServicesStatus failed!", RaisedBy([&] { list.Enumerate(&array, &count); }));
  EXPECT_EQ(nullptr, array);
}

TEST(TqServiceTest, ConstructionAndDisplayName) {
  EXPECT_EQ(L"!!: Creating object failed!", RaisedBy([] {
              Q::TqService s(nullptr, L"x", 1, 0x10, 1, 0, 0, 0, 0, 0, nullptr);
            }));
  EXPECT_EQ(L"!!: Creating object failed!",
            RaisedBy([] { Q::TqServiceList l(nullptr, 1, nullptr); }));
  for (const wchar_t* display : {static_cast<const wchar_t*>(nullptr), L""}) {
    Q::TqService s(L"Svc", display, 1, 0x10, 1, 0, 0, 0, 0, 0, nullptr);
    wchar_t* text = nullptr;
    s.GetDisplayName(&text);
    EXPECT_STREQ(L"[no_display_name]", text);
    delete[] text;
  }
  // Deleting through the base releases the record's blocks (the sanitizers check).
  Q::TqObject* object = new Q::TqService(L"Svc", L"S", 2, 1, 4, 1, 0, 0, 0, 0, L"\\\\HOST");
  static_cast<Q::TqService*>(object)->SetConfigBlock(new BYTE[64]());
  static_cast<Q::TqService*>(object)->SetDependentsBlock(new BYTE[64](), 1);
  delete object;
}

TEST(CodeTablesTest, OrderAndLookup) {
  struct Table {
    const Q::TqCodeText* rows;
    int count;
    std::vector<unsigned> codes;
  } tables[] = {
      {Q::StartTypeTable, Q::StartTypeTableCount, {0, 1, 2, 3, 4}},
      {Q::ServiceTypeTable, Q::ServiceTypeTableCount, {0x10, 0x20, 0x1, 0x2}},
      {Q::ErrorControlTable, Q::ErrorControlTableCount, {0, 1, 2, 3}},
      {Q::CurrentStateTable, Q::CurrentStateTableCount, {1, 2, 3, 4, 5, 6, 7}},
      {Q::RecoveryActionTable, Q::RecoveryActionTableCount, {0, 2, 1, 3}},
  };
  for (const Table& t : tables) {
    std::vector<unsigned> codes;
    for (int i = 0; i < t.count; ++i) codes.push_back(t.rows[i].Code);
    EXPECT_EQ(t.codes, codes);
  }
  EXPECT_STREQ(L"[4] Disabled", Q::CodeText(Q::StartTypeTable, Q::StartTypeTableCount, 4));
  EXPECT_STREQ(L"Reboot the computer",
               Q::CodeText(Q::RecoveryActionTable, Q::RecoveryActionTableCount, SC_ACTION_REBOOT));
  EXPECT_EQ(nullptr, Q::CodeText(Q::StartTypeTable, Q::StartTypeTableCount, 5));
}

}  // namespace
