// The simulated service control manager behaves as the platform's does where the
// service code relies on it.
#include "sim/scm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"
#include "services_test_util.h"

namespace {

using svctest::Clock;
using svctest::Log;
using svctest::Scm;

DWORD LastError() { return Q::Sys().GetLastError(); }

class SimScmTest : public testing::Test {
 protected:
  void SetUp() override {
    manager_ = Scm().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager_);
  }
  void TearDown() override {
    EXPECT_TRUE(Scm().CloseServiceHandle(manager_));
    EXPECT_EQ(0, Scm().OpenHandleCount());
  }
  SC_HANDLE Open(const wchar_t* name, DWORD access = SERVICE_ALL_ACCESS) {
    return Scm().OpenServiceW(manager_, name, access);
  }
  SC_HANDLE manager_ = nullptr;
};

TEST_F(SimScmTest, EnumerationTwoCallPatternAndResume) {
  DWORD needed = 0, returned = 0, resume = 0;
  // Empty database: the first call succeeds with nothing.
  EXPECT_TRUE(Scm().EnumServicesStatusW(manager_, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0,
                                        &needed, &returned, &resume));
  EXPECT_EQ(0u, returned);

  Scm().AddService(L"A").Display(L"Alpha").Running();
  Scm().AddService(L"B").Display(L"Beta");
  Scm().AddDriver(L"D");
  EXPECT_FALSE(Scm().EnumServicesStatusW(manager_, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0,
                                         &needed, &returned, &resume));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), LastError());
  const DWORD expected = 2 * sizeof(ENUM_SERVICE_STATUSW) + (2 + 6 + 2 + 5) * sizeof(WCHAR);
  EXPECT_EQ(expected, needed);

  // One byte short: the first entry only, and where to go on.
  std::vector<uint64_t> block(needed / 8 + 1);
  auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(block.data());
  EXPECT_FALSE(Scm().EnumServicesStatusW(manager_, SERVICE_WIN32, SERVICE_STATE_ALL, entries,
                                         needed - 1, &needed, &returned, &resume));
  EXPECT_EQ(1u, returned);
  EXPECT_EQ(1u, resume);
  EXPECT_STREQ(L"Alpha", entries[0].lpDisplayName);
  EXPECT_TRUE(Scm().EnumServicesStatusW(manager_, SERVICE_WIN32, SERVICE_STATE_ALL, entries,
                                        needed, &needed, &returned, &resume));
  ASSERT_EQ(1u, returned);
  EXPECT_STREQ(L"B", entries[0].lpServiceName);
  EXPECT_EQ(0u, resume);

  // State filters.
  EXPECT_TRUE(Scm().EnumServicesStatusW(manager_, SERVICE_WIN32, SERVICE_ACTIVE, entries,
                                        static_cast<DWORD>(block.size() * 8), &needed, &returned,
                                        &resume));
  ASSERT_EQ(1u, returned);
  EXPECT_STREQ(L"A", entries[0].lpServiceName);
  EXPECT_TRUE(Scm().EnumServicesStatusW(manager_, SERVICE_DRIVER, SERVICE_INACTIVE, entries,
                                        static_cast<DWORD>(block.size() * 8), &needed, &returned,
                                        &resume));
  ASSERT_EQ(1u, returned);
  EXPECT_STREQ(L"D", entries[0].lpServiceName);
}

TEST_F(SimScmTest, DependentsAreListedDeepestFirstAndFilteredByState) {
  Scm().AddService(L"Base").Running();
  Scm().AddService(L"Mid").DependsOn(L"Base").Running();
  Scm().AddService(L"Top").DependsOn(L"Mid").DependsOn(L"Base").Running();
  Scm().AddService(L"Off").DependsOn(L"Base");
  SC_HANDLE base = Open(L"Base");
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(Scm().EnumDependentServicesW(base, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), LastError());
  std::vector<uint64_t> block(needed / 8 + 1);
  auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(block.data());
  ASSERT_TRUE(Scm().EnumDependentServicesW(base, SERVICE_STATE_ALL, entries, needed, &needed, &count));
  std::vector<std::wstring> names;
  for (DWORD i = 0; i < count; ++i) names.emplace_back(entries[i].lpServiceName);
  EXPECT_EQ((std::vector<std::wstring>{L"Top", L"Mid", L"Off"}), names);
  ASSERT_TRUE(Scm().EnumDependentServicesW(base, SERVICE_ACTIVE, entries, needed, &needed, &count));
  EXPECT_EQ(2u, count);
  SC_HANDLE top = Open(L"Top");
  EXPECT_TRUE(Scm().EnumDependentServicesW(top, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
  EXPECT_EQ(0u, count);
  Scm().CloseServiceHandle(top);
  Scm().CloseServiceHandle(base);
}

TEST_F(SimScmTest, StateMachineFollowsTheVirtualClock) {
  Scm().AddService(L"Svc").StartTakes(3000, 1000).StopTakes(2000, 800).AcceptsStop()
      .AcceptsPauseContinue().PauseTakes(500, 200).ContinueTakes(400, 100);
  SC_HANDLE h = Open(L"Svc");
  SERVICE_STATUS st{};
  const wchar_t* args[] = {L"one", L"two"};
  ASSERT_TRUE(Scm().StartServiceW(h, 2, args));
  ASSERT_TRUE(Scm().QueryServiceStatus(h, &st));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), st.dwCurrentState);
  EXPECT_EQ(1000u, st.dwWaitHint);
  EXPECT_EQ(1u, st.dwCheckPoint);
  EXPECT_EQ(0u, st.dwControlsAccepted);
  EXPECT_FALSE(Scm().ControlService(h, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), LastError());
  Clock().Advance(2999);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), Scm().StateOf(L"Svc"));
  Clock().Advance(1);
  ASSERT_TRUE(Scm().QueryServiceStatus(h, &st));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), st.dwCurrentState);
  EXPECT_EQ(3u, st.dwControlsAccepted);
  EXPECT_EQ(0u, st.dwWaitHint);
  EXPECT_FALSE(Scm().StartServiceW(h, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), LastError());

  ASSERT_TRUE(Scm().ControlService(h, SERVICE_CONTROL_PAUSE, &st));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSE_PENDING), st.dwCurrentState);
  Clock().Advance(500);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), Scm().StateOf(L"Svc"));
  ASSERT_TRUE(Scm().ControlService(h, SERVICE_CONTROL_CONTINUE, &st));
  Clock().Advance(400);
  ASSERT_TRUE(Scm().ControlService(h, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), st.dwCurrentState);
  EXPECT_EQ(800u, st.dwWaitHint);
  Clock().Advance(2000);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), Scm().StateOf(L"Svc"));
  EXPECT_FALSE(Scm().ControlService(h, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), LastError());
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}),
            Scm().Service(L"Svc").Record().lastStartArguments);
  EXPECT_EQ(L"two", Log().Of("StartServiceW")[0].args[3]);
  Scm().CloseServiceHandle(h);
}

TEST_F(SimScmTest, StartingStartsStoppedDependenciesFirst) {
  Scm().AddService(L"RPCSS").StartTakes(1000, 500).AcceptsStop();
  Scm().AddService(L"Spooler").DependsOn(L"RPCSS").StartTakes(1000, 500).AcceptsStop();
  Scm().AddService(L"Broken").DependsOn(L"Bad");
  Scm().AddService(L"Bad").RefusesToStart();
  SC_HANDLE h = Open(L"Spooler");
  ASSERT_TRUE(Scm().StartServiceW(h, 0, nullptr));
  Clock().Advance(1000);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"RPCSS"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), Scm().StateOf(L"Spooler"));
  Clock().Advance(1000);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"Spooler"));
  SC_HANDLE rpc = Open(L"RPCSS");
  SERVICE_STATUS st{};
  EXPECT_FALSE(Scm().ControlService(rpc, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), LastError());
  SC_HANDLE broken = Open(L"Broken");
  EXPECT_FALSE(Scm().StartServiceW(broken, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DEPENDENCY_FAIL), LastError());
  for (SC_HANDLE x : {h, rpc, broken}) Scm().CloseServiceHandle(x);
}

TEST_F(SimScmTest, CircularDependenciesAreRefusedNotFollowed) {
  Scm().AddService(L"Self").DependsOn(L"Self");
  Scm().AddService(L"Ping").DependsOn(L"Pong");
  Scm().AddService(L"Pong").DependsOn(L"Ping");
  Scm().AddService(L"Good");
  Scm().AddService(L"Outer").DependsOn(L"Good").DependsOn(L"Ping");
  for (const wchar_t* name : {L"Self", L"Ping", L"Outer"}) {
    SC_HANDLE h = Open(name);
    EXPECT_FALSE(Scm().StartServiceW(h, 0, nullptr)) << name;
    EXPECT_EQ(static_cast<DWORD>(ERROR_CIRCULAR_DEPENDENCY), LastError()) << name;
    Scm().CloseServiceHandle(h);
  }
  // Nothing was started on the way, not even the sound dependency of Outer.
  for (const wchar_t* name : {L"Self", L"Ping", L"Pong", L"Good", L"Outer"})
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), Scm().StateOf(name)) << name;

  // A new dependency that would close a circle is refused and changes nothing.
  Scm().AddService(L"A");
  Scm().AddService(L"B").DependsOn(L"C");
  Scm().AddService(L"C").DependsOn(L"A");
  SC_HANDLE a = Open(L"A");
  EXPECT_FALSE(Scm().ChangeServiceConfigW(a, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                          SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                          L"B\0\0", nullptr, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CIRCULAR_DEPENDENCY), LastError());
  EXPECT_TRUE(Scm().Service(L"A").Record().dependencies.empty());
  EXPECT_TRUE(Scm().ChangeServiceConfigW(a, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                         SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                         L"Good\0+Group\0\0", nullptr, nullptr, nullptr));
  Scm().CloseServiceHandle(a);
}

TEST_F(SimScmTest, ServicesThatFailOrStopByThemselves) {
  Scm().AddService(L"Fails").StartTakes(1000, 500).FailsWhileStarting(42);
  Scm().AddService(L"Quits").Running().StopsOnItsOwnAfter(5000);
  SC_HANDLE h = Open(L"Fails");
  ASSERT_TRUE(Scm().StartServiceW(h, 0, nullptr));
  Clock().Advance(1000);
  SERVICE_STATUS st = Scm().StatusOf(L"Fails");
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), st.dwCurrentState);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), st.dwWin32ExitCode);
  EXPECT_EQ(42u, st.dwServiceSpecificExitCode);
  Clock().Advance(3999);  // 4999 ms after it was set up
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"Quits"));
  Clock().Advance(1);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), Scm().StateOf(L"Quits"));
  Scm().CloseServiceHandle(h);
}

TEST_F(SimScmTest, AccessIsCheckedPerServiceAndPerOperation) {
  Scm().AddService(L"ReadOnly").GrantOnly(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG).Running();
  Scm().AddService(L"NoStop").Running().AcceptsStop().Deny("ControlService");
  Scm().AddService(L"Hidden").OpenFails(ERROR_ACCESS_DENIED);
  EXPECT_EQ(nullptr, Open(L"ReadOnly"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), LastError());
  SC_HANDLE ro = Open(L"ReadOnly", SERVICE_QUERY_STATUS);
  ASSERT_NE(nullptr, ro);
  SERVICE_STATUS st{};
  EXPECT_TRUE(Scm().QueryServiceStatus(ro, &st));
  EXPECT_FALSE(Scm().ControlService(ro, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), LastError());
  SC_HANDLE ns = Open(L"NoStop");
  EXPECT_TRUE(Scm().QueryServiceStatus(ns, &st));
  EXPECT_FALSE(Scm().ControlService(ns, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(nullptr, Open(L"Hidden"));
  EXPECT_EQ(nullptr, Open(L"Nobody"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), LastError());
  Scm().CloseServiceHandle(ro);
  Scm().CloseServiceHandle(ns);
  // A closed handle is no longer valid.
  EXPECT_FALSE(Scm().CloseServiceHandle(ns));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), LastError());

  Scm().SetManagerAccess(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
  EXPECT_EQ(nullptr, Scm().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  EXPECT_EQ(nullptr, Scm().OpenSCManagerW(L"\\\\ELSEWHERE", nullptr, SC_MANAGER_CONNECT));
  EXPECT_EQ(static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE), LastError());
}

TEST_F(SimScmTest, DatabaseLock) {
  SC_LOCK lock = Scm().LockServiceDatabase(manager_);
  ASSERT_NE(nullptr, lock);
  EXPECT_TRUE(Scm().DatabaseLocked());
  EXPECT_EQ(nullptr, Scm().LockServiceDatabase(manager_));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DATABASE_LOCKED), LastError());
  EXPECT_TRUE(Scm().UnlockServiceDatabase(lock));
  EXPECT_FALSE(Scm().UnlockServiceDatabase(lock));
  Scm().LockDatabaseByOther(true);
  EXPECT_EQ(nullptr, Scm().LockServiceDatabase(manager_));
}

TEST_F(SimScmTest, ConfigurationDescriptionAndRecoveryRoundTrip) {
  Scm().AddService(L"Svc").Display(L"Service").Path(L"C:\\svc.exe -x").Group(L"Net")
      .DependsOn(L"RPCSS").DependsOn(L"+TDI").Account(L".\\user").Description(L"Does things")
      .Recovery(86400, {{SC_ACTION_RESTART, 60000}, {SC_ACTION_REBOOT, 1000}}, L"Rebooting",
                L"notify.cmd");
  SC_HANDLE h = Open(L"Svc");
  DWORD needed = 0;
  EXPECT_FALSE(Scm().QueryServiceConfigW(h, nullptr, 0, &needed));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), LastError());
  std::vector<uint64_t> block(needed / 8 + 1);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(block.data());
  ASSERT_TRUE(Scm().QueryServiceConfigW(h, config, needed, &needed));
  EXPECT_STREQ(L"C:\\svc.exe -x", config->lpBinaryPathName);
  EXPECT_STREQ(L"RPCSS", config->lpDependencies);
  EXPECT_STREQ(L"+TDI", config->lpDependencies + 6);
  EXPECT_EQ(L'\0', config->lpDependencies[11]);
  EXPECT_STREQ(L".\\user", config->lpServiceStartName);

  // Nothing changes where the caller passes "no change".
  ASSERT_TRUE(Scm().ChangeServiceConfigW(h, SERVICE_NO_CHANGE, SERVICE_AUTO_START,
                                         SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr));
  const sim::SimService& r = Scm().Service(L"Svc").Record();
  EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), r.startType);
  EXPECT_EQ(L"C:\\svc.exe -x", r.binaryPath);
  EXPECT_EQ(2u, r.dependencies.size());
  EXPECT_EQ(L"(null)", Log().Of("ChangeServiceConfigW")[0].args[8]);
  // Boot start is for drivers only.
  EXPECT_FALSE(Scm().ChangeServiceConfigW(h, SERVICE_NO_CHANGE, SERVICE_BOOT_START,
                                          SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());

  BYTE description[4096] = {};
  ASSERT_TRUE(Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_DESCRIPTION, description,
                                         sizeof(description), &needed));
  EXPECT_STREQ(L"Does things", reinterpret_cast<SERVICE_DESCRIPTIONW*>(description)->lpDescription);
  SERVICE_DESCRIPTIONW change{const_cast<LPWSTR>(L"New text")};
  ASSERT_TRUE(Scm().ChangeServiceConfig2W(h, SERVICE_CONFIG_DESCRIPTION, &change));
  EXPECT_EQ(L"New text", r.description);

  EXPECT_FALSE(Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed));
  std::vector<uint64_t> recovery(needed / 8 + 1);
  ASSERT_TRUE(Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_FAILURE_ACTIONS,
                                         reinterpret_cast<LPBYTE>(recovery.data()), needed, &needed));
  auto* fa = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(recovery.data());
  EXPECT_EQ(86400u, fa->dwResetPeriod);
  ASSERT_EQ(2u, fa->cActions);
  EXPECT_EQ(SC_ACTION_REBOOT, fa->lpsaActions[1].Type);
  EXPECT_STREQ(L"Rebooting", fa->lpRebootMsg);
  EXPECT_STREQ(L"notify.cmd", fa->lpCommand);
  SC_ACTION actions[3] = {{SC_ACTION_NONE, 0}, {SC_ACTION_RUN_COMMAND, 5}, {SC_ACTION_RESTART, 9}};
  SERVICE_FAILURE_ACTIONSW write{60, nullptr, const_cast<LPWSTR>(L""), 3, actions};
  ASSERT_TRUE(Scm().ChangeServiceConfig2W(h, SERVICE_CONFIG_FAILURE_ACTIONS, &write));
  EXPECT_EQ(60u, r.resetPeriod);
  EXPECT_EQ(3u, r.actions.size());
  EXPECT_EQ(L"Rebooting", r.rebootMessage);  // null: unchanged
  EXPECT_FALSE(r.hasCommand);                // empty: removed

  // The platform of the Windows build under Wine refuses level 2; tests can say so.
  sim::Active()->failures().Fail("QueryServiceConfig2W/2", ERROR_INVALID_LEVEL);
  EXPECT_FALSE(Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), LastError());
  EXPECT_TRUE(Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_DESCRIPTION, description,
                                         sizeof(description), &needed));
  EXPECT_FALSE(Scm().QueryServiceConfig2W(h, 99, description, sizeof(description), &needed));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), LastError());
  Scm().CloseServiceHandle(h);
}

// A SID in the platform's binary form: revision 1, authority 5, sub-authorities.
std::vector<BYTE> Sid(std::vector<uint32_t> subs) {
  std::vector<BYTE> sid{1, static_cast<BYTE>(subs.size()), 0, 0, 0, 0, 0, 5};
  for (uint32_t s : subs) {
    BYTE b[4];
    std::memcpy(b, &s, 4);
    sid.insert(sid.end(), b, b + 4);
  }
  return sid;
}

LSA_UNICODE_STRING LsaString(const wchar_t* text) {
  LSA_UNICODE_STRING s{};
  s.Length = static_cast<USHORT>(std::wcslen(text) * sizeof(WCHAR));
  s.MaximumLength = static_cast<USHORT>(s.Length + sizeof(WCHAR));
  s.Buffer = const_cast<PWSTR>(text);
  return s;
}

TEST_F(SimScmTest, LogonRightsPerSid) {
  LSA_OBJECT_ATTRIBUTES attributes{};
  LSA_HANDLE policy = nullptr;
  LSA_UNICODE_STRING machine = LsaString(L"\\\\SIMHOST");
  ASSERT_EQ(STATUS_SUCCESS, Scm().LsaOpenPolicy(&machine, &attributes, POLICY_ALL_ACCESS, &policy));
  EXPECT_EQ(L"\\\\SIMHOST", Log().Of("LsaOpenPolicy")[0].args[0]);
  EXPECT_EQ(L"zeroed", Log().Of("LsaOpenPolicy")[0].args[1]);
  EXPECT_EQ(1, Scm().OpenPolicyCount());

  std::vector<BYTE> sid = Sid({21, 1001, 2002, 3003, 1005});
  LSA_UNICODE_STRING right = LsaString(SE_SERVICE_LOGON_NAME);
  EXPECT_EQ(STATUS_SUCCESS, Scm().LsaAddAccountRights(policy, sid.data(), &right, 1));
  EXPECT_EQ((std::set<std::wstring>{L"SeServiceLogonRight"}),
            Scm().RightsOf(L"S-1-5-21-1001-2002-3003-1005"));
  EXPECT_EQ(L"S-1-5-21-1001-2002-3003-1005", Log().Of("LsaAddAccountRights")[0].args[1]);

  // A length that is not whole characters, and an unknown right, are refused.
  LSA_UNICODE_STRING odd = right;
  odd.Length = 3;
  EXPECT_EQ(STATUS_INVALID_PARAMETER, Scm().LsaAddAccountRights(policy, sid.data(), &odd, 1));
  LSA_UNICODE_STRING bogus = LsaString(L"%s%n");
  EXPECT_EQ(STATUS_NO_SUCH_PRIVILEGE, Scm().LsaAddAccountRights(policy, sid.data(), &bogus, 1));
  sim::Active()->failures().Fail("LsaAddAccountRights", static_cast<uint32_t>(STATUS_ACCESS_DENIED), 1);
  EXPECT_EQ(STATUS_ACCESS_DENIED, Scm().LsaAddAccountRights(policy, sid.data(), &right, 1));

  EXPECT_EQ(STATUS_SUCCESS, Scm().LsaClose(policy));
  EXPECT_EQ(STATUS_INVALID_HANDLE, Scm().LsaClose(policy));
  EXPECT_EQ(STATUS_INVALID_HANDLE, Scm().LsaAddAccountRights(policy, sid.data(), &right, 1));

  Scm().SetPolicyAccess(POLICY_LOOKUP_NAMES);
  EXPECT_EQ(STATUS_ACCESS_DENIED, Scm().LsaOpenPolicy(nullptr, &attributes, POLICY_ALL_ACCESS, &policy));
  LSA_UNICODE_STRING remote = LsaString(L"\\\\FAR");
  Scm().SetPolicyAccess(POLICY_ALL_ACCESS);
  EXPECT_EQ(RPC_NT_SERVER_UNAVAILABLE,
            Scm().LsaOpenPolicy(&remote, &attributes, POLICY_ALL_ACCESS, &policy));
}

TEST_F(SimScmTest, EveryCallCanBeMadeToFail) {
  Scm().AddService(L"Svc").Running().AcceptsStop();
  SC_HANDLE h = Open(L"Svc");
  SERVICE_STATUS st{};
  DWORD needed = 0, count = 0;
  struct Case {
    const char* name;
    std::function<bool()> call;
  } cases[] = {
      {"QueryServiceStatus", [&] { return Scm().QueryServiceStatus(h, &st) != FALSE; }},
      {"ControlService", [&] { return Scm().ControlService(h, 1, &st) != FALSE; }},
      {"StartServiceW", [&] { return Scm().StartServiceW(h, 0, nullptr) != FALSE; }},
      {"EnumDependentServicesW",
       [&] { return Scm().EnumDependentServicesW(h, 3, nullptr, 0, &needed, &count) != FALSE; }},
      {"QueryServiceConfigW", [&] { return Scm().QueryServiceConfigW(h, nullptr, 0, &needed) != FALSE; }},
      {"ChangeServiceConfigW", [&] {
         return Scm().ChangeServiceConfigW(h, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr) != FALSE;
       }},
  };
  for (const Case& c : cases) {
    sim::Active()->failures().Fail(c.name, 1234, 1);
    EXPECT_FALSE(c.call()) << c.name;
    EXPECT_EQ(1234u, LastError()) << c.name;
  }
  Scm().CloseServiceHandle(h);
}

}  // namespace
