#include "services/config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "services_test_util.h"

namespace {

using svctest::Log;
using svctest::RaisedBy;
using svctest::Scm;

sim::SimSystem& System() { return sim::Active()->system(); }
sim::SimNet& Net() { return sim::Active()->net(); }

std::unique_ptr<Q::TqService> Record(const wchar_t* name, unsigned char kind = Q::kListServices,
                                     const wchar_t* computer = nullptr) {
  return std::make_unique<Q::TqService>(name, name, kind, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_STOPPED, 0, 0, 0, 0, 0, computer);
}

// The arguments of the one ChangeServiceConfigW call, without the handle.
std::vector<std::wstring> ChangeArgs() {
  const auto calls = Log().Of("ChangeServiceConfigW");
  EXPECT_EQ(1u, calls.size());
  if (calls.empty()) return {};
  return std::vector<std::wstring>(calls[0].args.begin() + 1, calls[0].args.end());
}

class ConfigTest : public testing::Test {
 protected:
  void SetUp() override {
    Scm().AddService(L"TestSvc")
        .Display(L"Test Service")
        .Path(L"C:\\test\\svc.exe")
        .Account(L"LocalSystem")
        .Description(L"Old description");
  }
  void TearDown() override {
    EXPECT_EQ(0, Scm().OpenHandleCount());
    EXPECT_FALSE(Scm().DatabaseLocked());
    EXPECT_EQ(0, Net().OutstandingBuffers());
  }
};

TEST_F(ConfigTest, ReadsConfigurationAndDescription) {
  auto service = Record(L"TestSvc");
  Q::ReadServiceConfig(service.get());
  ASSERT_NE(nullptr, service->Config());
  EXPECT_STREQ(L"C:\\test\\svc.exe", service->Config()->lpBinaryPathName);
  EXPECT_STREQ(L"LocalSystem", service->Config()->lpServiceStartName);
  EXPECT_STREQ(L"Test Service", service->Config()->lpDisplayName);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service->Config()->dwStartType);
  EXPECT_STREQ(L"Old description", service->Description()->lpDescription);
  const auto open = Log().Of("OpenServiceW");
  ASSERT_EQ(1u, open.size());
  EXPECT_EQ(L"0xF01FF", open[0].args.back());
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(ConfigTest, ReadFailuresAreRaisedAndLeaveNoConfiguration) {
  struct Case {
    const char* failing;
    const wchar_t* message;
  } cases[] = {
      {"OpenSCManagerW", L"!!: Failed to open Services database!"},
      {"OpenServiceW", L"!!: Access to Service denied!"},
      {"QueryServiceConfigW", L"!!: Getting Service information failed!"},
  };
  for (const Case& c : cases) {
    auto service = Record(L"TestSvc");
    Q::ReadServiceConfig(service.get());
    sim::Active()->failures().Fail(c.failing, ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(c.message, RaisedBy([&] { Q::ReadServiceConfig(service.get()); }));
    EXPECT_EQ(nullptr, service->Config()) << c.failing;
  }
  auto missing = Record(L"NoSuchService");
  EXPECT_EQ(L"!!: Access to Service denied!", RaisedBy([&] { Q::ReadServiceConfig(missing.get()); }));
}

TEST_F(ConfigTest, DescriptionTooLongForTheBlockIsShownAndKeepsTheOldText) {
  auto service = Record(L"TestSvc");
  Q::ReadServiceConfig(service.get());
  Scm().Service(L"TestSvc").Description(std::wstring(3000, L'x'));  // > 4096 bytes
  Q::ReadServiceConfig(service.get());
  ASSERT_EQ(1u, System().Boxes().size());
  const sim::MessageBoxRecord& box = System().Boxes()[0];
  EXPECT_EQ(L"Getting value of field 'Description:' failed!", box.text);
  EXPECT_EQ(L"Information", box.caption);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONINFORMATION), box.type);
  EXPECT_STREQ(L"Old description", service->Description()->lpDescription);
  ASSERT_NE(nullptr, service->Config());
}

TEST_F(ConfigTest, RecoverySettingsRoundTrip) {
  Scm().Service(L"TestSvc").Recovery(86400, {{SC_ACTION_RESTART, 60000}, {SC_ACTION_REBOOT, 1000}},
                                     L"Going down", L"C:\\fix.cmd");
  auto service = Record(L"TestSvc");
  Q::ReadRecoverySettings(service.get());
  const SERVICE_FAILURE_ACTIONSW* read = service->Recovery();
  ASSERT_NE(nullptr, read);
  EXPECT_EQ(86400u, read->dwResetPeriod);
  EXPECT_STREQ(L"Going down", read->lpRebootMsg);
  EXPECT_STREQ(L"C:\\fix.cmd", read->lpCommand);
  ASSERT_EQ(2u, read->cActions);
  EXPECT_EQ(SC_ACTION_REBOOT, read->lpsaActions[1].Type);
  EXPECT_EQ(1, System().OutstandingLocalAllocations());

  const SC_ACTION actions[3] = {{SC_ACTION_RUN_COMMAND, 5}, {SC_ACTION_RESTART, 6}, {SC_ACTION_NONE, 0}};
  service->SetRecoveryBlock(Q::BuildRecoveryBlock(3600, L"", L"C:\\other.cmd", actions));
  Q::WriteRecoverySettings(service.get());
  const auto change = Log().Of("ChangeServiceConfig2W");
  ASSERT_EQ(1u, change.size());
  EXPECT_EQ((std::vector<std::wstring>{L"2", L"3600", L"", L"C:\\other.cmd", L"3", L"3:5", L"1:6", L"0:0"}),
            std::vector<std::wstring>(change[0].args.begin() + 1, change[0].args.end()));
  Q::ReadRecoverySettings(service.get());
  ASSERT_NE(nullptr, service->Recovery());
  EXPECT_EQ(3u, service->Recovery()->cActions);
  EXPECT_EQ(nullptr, service->Recovery()->lpRebootMsg);  // the empty text cleared it
  EXPECT_STREQ(L"C:\\other.cmd", service->Recovery()->lpCommand);
  service.reset();
  EXPECT_EQ(0, System().OutstandingLocalAllocations());
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(ConfigTest, RecoveryBlockIsOneBlockInTheDocumentedOrder) {
  const SC_ACTION actions[3] = {{SC_ACTION_RESTART, 1}, {SC_ACTION_REBOOT, 2}, {SC_ACTION_RUN_COMMAND, 3}};
  BYTE* block = Q::BuildRecoveryBlock(7, L"msg", L"cmd.exe", actions);
  ASSERT_NE(nullptr, block);
  const auto* record = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(block);
  const std::size_t head = sizeof(SERVICE_FAILURE_ACTIONSW);
  EXPECT_EQ(7u, record->dwResetPeriod);
  EXPECT_EQ(3u, record->cActions);
  EXPECT_EQ(reinterpret_cast<const BYTE*>(record->lpRebootMsg), block + head);
  EXPECT_EQ(reinterpret_cast<const BYTE*>(record->lpCommand), block + head + 4 * sizeof(WCHAR));
  const std::size_t end = head + (4 + 8) * sizeof(WCHAR);
  const std::size_t aligned = (end + alignof(SC_ACTION) - 1) / alignof(SC_ACTION) * alignof(SC_ACTION);
  EXPECT_EQ(reinterpret_cast<const BYTE*>(record->lpsaActions), block + aligned);
  EXPECT_STREQ(L"msg", record->lpRebootMsg);
  EXPECT_STREQ(L"cmd.exe", record->lpCommand);
  EXPECT_EQ(SC_ACTION_RUN_COMMAND, record->lpsaActions[2].Type);
  EXPECT_EQ(3u, record->lpsaActions[2].Delay);
  if (sizeof(void*) == 8) {
    EXPECT_EQ(40u, head);  // the 64-bit record, pointers at 8, 16 and 32
  }
  System().LocalFree(block);

  BYTE* empty = Q::BuildRecoveryBlock(0, nullptr, nullptr, actions);
  ASSERT_NE(nullptr, empty);
  EXPECT_STREQ(L"", reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(empty)->lpRebootMsg);
  EXPECT_STREQ(L"", reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(empty)->lpCommand);
  System().LocalFree(empty);
  EXPECT_EQ(0, System().OutstandingLocalAllocations());
}

TEST_F(ConfigTest, RefusedRecoverySettingsAreShownAndLeaveNoBlock) {
  struct Case {
    const char* failing;
    DWORD error;
    const wchar_t* box;
  } cases[] = {
      // A manager that refuses the level (as Wine's does) or the query.
      {"QueryServiceConfig2W/2", ERROR_INVALID_LEVEL, L"!!: Getting Service configuration failed!"},
      {"QueryServiceConfig2W", ERROR_ACCESS_DENIED, L"!!: Getting Service configuration failed!"},
      {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY, L"!!: Memory allocation failed!"},
  };
  for (const Case& c : cases) {
    System().ClearBoxes();
    auto service = Record(L"TestSvc");
    // An earlier block is released by the read, whatever its outcome.
    const SC_ACTION none[3] = {};
    service->SetRecoveryBlock(Q::BuildRecoveryBlock(0, nullptr, nullptr, none));
    sim::Active()->failures().Fail(c.failing, c.error, 1);
    Q::ReadRecoverySettings(service.get());
    EXPECT_EQ(nullptr, service->Recovery()) << c.failing;
    ASSERT_EQ(1u, System().Boxes().size());
    EXPECT_EQ(c.box, System().Boxes()[0].text);
    EXPECT_EQ(L"Error", System().Boxes()[0].caption);
    EXPECT_EQ(0, System().OutstandingLocalAllocations());
  }
  // Opening failures are raised, not shown.
  auto missing = Record(L"NoSuchService");
  EXPECT_EQ(L"!!: Access to Service denied!", RaisedBy([&] { Q::ReadRecoverySettings(missing.get()); }));
}

TEST_F(ConfigTest, WritingRecoverySettings) {
  auto service = Record(L"TestSvc");
  Q::WriteRecoverySettings(service.get());  // no block: nothing at all
  EXPECT_EQ(0u, Log().Count("OpenSCManagerW"));
  const SC_ACTION actions[3] = {};
  service->SetRecoveryBlock(Q::BuildRecoveryBlock(0, nullptr, nullptr, actions));
  sim::Active()->failures().Fail("ChangeServiceConfig2W", ERROR_ACCESS_DENIED, 1);
  Q::WriteRecoverySettings(service.get());
  ASSERT_EQ(1u, System().Boxes().size());
  EXPECT_EQ(L"!!: Failed to cgange configuration!", System().Boxes()[0].text);
  EXPECT_NE(nullptr, service->Recovery());
}

TEST_F(ConfigTest, StartTypeChangePassesNoChangeAndNullStrings) {
  auto service = Record(L"TestSvc");
  Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE,
                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ((std::vector<std::wstring>{L"0xFFFFFFFF", L"0x2", L"0xFFFFFFFF", L"(null)", L"(null)",
                                        L"(null)", L"(null)", L"(null)", L"(null)", L"(null)"}),
            ChangeArgs());
  EXPECT_EQ(0u, Log().Count("ChangeServiceConfig2W"));
  EXPECT_EQ(0u, Log().Count("LsaOpenPolicy"));
  EXPECT_EQ(1u, Log().Count("LockServiceDatabase"));
  EXPECT_EQ(1u, Log().Count("UnlockServiceDatabase"));
  EXPECT_EQ(L"0xF003F", Log().Of("OpenSCManagerW")[0].args.back());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), Scm().Service(L"TestSvc").Record().startType);
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(ConfigTest, LocalSystemIsWrittenWithAnEmptyPasswordAndNoRight) {
  auto service = Record(L"TestSvc");
  Q::CAccount system(L"NT AUTHORITY\\SYSTEM", nullptr);
  Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                        nullptr, nullptr, nullptr, &system, L"ignored", nullptr, nullptr);
  const std::vector<std::wstring> args = ChangeArgs();
  ASSERT_EQ(10u, args.size());
  EXPECT_EQ(L"LocalSystem", args[7]);
  EXPECT_EQ(L"", args[8]);
  EXPECT_EQ(0u, Log().Count("LsaOpenPolicy"));
  EXPECT_EQ(0u, Log().Count("LsaAddAccountRights"));
  EXPECT_TRUE(System().Boxes().empty());
}

TEST_F(ConfigTest, LocalSystemIsKnownByItsSidInAnyLanguage) {
  // A system in another language gives S-1-5-18 another full name (here the German one); it
  // is still the local system account: "LocalSystem", an empty password, no right, no box.
  Net().SetSidName(L"SIMHOST", L"S-1-5-18",
                   sim::SidName{L"NT-AUTORIT\u00c4T", L"SYSTEM", SidTypeWellKnownGroup});
  std::vector<BYTE> bytes = sim::SidFromText(L"S-1-5-18");
  Q::CAccount fromSid(static_cast<PSID>(bytes.data()), nullptr);
  Q::CAccount fromName(L"SYSTEM", nullptr);
  for (Q::CAccount* account : {&fromSid, &fromName}) {
    Log().Clear();
    auto service = Record(L"TestSvc");
    Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                          nullptr, nullptr, nullptr, account, L"typed", nullptr, nullptr);
    wchar_t* full = nullptr;
    ASSERT_EQ(0u, account->GetFullName(&full));
    EXPECT_STREQ(L"NT-AUTORIT\u00c4T\\SYSTEM", full);
    const std::vector<std::wstring> args = ChangeArgs();
    ASSERT_EQ(10u, args.size());
    EXPECT_EQ(L"LocalSystem", args[7]);
    EXPECT_EQ(L"", args[8]);
    EXPECT_EQ(0u, Log().Count("LsaOpenPolicy"));
    EXPECT_TRUE(System().Boxes().empty());
  }
  EXPECT_TRUE(Scm().RightsOf(L"S-1-5-18").empty());
}

TEST_F(ConfigTest, AccountNamesAreComposedForTheRecordsComputer) {
  Net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
  Net().Join(L"SIMHOST", L"CORP");
  Net().AddUser(L"DC01", L"jim");
  Net().AddUser(L"SIMHOST", L"svcuser");
  Net().AddUser(L"SRV1", L"remote");
  Scm().AddMachineName(L"SRV1");
  struct Case {
    const wchar_t* account;
    const wchar_t* accountServer;
    const wchar_t* recordComputer;
    const wchar_t* written;
  } cases[] = {
      {L"svcuser", nullptr, nullptr, L".\\svcuser"},      // the local computer's own account
      {L"CORP\\jim", nullptr, nullptr, L"CORP\\jim"},     // a domain account
      {L"jim", nullptr, nullptr, L"CORP\\jim"},
      {L"Everyone", nullptr, nullptr, L".\\Everyone"},    // no domain
      {L"remote", L"\\\\SRV1", L"\\\\SRV1", L".\\remote"},  // the remote record's computer
      {L"svcuser", nullptr, L"\\\\SRV1", L"SIMHOST\\svcuser"},
  };
  for (const Case& c : cases) {
    Log().Clear();
    System().ClearBoxes();
    auto service = Record(L"TestSvc", Q::kListServices, c.recordComputer);
    Q::CAccount account(c.account, c.accountServer);
    Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                          nullptr, nullptr, nullptr, &account, L"secret", nullptr, nullptr);
    const std::vector<std::wstring> args = ChangeArgs();
    ASSERT_EQ(10u, args.size());
    EXPECT_EQ(c.written, args[7]) << c.account;
    EXPECT_EQ(L"secret", args[8]);
    // The logon right, through the LSA of the record's computer.
    const auto open = Log().Of("LsaOpenPolicy");
    ASSERT_EQ(1u, open.size());
    EXPECT_EQ((std::vector<std::wstring>{c.recordComputer ? c.recordComputer : L"(null)", L"zeroed",
                                         L"0xF0FFF"}),
              open[0].args);
    const auto add = Log().Of("LsaAddAccountRights");
    ASSERT_EQ(1u, add.size());
    PSID sid = nullptr;
    ASSERT_EQ(0u, account.GetSid(&sid));
    EXPECT_EQ(sim::SidToString(sid), add[0].args[1]);
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"SeServiceLogonRight"}),
              std::vector<std::wstring>(add[0].args.begin() + 2, add[0].args.end()));
    EXPECT_EQ(1u, Scm().RightsOf(sim::SidToString(sid)).count(L"SeServiceLogonRight"));
    EXPECT_EQ(1u, Log().Count("LsaClose"));
    ASSERT_EQ(1u, System().Boxes().size());
    EXPECT_EQ(std::wstring(L"User ") + c.written + L" get right on 'Log on as service'",
              System().Boxes()[0].text);
    EXPECT_EQ(L"Information", System().Boxes()[0].caption);
  }
}

TEST_F(ConfigTest, DriverNeverPassesAccountOrPassword) {
  Scm().AddDriver(L"TestDrv");
  auto driver = Record(L"TestDrv", Q::kListDrivers);
  Q::CAccount account(L"Administrator", nullptr);
  Q::WriteServiceConfig(driver.get(), SERVICE_NO_CHANGE, SERVICE_SYSTEM_START, SERVICE_NO_CHANGE,
                        nullptr, nullptr, nullptr, &account, L"secret", nullptr, nullptr);
  const std::vector<std::wstring> args = ChangeArgs();
  ASSERT_EQ(10u, args.size());
  EXPECT_EQ(L"(null)", args[7]);
  EXPECT_EQ(L"(null)", args[8]);
  EXPECT_EQ(0u, Log().Count("LsaOpenPolicy"));
  EXPECT_EQ(0u, Log().Count("LookupAccountNameW"));
}

TEST_F(ConfigTest, PasswordAloneAndEveryField) {
  auto service = Record(L"TestSvc");
  Q::WriteServiceConfig(service.get(), SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                        SERVICE_DISABLED, SERVICE_ERROR_SEVERE, L"C:\\new.exe", L"MyGroup", nullptr,
                        nullptr, L"", L"New name", L"New description");
  EXPECT_EQ((std::vector<std::wstring>{L"0x110", L"0x4", L"0x2", L"C:\\new.exe", L"MyGroup",
                                        L"(null)", L"(null)", L"(null)", L"", L"New name"}),
            ChangeArgs());
  const auto description = Log().Of("ChangeServiceConfig2W");
  ASSERT_EQ(1u, description.size());
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"New description"}),
            std::vector<std::wstring>(description[0].args.begin() + 1, description[0].args.end()));
  EXPECT_EQ(0u, Log().Count("LsaOpenPolicy"));
  Q::ReadServiceConfig(service.get());
  EXPECT_STREQ(L"New description", service->Description()->lpDescription);
  EXPECT_STREQ(L"MyGroup", service->Config()->lpLoadOrderGroup);
}

TEST_F(ConfigTest, RightThatCannotBeGrantedIsRaised) {
  Net().AddUser(L"SIMHOST", L"svcuser");
  auto service = Record(L"TestSvc");
  Q::CAccount account(L"svcuser", nullptr);
  sim::Active()->failures().Fail("LsaAddAccountRights", static_cast<uint32_t>(STATUS_ACCESS_DENIED));
  EXPECT_EQ(L"!!: Failed to set privilege on 'Log on as service'!", RaisedBy([&] {
              Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                    SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, &account, L"pw",
                                    nullptr, nullptr);
            }));
  EXPECT_EQ(L".\\svcuser", Scm().Service(L"TestSvc").Record().account);  // the change was made
  EXPECT_EQ(0, Scm().OpenPolicyCount());
  EXPECT_TRUE(System().Boxes().empty());

  Log().Clear();
  sim::Active()->failures().Fail("LsaOpenPolicy", static_cast<uint32_t>(STATUS_ACCESS_DENIED));
  EXPECT_EQ(L"!!: Access to LSA denied!", RaisedBy([&] {
              Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                    SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, &account, L"pw",
                                    nullptr, nullptr);
            }));
  EXPECT_EQ(0u, Log().Count("LsaAddAccountRights"));
}

TEST_F(ConfigTest, WriteFailuresAreRaised) {
  struct Case {
    const char* failing;
    const wchar_t* message;
    std::size_t changeCalls;
  } cases[] = {
      {"OpenSCManagerW", L"!!: Access to Services database denied!", 0},
      {"LockServiceDatabase", L"!!: Failed to lock Service database!", 0},
      {"OpenServiceW", L"!!: Access to Service denied!", 0},
      {"ChangeServiceConfigW", L"!!: Failed to change Service properties!", 1},
      {"ChangeServiceConfig2W", L"!!: Failed to change Service properties!", 1},
  };
  Net().AddUser(L"SIMHOST", L"svcuser");
  for (const Case& c : cases) {
    Log().Clear();
    auto service = Record(L"TestSvc");
    Q::CAccount account(L"svcuser", nullptr);
    sim::Active()->failures().Fail(c.failing, ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(c.message, RaisedBy([&] {
                Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                      SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, &account, L"pw",
                                      nullptr, L"text");
              }))
        << c.failing;
    EXPECT_EQ(c.changeCalls, Log().Count("ChangeServiceConfigW")) << c.failing;
    // Both change calls are made even when the first fails; no right after a failed write.
    EXPECT_EQ(c.changeCalls, Log().Count("ChangeServiceConfig2W")) << c.failing;
    EXPECT_EQ(0u, Log().Count("LsaOpenPolicy"));
    EXPECT_FALSE(Scm().DatabaseLocked());
  }
  Scm().LockDatabaseByOther(true);
  auto service = Record(L"TestSvc");
  EXPECT_EQ(L"!!: Failed to lock Service database!", RaisedBy([&] {
              Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START,
                                    SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr);
            }));
  Scm().LockDatabaseByOther(false);
}

TEST_F(ConfigTest, AccountsThatCannotBeNamedAreNotWritten) {
  const std::wstring longName(300, L'a');
  std::vector<BYTE> fifteen = sim::SidFromText(L"S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-14");
  ASSERT_FALSE(fifteen.empty());
  Q::CAccount tooLong(longName.c_str(), nullptr);
  Q::CAccount unknownSid(static_cast<PSID>(fifteen.data()), nullptr);
  for (Q::CAccount* account : {&tooLong, &unknownSid}) {
    Log().Clear();
    auto service = Record(L"TestSvc");
    EXPECT_EQ(L"!!: Failed to change Service properties!", RaisedBy([&] {
                Q::WriteServiceConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                      SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, account, L"",
                                      nullptr, nullptr);
              }));
    EXPECT_EQ(0u, Log().Count("ChangeServiceConfigW"));
  }
  EXPECT_EQ(L"LocalSystem", Scm().Service(L"TestSvc").Record().account);
}

TEST(InitLsaStringTest, LengthsInBytes) {
  LSA_UNICODE_STRING s;
  s.Length = 1;
  s.MaximumLength = 1;
  s.Buffer = reinterpret_cast<PWSTR>(0x1);
  Q::InitLsaString(&s, nullptr);
  EXPECT_EQ(0, s.Length);
  EXPECT_EQ(0, s.MaximumLength);
  EXPECT_EQ(nullptr, s.Buffer);
  const wchar_t* text = L"SeServiceLogonRight";
  Q::InitLsaString(&s, text);
  EXPECT_EQ(19 * sizeof(WCHAR), s.Length);
  EXPECT_EQ(20 * sizeof(WCHAR), s.MaximumLength);
  EXPECT_EQ(text, s.Buffer);
  Q::InitLsaString(&s, L"");
  EXPECT_EQ(0, s.Length);
  EXPECT_EQ(sizeof(WCHAR), s.MaximumLength);
  const std::wstring huge(70000, L'h');
  Q::InitLsaString(&s, huge.c_str());
  EXPECT_LT(s.Length, s.MaximumLength);
  EXPECT_EQ(0u, s.Length % sizeof(WCHAR));
}

}  // namespace
