#include "services/config.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "app/environment.h"
#include "app/error.h"
#include "platform/system.h"
#include "text/coredict.h"
#include "text/safe_format.h"

namespace Q {
namespace {

constexpr std::size_t kAccountNameChars = 2048;
const wchar_t kLocalSystem[] = L"LocalSystem";
const wchar_t kSystemFullName[] = L"NT AUTHORITY\\SYSTEM";

[[noreturn]] void Raise(wchar_t* message) { throw new TError(message); }

// Opens the record's manager and service for one operation; both close with the object.
struct OpenedService {
  ScHandle manager;
  ScHandle service;
};

void Open(TqService* service, OpenedService* out) {
  Q_MESSAGE(kOpenFailed, L"Failed to open Services database!");
  Q_MESSAGE(kServiceDenied, L"Access to Service denied!");
  out->manager.Reset(Scm().OpenSCManagerW(service->Computer, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!out->manager) Raise(kOpenFailed.Translate());
  out->service.Reset(Scm().OpenServiceW(out->manager.Get(), service->Name(), SERVICE_ALL_ACCESS));
  if (!out->service) Raise(kServiceDenied.Translate());
}

// S-1-5-18, the SID of the local system account.
bool IsLocalSystemSid(PSID sid) {
  INetServices& net = Net();
  static const BYTE kNtAuthority[6] = {0, 0, 0, 0, 0, 5};
  return sid != nullptr && net.IsValidSid(sid) && *net.GetSidSubAuthorityCount(sid) == 1 &&
         std::memcmp(net.GetSidIdentifierAuthority(sid)->Value, kNtAuthority, 6) == 0 &&
         *net.GetSidSubAuthority(sid, 0) == 18;
}

// The logon account as the manager takes it: "LocalSystem" for the local system
// account; ".\name" for an account of the record's own computer (or without a domain);
// "domain\name" otherwise. False when the account cannot be named or does not fit.
bool ComposeAccountName(TqService* service, CAccount* account, std::wstring* name,
                        bool* localSystem) {
  wchar_t* full = nullptr;
  if (account->GetFullName(&full) != 0 || full == nullptr) return false;
  // The full name is the English one only on an English system; the SID (known by now:
  // the full name needed the domain, which the SID lookup gives) names the local system
  // account in every language.
  PSID sid = nullptr;
  *localSystem = std::wcscmp(full, kSystemFullName) == 0 ||
                 (account->GetSid(&sid) == 0 && IsLocalSystemSid(sid));
  if (*localSystem) {
    *name = kLocalSystem;
    return true;
  }
  wchar_t* bare = nullptr;
  wchar_t* domain = nullptr;
  if (account->GetName(&bare) != 0 || bare == nullptr) return false;
  // A record built from "DOMAIN\name" keeps that form as its name; the domain part is
  // written from the lookup's domain, once.
  if (const wchar_t* slash = std::wcsrchr(bare, L'\\')) bare = const_cast<wchar_t*>(slash + 1);
  account->GetDomain(&domain);
  if (domain == nullptr || *domain == L'\0') {
    *name = std::wstring(L".\\") + bare;
  } else {
    std::unique_ptr<wchar_t[]> local;
    const wchar_t* computer = service->Computer;
    if (computer == nullptr) {
      wchar_t* unc = nullptr;
      GetLocalComputerUnc(&unc);
      local.reset(unc);
      computer = unc;
    }
    const wchar_t* computerName = std::wcslen(computer) >= 2 ? computer + 2 : L"";
    *name = std::wcscmp(computerName, domain) == 0 ? std::wstring(L".\\") + bare
                                                     : std::wstring(domain) + L"\\" + bare;
  }
  return name->size() < kAccountNameChars;
}

}  // namespace

void InitLsaString(LSA_UNICODE_STRING* out, const wchar_t* text) {
  if (text == nullptr) {
    out->Length = 0;
    out->MaximumLength = 0;
    out->Buffer = nullptr;
    return;
  }
  constexpr std::size_t kMaxChars = (0xFFFF / sizeof(WCHAR)) - 1;
  std::size_t chars = std::wcslen(text);
  if (chars > kMaxChars) chars = kMaxChars;
  out->Length = static_cast<USHORT>(chars * sizeof(WCHAR));
  out->MaximumLength = static_cast<USHORT>(out->Length + sizeof(WCHAR));
  out->Buffer = const_cast<PWSTR>(text);
}

void ReadServiceConfig(TqService* service) {
  Q_MESSAGE(kInfoFailed, L"Getting Service information failed!");
  Q_MESSAGE(kDescriptionFailed, L"Getting value of field 'Description:' failed!");
  service->SetConfigBlock(nullptr);
  OpenedService opened;
  Open(service, &opened);
  DWORD needed = 0;
  if (Scm().QueryServiceConfigW(opened.service.Get(), nullptr, 0, &needed) ||
      Sys().GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < sizeof(QUERY_SERVICE_CONFIGW))
    Raise(kInfoFailed.Translate());
  std::unique_ptr<BYTE[]> block(new BYTE[needed]());
  if (!Scm().QueryServiceConfigW(opened.service.Get(),
                                 reinterpret_cast<LPQUERY_SERVICE_CONFIGW>(block.get()), needed,
                                 &needed))
    Raise(kInfoFailed.Translate());
  service->SetConfigBlock(block.release());

  DWORD descriptionNeeded = 0;
  if (!Scm().QueryServiceConfig2W(opened.service.Get(), SERVICE_CONFIG_DESCRIPTION,
                                  service->DescriptionBlock, kDescriptionBlockBytes,
                                  &descriptionNeeded)) {
    Sys().MessageBoxW(nullptr, kDescriptionFailed.Translate(), L"Information",
                      MB_TASKMODAL | MB_ICONINFORMATION);
  }
}

void ReadRecoverySettings(TqService* service) {
  Q_MESSAGE(kMemoryFailed, L"Memory allocation failed!");
  Q_MESSAGE(kConfigFailed, L"Getting Service configuration failed!");
  service->SetRecoveryBlock(nullptr);
  OpenedService opened;
  Open(service, &opened);
  DWORD needed = 0;
  // The size query must fail for want of a buffer; a manager that refuses the level
  // (or any other failure) has no settings to give.
  if (Scm().QueryServiceConfig2W(opened.service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0,
                                 &needed) ||
      Sys().GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      needed < sizeof(SERVICE_FAILURE_ACTIONSW)) {
    ShowError(new TError(kConfigFailed.Translate()));
    return;
  }
  auto* block = static_cast<BYTE*>(Sys().LocalAlloc(LPTR, needed));
  if (block == nullptr) {
    ShowError(new TError(kMemoryFailed.Translate()));
    return;
  }
  if (!Scm().QueryServiceConfig2W(opened.service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS, block,
                                  needed, &needed)) {
    Sys().LocalFree(block);
    ShowError(new TError(kConfigFailed.Translate()));
    return;
  }
  service->SetRecoveryBlock(block);
}

void WriteRecoverySettings(TqService* service) {
  Q_MESSAGE(kChangeFailed, L"Failed to cgange configuration!");
  if (service->RecoveryBlock == nullptr) return;
  OpenedService opened;
  Open(service, &opened);
  if (!Scm().ChangeServiceConfig2W(opened.service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS,
                                   service->RecoveryBlock))
    ShowError(new TError(kChangeFailed.Translate()));
}

void WriteServiceConfig(TqService* service, unsigned serviceType, unsigned startType,
                        unsigned errorControl, const wchar_t* executablePath,
                        const wchar_t* loadOrderGroup, const wchar_t* dependencies,
                        CAccount* account, const wchar_t* password, const wchar_t* displayName,
                        const wchar_t* description) {
  Q_MESSAGE(kDatabaseDenied, L"Access to Services database denied!");
  Q_MESSAGE(kLockFailed, L"Failed to lock Service database!");
  Q_MESSAGE(kServiceDenied, L"Access to Service denied!");
  Q_MESSAGE(kChangeFailed, L"Failed to change Service properties!");
  Q_MESSAGE(kLsaDenied, L"Access to LSA denied!");
  Q_MESSAGE(kRightGranted, L"User %s get right on 'Log on as service'");
  Q_MESSAGE(kRightFailed, L"Failed to set privilege on 'Log on as service'!");

  // 1. The account name and password to pass (null: unchanged).
  const bool isService = service->ListKind == kListServices;
  std::wstring accountName;
  std::wstring passwordText;
  bool passAccount = false;
  bool passPassword = false;
  bool localSystem = false;
  if (isService) {
    if (account != nullptr) {
      // An account that cannot be named would be written as something else.
      if (!ComposeAccountName(service, account, &accountName, &localSystem))
        Raise(kChangeFailed.Translate());
      passAccount = true;
    }
    if (localSystem) {
      passPassword = true;  // the empty text
    } else if (password != nullptr) {
      passwordText = password;
      passPassword = true;
    }
  }

  // 2-4. The change itself, with the database locked.
  bool written = true;
  {
    ScHandle manager(Scm().OpenSCManagerW(service->Computer, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) Raise(kDatabaseDenied.Translate());
    SC_LOCK lock = Scm().LockServiceDatabase(manager.Get());
    if (lock == nullptr) Raise(kLockFailed.Translate());
    ScHandle handle(Scm().OpenServiceW(manager.Get(), service->Name(), SERVICE_ALL_ACCESS));
    if (!handle) {
      Scm().UnlockServiceDatabase(lock);
      Raise(kServiceDenied.Translate());
    }
    if (!Scm().ChangeServiceConfigW(handle.Get(), serviceType, startType, errorControl,
                                    executablePath, loadOrderGroup, nullptr, dependencies,
                                    passAccount ? accountName.c_str() : nullptr,
                                    passPassword ? passwordText.c_str() : nullptr, displayName))
      written = false;
    if (description != nullptr) {
      SERVICE_DESCRIPTIONW record;
      record.lpDescription = const_cast<LPWSTR>(description);
      if (!Scm().ChangeServiceConfig2W(handle.Get(), SERVICE_CONFIG_DESCRIPTION, &record))
        written = false;
    }
    Scm().UnlockServiceDatabase(lock);
  }
  if (!written) Raise(kChangeFailed.Translate());

  // 5. The right to log on as a service for any account but the local system.
  if (!isService || account == nullptr || localSystem) return;
  PSID sid = nullptr;
  bool added = false;
  if (account->GetSid(&sid) == 0 && sid != nullptr) {
    LSA_UNICODE_STRING computer;
    InitLsaString(&computer, service->Computer);
    LSA_OBJECT_ATTRIBUTES attributes;
    std::memset(&attributes, 0, sizeof(attributes));
    LSA_HANDLE policy = nullptr;
    if (Scm().LsaOpenPolicy(service->Computer != nullptr ? &computer : nullptr, &attributes,
                            POLICY_ALL_ACCESS, &policy) != STATUS_SUCCESS)
      Raise(kLsaDenied.Translate());
    wchar_t rightName[] = L"SeServiceLogonRight";
    LSA_UNICODE_STRING right;
    InitLsaString(&right, rightName);
    added = Scm().LsaAddAccountRights(policy, sid, &right, 1) == STATUS_SUCCESS;
    Scm().LsaClose(policy);
    if (added) {
      const std::wstring text = SafeFormat(kRightGranted.Translate(), {accountName.c_str()});
      Sys().MessageBoxW(nullptr, text.c_str(), L"Information", MB_TASKMODAL | MB_ICONINFORMATION);
    }
  }
  if (!added) Raise(kRightFailed.Translate());
}

BYTE* BuildRecoveryBlock(DWORD resetPeriod, const wchar_t* rebootMessage, const wchar_t* command,
                         const SC_ACTION actions[3]) {
  const wchar_t* message = rebootMessage != nullptr ? rebootMessage : L"";
  const wchar_t* line = command != nullptr ? command : L"";
  const std::size_t messageBytes = (std::wcslen(message) + 1) * sizeof(WCHAR);
  const std::size_t commandBytes = (std::wcslen(line) + 1) * sizeof(WCHAR);
  // The record, the two texts, then the actions at the record's alignment.
  const std::size_t messageAt = sizeof(SERVICE_FAILURE_ACTIONSW);
  const std::size_t commandAt = messageAt + messageBytes;
  std::size_t actionsAt = commandAt + commandBytes;
  const std::size_t align = alignof(SC_ACTION);
  actionsAt = (actionsAt + align - 1) / align * align;
  const std::size_t total = actionsAt + 3 * sizeof(SC_ACTION);
  auto* block = static_cast<BYTE*>(Sys().LocalAlloc(LPTR, total));
  if (block == nullptr) return nullptr;
  auto* record = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(block);
  record->dwResetPeriod = resetPeriod;
  record->lpRebootMsg = reinterpret_cast<LPWSTR>(block + messageAt);
  record->lpCommand = reinterpret_cast<LPWSTR>(block + commandAt);
  record->cActions = 3;
  record->lpsaActions = reinterpret_cast<SC_ACTION*>(block + actionsAt);
  std::memcpy(block + messageAt, message, messageBytes);
  std::memcpy(block + commandAt, line, commandBytes);
  std::memcpy(block + actionsAt, actions, 3 * sizeof(SC_ACTION));
  return block;
}

}  // namespace Q
