// The simulated computer's service control manager and local security authority.
//
// Services and drivers carry every status and configuration field, a description and
// recovery settings, dependencies (and therefore dependents), and a state machine driven
// by the virtual clock: each start, stop, pause and continue takes its own time and
// reports its own wait hint. Services can refuse to start, fail while starting, never
// leave a pending state or stop on their own; access can be denied per service and per
// operation; every call is logged and can be made to fail (FailureInjector); handles are
// tracked so that a test can assert that every one was closed.
//
//   scm.AddService(L"Spooler").Display(L"Print Spooler").Running().AcceptsStop()
//      .DependsOn(L"RPCSS");
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "services/platform/scm.h"
#include "sim/call_log.h"
#include "sim/clock.h"

namespace sim {

class SimSystem;

// How long one transition takes and the wait hint the service reports meanwhile.
struct Transition {
  DWORD durationMs = 0;
  DWORD waitHintMs = 0;
};

// One service or driver of the simulated database.
struct SimService {
  std::wstring name;
  bool hasDisplayName = true;
  std::wstring displayName;

  // Configuration.
  DWORD serviceType = SERVICE_WIN32_OWN_PROCESS;
  DWORD startType = SERVICE_DEMAND_START;
  DWORD errorControl = SERVICE_ERROR_NORMAL;
  std::wstring binaryPath;
  std::wstring loadOrderGroup;
  DWORD tagId = 0;
  std::vector<std::wstring> dependencies;  // service names; "+Name" for a load-order group
  std::wstring account;                    // lpServiceStartName
  std::wstring password;                   // last password written (never read back)
  bool hasDescription = false;
  std::wstring description;

  // Recovery settings.
  DWORD resetPeriod = 0;
  bool hasRebootMessage = false;
  std::wstring rebootMessage;
  bool hasCommand = false;
  std::wstring command;
  std::vector<SC_ACTION> actions;

  // Status.
  DWORD state = SERVICE_STOPPED;
  DWORD controlsAccepted = 0;  // reported while running or paused
  DWORD win32ExitCode = 0;
  DWORD serviceExitCode = 0;

  // Behaviour.
  Transition start, stop, pause, resume;
  DWORD refuseStartError = 0;     // StartServiceW fails at once with this error
  DWORD failStartExitCode = 0;    // start pending, then stopped with this exit code
  bool hangsStarting = false;     // never leaves start pending
  bool hangsStopping = false;     // never leaves stop pending
  DWORD stopsOnItsOwnAfterMs = 0; // running, then stopped by itself (0: never)

  // Access.
  bool openFails = false;
  DWORD openError = ERROR_ACCESS_DENIED;
  DWORD grantedAccess = SERVICE_ALL_ACCESS;
  std::map<std::string, DWORD> deniedOperations;  // platform name -> error

  // What the service has seen.
  int startCount = 0;
  std::vector<std::wstring> lastStartArguments;
  std::vector<DWORD> controlsReceived;

  // Scheduled change of state (clock time), applied lazily when the service is looked at.
  bool scheduled = false;
  DWORD nextState = 0;
  uint64_t dueAt = 0;
  uint64_t pendingSince = 0;
};

class SimScm;

// Chained builder of one service: each call sets one field or behaviour.
class ServiceBuilder {
 public:
  ServiceBuilder(SimScm& scm, SimService& service) : scm_(scm), s_(service) {}

  ServiceBuilder& Display(const std::wstring& text);
  ServiceBuilder& NoDisplayName();
  ServiceBuilder& Type(DWORD serviceType);
  ServiceBuilder& StartType(DWORD startType);
  ServiceBuilder& ErrorControl(DWORD errorControl);
  ServiceBuilder& Path(const std::wstring& binaryPath);
  ServiceBuilder& Group(const std::wstring& loadOrderGroup);
  ServiceBuilder& Tag(DWORD tagId);
  ServiceBuilder& Account(const std::wstring& account);
  ServiceBuilder& Description(const std::wstring& text);
  ServiceBuilder& DependsOn(const std::wstring& name);
  ServiceBuilder& Recovery(DWORD resetPeriod, std::vector<SC_ACTION> actions,
                           const std::wstring& rebootMessage = L"",
                           const std::wstring& command = L"");

  ServiceBuilder& Stopped();
  ServiceBuilder& Running();
  ServiceBuilder& Paused();
  ServiceBuilder& InState(DWORD state);  // any state, pending ones included
  ServiceBuilder& AcceptsStop();
  ServiceBuilder& AcceptsPauseContinue();
  ServiceBuilder& Accepts(DWORD controls);
  ServiceBuilder& ExitCodes(DWORD win32ExitCode, DWORD serviceExitCode);

  ServiceBuilder& StartTakes(DWORD ms, DWORD waitHint);
  ServiceBuilder& StopTakes(DWORD ms, DWORD waitHint);
  ServiceBuilder& PauseTakes(DWORD ms, DWORD waitHint);
  ServiceBuilder& ContinueTakes(DWORD ms, DWORD waitHint);
  ServiceBuilder& RefusesToStart(DWORD error = ERROR_SERVICE_LOGON_FAILED);
  ServiceBuilder& FailsWhileStarting(DWORD serviceExitCode = 1);
  ServiceBuilder& NeverStarts();  // stays start pending
  ServiceBuilder& NeverStops();   // stays stop pending
  ServiceBuilder& StopsOnItsOwnAfter(DWORD ms);

  ServiceBuilder& OpenFails(DWORD error = ERROR_ACCESS_DENIED);
  ServiceBuilder& GrantOnly(DWORD access);
  ServiceBuilder& Deny(const std::string& operation, DWORD error = ERROR_ACCESS_DENIED);

  SimService& Record() { return s_; }

 private:
  SimScm& scm_;
  SimService& s_;
};

class SimScm final : public Q::IServiceManager {
 public:
  SimScm(Clock& clock, CallLog& log, FailureInjector& failures, SimSystem& system);
  ~SimScm() override;

  // --- Builder and inspection -------------------------------------------------------
  // A Win32 service (own process, demand start, stopped, display name = name).
  ServiceBuilder AddService(const std::wstring& name);
  // A kernel driver (demand start, stopped).
  ServiceBuilder AddDriver(const std::wstring& name);
  // The service of that name (aborts when there is none: a fault of the test).
  ServiceBuilder Service(const std::wstring& name);
  bool Exists(const std::wstring& name) const;
  void RemoveService(const std::wstring& name);
  std::size_t ServiceCount() const { return order_.size(); }

  // Status as a query would report it now (state machine brought up to the clock).
  SERVICE_STATUS StatusOf(const std::wstring& name);
  DWORD StateOf(const std::wstring& name) { return StatusOf(name).dwCurrentState; }

  // Names the manager answers to besides the local one (null, empty or this computer).
  void AddMachineName(const std::wstring& name);
  void SetLocalMachineName(const std::wstring& name);
  void SetManagerAccess(DWORD granted) { managerAccess_ = granted; }
  // The largest block one enumeration call fills (the platform's 256 KB).
  void SetEnumerationLimit(DWORD bytes) { enumLimit_ = bytes; }
  // Answers a partial enumeration as Wine's manager does: the resume value stays where
  // it was and the size needed is that of all entries.
  void KeepResumeValue(bool keep) { keepResume_ = keep; }

  // Another process holds the database lock.
  void LockDatabaseByOther(bool locked) { lockedByOther_ = locked; }
  bool DatabaseLocked() const { return lockedByOther_ || lock_ != nullptr; }

  // Handles not yet closed: manager and service handles, database locks, LSA policies.
  int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
  int OpenPolicyCount() const;
  std::vector<std::wstring> OpenHandleNames() const;

  // LSA: rights per account SID ("S-1-5-21-...").
  void GrantRight(const std::wstring& sid, const std::wstring& right);
  std::set<std::wstring> RightsOf(const std::wstring& sid) const;
  void SetPolicyAccess(DWORD granted) { policyAccess_ = granted; }
  // Text form of a SID, or "(invalid)"; "(null)" for null.
  static std::wstring SidText(PSID sid);

  // --- IServiceManager ----------------------------------------------------------------
  SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName,
                           DWORD desiredAccess) override;
  SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) override;
  BOOL CloseServiceHandle(SC_HANDLE handle) override;
  BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                           LPENUM_SERVICE_STATUSW services, DWORD bufSize, LPDWORD bytesNeeded,
                           LPDWORD servicesReturned, LPDWORD resumeHandle) override;
  BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState,
                              LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                              LPDWORD bytesNeeded, LPDWORD servicesReturned) override;
  BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) override;
  BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) override;
  BOOL StartServiceW(SC_HANDLE service, DWORD numServiceArgs,
                     LPCWSTR* serviceArgVectors) override;
  BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                           LPDWORD bytesNeeded) override;
  BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                            LPDWORD bytesNeeded) override;
  BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType,
                            DWORD errorControl, LPCWSTR binaryPathName, LPCWSTR loadOrderGroup,
                            LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                            LPCWSTR password, LPCWSTR displayName) override;
  BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) override;
  SC_LOCK LockServiceDatabase(SC_HANDLE manager) override;
  BOOL UnlockServiceDatabase(SC_LOCK lock) override;
  NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING systemName, PLSA_OBJECT_ATTRIBUTES objectAttributes,
                         ACCESS_MASK desiredAccess, PLSA_HANDLE policyHandle) override;
  NTSTATUS LsaAddAccountRights(LSA_HANDLE policyHandle, PSID accountSid,
                               PLSA_UNICODE_STRING userRights, ULONG countOfRights) override;
  NTSTATUS LsaClose(LSA_HANDLE objectHandle) override;

 private:
  friend class ServiceBuilder;
  enum class HandleKind { kManager, kService, kLock, kPolicy };
  struct Handle {
    HandleKind kind;
    std::wstring key;  // lower-case service name for a service handle
    DWORD access;
  };

  ServiceBuilder Add(const std::wstring& name, DWORD type);
  SimService* Find(const std::wstring& name);
  void* NewHandle(HandleKind kind, const std::wstring& key, DWORD access);
  Handle* Lookup(const void* handle, HandleKind kind);
  std::wstring HandleText(const void* handle) const;
  // The service behind a service handle, checked for `access`; null with the last error
  // set when the handle is bad, the access missing or the operation denied.
  SimService* ServiceFor(SC_HANDLE handle, DWORD access, const char* operation);
  bool Fails(const char* name);
  void Fail(DWORD error);
  bool IsLocalMachine(LPCWSTR machine) const;

  // State machine.
  void Settle(SimService& s);
  void Schedule(SimService& s, DWORD pendingState, DWORD nextState, const Transition& t,
                bool hangs);
  SERVICE_STATUS StatusNow(SimService& s);
  DWORD BeginStart(SimService& s, uint64_t notBefore);
  // True when a chain of dependencies from `s` leads back to a service of the chain.
  bool DependencyCycleFrom(SimService& s);
  // True when `from` depends on `target`, directly or not.
  bool DependsOnTransitively(SimService& from, const SimService& target);
  std::vector<SimService*> DependentsOf(SimService& s);
  void RebuildDependents();

  Clock& clock_;
  CallLog& log_;
  FailureInjector& failures_;
  SimSystem& system_;

  std::vector<std::unique_ptr<SimService>> order_;  // enumeration order
  std::map<std::wstring, SimService*> byName_;     // lower-case name
  std::map<std::wstring, std::vector<SimService*>> dependents_;  // direct dependents
  bool dependentsDirty_ = true;

  std::map<uintptr_t, Handle> handles_;
  uintptr_t nextHandle_ = 0x5c000;
  void* lock_ = nullptr;
  bool lockedByOther_ = false;
  DWORD managerAccess_ = SC_MANAGER_ALL_ACCESS;
  DWORD enumLimit_ = 256 * 1024;
  bool keepResume_ = false;
  std::wstring localName_ = L"SIMHOST";
  std::set<std::wstring> machineNames_;  // upper-case, without leading backslashes

  DWORD policyAccess_ = POLICY_ALL_ACCESS;
  std::map<std::wstring, std::set<std::wstring>> rights_;
};

}  // namespace sim
