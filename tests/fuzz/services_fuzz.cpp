// A simulated service database built from the input (names, display names, types, states,
// controls accepted, transition times and wait hints, dependencies, refusals, enumeration
// block size and injected failures) through the service list and every control
// operation. The list must give exactly the services of its type in the manager's order,
// dependents must be readable records of existing services, every operation must end
// (on the virtual clock) with success or its own message, and every handle must be closed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "app/error.h"
#include "services/control.h"
#include "services/service.h"
#include "sim/computer.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "services fuzz: %s\n", what);
    std::abort();
  }
}

// A short wide text without NULs, two input bytes a character.
std::wstring Text(FuzzedDataProvider& in, std::size_t maxChars) {
  const std::string bytes = in.ConsumeRandomLengthString(maxChars * 2);
  std::wstring out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    out.push_back(c == 0 ? L'0' : c);
  }
  return out;
}

// Runs one operation; a failure must be one of the operation's own messages.
template <class F>
void Run(F&& action) {
  try {
    action();
  } catch (Q::TError* error) {
    Check(error->Message != nullptr && std::wcsncmp(error->Message, L"!!: ", 4) == 0,
          "a failure without its marked message");
    Q::ReleaseError(error);
  }
}

struct Added {
  std::wstring name;
  DWORD type;
};

const DWORD kTypes[] = {SERVICE_WIN32_OWN_PROCESS, SERVICE_WIN32_SHARE_PROCESS,
                        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                        SERVICE_KERNEL_DRIVER, SERVICE_FILE_SYSTEM_DRIVER,
                        SERVICE_RECOGNIZER_DRIVER};
const DWORD kStates[] = {SERVICE_STOPPED,          SERVICE_START_PENDING, SERVICE_STOP_PENDING,
                         SERVICE_RUNNING,          SERVICE_CONTINUE_PENDING,
                         SERVICE_PAUSE_PENDING,    SERVICE_PAUSED};
const char* const kCalls[] = {"EnumServicesStatusW", "EnumDependentServicesW",
                              "QueryServiceStatus",  "ControlService",
                              "OpenServiceW",        "StartServiceW"};

DWORD Hint(FuzzedDataProvider& in) {
  // Mostly ordinary hints, sometimes 0 or huge ones.
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return 0;
    case 1: return in.ConsumeIntegral<uint32_t>();
    default: return in.ConsumeIntegralInRange<DWORD>(1, 5000);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  sim::Computer computer;
  computer.Install();
  sim::SimScm& scm = computer.scm();

  std::vector<Added> added;
  const int count = in.ConsumeIntegralInRange<int>(1, 10);
  for (int i = 0; i < count; ++i) {
    std::wstring name = Text(in, 12);
    if (name.empty() || scm.Exists(name)) name = L"svc" + std::to_wstring(i);
    if (scm.Exists(name)) continue;
    const DWORD type = kTypes[in.ConsumeIntegralInRange<int>(0, 5)];
    sim::ServiceBuilder b = scm.AddService(name);
    b.Type(type);
    if (in.ConsumeBool()) b.NoDisplayName(); else b.Display(Text(in, 12));
    b.Accepts(in.ConsumeIntegralInRange<DWORD>(0, 3));
    b.StartTakes(in.ConsumeIntegralInRange<DWORD>(0, 15000), Hint(in));
    b.StopTakes(in.ConsumeIntegralInRange<DWORD>(0, 15000), Hint(in));
    b.PauseTakes(in.ConsumeIntegralInRange<DWORD>(0, 15000), Hint(in));
    b.ContinueTakes(in.ConsumeIntegralInRange<DWORD>(0, 15000), Hint(in));
    const uint8_t behaviour = in.ConsumeIntegral<uint8_t>();
    if (behaviour & 0x01) b.RefusesToStart();
    if (behaviour & 0x02) b.FailsWhileStarting(7);
    if (behaviour & 0x04) b.NeverStarts();
    if (behaviour & 0x08) b.NeverStops();
    if (behaviour & 0x10) b.OpenFails();
    if (behaviour & 0x20) b.Deny("ControlService");
    if (behaviour & 0x40) b.StartType(SERVICE_DISABLED);
    b.InState(kStates[in.ConsumeIntegralInRange<int>(0, 6)]);
    if (behaviour & 0x80) b.StopsOnItsOwnAfter(in.ConsumeIntegralInRange<DWORD>(1, 20000));
    added.push_back({name, type});
    // Dependencies on services added so far or on itself, circles included.
    const int deps = in.ConsumeIntegralInRange<int>(0, 3);
    for (int d = 0; d < deps && !added.empty(); ++d)
      b.DependsOn(added[in.ConsumeIntegralInRange<std::size_t>(0, added.size() - 1)].name);
  }
  // Dependencies backwards as well, so that circles of several services occur.
  if (added.size() > 1 && in.ConsumeBool())
    scm.Service(added[0].name).DependsOn(added.back().name);

  scm.SetEnumerationLimit(in.ConsumeIntegralInRange<DWORD>(64, 4096));
  const bool wineLike = in.ConsumeBool();
  scm.KeepResumeValue(wineLike);
  if (in.ConsumeBool()) {
    computer.failures().Fail(kCalls[in.ConsumeIntegralInRange<int>(0, 5)],
                             in.ConsumeBool() ? ERROR_ACCESS_DENIED : ERROR_MORE_DATA,
                             in.ConsumeIntegralInRange<int>(1, 3));
  }

  for (unsigned char kind : {Q::kListServices, Q::kListDrivers}) {
    Q::TqServiceList list(L"List", kind, nullptr);
    Q::TqObject** children = nullptr;
    int n = -1;
    bool raised = false;
    try {
      list.Enumerate(&children, &n);
    } catch (Q::TError* error) {
      Q::ReleaseError(error);
      raised = true;
    }
    Check(scm.OpenHandleCount() == 0, "the enumeration left a handle open");
    Check((children == nullptr) == (n == 0), "array and count disagree");
    if (raised) {
      Check(children == nullptr && n == 0, "a failed enumeration left children");
      continue;
    }
    // Exactly the services of the list's type, in the manager's order, nothing twice.
    const DWORD mask = kind == Q::kListServices ? SERVICE_WIN32 : SERVICE_DRIVER;
    std::vector<std::wstring> expected;
    for (const Added& a : added)
      if (a.type & mask) expected.push_back(a.name);
    Check(static_cast<std::size_t>(n) == expected.size(), "wrong number of services listed");
    for (int i = 0; i < n; ++i) {
      auto* service = static_cast<Q::TqService*>(children[i]);
      Check(service->GetKind() == Q::kKindService, "a child that is no service");
      Check(expected[i] == service->Name(), "services listed out of order or twice");
      wchar_t* display = nullptr;
      service->GetDisplayName(&display);
      Check(display != nullptr && *display != L'\0', "an empty display text");
      delete[] display;

      Run([&] { Q::RefreshServiceStatus(service); });
      Run([&] { Q::RefreshDependents(service); });
      for (DWORD d = 0; d < service->DependentsCount; ++d) {
        const ENUM_SERVICE_STATUSW& e = service->Dependents()[d];
        Check(e.lpServiceName != nullptr && scm.Exists(e.lpServiceName),
              "a dependent that does not exist");
        Check(e.ServiceStatus.dwCurrentState >= SERVICE_STOPPED &&
                  e.ServiceStatus.dwCurrentState <= SERVICE_PAUSED,
              "a dependent in no state");
      }
      const uint64_t before = computer.clock().Now();
      switch (in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0: Run([&] { Q::StartServiceAndWait(service, 10000, 0, nullptr); }); break;
        case 1: {
          const wchar_t* argv[] = {service->Name(), L"%s%n"};
          Run([&] { Q::StartServiceAndWait(service, 10000, 2, argv); });
          break;
        }
        default: {
          const unsigned control = in.ConsumeIntegralInRange<unsigned>(0, 4);
          Run([&] { Q::ControlServiceAndWait(service, control, in.ConsumeBool(), 10000); });
        }
      }
      // The limit plus at most one short step past it, never the raw wait hint.
      Check(computer.clock().Now() - before <= 10000 + Q::kMinPollMs,
            "a wait past the time limit");
      Check(scm.OpenHandleCount() == 0, "an operation left a handle open");
      delete service;
    }
    delete[] children;
  }
  computer.Uninstall();
  return 0;
}
