// The system seam on the real platform: every method forwards to the Win32 function of
// the same name.
#include "platform/system.h"

#ifdef _WIN32

#include <objbase.h>

namespace Q {
namespace {

class Win32System final : public ISystem {
 public:
  HMODULE LoadLibraryW(LPCWSTR name) override { return ::LoadLibraryW(name); }
  FARPROC GetProcAddress(HMODULE module, LPCSTR name) override {
    return ::GetProcAddress(module, name);
  }
  BOOL FreeLibrary(HMODULE module) override { return ::FreeLibrary(module); }

  BOOL GetVersionExW(LPOSVERSIONINFOW info) override { return ::GetVersionExW(info); }
  BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) override {
    return ::GetComputerNameW(buffer, size);
  }
  DWORD GetLastError() override { return ::GetLastError(); }
  void SetLastError(DWORD code) override { ::SetLastError(code); }
  DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                       LPWSTR buffer, DWORD size, va_list* arguments) override {
    return ::FormatMessageW(flags, source, messageId, languageId, buffer, size, arguments);
  }
  HLOCAL LocalFree(HLOCAL memory) override { return ::LocalFree(memory); }
  HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) override { return ::LocalAlloc(flags, bytes); }

  HANDLE GetCurrentProcess() override { return ::GetCurrentProcess(); }
  BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) override {
    return ::OpenProcessToken(process, access, token);
  }
  BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) override {
    return ::LookupPrivilegeValueW(systemName, name, luid);
  }
  BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                             DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                             LPDWORD returnLength) override {
    return ::AdjustTokenPrivileges(token, disableAll, newState, bufferLength, previousState,
                                   returnLength);
  }
  BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }

  int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) override {
    return ::MessageBoxW(owner, text, caption, type);
  }

  HRESULT CoInitialize(LPVOID reserved) override { return ::CoInitialize(reserved); }
  void CoUninitialize() override { ::CoUninitialize(); }

  int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                          int outLength) override {
    return ::MultiByteToWideChar(codePage, flags, text, length, out, outLength);
  }
  int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                          int outLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) override {
    return ::WideCharToMultiByte(codePage, flags, text, length, out, outLength, defaultChar,
                                 usedDefaultChar);
  }

  DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) override {
    return ::GetModuleFileNameA(module, buffer, size);
  }
  DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) override {
    return ::GetModuleFileNameW(module, buffer, size);
  }

  HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) override {
    return ::LoadCursorW(instance, name);
  }
  HCURSOR SetCursor(HCURSOR cursor) override { return ::SetCursor(cursor); }

  void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
  DWORD GetTickCount() override { return ::GetTickCount(); }

  DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) override {
    return ::GetFileVersionInfoSizeA(fileName, handle);
  }
  BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) override {
    return ::GetFileVersionInfoA(fileName, handle, length, data);
  }
  BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) override {
    return ::VerQueryValueA(block, subBlock, buffer, length);
  }
};

}  // namespace

template <>
ISystem* Seam<ISystem>::Default() {
  static Win32System system;
  return &system;
}

}  // namespace Q

#else

namespace Q {
// The native build has no real platform: the simulated computer is installed explicitly.
template <>
ISystem* Seam<ISystem>::Default() {
  return nullptr;
}
}  // namespace Q

#endif
