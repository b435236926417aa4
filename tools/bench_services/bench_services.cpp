// Benchmark of the service list: enumerate a list of N services and refresh the status
// and the dependents of each, as the services view does when it loads. Reports the cost
// per service and the number of service control manager calls per service, for N = 100,
// 1,000 and 10,000 (or the sizes given on the command line).
//
//   bench_services [--real] [N ...]
//
// Default: against the simulated manager (every 10th service has two dependents). With
// --real (Windows build): against the platform's manager (Wine's under Linux), with N
// copies of the test service installed for the run and removed afterwards.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/error.h"
#include "services/control.h"
#include "services/service.h"
#include "sim/computer.h"

namespace {

// Forwards every call to another implementation and counts it.
class CountingScm final : public Q::IServiceManager {
 public:
  explicit CountingScm(Q::IServiceManager& inner) : inner_(inner) {}
  long Total() const { return total_; }
  const std::map<std::string, long>& PerCall() const { return perCall_; }
  const std::map<std::string, double>& TimePerCall() const { return timePerCall_; }
  void Reset() {
    total_ = 0;
    perCall_.clear();
    timePerCall_.clear();
  }

  SC_HANDLE OpenSCManagerW(LPCWSTR m, LPCWSTR d, DWORD a) override {
    Timer timer(*this, "OpenSCManagerW");
    return inner_.OpenSCManagerW(m, d, a);
  }
  SC_HANDLE OpenServiceW(SC_HANDLE m, LPCWSTR n, DWORD a) override {
    Timer timer(*this, "OpenServiceW");
    return inner_.OpenServiceW(m, n, a);
  }
  BOOL CloseServiceHandle(SC_HANDLE h) override {
    Timer timer(*this, "CloseServiceHandle");
    return inner_.CloseServiceHandle(h);
  }
  BOOL EnumServicesStatusW(SC_HANDLE m, DWORD t, DWORD s, LPENUM_SERVICE_STATUSW b, DWORD n,
                           LPDWORD need, LPDWORD ret, LPDWORD res) override {
    Timer timer(*this, "EnumServicesStatusW");
    return inner_.EnumServicesStatusW(m, t, s, b, n, need, ret, res);
  }
  BOOL EnumDependentServicesW(SC_HANDLE h, DWORD s, LPENUM_SERVICE_STATUSW b, DWORD n,
                              LPDWORD need, LPDWORD ret) override {
    Timer timer(*this, "EnumDependentServicesW");
    return inner_.EnumDependentServicesW(h, s, b, n, need, ret);
  }
  BOOL QueryServiceStatus(SC_HANDLE h, LPSERVICE_STATUS s) override {
    Timer timer(*this, "QueryServiceStatus");
    return inner_.QueryServiceStatus(h, s);
  }
  BOOL ControlService(SC_HANDLE h, DWORD c, LPSERVICE_STATUS s) override {
    Timer timer(*this, "ControlService");
    return inner_.ControlService(h, c, s);
  }
  BOOL StartServiceW(SC_HANDLE h, DWORD n, LPCWSTR* a) override {
    Timer timer(*this, "StartServiceW");
    return inner_.StartServiceW(h, n, a);
  }
  BOOL QueryServiceConfigW(SC_HANDLE h, LPQUERY_SERVICE_CONFIGW c, DWORD n, LPDWORD need) override {
    Timer timer(*this, "QueryServiceConfigW");
    return inner_.QueryServiceConfigW(h, c, n, need);
  }
  BOOL QueryServiceConfig2W(SC_HANDLE h, DWORD l, LPBYTE b, DWORD n, LPDWORD need) override {
    Timer timer(*this, "QueryServiceConfig2W");
    return inner_.QueryServiceConfig2W(h, l, b, n, need);
  }
  BOOL ChangeServiceConfigW(SC_HANDLE h, DWORD t, DWORD s, DWORD e, LPCWSTR p, LPCWSTR g,
                            LPDWORD tag, LPCWSTR d, LPCWSTR a, LPCWSTR pw, LPCWSTR dn) override {
    Timer timer(*this, "ChangeServiceConfigW");
    return inner_.ChangeServiceConfigW(h, t, s, e, p, g, tag, d, a, pw, dn);
  }
  BOOL ChangeServiceConfig2W(SC_HANDLE h, DWORD l, LPVOID i) override {
    Timer timer(*this, "ChangeServiceConfig2W");
    return inner_.ChangeServiceConfig2W(h, l, i);
  }
  SC_LOCK LockServiceDatabase(SC_HANDLE m) override {
    Timer timer(*this, "LockServiceDatabase");
    return inner_.LockServiceDatabase(m);
  }
  BOOL UnlockServiceDatabase(SC_LOCK l) override {
    Timer timer(*this, "UnlockServiceDatabase");
    return inner_.UnlockServiceDatabase(l);
  }
  NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING s, PLSA_OBJECT_ATTRIBUTES o, ACCESS_MASK a,
                         PLSA_HANDLE p) override {
    Timer timer(*this, "LsaOpenPolicy");
    return inner_.LsaOpenPolicy(s, o, a, p);
  }
  NTSTATUS LsaAddAccountRights(LSA_HANDLE p, PSID s, PLSA_UNICODE_STRING r, ULONG n) override {
    Timer timer(*this, "LsaAddAccountRights");
    return inner_.LsaAddAccountRights(p, s, r, n);
  }
  NTSTATUS LsaClose(LSA_HANDLE h) override {
    Timer timer(*this, "LsaClose");
    return inner_.LsaClose(h);
  }

 private:
  // Counts one call and adds its duration to its function's total.
  class Timer {
   public:
    Timer(CountingScm& owner, const char* name)
        : owner_(owner), name_(name), start_(std::chrono::steady_clock::now()) {}
    ~Timer() {
      ++owner_.total_;
      ++owner_.perCall_[name_];
      owner_.timePerCall_[name_] +=
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
              .count();
    }

   private:
    CountingScm& owner_;
    const char* name_;
    std::chrono::steady_clock::time_point start_;
  };
  Q::IServiceManager& inner_;
  long total_ = 0;
  std::map<std::string, long> perCall_;
  std::map<std::string, double> timePerCall_;
};

std::wstring BenchName(int i) { return L"PelmoraBench" + std::to_wstring(i); }

struct Result {
  int services = 0;  // services of the run found by the enumeration
  double enumerateMs = 0;
  double refreshMs = 0;
  long calls = 0;
  std::map<std::string, long> perCall;
  std::map<std::string, double> timePerCall;
};

// Enumerates the services list and refreshes status and dependents of every service of
// the run (names starting with PelmoraBench; on the real manager others exist too).
Result Run(CountingScm& counter) {
  using Clock = std::chrono::steady_clock;
  Result r;
  counter.Reset();
  Q::TqServiceList list(L"Services", Q::kListServices, nullptr);
  Q::TqObject** children = nullptr;
  int count = 0;
  const auto t0 = Clock::now();
  list.Enumerate(&children, &count);
  const auto t1 = Clock::now();
  for (int i = 0; i < count; ++i) {
    auto* service = static_cast<Q::TqService*>(children[i]);
    if (std::wcsncmp(service->Name(), L"PelmoraBench", 12) != 0) continue;
    ++r.services;
    try {
      Q::RefreshServiceStatus(service);
      Q::RefreshDependents(service);
    } catch (Q::TError* error) {
      std::fprintf(stderr, "refresh failed: %ls\n", error->Message);
      Q::ReleaseError(error);
    }
  }
  const auto t2 = Clock::now();
  for (int i = 0; i < count; ++i) delete children[i];
  delete[] children;
  r.enumerateMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
  r.refreshMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
  r.calls = counter.Total();
  r.perCall = counter.PerCall();
  r.timePerCall = counter.TimePerCall();
  return r;
}

void Print(const char* where, int n, const Result& r) {
  const double per = r.services > 0 ? (r.enumerateMs + r.refreshMs) / r.services : 0;
  std::printf("%-5s N=%-6d found=%-6d enumerate=%9.2f ms  refresh=%10.2f ms  per service=%8.1f us"
              "  manager calls=%ld (%.2f per service)\n",
              where, n, r.services, r.enumerateMs, r.refreshMs, per * 1000.0, r.calls,
              r.services > 0 ? static_cast<double>(r.calls) / r.services : 0.0);
  for (const auto& c : r.perCall) {
    const double ms = r.timePerCall.at(c.first);
    std::printf("        %-24s %7ld calls %10.2f ms (%7.1f us each)\n", c.first.c_str(), c.second,
                ms, ms * 1000.0 / c.second);
  }
}

Result Simulated(int n) {
  sim::Computer computer;
  computer.Install();
  for (int i = 0; i < n; ++i) {
    auto b = computer.scm().AddService(BenchName(i)).Display(L"Bench service " + std::to_wstring(i));
    if (i % 2 == 0) b.Running().AcceptsStop();
    if (i % 10 != 0) b.DependsOn(BenchName(i - i % 10));  // every 10th has 9 dependents
  }
  CountingScm counter(computer.scm());
  Q::ScopedSeam<Q::IServiceManager> seam(counter);
  return Run(counter);
}

#ifdef _WIN32
// Installs n copies of the test service (not started) for the run, removes them after.
class BenchInstall {
 public:
  explicit BenchInstall(int n) {
    manager_ = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin = path;
    bin = L"\"" + bin.substr(0, bin.find_last_of(L"\\/") + 1) + L"testservice.exe\"";
    for (int i = 0; i < n && manager_; ++i) {
      std::wstring deps;
      if (i % 10 != 0) deps = BenchName(i - i % 10) + L'\0';
      deps += L'\0';
      SC_HANDLE s = ::CreateServiceW(manager_, BenchName(i).c_str(), BenchName(i).c_str(),
                                     SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, bin.c_str(),
                                     nullptr, nullptr, deps.c_str(), nullptr, nullptr);
      if (s == nullptr && GetLastError() == ERROR_SERVICE_EXISTS)
        s = ::OpenServiceW(manager_, BenchName(i).c_str(), SERVICE_ALL_ACCESS);
      if (s != nullptr) handles_.push_back(s);
    }
  }
  ~BenchInstall() {
    for (SC_HANDLE s : handles_) {
      ::DeleteService(s);
      ::CloseServiceHandle(s);
    }
    if (manager_) ::CloseServiceHandle(manager_);
  }

 private:
  SC_HANDLE manager_ = nullptr;
  std::vector<SC_HANDLE> handles_;
};

Result Real(int n) {
  const auto t0 = std::chrono::steady_clock::now();
  BenchInstall install(n);
  const auto t1 = std::chrono::steady_clock::now();
  std::printf("      (installing %d services took %.0f ms)\n", n,
              std::chrono::duration<double, std::milli>(t1 - t0).count());
  CountingScm counter(Q::Seam<Q::IServiceManager>::Get());
  Q::ScopedSeam<Q::IServiceManager> seam(counter);
  return Run(counter);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  bool real = false;
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--real") == 0) real = true;
    else sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) sizes = {100, 1000, 10000};
  for (int n : sizes) {
    if (real) {
#ifdef _WIN32
      Print("real", n, Real(n));
#else
      std::fputs("--real needs the Windows build\n", stderr);
      return 2;
#endif
    } else {
      Print("sim", n, Simulated(n));
    }
  }
  return 0;
}
