#include "app/environment.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "app/error.h"
#include "platform/system.h"
#include "text/coredict.h"

namespace Q {
namespace {

struct LibraryEntry {
  const wchar_t* name;
  const char* loadError;
  QEntryPoint first;
  QEntryPoint last;  // exclusive
};

const LibraryEntry kLibraries[kLibraryCount] = {
    {L"Psapi.dll", "error loading Psapi.dll", kEnumProcessModules, kMprAdminUserSetInfo},
    {L"Mprapi.dll", "error loading Mprapi.dll", kMprAdminUserSetInfo, kWTSFreeMemory},
    {L"Wtsapi32.dll", "error loading Wtsapi32.dll", kWTSFreeMemory, kADsOpenObject},
    {L"ActiveDS.dll", "error loading ActiveDS.dll", kADsOpenObject, kDsFreeDomainControllerInfoW},
    {L"Ntdsapi.dll", "error loading Ntdsapi.dll", kDsFreeDomainControllerInfoW, kEntryPointCount},
};

const char* const kEntryNames[kEntryPointCount] = {
    "EnumProcessModules", "EnumProcesses", "GetModuleFileNameExW",
    "MprAdminUserSetInfo", "MprAdminUserGetInfo",
    "WTSFreeMemory", "WTSCloseServer", "WTSOpenServerW", "WTSEnumerateSessionsW",
    "WTSQuerySessionInformationW", "WTSEnumerateProcessesW", "WTSDisconnectSession",
    "WTSLogoffSession", "WTSTerminateProcess", "WTSSendMessageW",
    "ADsOpenObject", "ADsGetObject", "ADsBuildVarArrayStr", "ADsBuildEnumerator",
    "ADsEnumerateNext", "ADsFreeEnumerator",
    "DsFreeDomainControllerInfoW", "DsUnBindW", "DsBindW", "DsGetDomainControllerInfoW"};

HMODULE g_libraries[kLibraryCount] = {};
FARPROC g_entryPoints[kEntryPointCount] = {};
std::string g_commandLine;

std::wstring Widen(const char* ascii) {
  std::wstring out;
  for (const char* p = ascii; *p; ++p) out.push_back(static_cast<wchar_t>(*p));
  return out;
}

// Fills the version record the way both tests query it: the extended record first,
// then the basic one. False when both queries fail.
bool QueryVersion(OSVERSIONINFOEXW* info) {
  *info = OSVERSIONINFOEXW{};
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  if (Sys().GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(info))) return true;
  *info = OSVERSIONINFOEXW{};
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  return Sys().GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(info)) != FALSE;
}

wchar_t* NewCopy(const wchar_t* text, std::size_t n) {
  auto* out = new wchar_t[n + 1];
  std::wmemcpy(out, text, n);
  out[n] = L'\0';
  return out;
}

}  // namespace

const char* CommandLine() { return g_commandLine.c_str(); }
void KeepCommandLine(const char* text) { g_commandLine = text ? text : ""; }
bool CommandLineHas(const char* sw) {
  return sw != nullptr && g_commandLine.find(sw) != std::string::npos;
}

HMODULE QLibraryHandle(QLibrary library) {
  return library >= 0 && library < kLibraryCount ? g_libraries[library] : nullptr;
}

FARPROC QEntryPointAddress(QEntryPoint entry) {
  return entry >= 0 && entry < kEntryPointCount ? g_entryPoints[entry] : nullptr;
}

bool InitEnvironment() {
  // Every library is tried before any is checked.
  for (int i = 0; i < kLibraryCount; ++i) g_libraries[i] = Sys().LoadLibraryW(kLibraries[i].name);
  try {
    for (int i = 0; i < kLibraryCount; ++i) {
      if (g_libraries[i] == nullptr) throw new TError(Widen(kLibraries[i].loadError).c_str());
    }
    for (int i = 0; i < kLibraryCount; ++i) {
      for (int e = kLibraries[i].first; e < kLibraries[i].last; ++e) {
        g_entryPoints[e] = Sys().GetProcAddress(g_libraries[i], kEntryNames[e]);
        if (g_entryPoints[e] == nullptr)
          throw new TError((L"Failed to init " + Widen(kEntryNames[e])).c_str());
      }
    }
  } catch (TError* error) {
    ShowError(error);
    return false;
  }
  return true;
}

bool FreeEnvironment() {
  for (int i = 0; i < kLibraryCount; ++i) {
    if (g_libraries[i] != nullptr) {
      Sys().FreeLibrary(g_libraries[i]);
      g_libraries[i] = nullptr;
    }
  }
  return true;
}

bool IsWindows2000OrLater() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 4;
}

bool IsWindowsXpOrLater() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         ((info.dwMajorVersion == 5 && info.dwMinorVersion >= 1) || info.dwMajorVersion > 5);
}

void EnablePrivilege(const wchar_t* name) {
  Q_MESSAGE(kFailed, L"Getting necessary privilegies failed!");
  HANDLE token = nullptr;
  TOKEN_PRIVILEGES state{};
  BOOL adjusted = FALSE;
  // A token that cannot be opened or a name that cannot be looked up fails the same way
  // as a refused adjustment: the privilege was not enabled.
  if (Sys().OpenProcessToken(Sys().GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                             &token)) {
    if (Sys().LookupPrivilegeValueW(nullptr, name, &state.Privileges[0].Luid)) {
      state.PrivilegeCount = 1;
      state.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      adjusted = Sys().AdjustTokenPrivileges(token, FALSE, &state, sizeof(TOKEN_PRIVILEGES),
                                             nullptr, nullptr);
    }
    Sys().CloseHandle(token);
  }
  if (!adjusted) throw new TError(kFailed.Translate());
}

void EnablePrivileges() {
  Q_MESSAGE(kTerminate, L"Getting necessary privilegies failed! Application will be terminate!");
  static const wchar_t* const kNames[] = {L"SeSecurityPrivilege", L"SeTakeOwnershipPrivilege",
                                          L"SeShutdownPrivilege", L"SeRemoteShutdownPrivilege"};
  for (const wchar_t* name : kNames) {
    try {
      EnablePrivilege(name);
    } catch (TError* error) {
      ReleaseError(error);
      throw new TError(kTerminate.Translate());
    }
  }
}

void GetLocalComputerUnc(wchar_t** out) {
  Q_MESSAGE(kFailed, L"Getting Computer Name failed!");
  wchar_t name[16];
  DWORD size = 16;
  if (!Sys().GetComputerNameW(name, &size)) {
    *out = nullptr;
    throw new TError(kFailed.Translate(), true);
  }
  if (size > 15) size = 15;
  auto* unc = new wchar_t[size + 3];
  unc[0] = L'\\';
  unc[1] = L'\\';
  std::wmemcpy(unc + 2, name, size);
  unc[size + 2] = L'\0';
  *out = unc;
}

void ExtractUncServer(const wchar_t* path, wchar_t** out) {
  *out = nullptr;
  if (path == nullptr || path[0] != L'\\') return;
  const wchar_t* p = path;
  while (*p == L'\\') ++p;
  if (*p == L'\0') return;
  std::size_t n = 0;
  while (p[n] != L'\0' && p[n] != L'\\') ++n;
  auto* server = new wchar_t[n + 3];
  server[0] = L'\\';
  server[1] = L'\\';
  std::wmemcpy(server + 2, p, n);
  server[n + 2] = L'\0';
  *out = server;
}

void ExtractUncShare(const wchar_t* path, wchar_t** out) {
  *out = nullptr;
  wchar_t* server = nullptr;
  ExtractUncServer(path, &server);
  if (server == nullptr) return;
  const wchar_t* found = std::wcsstr(path, server);
  if (found != nullptr) {
    const wchar_t* p = found + std::wcslen(server);
    while (*p == L'\\') ++p;
    if (*p != L'\0') {
      std::size_t n = 0;
      while (p[n] != L'\0' && p[n] != L'\\') ++n;
      *out = NewCopy(p, n);
    }
  }
  delete[] server;
}

void ResetEnvironmentForTesting() {
  for (auto& library : g_libraries) library = nullptr;
  for (auto& entry : g_entryPoints) entry = nullptr;
  g_commandLine.clear();
}

}  // namespace Q

namespace Q {

std::string ExecutableFolderFile(const char* fileName) {
  char path[MAX_PATH + 1] = {};
  const DWORD n = Sys().GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n > MAX_PATH ? MAX_PATH : n);
  const std::size_t slash = folder.find_last_of("\\/");
  // Without the executable's folder there is no file beside it: an empty path opens
  // nothing, where the bare name would be looked for in the current folder.
  if (slash == std::string::npos) return std::string();
  folder = folder.substr(0, slash + 1);
  // The folder keeps its trailing backslash only at a drive root ("C:\").
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  if (folder.size() > 3 && folder.back() != '\\') folder.push_back('\\');
  return folder + (fileName ? fileName : "");
}

}  // namespace Q
