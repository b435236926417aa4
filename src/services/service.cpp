#include "services/service.h"

#include <cstring>
#include <memory>

#include "app/error.h"
#include "platform/system.h"
#include "text/coredict.h"

namespace Q {

const TqCodeText StartTypeTable[] = {
    {SERVICE_BOOT_START, L"[0] SERVICE BOOT START (for drivers)"},
    {SERVICE_SYSTEM_START, L"[1] SERVICE SYSTEM START (for drivers)"},
    {SERVICE_AUTO_START, L"[2] Automatic"},
    {SERVICE_DEMAND_START, L"[3] Manual"},
    {SERVICE_DISABLED, L"[4] Disabled"},
};
const int StartTypeTableCount = sizeof(StartTypeTable) / sizeof(StartTypeTable[0]);

const TqCodeText ServiceTypeTable[] = {
    {SERVICE_WIN32_OWN_PROCESS, L"SERVICE_WIN32_OWN_PROCESS"},
    {SERVICE_WIN32_SHARE_PROCESS, L"SERVICE_WIN32_SHARE_PROCESS"},
    {SERVICE_KERNEL_DRIVER, L"SERVICE_KERNEL_DRIVER"},
    {SERVICE_FILE_SYSTEM_DRIVER, L"SERVICE_FILE_SYSTEM_DRIVER"},
};
const int ServiceTypeTableCount = sizeof(ServiceTypeTable) / sizeof(ServiceTypeTable[0]);

const TqCodeText ErrorControlTable[] = {
    {SERVICE_ERROR_IGNORE, L"SERVICE_ERROR_IGNORE"},
    {SERVICE_ERROR_NORMAL, L"SERVICE_ERROR_NORMAL"},
    {SERVICE_ERROR_SEVERE, L"SERVICE_ERROR_SEVERE"},
    {SERVICE_ERROR_CRITICAL, L"SERVICE_ERROR_CRITICAL"},
};
const int ErrorControlTableCount = sizeof(ErrorControlTable) / sizeof(ErrorControlTable[0]);

const TqCodeText CurrentStateTable[] = {
    {SERVICE_STOPPED, L"The service is not running"},
    {SERVICE_START_PENDING, L"The service is starting..."},
    {SERVICE_STOP_PENDING, L"The service is stopping..."},
    {SERVICE_RUNNING, L"The service is running"},
    {SERVICE_CONTINUE_PENDING, L"The service continue is pending"},
    {SERVICE_PAUSE_PENDING, L"The service pause is pending"},
    {SERVICE_PAUSED, L"The service is paused"},
};
const int CurrentStateTableCount = sizeof(CurrentStateTable) / sizeof(CurrentStateTable[0]);

const TqCodeText RecoveryActionTable[] = {
    {SC_ACTION_NONE, L"No action"},
    {SC_ACTION_REBOOT, L"Reboot the computer"},
    {SC_ACTION_RESTART, L"Restart the service"},
    {SC_ACTION_RUN_COMMAND, L"Run a command"},
};
const int RecoveryActionTableCount = sizeof(RecoveryActionTable) / sizeof(RecoveryActionTable[0]);

const wchar_t* CodeText(const TqCodeText* table, int count, unsigned code) {
  for (int i = 0; i < count; ++i)
    if (table[i].Code == code) return table[i].Text;
  return nullptr;
}

namespace {

[[noreturn]] void RaiseCreatingFailed() {
  Q_MESSAGE(kCreatingFailed, L"Creating object failed!");
  throw new TError(kCreatingFailed.Translate());
}

}  // namespace

// --- TqService -------------------------------------------------------------------------

TqService::TqService(const wchar_t* serviceName, const wchar_t* displayName,
                     unsigned char listKind, DWORD serviceType, DWORD currentState,
                     DWORD controlsAccepted, DWORD win32ExitCode, DWORD serviceSpecificExitCode,
                     DWORD checkPoint, DWORD waitHint, const wchar_t* computer)
    : TqObject(serviceName),
      DisplayName(nullptr),
      Computer(nullptr),
      ListKind(listKind),
      ConfigBlock(nullptr),
      DescriptionBlock(nullptr),
      RecoveryBlock(nullptr),
      Status{serviceType, currentState, controlsAccepted, win32ExitCode,
             serviceSpecificExitCode, checkPoint, waitHint},
      DependentsBlock(nullptr),
      DependentsCount(0) {
  if (serviceName == nullptr) RaiseCreatingFailed();
  expandable_ = 0;
  std::unique_ptr<wchar_t[]> display(NewWideCopy(displayName));
  std::unique_ptr<wchar_t[]> comp(NewWideCopy(computer));
  DescriptionBlock = new BYTE[kDescriptionBlockBytes]();
  DisplayName = display.release();
  Computer = comp.release();
}

TqService::~TqService() {
  delete[] DisplayName;
  delete[] Computer;
  delete[] ConfigBlock;
  delete[] DependentsBlock;
  delete[] DescriptionBlock;
  if (RecoveryBlock != nullptr) Sys().LocalFree(RecoveryBlock);
}

void TqService::GetDisplayName(wchar_t** out) {
  *out = NewWideCopy(DisplayName != nullptr && *DisplayName != L'\0' ? DisplayName
                                                                      : L"[no_display_name]");
}

unsigned char TqService::GetKind() { return kKindService; }

void TqService::SetConfigBlock(BYTE* block) {
  delete[] ConfigBlock;
  ConfigBlock = block;
}

void TqService::SetRecoveryBlock(BYTE* block) {
  if (RecoveryBlock != nullptr) Sys().LocalFree(RecoveryBlock);
  RecoveryBlock = block;
}

void TqService::SetDependentsBlock(BYTE* block, DWORD count) {
  delete[] DependentsBlock;
  DependentsBlock = block;
  DependentsCount = block != nullptr ? count : 0;
}

// --- TqServiceList ---------------------------------------------------------------------

TqServiceList::TqServiceList(const wchar_t* name, unsigned char listKind, const wchar_t* computer)
    : TqObject(name), computer_(nullptr), listKind_(listKind) {
  if (name == nullptr) RaiseCreatingFailed();
  expandable_ = 1;
  computer_ = NewWideCopy(computer);
}

TqServiceList::~TqServiceList() { delete[] computer_; }

unsigned char TqServiceList::GetKind() { return kKindServiceList; }

void TqServiceList::Enumerate(TqObject*** children, int* count) {
  Q_MESSAGE(kDatabaseDenied, L"Access to Services database denied!");
  Q_MESSAGE(kUnknownType, L"Unknown Service Type!");
  Q_MESSAGE(kEnumFailed, L"EnumServicesStatus failed!");
  *children = nullptr;
  *count = 0;

  ScHandle manager(Scm().OpenSCManagerW(computer_, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) throw new TError(kDatabaseDenied.Translate());
  DWORD mask = 0;
  switch (listKind_) {
    case kListServices: mask = SERVICE_WIN32; break;
    case kListDrivers: mask = SERVICE_DRIVER; break;
    default: throw new TError(kUnknownType.Translate());
  }

  // First call without a buffer: success means no entries, ERROR_MORE_DATA the size.
  DWORD needed = 0, returned = 0, resume = 0;
  if (Scm().EnumServicesStatusW(manager.Get(), mask, SERVICE_STATE_ALL, nullptr, 0, &needed,
                                &returned, &resume)) {
    return;
  }
  if (Sys().GetLastError() != ERROR_MORE_DATA) throw new TError(kEnumFailed.Translate());

  // Then the entries. The platform's manager fills at most 256 KB per call and, when more
  // remain, says where to go on (resume value), so a large database takes more than one
  // call. A manager that does not move the resume value on (Wine's) gets no further
  // call: its entries would start again from the first one.
  TqChildren list;
  for (;;) {
    std::unique_ptr<BYTE[]> buffer(new BYTE[needed > 0 ? needed : 1]());
    auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.get());
    const DWORD resumeBefore = resume;
    DWORD more = 0;
    returned = 0;
    const BOOL done = Scm().EnumServicesStatusW(manager.Get(), mask, SERVICE_STATE_ALL, entries,
                                                needed, &more, &returned, &resume);
    const bool partial = !done && Sys().GetLastError() == ERROR_MORE_DATA && returned > 0 &&
                         resume != resumeBefore;
    if (!done && !partial) throw new TError(kEnumFailed.Translate());
    for (DWORD i = 0; i < returned; ++i) {
      const SERVICE_STATUS& st = entries[i].ServiceStatus;
      list.Add(new TqService(entries[i].lpServiceName, entries[i].lpDisplayName, listKind_,
                             st.dwServiceType, st.dwCurrentState, st.dwControlsAccepted,
                             st.dwWin32ExitCode, st.dwServiceSpecificExitCode, st.dwCheckPoint,
                             st.dwWaitHint, computer_));
    }
    if (done) break;
    needed = more;
  }
  list.Release(children, count);
}

}  // namespace Q
