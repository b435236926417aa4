// The system seam: libraries, version, privileges, computer name, error texts, message
// boxes, COM initialisation, code pages, the module path, the cursor and the clock.
// Methods keep the platform's names, parameters and results.
#pragma once

#include <cstdarg>

#include "platform/seam.h"
#include "platform/win32.h"

namespace Q {

class ISystem {
 public:
  virtual ~ISystem() = default;

  // Libraries.
  virtual HMODULE LoadLibraryW(LPCWSTR name) = 0;
  virtual FARPROC GetProcAddress(HMODULE module, LPCSTR name) = 0;
  virtual BOOL FreeLibrary(HMODULE module) = 0;

  // Version, computer name, last error and error texts.
  virtual BOOL GetVersionExW(LPOSVERSIONINFOW info) = 0;
  virtual BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) = 0;
  virtual DWORD GetLastError() = 0;
  virtual void SetLastError(DWORD code) = 0;
  virtual DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                               LPWSTR buffer, DWORD size, va_list* arguments) = 0;
  virtual HLOCAL LocalFree(HLOCAL memory) = 0;
  // A block from the system heap (LPTR: fixed and zero-filled), released with LocalFree.
  virtual HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) = 0;

  // Privileges of the current process.
  virtual HANDLE GetCurrentProcess() = 0;
  virtual BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) = 0;
  virtual BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) = 0;
  virtual BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                     DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                                     LPDWORD returnLength) = 0;
  virtual BOOL CloseHandle(HANDLE handle) = 0;

  // Message boxes.
  virtual int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) = 0;

  // COM for the calling thread.
  virtual HRESULT CoInitialize(LPVOID reserved) = 0;
  virtual void CoUninitialize() = 0;

  // ANSI code page conversions.
  virtual int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length,
                                  LPWSTR out, int outLength) = 0;
  virtual int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length,
                                  LPSTR out, int outLength, LPCSTR defaultChar,
                                  LPBOOL usedDefaultChar) = 0;

  // The executable's own path.
  virtual DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) = 0;
  virtual DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) = 0;

  // Cursor: the application's wait cursor is the system's IDC_WAIT.
  virtual HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) = 0;
  virtual HCURSOR SetCursor(HCURSOR cursor) = 0;

  // Clock.
  virtual void Sleep(DWORD milliseconds) = 0;
  virtual DWORD GetTickCount() = 0;

  // Version resources of files (version.dll).
  virtual DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) = 0;
  virtual BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) = 0;
  virtual BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) = 0;
};

// The active system implementation.
inline ISystem& Sys() { return Seam<ISystem>::Get(); }

}  // namespace Q

#ifndef _WIN32
#define MB_ERR_INVALID_CHARS 0x00000008
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#endif
