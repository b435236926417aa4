// Service configuration against Wine's service control manager and LSA: a test service
// is installed for each test (and removed again, also when the test fails), its
// configuration written and read back through the program's own operations.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "accounts_support.h"
#include "services/config.h"
#include "services/service.h"

namespace {

std::wstring Folder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// Installs a demand-start service under a name of this run and deletes it on scope exit.
class TestService {
 public:
  explicit TestService(const std::wstring& shortName)
      : name_(L"PelmoraCfg" + std::to_wstring(GetCurrentProcessId()) + L"_" + shortName) {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const std::wstring path = L"\"" + Folder() + L"testservice.exe\"";
    service_ = CreateServiceW(manager_, name_.c_str(), L"Pelmora config test", SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                              SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr);
  }
  ~TestService() {
    if (service_ != nullptr) {
      DeleteService(service_);
      CloseServiceHandle(service_);
    }
    if (manager_ != nullptr) CloseServiceHandle(manager_);
  }
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  bool ok() const { return service_ != nullptr; }
  std::unique_ptr<Q::TqService> Record() const {
    return std::make_unique<Q::TqService>(name_.c_str(), nullptr, Q::kListServices,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0,
                                          0, nullptr);
  }

 private:
  std::wstring name_;
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

void Write(Q::TqService* service, unsigned type, unsigned start, unsigned error,
           const wchar_t* path, const wchar_t* group, Q::CAccount* account,
           const wchar_t* password, const wchar_t* display, const wchar_t* description) {
  Q::WriteServiceConfig(service, type, start, error, path, group, nullptr, account, password,
                        display, description);
}

TEST(ServiceConfigOnWine, FieldsAreWrittenAndReadBack) {
  integ::RecordingSystem system;
  TestService installed(L"fields");
  ASSERT_TRUE(installed.ok());
  auto service = installed.Record();
  Q::ReadServiceConfig(service.get());
  ASSERT_NE(nullptr, service->Config());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service->Config()->dwStartType);
  EXPECT_STREQ(L"LocalSystem", service->Config()->lpServiceStartName);

  // The list view's start-type change.
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr, nullptr,
        nullptr, nullptr, nullptr, nullptr);
  Q::ReadServiceConfig(service.get());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), service->Config()->dwStartType);
  EXPECT_STREQ(L"Pelmora config test", service->Config()->lpDisplayName);

  // Everything the properties view writes, at once.
  const std::wstring path = L"\"" + Folder() + L"testservice.exe\" --quiet";
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_ERROR_SEVERE, path.c_str(),
        L"PelmoraGroup", nullptr, nullptr, L"Pelmora renamed", L"A description from Pelmora");
  Q::ReadServiceConfig(service.get());
  const QUERY_SERVICE_CONFIGW* config = service->Config();
  EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config->dwStartType);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_SEVERE), config->dwErrorControl);
  EXPECT_EQ(path, config->lpBinaryPathName);
  EXPECT_STREQ(L"PelmoraGroup", config->lpLoadOrderGroup);
  EXPECT_STREQ(L"Pelmora renamed", config->lpDisplayName);
  EXPECT_STREQ(L"A description from Pelmora", service->Description()->lpDescription);
  EXPECT_TRUE(system.Boxes().empty());
}

TEST(ServiceConfigOnWine, LogonAccountWithTheRightAndBackToLocalSystem) {
  integ::RecordingSystem system;
  TestService installed(L"account");
  ASSERT_TRUE(installed.ok());
  auto service = installed.Record();
  const std::wstring user = integ::UserName();
  ASSERT_FALSE(user.empty());

  Q::CAccount account(user.c_str(), nullptr);
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
        &account, L"Secret-1", nullptr, nullptr);
  Q::ReadServiceConfig(service.get());
  EXPECT_EQ(L".\\" + user, service->Config()->lpServiceStartName);
  // The right was granted through the LSA, and the user was told.
  ASSERT_EQ(1u, system.Boxes().size());
  EXPECT_EQ(L"User .\\" + user + L" get right on 'Log on as service'", system.Boxes()[0].text);
  EXPECT_EQ(L"Information", system.Boxes()[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONINFORMATION), system.Boxes()[0].type);

  // An empty password is a password too.
  system.Clear();
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
        &account, L"", nullptr, nullptr);
  Q::ReadServiceConfig(service.get());
  EXPECT_EQ(L".\\" + user, service->Config()->lpServiceStartName);

  system.Clear();
  Q::CAccount localSystem(L"NT AUTHORITY\\SYSTEM", nullptr);
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
        &localSystem, nullptr, nullptr, nullptr);
  Q::ReadServiceConfig(service.get());
  EXPECT_STREQ(L"LocalSystem", service->Config()->lpServiceStartName);
  EXPECT_TRUE(system.Boxes().empty());  // no right for the local system
}

TEST(ServiceConfigOnWine, RecoverySettingsAreRefusedAsOnASystemWithoutThem) {
  integ::RecordingSystem system;
  TestService installed(L"recovery");
  ASSERT_TRUE(installed.ok());
  auto service = installed.Record();
  Q::ReadRecoverySettings(service.get());
  EXPECT_EQ(nullptr, service->Recovery());
  ASSERT_EQ(1u, system.Boxes().size());
  EXPECT_EQ(L"!!: Getting Service configuration failed!", system.Boxes()[0].text);
  EXPECT_EQ(L"Error", system.Boxes()[0].caption);

  // Wine takes a change of the failure actions without storing it; the block the program
  // builds is accepted as the platform's own record.
  system.Clear();
  const SC_ACTION actions[3] = {{SC_ACTION_RESTART, 60000}, {SC_ACTION_NONE, 0}, {SC_ACTION_NONE, 0}};
  service->SetRecoveryBlock(Q::BuildRecoveryBlock(86400, L"", L"", actions));
  Q::WriteRecoverySettings(service.get());
  EXPECT_TRUE(system.Boxes().empty());
}

TEST(ServiceConfigOnWine, BadInputIsRefusedCleanly) {
  integ::RecordingSystem system;
  TestService installed(L"bad");
  ASSERT_TRUE(installed.ok());
  auto service = installed.Record();
  // A description longer than the 4096-byte block: written, then shown as unreadable
  // while the block keeps the earlier text.
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
        nullptr, nullptr, nullptr, L"short");
  Q::ReadServiceConfig(service.get());
  EXPECT_STREQ(L"short", service->Description()->lpDescription);
  const std::wstring longText(3000, L'd');
  Write(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
        nullptr, nullptr, nullptr, longText.c_str());
  Q::ReadServiceConfig(service.get());
  ASSERT_EQ(1u, system.Boxes().size());
  EXPECT_EQ(L"Getting value of field 'Description:' failed!", system.Boxes()[0].text);
  EXPECT_STREQ(L"short", service->Description()->lpDescription);

  // An account name of 300 characters names nobody: nothing is written.
  const std::wstring longName(300, L'a');
  Q::CAccount nobody(longName.c_str(), nullptr);
  EXPECT_EQ(L"!!: Failed to change Service properties!", integ::RaisedBy([&] {
              Write(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                    nullptr, &nobody, L"x", nullptr, nullptr);
            }));
  Q::ReadServiceConfig(service.get());
  EXPECT_STREQ(L"LocalSystem", service->Config()->lpServiceStartName);
}

}  // namespace
