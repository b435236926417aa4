// Start-up environment: the kept command line, the optional system libraries and their
// entry points, the version tests, the process privileges and the UNC name helpers.
#pragma once

#include <string>

#include "platform/win32.h"

namespace Q {

// The command-line text after the program name (8-bit), kept for the whole run.
const char* CommandLine();
void KeepCommandLine(const char* text);
// True when `sw` occurs anywhere in the kept command line ("-%ns", "-%pi").
bool CommandLineHas(const char* sw);

// The five optional libraries, in load order.
enum QLibrary { kLibPsapi, kLibMprapi, kLibWtsapi32, kLibActiveDS, kLibNtdsapi, kLibraryCount };

// The 25 entry points, in lookup order (library by library).
enum QEntryPoint {
  kEnumProcessModules, kEnumProcesses, kGetModuleFileNameExW,
  kMprAdminUserSetInfo, kMprAdminUserGetInfo,
  kWTSFreeMemory, kWTSCloseServer, kWTSOpenServerW, kWTSEnumerateSessionsW,
  kWTSQuerySessionInformationW, kWTSEnumerateProcessesW, kWTSDisconnectSession,
  kWTSLogoffSession, kWTSTerminateProcess, kWTSSendMessageW,
  kADsOpenObject, kADsGetObject, kADsBuildVarArrayStr, kADsBuildEnumerator,
  kADsEnumerateNext, kADsFreeEnumerator,
  kDsFreeDomainControllerInfoW, kDsUnBindW, kDsBindW, kDsGetDomainControllerInfoW,
  kEntryPointCount
};

// Handle of an optional library (null until loaded, and after release).
HMODULE QLibraryHandle(QLibrary library);
// Address of an entry point (null until resolved).
FARPROC QEntryPointAddress(QEntryPoint entry);
// The entry point's address as a function of type Fn (WINAPI, documented signature).
template <class Fn>
Fn QEntry(QEntryPoint entry) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(QEntryPointAddress(entry)));
}

bool InitEnvironment();
bool FreeEnvironment();

bool IsWindows2000OrLater();
bool IsWindowsXpOrLater();

void EnablePrivileges();
void EnablePrivilege(const wchar_t* name);

void GetLocalComputerUnc(wchar_t** out);
void ExtractUncServer(const wchar_t* path, wchar_t** out);
void ExtractUncShare(const wchar_t* path, wchar_t** out);

// Clears the library table and the kept command line (tests only).
void ResetEnvironmentForTesting();

}  // namespace Q

namespace Q {
// The path of `fileName` in the folder of the program's executable (8-bit): the folder
// gets a backslash when it is longer than three characters and lacks one. Empty when the
// executable's path is unknown.
std::string ExecutableFolderFile(const char* fileName);
}  // namespace Q
