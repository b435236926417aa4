// A configurable Win32 service for the integration tests. One executable is installed
// under several names; each installation states its behaviour in its binary path:
//
//   testservice.exe [--start-ms N] [--start-hint N] [--stop-ms N] [--stop-hint N]
//                   [--pause-ms N] [--pause-hint N] [--continue-ms N] [--continue-hint N]
//                   [--no-stop] [--no-pause] [--fail-start] [--hang-stop] [--exit-after N]
//                   [--record FILE] [--events FILE]
//
// --record: the start arguments the service was given (ServiceMain's argv, the service
//           name first) are written to FILE as UTF-16 text, one per line.
// --events: "<name> <event>" lines are appended to FILE as the service moves between
//           states (start, running, stop-begin, stopped, paused, continued), so a test
//           can check the order in which several services were stopped.
// --hang-stop: a stop request leaves the service stop pending (for at most a minute, so
//           a failed test never leaves a process behind for good).
// --exit-after N: once running, the service stops by itself after N ms.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <string>

namespace {

struct Options {
  DWORD startMs = 0, startHint = 0;
  DWORD stopMs = 0, stopHint = 0;
  DWORD pauseMs = 0, pauseHint = 0;
  DWORD continueMs = 0, continueHint = 0;
  bool acceptStop = true;
  bool acceptPause = true;
  bool failStart = false;
  bool hangStop = false;
  bool exitAfter = false;
  DWORD exitAfterMs = 0;
  std::wstring record;
  std::wstring events;
};

Options g_options;
std::wstring g_name = L"testservice";
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {};
CRITICAL_SECTION g_lock;
HANDLE g_wake = nullptr;          // set when a control is queued
std::deque<DWORD> g_controls;     // controls for the service's main loop

DWORD Number(const wchar_t* text) { return static_cast<DWORD>(std::wcstoul(text, nullptr, 10)); }

void ParseOptions() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    const bool hasValue = i + 1 < argc;
    auto next = [&]() { return argv[++i]; };
    if (a == L"--start-ms" && hasValue) g_options.startMs = Number(next());
    else if (a == L"--start-hint" && hasValue) g_options.startHint = Number(next());
    else if (a == L"--stop-ms" && hasValue) g_options.stopMs = Number(next());
    else if (a == L"--stop-hint" && hasValue) g_options.stopHint = Number(next());
    else if (a == L"--pause-ms" && hasValue) g_options.pauseMs = Number(next());
    else if (a == L"--pause-hint" && hasValue) g_options.pauseHint = Number(next());
    else if (a == L"--continue-ms" && hasValue) g_options.continueMs = Number(next());
    else if (a == L"--continue-hint" && hasValue) g_options.continueHint = Number(next());
    else if (a == L"--no-stop") g_options.acceptStop = false;
    else if (a == L"--no-pause") g_options.acceptPause = false;
    else if (a == L"--fail-start") g_options.failStart = true;
    else if (a == L"--hang-stop") g_options.hangStop = true;
    else if (a == L"--exit-after" && hasValue) {
      g_options.exitAfter = true;
      g_options.exitAfterMs = Number(next());
    } else if (a == L"--record" && hasValue) g_options.record = next();
    else if (a == L"--events" && hasValue) g_options.events = next();
  }
  LocalFree(argv);
}

void WriteText(const std::wstring& path, const std::wstring& text, bool append) {
  if (path.empty()) return;
  HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
            nullptr);
  CloseHandle(file);
}

void Event(const wchar_t* what) { WriteText(g_options.events, g_name + L" " + what + L"\n", true); }

DWORD Accepted() {
  DWORD accepted = 0;
  if (g_options.acceptStop) accepted |= SERVICE_ACCEPT_STOP;
  if (g_options.acceptPause) accepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
  return accepted;
}

void Report(DWORD state, DWORD waitHint, DWORD win32Exit = NO_ERROR, DWORD specificExit = 0) {
  EnterCriticalSection(&g_lock);
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  const bool startOrStop = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                           state == SERVICE_STOPPED;
  g_status.dwControlsAccepted = startOrStop ? 0 : Accepted();
  g_status.dwWin32ExitCode = win32Exit;
  g_status.dwServiceSpecificExitCode = specificExit;
  const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                       state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
  g_status.dwCheckPoint = pending ? g_status.dwCheckPoint + 1 : 0;
  g_status.dwWaitHint = pending ? waitHint : 0;
  SetServiceStatus(g_statusHandle, &g_status);
  LeaveCriticalSection(&g_lock);
}

// Stays in a pending state for `ms`, reporting progress every wait hint.
void Pending(DWORD state, DWORD ms, DWORD hint) {
  const ULONGLONG end = GetTickCount64() + ms;
  Report(state, hint);
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    const ULONGLONG left = end - now;
    const DWORD step = hint > 0 && hint < left ? hint : static_cast<DWORD>(left);
    Sleep(step);
    Report(state, hint);
  }
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      if (!g_options.acceptStop) return ERROR_CALL_NOT_IMPLEMENTED;
      Report(SERVICE_STOP_PENDING, g_options.stopHint);
      break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      if (!g_options.acceptPause) return ERROR_CALL_NOT_IMPLEMENTED;
      Report(control == SERVICE_CONTROL_PAUSE ? SERVICE_PAUSE_PENDING : SERVICE_CONTINUE_PENDING,
             control == SERVICE_CONTROL_PAUSE ? g_options.pauseHint : g_options.continueHint);
      break;
    case SERVICE_CONTROL_INTERROGATE:
      Report(g_status.dwCurrentState, g_status.dwWaitHint);
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
  EnterCriticalSection(&g_lock);
  g_controls.push_back(control);
  LeaveCriticalSection(&g_lock);
  SetEvent(g_wake);
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
  if (argc > 0 && argv[0] != nullptr) g_name = argv[0];
  g_statusHandle = RegisterServiceCtrlHandlerExW(g_name.c_str(), Handler, nullptr);
  if (g_statusHandle == nullptr) return;

  std::wstring record;
  for (DWORD i = 0; i < argc; ++i) record += std::wstring(argv[i] ? argv[i] : L"") + L"\n";
  WriteText(g_options.record, record, false);
  Event(L"start");

  Pending(SERVICE_START_PENDING, g_options.startMs, g_options.startHint);
  if (g_options.failStart) {
    Event(L"failed");
    Report(SERVICE_STOPPED, 0, ERROR_SERVICE_SPECIFIC_ERROR, 1);
    return;
  }
  Report(SERVICE_RUNNING, 0);
  Event(L"running");

  for (;;) {
    const DWORD wait = g_options.exitAfter ? g_options.exitAfterMs : INFINITE;
    if (WaitForSingleObject(g_wake, wait) == WAIT_TIMEOUT) {
      Event(L"exited");
      Report(SERVICE_STOPPED, 0, ERROR_PROCESS_ABORTED);
      return;
    }
    for (;;) {
      EnterCriticalSection(&g_lock);
      if (g_controls.empty()) {
        LeaveCriticalSection(&g_lock);
        break;
      }
      const DWORD control = g_controls.front();
      g_controls.pop_front();
      LeaveCriticalSection(&g_lock);
      if (control == SERVICE_CONTROL_STOP) {
        Event(L"stop-begin");
        Pending(SERVICE_STOP_PENDING, g_options.hangStop ? 60000 : g_options.stopMs,
                g_options.stopHint);
        Event(L"stopped");
        Report(SERVICE_STOPPED, 0);
        return;
      }
      if (control == SERVICE_CONTROL_PAUSE) {
        Pending(SERVICE_PAUSE_PENDING, g_options.pauseMs, g_options.pauseHint);
        Report(SERVICE_PAUSED, 0);
        Event(L"paused");
      } else {
        Pending(SERVICE_CONTINUE_PENDING, g_options.continueMs, g_options.continueHint);
        Report(SERVICE_RUNNING, 0);
        Event(L"continued");
      }
    }
  }
}

}  // namespace

int main() {
  InitializeCriticalSection(&g_lock);
  g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ParseOptions();
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    // Not started by the service control manager.
    std::fwprintf(stderr, L"testservice: run it as a service (error %lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
