#include "services/control.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "app/error.h"
#include "platform/system.h"
#include "text/coredict.h"

namespace Q {

const wchar_t ControlOutcomeTable[kControlOutcomeCount][kControlOutcomeSlot] = {
    L"OK!",
    L"Failed to open Services database!",
    L"Access to Service denied!",
    L"Getting Service Status failed!",
    L"Limit of Sevice answer expectation has exceeded!",
    L"Access to Servise depend on this Service denied!",
    L"Unknown error!",
};

DWORD PollInterval(DWORD waitHint, DWORD elapsedMs, DWORD timeoutMs) {
  // 64 bits: one step past a limit of 0xFFFFFFFF must not wrap to 0.
  const uint64_t left = elapsedMs < timeoutMs ? timeoutMs - elapsedMs : 0;
  uint64_t interval = waitHint;
  if (interval > left + 1) interval = left + 1;  // one step past the limit is enough
  if (interval < kMinPollMs) interval = kMinPollMs;
  return static_cast<DWORD>(interval);
}

namespace {

// The manager of the record's computer and the service by its name.
struct OpenService {
  ScHandle manager;
  ScHandle service;
};

// Measures the time since construction on the system's millisecond tick counter.
class Deadline {
 public:
  explicit Deadline(DWORD limitMs) : start_(Sys().GetTickCount()), limit_(limitMs) {}
  DWORD Elapsed() const { return Sys().GetTickCount() - start_; }  // unsigned: wraps safely
  bool Passed() const { return Elapsed() > limit_; }
  void SleepFor(DWORD waitHint) const { Sys().Sleep(PollInterval(waitHint, Elapsed(), limit_)); }

 private:
  DWORD start_;
  DWORD limit_;
};

// Waits for `handle` to reach `target`: sleep, query, until it does (kControlOk), a query
// fails (`queryFailure`) or the limit passes (kControlTimedOut).
int WaitFor(SC_HANDLE handle, DWORD target, SERVICE_STATUS& status, const Deadline& deadline,
            int queryFailure) {
  while (status.dwCurrentState != target) {
    deadline.SleepFor(status.dwWaitHint);
    if (!Scm().QueryServiceStatus(handle, &status)) return queryFailure;
    if (status.dwCurrentState == target) break;
    if (deadline.Passed()) return kControlTimedOut;
  }
  return kControlOk;
}

// Sends `control` to every active dependent of `service`, in the order the manager lists
// them (each before the services it depends on), and waits for each.
int ControlDependents(SC_HANDLE manager, SC_HANDLE service, DWORD control, DWORD target,
                      DWORD pending, SERVICE_STATUS& status, const Deadline& deadline) {
  DWORD needed = 0, count = 0;
  if (Scm().EnumDependentServicesW(service, SERVICE_ACTIVE, nullptr, 0, &needed, &count))
    return kControlOk;
  if (Sys().GetLastError() != ERROR_MORE_DATA) return kControlUnknownError;
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[needed > 0 ? needed : 1]());
  if (!buffer) return kControlUnknownError;
  auto* entries = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.get());
  if (!Scm().EnumDependentServicesW(service, SERVICE_ACTIVE, entries, needed, &needed, &count))
    return kControlDependentDenied;
  for (DWORD i = 0; i < count; ++i) {
    ScHandle dependent(Scm().OpenServiceW(manager, entries[i].lpServiceName, SERVICE_ALL_ACCESS));
    if (!dependent) return kControlDependentDenied;
    if (!Scm().ControlService(dependent.Get(), control, &status)) {
      // A dependent that has reached the target state or is on its way there since it
      // was listed (it stopped by itself, or is stopping) needs no request of its own.
      if (!Scm().QueryServiceStatus(dependent.Get(), &status)) return kControlDependentDenied;
      if (status.dwCurrentState != target && status.dwCurrentState != pending)
        return kControlDependentDenied;
    }
    const int outcome = WaitFor(dependent.Get(), target, status, deadline, kControlDependentDenied);
    if (outcome != kControlOk) return outcome;
  }
  return kControlOk;
}

int RunControl(TqService* service, DWORD control, DWORD target, DWORD pending,
               bool stopDependents, unsigned timeoutMs) {
  ScHandle manager(Scm().OpenSCManagerW(service->Computer, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return kControlDatabaseFailed;
  ScHandle handle(Scm().OpenServiceW(manager.Get(), service->Name(), SERVICE_ALL_ACCESS));
  if (!handle) return kControlServiceDenied;
  const Deadline deadline(timeoutMs);

  SERVICE_STATUS status{};
  if (!Scm().QueryServiceStatus(handle.Get(), &status)) return kControlStatusFailed;
  if (status.dwCurrentState == target) return kControlOk;
  // Already on its way: wait for it instead of sending the request again.
  while (status.dwCurrentState == pending) {
    deadline.SleepFor(status.dwWaitHint);
    if (!Scm().QueryServiceStatus(handle.Get(), &status)) return kControlStatusFailed;
    if (status.dwCurrentState == target) return kControlOk;
    if (deadline.Passed()) return kControlTimedOut;
  }

  if (stopDependents) {
    const int outcome =
        ControlDependents(manager.Get(), handle.Get(), control, target, pending, status, deadline);
    if (outcome != kControlOk) return outcome;
  }

  if (!Scm().ControlService(handle.Get(), control, &status)) return kControlServiceDenied;
  return WaitFor(handle.Get(), target, status, deadline, kControlServiceDenied);
}

void OpenRecordService(TqService* service, OpenService& open, wchar_t* databaseMessage,
                       wchar_t* serviceMessage) {
  open.manager.Reset(Scm().OpenSCManagerW(service->Computer, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!open.manager) throw new TError(TranslateInPlace(databaseMessage));
  open.service.Reset(Scm().OpenServiceW(open.manager.Get(), service->Name(), SERVICE_ALL_ACCESS));
  if (!open.service) throw new TError(TranslateInPlace(serviceMessage));
}

}  // namespace

void RefreshServiceStatus(TqService* service) {
  Q_MESSAGE(kDatabaseFailed, L"Failed to open Services database!");
  Q_MESSAGE(kServiceDenied, L"Access to Service denied!");
  Q_MESSAGE(kStateFailed, L"Getting Service state failed!");
  OpenService open;
  OpenRecordService(service, open, kDatabaseFailed.Buffer(), kServiceDenied.Buffer());
  SERVICE_STATUS status{};
  if (!Scm().QueryServiceStatus(open.service.Get(), &status))
    throw new TError(kStateFailed.Translate());
  service->Status = status;
}

void RefreshDependents(TqService* service) {
  Q_MESSAGE(kDatabaseFailed, L"Failed to open Services database!");
  Q_MESSAGE(kServiceDenied, L"Access to Service denied!");
  Q_MESSAGE(kDependentsFailed, L"Getting Services depend on this Service failed!");
  service->SetDependentsBlock(nullptr, 0);
  OpenService open;
  OpenRecordService(service, open, kDatabaseFailed.Buffer(), kServiceDenied.Buffer());
  // The first call only reports the size; its result is not needed.
  DWORD needed = 0, count = 0;
  Scm().EnumDependentServicesW(open.service.Get(), SERVICE_STATE_ALL, nullptr, 0, &needed,
                               &count);
  auto* block = new BYTE[needed]();
  service->SetDependentsBlock(block, 0);
  count = 0;
  if (!Scm().EnumDependentServicesW(open.service.Get(), SERVICE_STATE_ALL,
                                    reinterpret_cast<ENUM_SERVICE_STATUSW*>(block), needed,
                                    &needed, &count)) {
    // The block stays with the record, holding no entries.
    throw new TError(kDependentsFailed.Translate());
  }
  service->DependentsCount = count;
}

void ControlServiceAndWait(TqService* service, unsigned control, bool stopDependents,
                           unsigned timeoutMs) {
  Q_MESSAGE(kNotSupported, L"Control operatop not supported!");
  DWORD target = 0, pending = 0;
  switch (control) {
    case SERVICE_CONTROL_STOP: target = SERVICE_STOPPED; pending = SERVICE_STOP_PENDING; break;
    case SERVICE_CONTROL_PAUSE: target = SERVICE_PAUSED; pending = SERVICE_PAUSE_PENDING; break;
    case SERVICE_CONTROL_CONTINUE: target = SERVICE_RUNNING; pending = SERVICE_CONTINUE_PENDING; break;
    default: throw new TError(kNotSupported.Translate());
  }
  // A fresh copy of the outcome texts: the translation of one code is made in the copy,
  // cut to the English text's length, and the table itself never changes.
  wchar_t messages[kControlOutcomeCount][kControlOutcomeSlot];
  std::memcpy(messages, ControlOutcomeTable, sizeof(messages));
  const int outcome = service == nullptr
                          ? kControlServiceDenied
                          : RunControl(service, control, target, pending, stopDependents, timeoutMs);
  if (outcome == kControlOk) return;
  throw new TError(TranslateInPlace(messages[outcome]));
}

void StartServiceAndWait(TqService* service, unsigned timeoutMs, unsigned argc,
                         const wchar_t** argv) {
  Q_MESSAGE(kDatabaseDenied, L"Access to Services database denied!");
  Q_MESSAGE(kServiceDenied, L"Access to Service denied!");
  Q_MESSAGE(kStartFailed, L"Failed to start Service!");
  OpenService open;
  OpenRecordService(service, open, kDatabaseDenied.Buffer(), kServiceDenied.Buffer());
  SC_HANDLE handle = open.service.Get();
  if (!Scm().StartServiceW(handle, argc, argv)) throw new TError(kStartFailed.Translate());
  SERVICE_STATUS status{};
  if (!Scm().QueryServiceStatus(handle, &status)) throw new TError(kStartFailed.Translate());
  const Deadline deadline(timeoutMs);
  // Any state but start pending ends the wait normally, stopped included: the service
  // has answered, and the views show what it answered.
  while (status.dwCurrentState == SERVICE_START_PENDING) {
    deadline.SleepFor(status.dwWaitHint);
    if (!Scm().QueryServiceStatus(handle, &status)) throw new TError(kStartFailed.Translate());
    if (status.dwCurrentState != SERVICE_START_PENDING) break;
    if (deadline.Passed()) throw new TError(kStartFailed.Translate());
  }
}

}  // namespace Q
