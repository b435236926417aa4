// Service control: refresh a record's status and dependents, start a service and send it
// stop, pause or continue, waiting on the calling thread for the wanted state.
#pragma once

#include "services/service.h"

namespace Q {

// Outcome codes of ControlServiceAndWait and their texts: kControlOutcomeCount slots of
// kControlOutcomeSlot characters each. Each call works on its own copy of the table.
constexpr int kControlOutcomeCount = 7;
constexpr int kControlOutcomeSlot = 255;
enum TqControlOutcome {
  kControlOk = 0,
  kControlDatabaseFailed = 1,
  kControlServiceDenied = 2,
  kControlStatusFailed = 3,
  kControlTimedOut = 4,
  kControlDependentDenied = 5,
  kControlUnknownError = 6,
};
extern const wchar_t ControlOutcomeTable[kControlOutcomeCount][kControlOutcomeSlot];

// Reads the service's status into service->Status.
void RefreshServiceStatus(TqService* service);

// Replaces the record's dependents (every service that depends on it, in any state).
void RefreshDependents(TqService* service);

// Sends `control` (1 stop, 2 pause, 3 continue) and waits until the service reaches the
// matching state or `timeoutMs` has passed. With `stopDependents`, the active dependents
// are sent the control first, each waited for. Failures raise TError.
void ControlServiceAndWait(TqService* service, unsigned control, bool stopDependents,
                           unsigned timeoutMs);

// Starts the service with `argc` start arguments (0 and null: none) and waits while it
// is start pending, at most `timeoutMs`. Failures raise "Failed to start Service!".
void StartServiceAndWait(TqService* service, unsigned timeoutMs, unsigned argc,
                         const wchar_t** argv);

// How long to sleep before the next status query: the service's wait hint, but at least
// kMinPollMs (a zero hint must not spin) and no longer than the time left until the
// limit has passed (a huge hint must not block the caller past the limit).
constexpr DWORD kMinPollMs = 10;
DWORD PollInterval(DWORD waitHint, DWORD elapsedMs, DWORD timeoutMs);

}  // namespace Q
