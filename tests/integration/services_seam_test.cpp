// The service control manager seam's configuration, lock and LSA calls against Wine's
// manager and LSA, through Q::Scm() (the advapi32 implementation).
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "services/platform/scm.h"

namespace {

class SeamIntegration : public testing::Test {
 protected:
  void SetUp() override {
    name_ = L"PelmoraSeam" + std::to_wstring(GetCurrentProcessId());
    manager_ = Q::Scm().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager_);
    // Installation is test code: straight to the platform.
    service_ = ::CreateServiceW(manager_, name_.c_str(), L"Seam test", SERVICE_ALL_ACCESS,
                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                SERVICE_ERROR_NORMAL, L"C:\\windows\\system32\\notepad.exe",
                                nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, service_) << GetLastError();
  }
  void TearDown() override {
    if (service_ != nullptr) {
      ::DeleteService(service_);
      Q::Scm().CloseServiceHandle(service_);
    }
    if (manager_ != nullptr) Q::Scm().CloseServiceHandle(manager_);
  }
  std::wstring name_;
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

TEST_F(SeamIntegration, ConfigurationUnderTheDatabaseLock) {
  SC_LOCK lock = Q::Scm().LockServiceDatabase(manager_);
  ASSERT_NE(nullptr, lock) << GetLastError();
  SC_HANDLE h = Q::Scm().OpenServiceW(manager_, name_.c_str(), SERVICE_ALL_ACCESS);
  ASSERT_NE(nullptr, h);
  // Only the start type and the display name change.
  EXPECT_TRUE(Q::Scm().ChangeServiceConfigW(h, SERVICE_NO_CHANGE, SERVICE_DISABLED,
                                            SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, L"Seam test %s %n"));
  SERVICE_DESCRIPTIONW description{const_cast<LPWSTR>(L"Described \\ %s")};
  EXPECT_TRUE(Q::Scm().ChangeServiceConfig2W(h, SERVICE_CONFIG_DESCRIPTION, &description));
  EXPECT_TRUE(Q::Scm().UnlockServiceDatabase(lock));

  DWORD needed = 0;
  EXPECT_FALSE(Q::Scm().QueryServiceConfigW(h, nullptr, 0, &needed));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  std::vector<BYTE> block(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(block.data());
  ASSERT_TRUE(Q::Scm().QueryServiceConfigW(h, config, needed, &needed));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config->dwStartType);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), config->dwErrorControl);
  EXPECT_STREQ(L"Seam test %s %n", config->lpDisplayName);
  EXPECT_STREQ(L"C:\\windows\\system32\\notepad.exe", config->lpBinaryPathName);

  BYTE text[4096] = {};
  ASSERT_TRUE(Q::Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_DESCRIPTION, text, sizeof(text),
                                            &needed));
  EXPECT_STREQ(L"Described \\ %s", reinterpret_cast<SERVICE_DESCRIPTIONW*>(text)->lpDescription);
  // Wine refuses the recovery settings level on query.
  EXPECT_FALSE(Q::Scm().QueryServiceConfig2W(h, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
  EXPECT_TRUE(Q::Scm().CloseServiceHandle(h));
}

TEST_F(SeamIntegration, LogonRightThroughTheLsa) {
  LSA_OBJECT_ATTRIBUTES attributes{};
  LSA_HANDLE policy = nullptr;
  ASSERT_EQ(STATUS_SUCCESS,
            Q::Scm().LsaOpenPolicy(nullptr, &attributes, POLICY_ALL_ACCESS, &policy));
  // NT AUTHORITY\LOCAL SERVICE (S-1-5-19), built by hand.
  BYTE sid[12] = {1, 1, 0, 0, 0, 0, 0, 5, 19, 0, 0, 0};
  wchar_t rightName[] = SE_SERVICE_LOGON_NAME;
  LSA_UNICODE_STRING right{};
  right.Length = static_cast<USHORT>(std::wcslen(rightName) * sizeof(WCHAR));
  right.MaximumLength = static_cast<USHORT>(right.Length + sizeof(WCHAR));
  right.Buffer = rightName;
  EXPECT_EQ(STATUS_SUCCESS, Q::Scm().LsaAddAccountRights(policy, sid, &right, 1));
  EXPECT_EQ(STATUS_SUCCESS, Q::Scm().LsaClose(policy));
}

}  // namespace
