#include "sim/scm.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>

#include "sim/system.h"

namespace sim {
namespace {

std::wstring StripBackslashes(const std::wstring& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == L'\\') ++i;
  return s.substr(i);
}

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
         state == SERVICE_CONTINUE_PENDING || state == SERVICE_PAUSE_PENDING;
}

bool IsDriver(DWORD type) { return (type & SERVICE_DRIVER) != 0; }

constexpr std::size_t kWchar = sizeof(WCHAR);

std::size_t StringBytes(const std::wstring& s) { return (s.size() + 1) * kWchar; }

// Bytes of a double-NUL-terminated list.
std::size_t ListBytes(const std::vector<std::wstring>& items) {
  std::size_t n = 1;
  for (const auto& item : items) n += item.size() + 1;
  return n * kWchar;
}

std::vector<std::wstring> ParseList(LPCWSTR list) {
  std::vector<std::wstring> out;
  if (list == nullptr) return out;
  for (const wchar_t* p = list; *p != L'\0'; p += std::wcslen(p) + 1) out.emplace_back(p);
  return out;
}

// Writes strings into a caller's block from `cursor` on.
class BlockWriter {
 public:
  explicit BlockWriter(BYTE* cursor) : cursor_(cursor) {}
  LPWSTR Put(const std::wstring& s) {
    auto* out = reinterpret_cast<LPWSTR>(cursor_);
    std::memcpy(cursor_, s.c_str(), StringBytes(s));
    cursor_ += StringBytes(s);
    return out;
  }
  LPWSTR PutList(const std::vector<std::wstring>& items) {
    auto* out = reinterpret_cast<LPWSTR>(cursor_);
    for (const auto& item : items) Put(item);
    const WCHAR nul = 0;
    std::memcpy(cursor_, &nul, kWchar);
    cursor_ += kWchar;
    return out;
  }

 private:
  BYTE* cursor_;
};

std::wstring LsaText(const LSA_UNICODE_STRING* s, bool* valid) {
  *valid = true;
  if (s == nullptr) return L"(null)";
  if (s->Length % kWchar != 0 || s->Length > s->MaximumLength ||
      (s->Length > 0 && s->Buffer == nullptr)) {
    *valid = false;
    return L"(invalid)";
  }
  return std::wstring(s->Buffer ? s->Buffer : L"", s->Length / kWchar);
}

}  // namespace

// --- Builder ---------------------------------------------------------------------------

ServiceBuilder& ServiceBuilder::Display(const std::wstring& text) {
  s_.hasDisplayName = true;
  s_.displayName = text;
  return *this;
}
ServiceBuilder& ServiceBuilder::NoDisplayName() {
  s_.hasDisplayName = false;
  s_.displayName.clear();
  return *this;
}
ServiceBuilder& ServiceBuilder::Type(DWORD serviceType) {
  s_.serviceType = serviceType;
  return *this;
}
ServiceBuilder& ServiceBuilder::StartType(DWORD startType) {
  s_.startType = startType;
  return *this;
}
ServiceBuilder& ServiceBuilder::ErrorControl(DWORD errorControl) {
  s_.errorControl = errorControl;
  return *this;
}
ServiceBuilder& ServiceBuilder::Path(const std::wstring& binaryPath) {
  s_.binaryPath = binaryPath;
  return *this;
}
ServiceBuilder& ServiceBuilder::Group(const std::wstring& loadOrderGroup) {
  s_.loadOrderGroup = loadOrderGroup;
  return *this;
}
ServiceBuilder& ServiceBuilder::Tag(DWORD tagId) {
  s_.tagId = tagId;
  return *this;
}
ServiceBuilder& ServiceBuilder::Account(const std::wstring& account) {
  s_.account = account;
  return *this;
}
ServiceBuilder& ServiceBuilder::Description(const std::wstring& text) {
  s_.hasDescription = true;
  s_.description = text;
  return *this;
}
ServiceBuilder& ServiceBuilder::DependsOn(const std::wstring& name) {
  s_.dependencies.push_back(name);
  scm_.dependentsDirty_ = true;
  return *this;
}
ServiceBuilder& ServiceBuilder::Recovery(DWORD resetPeriod, std::vector<SC_ACTION> actions,
                                         const std::wstring& rebootMessage,
                                         const std::wstring& command) {
  s_.resetPeriod = resetPeriod;
  s_.actions = std::move(actions);
  s_.hasRebootMessage = !rebootMessage.empty();
  s_.rebootMessage = rebootMessage;
  s_.hasCommand = !command.empty();
  s_.command = command;
  return *this;
}
ServiceBuilder& ServiceBuilder::Stopped() { return InState(SERVICE_STOPPED); }
ServiceBuilder& ServiceBuilder::Running() { return InState(SERVICE_RUNNING); }
ServiceBuilder& ServiceBuilder::Paused() { return InState(SERVICE_PAUSED); }
ServiceBuilder& ServiceBuilder::InState(DWORD state) {
  s_.state = state;
  s_.scheduled = false;
  s_.pendingSince = scm_.clock_.Now();
  // A service put into a pending state finishes it after its transition's time, unless
  // it is made to hang there.
  const Transition* t = nullptr;
  DWORD next = 0;
  bool hangs = false;
  switch (state) {
    case SERVICE_START_PENDING: t = &s_.start; next = SERVICE_RUNNING; hangs = s_.hangsStarting; break;
    case SERVICE_STOP_PENDING: t = &s_.stop; next = SERVICE_STOPPED; hangs = s_.hangsStopping; break;
    case SERVICE_PAUSE_PENDING: t = &s_.pause; next = SERVICE_PAUSED; break;
    case SERVICE_CONTINUE_PENDING: t = &s_.resume; next = SERVICE_RUNNING; break;
    default: break;
  }
  if (t != nullptr) scm_.Schedule(s_, state, next, *t, hangs);
  return *this;
}
ServiceBuilder& ServiceBuilder::AcceptsStop() { return Accepts(s_.controlsAccepted | SERVICE_ACCEPT_STOP); }
ServiceBuilder& ServiceBuilder::AcceptsPauseContinue() {
  return Accepts(s_.controlsAccepted | SERVICE_ACCEPT_PAUSE_CONTINUE);
}
ServiceBuilder& ServiceBuilder::Accepts(DWORD controls) {
  s_.controlsAccepted = controls;
  return *this;
}
ServiceBuilder& ServiceBuilder::ExitCodes(DWORD win32ExitCode, DWORD serviceExitCode) {
  s_.win32ExitCode = win32ExitCode;
  s_.serviceExitCode = serviceExitCode;
  return *this;
}
ServiceBuilder& ServiceBuilder::StartTakes(DWORD ms, DWORD waitHint) {
  s_.start = Transition{ms, waitHint};
  return *this;
}
ServiceBuilder& ServiceBuilder::StopTakes(DWORD ms, DWORD waitHint) {
  s_.stop = Transition{ms, waitHint};
  return *this;
}
ServiceBuilder& ServiceBuilder::PauseTakes(DWORD ms, DWORD waitHint) {
  s_.pause = Transition{ms, waitHint};
  return *this;
}
ServiceBuilder& ServiceBuilder::ContinueTakes(DWORD ms, DWORD waitHint) {
  s_.resume = Transition{ms, waitHint};
  return *this;
}
ServiceBuilder& ServiceBuilder::RefusesToStart(DWORD error) {
  s_.refuseStartError = error;
  return *this;
}
ServiceBuilder& ServiceBuilder::FailsWhileStarting(DWORD serviceExitCode) {
  s_.failStartExitCode = serviceExitCode;
  return *this;
}
ServiceBuilder& ServiceBuilder::NeverStarts() {
  s_.hangsStarting = true;
  if (s_.state == SERVICE_START_PENDING) s_.scheduled = false;
  return *this;
}
ServiceBuilder& ServiceBuilder::NeverStops() {
  s_.hangsStopping = true;
  if (s_.state == SERVICE_STOP_PENDING) s_.scheduled = false;
  return *this;
}
ServiceBuilder& ServiceBuilder::StopsOnItsOwnAfter(DWORD ms) {
  s_.stopsOnItsOwnAfterMs = ms;
  if (s_.state == SERVICE_RUNNING && ms > 0) {
    s_.scheduled = true;
    s_.nextState = SERVICE_STOPPED;
    s_.dueAt = scm_.clock_.Now() + ms;
  }
  return *this;
}
ServiceBuilder& ServiceBuilder::OpenFails(DWORD error) {
  s_.openFails = true;
  s_.openError = error;
  return *this;
}
ServiceBuilder& ServiceBuilder::GrantOnly(DWORD access) {
  s_.grantedAccess = access;
  return *this;
}
ServiceBuilder& ServiceBuilder::Deny(const std::string& operation, DWORD error) {
  s_.deniedOperations[operation] = error;
  return *this;
}

// --- Database --------------------------------------------------------------------------

SimScm::SimScm(Clock& clock, CallLog& log, FailureInjector& failures, SimSystem& system)
    : clock_(clock), log_(log), failures_(failures), system_(system) {}

SimScm::~SimScm() = default;

ServiceBuilder SimScm::Add(const std::wstring& name, DWORD type) {
  const std::wstring key = Lower(name);
  if (byName_.count(key)) {
    std::fprintf(stderr, "sim: service %ls added twice\n", name.c_str());
    std::abort();
  }
  auto service = std::make_unique<SimService>();
  service->name = name;
  service->displayName = name;
  service->serviceType = type;
  if (IsDriver(type)) {
    service->binaryPath = L"system32\\drivers\\" + name + L".sys";
  } else {
    service->binaryPath = L"C:\\WINDOWS\\system32\\" + name + L".exe";
    service->account = L"LocalSystem";
  }
  service->pendingSince = clock_.Now();
  SimService* raw = service.get();
  order_.push_back(std::move(service));
  byName_[key] = raw;
  dependentsDirty_ = true;
  return ServiceBuilder(*this, *raw);
}

ServiceBuilder SimScm::AddService(const std::wstring& name) {
  return Add(name, SERVICE_WIN32_OWN_PROCESS);
}

ServiceBuilder SimScm::AddDriver(const std::wstring& name) {
  return Add(name, SERVICE_KERNEL_DRIVER);
}

ServiceBuilder SimScm::Service(const std::wstring& name) {
  SimService* s = Find(name);
  if (s == nullptr) {
    std::fprintf(stderr, "sim: no service %ls\n", name.c_str());
    std::abort();
  }
  return ServiceBuilder(*this, *s);
}

bool SimScm::Exists(const std::wstring& name) const { return byName_.count(Lower(name)) != 0; }

void SimScm::RemoveService(const std::wstring& name) {
  auto it = byName_.find(Lower(name));
  if (it == byName_.end()) return;
  SimService* s = it->second;
  byName_.erase(it);
  order_.erase(std::remove_if(order_.begin(), order_.end(),
                              [s](const std::unique_ptr<SimService>& p) { return p.get() == s; }),
               order_.end());
  dependentsDirty_ = true;
}

SimService* SimScm::Find(const std::wstring& name) {
  auto it = byName_.find(Lower(name));
  return it == byName_.end() ? nullptr : it->second;
}

SERVICE_STATUS SimScm::StatusOf(const std::wstring& name) {
  SimService* s = Find(name);
  if (s == nullptr) return SERVICE_STATUS{};
  return StatusNow(*s);
}

void SimScm::AddMachineName(const std::wstring& name) {
  machineNames_.insert(Upper(StripBackslashes(name)));
}

void SimScm::SetLocalMachineName(const std::wstring& name) { localName_ = name; }

bool SimScm::IsLocalMachine(LPCWSTR machine) const {
  if (machine == nullptr || *machine == L'\0') return true;
  const std::wstring name = Upper(StripBackslashes(machine));
  return name == Upper(localName_) || machineNames_.count(name) != 0;
}

int SimScm::OpenPolicyCount() const {
  int n = 0;
  for (const auto& h : handles_) n += h.second.kind == HandleKind::kPolicy ? 1 : 0;
  return n;
}

std::vector<std::wstring> SimScm::OpenHandleNames() const {
  std::vector<std::wstring> out;
  for (const auto& h : handles_) out.push_back(HandleText(reinterpret_cast<void*>(h.first)));
  return out;
}

void SimScm::GrantRight(const std::wstring& sid, const std::wstring& right) {
  rights_[sid].insert(right);
}

std::set<std::wstring> SimScm::RightsOf(const std::wstring& sid) const {
  auto it = rights_.find(sid);
  return it == rights_.end() ? std::set<std::wstring>{} : it->second;
}

std::wstring SimScm::SidText(PSID sid) {
  if (sid == nullptr) return L"(null)";
  const auto* b = static_cast<const BYTE*>(sid);
  if (b[0] != 1 || b[1] > 15) return L"(invalid)";
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = (authority << 8) | b[i];
  std::wstring out = L"S-1-" + std::to_wstring(authority);
  for (int i = 0; i < b[1]; ++i) {
    uint32_t sub = 0;
    std::memcpy(&sub, b + 8 + 4 * i, 4);  // little-endian, as on the platform
    out += L"-" + std::to_wstring(sub);
  }
  return out;
}

// --- Handles and failures --------------------------------------------------------------

void* SimScm::NewHandle(HandleKind kind, const std::wstring& key, DWORD access) {
  const uintptr_t value = nextHandle_;
  nextHandle_ += 0x10;
  handles_[value] = Handle{kind, key, access};
  return reinterpret_cast<void*>(value);
}

SimScm::Handle* SimScm::Lookup(const void* handle, HandleKind kind) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

std::wstring SimScm::HandleText(const void* handle) const {
  if (handle == nullptr) return L"(null)";
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end()) return L"(invalid)";
  switch (it->second.kind) {
    case HandleKind::kManager: return L"(manager)";
    case HandleKind::kLock: return L"(lock)";
    case HandleKind::kPolicy: return L"(policy)";
    case HandleKind::kService: break;
  }
  auto s = byName_.find(it->second.key);
  return s == byName_.end() ? L"(deleted)" : s->second->name;
}

void SimScm::Fail(DWORD error) { system_.SetLastError(error); }

bool SimScm::Fails(const char* name) {
  uint32_t error = 0;
  if (!failures_.ShouldFail(name, &error)) return false;
  Fail(error);
  return true;
}

SimService* SimScm::ServiceFor(SC_HANDLE handle, DWORD access, const char* operation) {
  Handle* h = Lookup(handle, HandleKind::kService);
  if (h == nullptr) {
    Fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto it = byName_.find(h->key);
  if (it == byName_.end()) {
    Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    return nullptr;
  }
  if ((h->access & access) != access) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto denied = it->second->deniedOperations.find(operation);
  if (denied != it->second->deniedOperations.end()) {
    Fail(denied->second);
    return nullptr;
  }
  return it->second;
}

// --- State machine ---------------------------------------------------------------------

void SimScm::Schedule(SimService& s, DWORD pendingState, DWORD nextState, const Transition& t,
                      bool hangs) {
  s.state = pendingState;
  s.pendingSince = clock_.Now();
  s.scheduled = !hangs;
  s.nextState = nextState;
  s.dueAt = clock_.Now() + t.durationMs;
}

void SimScm::Settle(SimService& s) {
  while (s.scheduled && clock_.Now() >= s.dueAt) {
    const uint64_t at = s.dueAt;
    const DWORD from = s.state;
    s.scheduled = false;
    s.pendingSince = at;
    if (from == SERVICE_START_PENDING && s.failStartExitCode != 0) {
      s.state = SERVICE_STOPPED;
      s.win32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
      s.serviceExitCode = s.failStartExitCode;
      continue;
    }
    s.state = s.nextState;
    if (from == SERVICE_RUNNING && s.state == SERVICE_STOPPED) {
      // Stopped by itself: the manager reports the process as ended.
      s.win32ExitCode = ERROR_PROCESS_ABORTED;
    }
    if (s.state == SERVICE_RUNNING && s.stopsOnItsOwnAfterMs > 0) {
      s.scheduled = true;
      s.nextState = SERVICE_STOPPED;
      s.dueAt = at + s.stopsOnItsOwnAfterMs;
    }
  }
}

SERVICE_STATUS SimScm::StatusNow(SimService& s) {
  Settle(s);
  SERVICE_STATUS st{};
  st.dwServiceType = s.serviceType;
  st.dwCurrentState = s.state;
  const bool startOrStop = s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING;
  st.dwControlsAccepted = (s.state == SERVICE_STOPPED || startOrStop) ? 0 : s.controlsAccepted;
  st.dwWin32ExitCode = s.win32ExitCode;
  st.dwServiceSpecificExitCode = s.serviceExitCode;
  if (IsPending(s.state)) {
    const Transition& t = s.state == SERVICE_START_PENDING  ? s.start
                          : s.state == SERVICE_STOP_PENDING ? s.stop
                          : s.state == SERVICE_PAUSE_PENDING ? s.pause
                                                             : s.resume;
    st.dwWaitHint = t.waitHintMs;
    const uint64_t elapsed = clock_.Now() - s.pendingSince;
    st.dwCheckPoint = static_cast<DWORD>(1 + elapsed / (t.waitHintMs ? t.waitHintMs : 1000));
  }
  return st;
}

// Starts `s` and the stopped services it depends on (those first); returns 0 or the error.
DWORD SimScm::BeginStart(SimService& s, uint64_t notBefore) {
  Settle(s);
  if (s.state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
  if (s.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
  if (s.refuseStartError != 0) return s.refuseStartError;
  uint64_t ready = notBefore;
  for (const std::wstring& dep : s.dependencies) {
    if (!dep.empty() && dep[0] == L'+') continue;  // groups: nothing to start here
    SimService* d = Find(dep);
    if (d == nullptr) return ERROR_SERVICE_DEPENDENCY_FAIL;
    Settle(*d);
    if (d->state == SERVICE_STOPPED) {
      if (BeginStart(*d, notBefore) != 0) return ERROR_SERVICE_DEPENDENCY_FAIL;
      ready = std::max(ready, d->dueAt);
    } else if (d->state == SERVICE_START_PENDING && d->scheduled) {
      ready = std::max(ready, d->dueAt);
    }
  }
  Schedule(s, SERVICE_START_PENDING, SERVICE_RUNNING, s.start, s.hangsStarting);
  s.dueAt = ready + s.start.durationMs;
  s.win32ExitCode = 0;
  s.serviceExitCode = 0;
  ++s.startCount;
  return 0;
}

bool SimScm::DependencyCycleFrom(SimService& s) {
  std::map<const SimService*, int> mark;  // 1: on the current chain, 2: checked
  std::function<bool(SimService&)> visit = [&](SimService& x) {
    int& m = mark[&x];
    if (m == 1) return true;
    if (m == 2) return false;
    m = 1;
    for (const std::wstring& dep : x.dependencies) {
      if (dep.empty() || dep[0] == L'+') continue;
      SimService* d = Find(dep);
      if (d != nullptr && visit(*d)) return true;
    }
    mark[&x] = 2;
    return false;
  };
  return visit(s);
}

bool SimScm::DependsOnTransitively(SimService& from, const SimService& target) {
  std::set<const SimService*> seen;
  std::function<bool(SimService&)> visit = [&](SimService& x) {
    if (&x == &target) return true;
    if (!seen.insert(&x).second) return false;
    for (const std::wstring& dep : x.dependencies) {
      if (dep.empty() || dep[0] == L'+') continue;
      SimService* d = Find(dep);
      if (d != nullptr && visit(*d)) return true;
    }
    return false;
  };
  return visit(from);
}

void SimScm::RebuildDependents() {
  if (!dependentsDirty_) return;
  dependents_.clear();
  for (const auto& p : order_) {
    for (const std::wstring& dep : p->dependencies) {
      if (!dep.empty() && dep[0] == L'+') continue;
      dependents_[Lower(dep)].push_back(p.get());
    }
  }
  dependentsDirty_ = false;
}

// Every service that depends on `s`, directly or not, ordered so that each comes before
// the services it depends on (the order in which they can be stopped).
std::vector<SimService*> SimScm::DependentsOf(SimService& s) {
  RebuildDependents();
  std::vector<SimService*> out;
  std::set<SimService*> seen{&s};
  std::function<void(SimService&)> visit = [&](SimService& x) {
    auto it = dependents_.find(Lower(x.name));
    if (it == dependents_.end()) return;
    for (SimService* d : it->second) {
      if (!seen.insert(d).second) continue;
      visit(*d);
      out.push_back(d);
    }
  };
  visit(s);
  return out;
}

// --- IServiceManager: handles ----------------------------------------------------------

SC_HANDLE SimScm::OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName,
                                 DWORD desiredAccess) {
  log_.Record("OpenSCManagerW", {Arg(machineName), Arg(databaseName), ArgHex(desiredAccess)});
  if (Fails("OpenSCManagerW")) return nullptr;
  if (!IsLocalMachine(machineName)) {
    Fail(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
  }
  if (databaseName != nullptr && std::wcscmp(databaseName, L"ServicesActive") != 0) {
    Fail(ERROR_INVALID_NAME);
    return nullptr;
  }
  if ((desiredAccess & ~managerAccess_) != 0) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return static_cast<SC_HANDLE>(NewHandle(HandleKind::kManager, L"", desiredAccess));
}

SC_HANDLE SimScm::OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) {
  log_.Record("OpenServiceW", {Arg(serviceName), ArgHex(desiredAccess)});
  if (Fails("OpenServiceW")) return nullptr;
  Handle* m = Lookup(manager, HandleKind::kManager);
  if (m == nullptr) {
    Fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (serviceName == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return nullptr;
  }
  const std::size_t length = std::wcslen(serviceName);
  if (length == 0 || length > 256) {
    Fail(ERROR_INVALID_NAME);
    return nullptr;
  }
  SimService* s = Find(serviceName);
  if (s == nullptr) {
    Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if (s->openFails) {
    Fail(s->openError);
    return nullptr;
  }
  if ((desiredAccess & ~s->grantedAccess) != 0) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return static_cast<SC_HANDLE>(NewHandle(HandleKind::kService, Lower(s->name), desiredAccess));
}

BOOL SimScm::CloseServiceHandle(SC_HANDLE handle) {
  log_.Record("CloseServiceHandle", {HandleText(handle)});
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end() ||
      (it->second.kind != HandleKind::kManager && it->second.kind != HandleKind::kService)) {
    Fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The handle is gone even when the call is made to fail, as on the platform.
  handles_.erase(it);
  if (Fails("CloseServiceHandle")) return FALSE;
  return TRUE;
}

// --- IServiceManager: enumerations -----------------------------------------------------

namespace {

std::size_t EntryBytes(const SimService& s) {
  return sizeof(ENUM_SERVICE_STATUSW) + StringBytes(s.name) +
         (s.hasDisplayName ? StringBytes(s.displayName) : 0);
}

// Fills `count` entries at the start of `out` and their strings after them.
void FillEntries(const std::vector<std::pair<SimService*, SERVICE_STATUS>>& entries,
                 std::size_t first, std::size_t count, LPENUM_SERVICE_STATUSW out) {
  BlockWriter strings(reinterpret_cast<BYTE*>(out + count));
  for (std::size_t i = 0; i < count; ++i) {
    const SimService& s = *entries[first + i].first;
    out[i].lpServiceName = strings.Put(s.name);
    out[i].lpDisplayName = s.hasDisplayName ? strings.Put(s.displayName) : nullptr;
    out[i].ServiceStatus = entries[first + i].second;
  }
}

}  // namespace

BOOL SimScm::EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                 LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                 LPDWORD bytesNeeded, LPDWORD servicesReturned,
                                 LPDWORD resumeHandle) {
  log_.Record("EnumServicesStatusW",
              {HandleText(manager), ArgHex(serviceType), Arg(serviceState),
               services ? L"buffer" : L"(null)", Arg(bufSize),
               resumeHandle ? Arg(*resumeHandle) : L"(null)"});
  if (Fails("EnumServicesStatusW")) return FALSE;
  Handle* m = Lookup(manager, HandleKind::kManager);
  if (m == nullptr) {
    Fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((m->access & SC_MANAGER_ENUMERATE_SERVICE) == 0) {
    Fail(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (bytesNeeded == nullptr || servicesReturned == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  if ((serviceType & SERVICE_TYPE_ALL) == 0 || (serviceType & ~SERVICE_TYPE_ALL) != 0 ||
      serviceState == 0 || serviceState > SERVICE_STATE_ALL) {
    Fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::pair<SimService*, SERVICE_STATUS>> entries;
  for (const auto& p : order_) {
    if ((p->serviceType & serviceType & SERVICE_TYPE_ALL & ~SERVICE_INTERACTIVE_PROCESS) == 0)
      continue;
    SERVICE_STATUS st = StatusNow(*p);
    const bool active = st.dwCurrentState != SERVICE_STOPPED;
    if ((active && !(serviceState & SERVICE_ACTIVE)) ||
        (!active && !(serviceState & SERVICE_INACTIVE)))
      continue;
    entries.emplace_back(p.get(), st);
  }
  const std::size_t first = resumeHandle ? *resumeHandle : 0;
  *servicesReturned = 0;
  *bytesNeeded = 0;
  if (first > entries.size()) {
    Fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // As many whole entries as fit in the buffer (and in one call's limit).
  const std::size_t room = std::min<std::size_t>(services ? bufSize : 0, enumLimit_);
  std::size_t used = 0, count = 0;
  while (first + count < entries.size() && used + EntryBytes(*entries[first + count].first) <= room)
    used += EntryBytes(*entries[first + count++].first);
  if (services != nullptr && count > 0) FillEntries(entries, first, count, services);
  *servicesReturned = static_cast<DWORD>(count);
  if (first + count < entries.size()) {
    std::size_t rest = 0;
    for (std::size_t i = first + count; i < entries.size(); ++i) rest += EntryBytes(*entries[i].first);
    if (keepResume_) {
      for (std::size_t i = first; i < first + count; ++i) rest += EntryBytes(*entries[i].first);
    } else if (resumeHandle) {
      *resumeHandle = static_cast<DWORD>(first + count);
    }
    *bytesNeeded = static_cast<DWORD>(rest);
    Fail(ERROR_MORE_DATA);
    return FALSE;
  }
  if (resumeHandle) *resumeHandle = 0;
  return TRUE;
}

BOOL SimScm::EnumDependentServicesW(SC_HANDLE service, DWORD serviceState,
                                    LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                    LPDWORD bytesNeeded, LPDWORD servicesReturned) {
  log_.Record("EnumDependentServicesW", {HandleText(service), Arg(serviceState),
                                         services ? L"buffer" : L"(null)", Arg(bufSize)});
  if (Fails("EnumDependentServicesW")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_ENUMERATE_DEPENDENTS, "EnumDependentServicesW");
  if (s == nullptr) return FALSE;
  if (bytesNeeded == nullptr || servicesReturned == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  if (serviceState == 0 || serviceState > SERVICE_STATE_ALL) {
    Fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::pair<SimService*, SERVICE_STATUS>> entries;
  std::size_t total = 0;
  for (SimService* d : DependentsOf(*s)) {
    SERVICE_STATUS st = StatusNow(*d);
    const bool active = st.dwCurrentState != SERVICE_STOPPED;
    if ((active && !(serviceState & SERVICE_ACTIVE)) ||
        (!active && !(serviceState & SERVICE_INACTIVE)))
      continue;
    entries.emplace_back(d, st);
    total += EntryBytes(*d);
  }
  *servicesReturned = 0;
  *bytesNeeded = static_cast<DWORD>(total);
  if (entries.empty()) return TRUE;
  if (services == nullptr || bufSize < total) {
    Fail(ERROR_MORE_DATA);
    return FALSE;
  }
  FillEntries(entries, 0, entries.size(), services);
  *servicesReturned = static_cast<DWORD>(entries.size());
  return TRUE;
}

// --- IServiceManager: status and control -----------------------------------------------

BOOL SimScm::QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  log_.Record("QueryServiceStatus", {HandleText(service)});
  if (Fails("QueryServiceStatus")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_QUERY_STATUS, "QueryServiceStatus");
  if (s == nullptr) return FALSE;
  if (status == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  *status = StatusNow(*s);
  return TRUE;
}

BOOL SimScm::ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  log_.Record("ControlService", {HandleText(service), Arg(control)});
  if (Fails("ControlService")) return FALSE;
  DWORD access = 0;
  switch (control) {
    case SERVICE_CONTROL_STOP: access = SERVICE_STOP; break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: access = SERVICE_PAUSE_CONTINUE; break;
    case SERVICE_CONTROL_INTERROGATE: access = SERVICE_INTERROGATE; break;
    default:
      if (control < 128 || control > 255) {
        Fail(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      access = SERVICE_USER_DEFINED_CONTROL;
  }
  SimService* s = ServiceFor(service, access, "ControlService");
  if (s == nullptr) return FALSE;
  if (status == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  SERVICE_STATUS now = StatusNow(*s);
  *status = now;
  if (now.dwCurrentState == SERVICE_STOPPED) {
    Fail(ERROR_SERVICE_NOT_ACTIVE);
    return FALSE;
  }
  if (control == SERVICE_CONTROL_INTERROGATE) return TRUE;
  if (now.dwCurrentState == SERVICE_START_PENDING || now.dwCurrentState == SERVICE_STOP_PENDING) {
    Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    return FALSE;
  }
  const DWORD needs = control == SERVICE_CONTROL_STOP ? SERVICE_ACCEPT_STOP
                      : control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE
                          ? SERVICE_ACCEPT_PAUSE_CONTINUE
                          : 0;
  if (needs == 0 || (s->controlsAccepted & needs) == 0) {
    Fail(ERROR_INVALID_SERVICE_CONTROL);
    return FALSE;
  }
  if (control == SERVICE_CONTROL_STOP) {
    for (SimService* d : DependentsOf(*s)) {
      if (StatusNow(*d).dwCurrentState != SERVICE_STOPPED) {
        Fail(ERROR_DEPENDENT_SERVICES_RUNNING);
        return FALSE;
      }
    }
  }
  s->controlsReceived.push_back(control);
  switch (control) {
    case SERVICE_CONTROL_STOP:
      Schedule(*s, SERVICE_STOP_PENDING, SERVICE_STOPPED, s->stop, s->hangsStopping);
      s->win32ExitCode = 0;
      s->serviceExitCode = 0;
      break;
    case SERVICE_CONTROL_PAUSE:
      if (now.dwCurrentState == SERVICE_RUNNING || now.dwCurrentState == SERVICE_CONTINUE_PENDING)
        Schedule(*s, SERVICE_PAUSE_PENDING, SERVICE_PAUSED, s->pause, false);
      break;
    case SERVICE_CONTROL_CONTINUE:
      if (now.dwCurrentState == SERVICE_PAUSED || now.dwCurrentState == SERVICE_PAUSE_PENDING)
        Schedule(*s, SERVICE_CONTINUE_PENDING, SERVICE_RUNNING, s->resume, false);
      break;
  }
  *status = StatusNow(*s);
  return TRUE;
}

BOOL SimScm::StartServiceW(SC_HANDLE service, DWORD numServiceArgs, LPCWSTR* serviceArgVectors) {
  std::vector<std::wstring> args{HandleText(service), Arg(numServiceArgs)};
  std::vector<std::wstring> startArgs;
  if (serviceArgVectors != nullptr) {
    for (DWORD i = 0; i < numServiceArgs; ++i) startArgs.push_back(Arg(serviceArgVectors[i]));
  }
  args.insert(args.end(), startArgs.begin(), startArgs.end());
  log_.Record("StartServiceW", std::move(args));
  if (Fails("StartServiceW")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_START, "StartServiceW");
  if (s == nullptr) return FALSE;
  if (numServiceArgs > 0 && serviceArgVectors == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lockedByOther_) {
    Fail(ERROR_SERVICE_DATABASE_LOCKED);
    return FALSE;
  }
  // Like the platform, refuse a start whose dependencies lead in a circle (starting
  // them first would never end).
  if (DependencyCycleFrom(*s)) {
    Fail(ERROR_CIRCULAR_DEPENDENCY);
    return FALSE;
  }
  const DWORD error = BeginStart(*s, clock_.Now());
  if (error != 0) {
    Fail(error);
    return FALSE;
  }
  s->lastStartArguments = std::move(startArgs);
  return TRUE;
}

// --- IServiceManager: configuration ----------------------------------------------------

BOOL SimScm::QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config,
                                 DWORD bufSize, LPDWORD bytesNeeded) {
  log_.Record("QueryServiceConfigW",
              {HandleText(service), config ? L"buffer" : L"(null)", Arg(bufSize)});
  if (Fails("QueryServiceConfigW")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_QUERY_CONFIG, "QueryServiceConfigW");
  if (s == nullptr) return FALSE;
  if (bytesNeeded == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  const std::wstring display = s->hasDisplayName ? s->displayName : s->name;
  const std::size_t size = sizeof(QUERY_SERVICE_CONFIGW) + StringBytes(s->binaryPath) +
                           StringBytes(s->loadOrderGroup) + ListBytes(s->dependencies) +
                           StringBytes(s->account) + StringBytes(display);
  *bytesNeeded = static_cast<DWORD>(size);
  if (config == nullptr || bufSize < size) {
    Fail(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  config->dwServiceType = s->serviceType;
  config->dwStartType = s->startType;
  config->dwErrorControl = s->errorControl;
  config->dwTagId = s->tagId;
  BlockWriter strings(reinterpret_cast<BYTE*>(config + 1));
  config->lpBinaryPathName = strings.Put(s->binaryPath);
  config->lpLoadOrderGroup = strings.Put(s->loadOrderGroup);
  config->lpDependencies = strings.PutList(s->dependencies);
  config->lpServiceStartName = strings.Put(s->account);
  config->lpDisplayName = strings.Put(display);
  return TRUE;
}

BOOL SimScm::QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer,
                                  DWORD bufSize, LPDWORD bytesNeeded) {
  log_.Record("QueryServiceConfig2W", {HandleText(service), Arg(infoLevel),
                                       buffer ? L"buffer" : L"(null)", Arg(bufSize)});
  if (Fails("QueryServiceConfig2W")) return FALSE;
  if (infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS && Fails("QueryServiceConfig2W/2")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_QUERY_CONFIG, "QueryServiceConfig2W");
  if (s == nullptr) return FALSE;
  if (bytesNeeded == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  if (infoLevel == SERVICE_CONFIG_DESCRIPTION) {
    const std::size_t size =
        sizeof(SERVICE_DESCRIPTIONW) + (s->hasDescription ? StringBytes(s->description) : 0);
    *bytesNeeded = static_cast<DWORD>(size);
    if (buffer == nullptr || bufSize < size) {
      Fail(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    auto* record = reinterpret_cast<LPSERVICE_DESCRIPTIONW>(buffer);
    BlockWriter strings(buffer + sizeof(SERVICE_DESCRIPTIONW));
    record->lpDescription = s->hasDescription ? strings.Put(s->description) : nullptr;
    return TRUE;
  }
  if (infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS) {
    const std::size_t size = sizeof(SERVICE_FAILURE_ACTIONSW) + s->actions.size() * sizeof(SC_ACTION) +
                             (s->hasRebootMessage ? StringBytes(s->rebootMessage) : 0) +
                             (s->hasCommand ? StringBytes(s->command) : 0);
    *bytesNeeded = static_cast<DWORD>(size);
    if (buffer == nullptr || bufSize < size) {
      Fail(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    auto* record = reinterpret_cast<LPSERVICE_FAILURE_ACTIONSW>(buffer);
    auto* actions = reinterpret_cast<SC_ACTION*>(record + 1);
    record->dwResetPeriod = s->resetPeriod;
    record->cActions = static_cast<DWORD>(s->actions.size());
    record->lpsaActions = s->actions.empty() ? nullptr : actions;
    if (!s->actions.empty())
      std::memcpy(actions, s->actions.data(), s->actions.size() * sizeof(SC_ACTION));
    BlockWriter strings(reinterpret_cast<BYTE*>(actions + s->actions.size()));
    record->lpRebootMsg = s->hasRebootMessage ? strings.Put(s->rebootMessage) : nullptr;
    record->lpCommand = s->hasCommand ? strings.Put(s->command) : nullptr;
    return TRUE;
  }
  Fail(ERROR_INVALID_LEVEL);
  return FALSE;
}

BOOL SimScm::ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType,
                                  DWORD errorControl, LPCWSTR binaryPathName,
                                  LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                                  LPCWSTR serviceStartName, LPCWSTR password,
                                  LPCWSTR displayName) {
  std::wstring depsText = L"(null)";
  if (dependencies != nullptr) {
    depsText.clear();
    for (const auto& d : ParseList(dependencies)) depsText += d + L";";
  }
  log_.Record("ChangeServiceConfigW",
              {HandleText(service), ArgHex(serviceType), ArgHex(startType), ArgHex(errorControl),
               Arg(binaryPathName), Arg(loadOrderGroup), tagId ? L"tag" : L"(null)", depsText,
               Arg(serviceStartName), Arg(password), Arg(displayName)});
  if (Fails("ChangeServiceConfigW")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_CHANGE_CONFIG, "ChangeServiceConfigW");
  if (s == nullptr) return FALSE;
  const DWORD newType = serviceType == SERVICE_NO_CHANGE ? s->serviceType : serviceType;
  const DWORD baseType = newType & ~SERVICE_INTERACTIVE_PROCESS;
  const bool typeValid = baseType == SERVICE_KERNEL_DRIVER || baseType == SERVICE_FILE_SYSTEM_DRIVER ||
                         baseType == SERVICE_RECOGNIZER_DRIVER || baseType == SERVICE_ADAPTER ||
                         baseType == SERVICE_WIN32_OWN_PROCESS ||
                         baseType == SERVICE_WIN32_SHARE_PROCESS;
  const DWORD newStart = startType == SERVICE_NO_CHANGE ? s->startType : startType;
  if (!typeValid || (IsDriver(newType) && (newType & SERVICE_INTERACTIVE_PROCESS)) ||
      newStart > SERVICE_DISABLED ||
      (newStart <= SERVICE_SYSTEM_START && !IsDriver(newType)) ||
      (errorControl != SERVICE_NO_CHANGE && errorControl > SERVICE_ERROR_CRITICAL)) {
    Fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (displayName != nullptr) {
    for (const auto& p : order_) {
      if (p.get() != s && (Lower(p->displayName) == Lower(displayName) ||
                           Lower(p->name) == Lower(displayName))) {
        Fail(ERROR_DUPLICATE_SERVICE_NAME);
        return FALSE;
      }
    }
  }
  if (dependencies != nullptr) {
    for (const auto& d : ParseList(dependencies)) {
      SimService* target = d.empty() || d[0] == L'+' ? nullptr : Find(d);
      if (Lower(d) == Lower(s->name) ||
          (target != nullptr && DependsOnTransitively(*target, *s))) {
        Fail(ERROR_CIRCULAR_DEPENDENCY);
        return FALSE;
      }
    }
  }
  s->serviceType = newType;
  s->startType = newStart;
  if (errorControl != SERVICE_NO_CHANGE) s->errorControl = errorControl;
  if (binaryPathName != nullptr) s->binaryPath = binaryPathName;
  if (loadOrderGroup != nullptr) s->loadOrderGroup = loadOrderGroup;
  if (tagId != nullptr) *tagId = s->tagId;
  if (dependencies != nullptr) {
    s->dependencies = ParseList(dependencies);
    dependentsDirty_ = true;
  }
  if (serviceStartName != nullptr) s->account = serviceStartName;
  if (password != nullptr) s->password = password;
  if (displayName != nullptr) {
    s->hasDisplayName = true;
    s->displayName = displayName;
  }
  return TRUE;
}

BOOL SimScm::ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) {
  std::vector<std::wstring> args{HandleText(service), Arg(infoLevel)};
  if (info != nullptr && infoLevel == SERVICE_CONFIG_DESCRIPTION) {
    args.push_back(Arg(static_cast<LPSERVICE_DESCRIPTIONW>(info)->lpDescription));
  } else if (info != nullptr && infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS) {
    auto* fa = static_cast<LPSERVICE_FAILURE_ACTIONSW>(info);
    args.push_back(Arg(fa->dwResetPeriod));
    args.push_back(Arg(fa->lpRebootMsg));
    args.push_back(Arg(fa->lpCommand));
    args.push_back(Arg(fa->cActions));
    for (DWORD i = 0; fa->lpsaActions != nullptr && i < fa->cActions; ++i)
      args.push_back(Arg(static_cast<uint64_t>(fa->lpsaActions[i].Type)) + L":" +
                     Arg(fa->lpsaActions[i].Delay));
  }
  log_.Record("ChangeServiceConfig2W", std::move(args));
  if (Fails("ChangeServiceConfig2W")) return FALSE;
  SimService* s = ServiceFor(service, SERVICE_CHANGE_CONFIG, "ChangeServiceConfig2W");
  if (s == nullptr) return FALSE;
  if (info == nullptr) {
    Fail(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  if (infoLevel == SERVICE_CONFIG_DESCRIPTION) {
    LPCWSTR text = static_cast<LPSERVICE_DESCRIPTIONW>(info)->lpDescription;
    if (text != nullptr) {
      s->hasDescription = *text != L'\0';
      s->description = text;
    }
    return TRUE;
  }
  if (infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS) {
    auto* fa = static_cast<LPSERVICE_FAILURE_ACTIONSW>(info);
    for (DWORD i = 0; fa->lpsaActions != nullptr && i < fa->cActions; ++i) {
      if (static_cast<DWORD>(fa->lpsaActions[i].Type) > SC_ACTION_RUN_COMMAND) {
        Fail(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
    }
    if (fa->lpsaActions != nullptr) {
      s->resetPeriod = fa->dwResetPeriod;
      s->actions.assign(fa->lpsaActions, fa->lpsaActions + fa->cActions);
    }
    if (fa->lpRebootMsg != nullptr) {
      s->hasRebootMessage = *fa->lpRebootMsg != L'\0';
      s->rebootMessage = fa->lpRebootMsg;
    }
    if (fa->lpCommand != nullptr) {
      s->hasCommand = *fa->lpCommand != L'\0';
      s->command = fa->lpCommand;
    }
    return TRUE;
  }
  Fail(ERROR_INVALID_LEVEL);
  return FALSE;
}

// --- IServiceManager: database lock ----------------------------------------------------

SC_LOCK SimScm::LockServiceDatabase(SC_HANDLE manager) {
  log_.Record("LockServiceDatabase", {HandleText(manager)});
  if (Fails("LockServiceDatabase")) return nullptr;
  Handle* m = Lookup(manager, HandleKind::kManager);
  if (m == nullptr) {
    Fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((m->access & SC_MANAGER_LOCK) == 0) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (DatabaseLocked()) {
    Fail(ERROR_SERVICE_DATABASE_LOCKED);
    return nullptr;
  }
  lock_ = NewHandle(HandleKind::kLock, L"", 0);
  return lock_;
}

BOOL SimScm::UnlockServiceDatabase(SC_LOCK lock) {
  log_.Record("UnlockServiceDatabase", {HandleText(lock)});
  if (Fails("UnlockServiceDatabase")) return FALSE;
  if (lock == nullptr || lock != lock_ || Lookup(lock, HandleKind::kLock) == nullptr) {
    Fail(1071);  // ERROR_INVALID_SERVICE_LOCK
    return FALSE;
  }
  handles_.erase(reinterpret_cast<uintptr_t>(lock));
  lock_ = nullptr;
  return TRUE;
}

// --- IServiceManager: local security authority -----------------------------------------

NTSTATUS SimScm::LsaOpenPolicy(PLSA_UNICODE_STRING systemName,
                               PLSA_OBJECT_ATTRIBUTES objectAttributes, ACCESS_MASK desiredAccess,
                               PLSA_HANDLE policyHandle) {
  bool valid = true;
  const std::wstring machine = LsaText(systemName, &valid);
  bool zeroed = objectAttributes != nullptr;
  if (objectAttributes != nullptr) {
    const auto* bytes = reinterpret_cast<const BYTE*>(objectAttributes);
    for (std::size_t i = 0; i < sizeof(LSA_OBJECT_ATTRIBUTES); ++i) zeroed = zeroed && bytes[i] == 0;
  }
  log_.Record("LsaOpenPolicy", {machine, objectAttributes == nullptr ? L"(null)"
                                         : zeroed                    ? L"zeroed"
                                                                     : L"set",
                                ArgHex(desiredAccess)});
  uint32_t injected = 0;
  if (failures_.ShouldFail("LsaOpenPolicy", &injected)) return static_cast<NTSTATUS>(injected);
  if (policyHandle == nullptr || objectAttributes == nullptr || !valid)
    return STATUS_INVALID_PARAMETER;
  if (systemName != nullptr && !IsLocalMachine(machine.c_str())) return RPC_NT_SERVER_UNAVAILABLE;
  if ((desiredAccess & ~static_cast<ACCESS_MASK>(policyAccess_)) != 0) return STATUS_ACCESS_DENIED;
  *policyHandle = NewHandle(HandleKind::kPolicy, L"", desiredAccess);
  return STATUS_SUCCESS;
}

NTSTATUS SimScm::LsaAddAccountRights(LSA_HANDLE policyHandle, PSID accountSid,
                                     PLSA_UNICODE_STRING userRights, ULONG countOfRights) {
  std::vector<std::wstring> args{HandleText(policyHandle), SidText(accountSid)};
  bool valid = true;
  std::vector<std::wstring> rights;
  for (ULONG i = 0; userRights != nullptr && i < countOfRights; ++i) {
    bool ok = true;
    rights.push_back(LsaText(&userRights[i], &ok));
    valid = valid && ok;
  }
  args.push_back(Arg(countOfRights));
  args.insert(args.end(), rights.begin(), rights.end());
  log_.Record("LsaAddAccountRights", std::move(args));
  uint32_t injected = 0;
  if (failures_.ShouldFail("LsaAddAccountRights", &injected)) return static_cast<NTSTATUS>(injected);
  Handle* h = Lookup(policyHandle, HandleKind::kPolicy);
  if (h == nullptr) return STATUS_INVALID_HANDLE;
  if ((h->access & POLICY_LOOKUP_NAMES) == 0 || (h->access & POLICY_CREATE_ACCOUNT) == 0)
    return STATUS_ACCESS_DENIED;
  const std::wstring sid = SidText(accountSid);
  if (accountSid == nullptr || sid == L"(invalid)" || userRights == nullptr ||
      countOfRights == 0 || !valid)
    return STATUS_INVALID_PARAMETER;
  for (const std::wstring& right : rights) {
    // Rights and privileges are named "Se...Right" / "Se...Privilege".
    const bool known = right.size() > 2 && right.compare(0, 2, L"Se") == 0 &&
                       (right.size() > 5 && (right.compare(right.size() - 5, 5, L"Right") == 0 ||
                                             (right.size() > 9 &&
                                              right.compare(right.size() - 9, 9, L"Privilege") == 0)));
    if (!known) return STATUS_NO_SUCH_PRIVILEGE;
  }
  for (const std::wstring& right : rights) rights_[sid].insert(right);
  return STATUS_SUCCESS;
}

NTSTATUS SimScm::LsaClose(LSA_HANDLE objectHandle) {
  log_.Record("LsaClose", {HandleText(objectHandle)});
  if (Lookup(objectHandle, HandleKind::kPolicy) == nullptr) return STATUS_INVALID_HANDLE;
  handles_.erase(reinterpret_cast<uintptr_t>(objectHandle));
  uint32_t injected = 0;
  if (failures_.ShouldFail("LsaClose", &injected)) return static_cast<NTSTATUS>(injected);
  return STATUS_SUCCESS;
}

}  // namespace sim
