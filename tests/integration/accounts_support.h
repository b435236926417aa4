// Support for the integration tests of accounts and service configuration: the real
// system seam with its message boxes recorded instead of shown (a modal box would stop an
// unattended run), and the Wine user's name.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/error.h"
#include "platform/system.h"

namespace integ {

struct Box {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class RecordingSystem final : public Q::ISystem {
 public:
  RecordingSystem() : real_(*Q::Seam<Q::ISystem>::Default()), scope_(*this) {}
  const std::vector<Box>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }

  int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) override {
    boxes_.push_back(Box{text ? text : L"", caption ? caption : L"", type});
    return IDOK;
  }
  HMODULE LoadLibraryW(LPCWSTR name) override { return real_.LoadLibraryW(name); }
  FARPROC GetProcAddress(HMODULE m, LPCSTR name) override { return real_.GetProcAddress(m, name); }
  BOOL FreeLibrary(HMODULE m) override { return real_.FreeLibrary(m); }
  BOOL GetVersionExW(LPOSVERSIONINFOW info) override { return real_.GetVersionExW(info); }
  BOOL GetComputerNameW(LPWSTR b, LPDWORD s) override { return real_.GetComputerNameW(b, s); }
  DWORD GetLastError() override { return real_.GetLastError(); }
  void SetLastError(DWORD code) override { real_.SetLastError(code); }
  DWORD FormatMessageW(DWORD f, LPCVOID s, DWORD id, DWORD l, LPWSTR b, DWORD n,
                       va_list* a) override {
    return real_.FormatMessageW(f, s, id, l, b, n, a);
  }
  HLOCAL LocalFree(HLOCAL m) override { return real_.LocalFree(m); }
  HLOCAL LocalAlloc(UINT f, SIZE_T n) override { return real_.LocalAlloc(f, n); }
  HANDLE GetCurrentProcess() override { return real_.GetCurrentProcess(); }
  BOOL OpenProcessToken(HANDLE p, DWORD a, PHANDLE t) override { return real_.OpenProcessToken(p, a, t); }
  BOOL LookupPrivilegeValueW(LPCWSTR s, LPCWSTR n, PLUID l) override {
    return real_.LookupPrivilegeValueW(s, n, l);
  }
  BOOL AdjustTokenPrivileges(HANDLE t, BOOL d, PTOKEN_PRIVILEGES n, DWORD l, PTOKEN_PRIVILEGES p,
                             LPDWORD r) override {
    return real_.AdjustTokenPrivileges(t, d, n, l, p, r);
  }
  BOOL CloseHandle(HANDLE h) override { return real_.CloseHandle(h); }
  HRESULT CoInitialize(LPVOID r) override { return real_.CoInitialize(r); }
  void CoUninitialize() override { real_.CoUninitialize(); }
  int MultiByteToWideChar(UINT cp, DWORD f, LPCSTR t, int l, LPWSTR o, int ol) override {
    return real_.MultiByteToWideChar(cp, f, t, l, o, ol);
  }
  int WideCharToMultiByte(UINT cp, DWORD f, LPCWSTR t, int l, LPSTR o, int ol, LPCSTR d,
                          LPBOOL u) override {
    return real_.WideCharToMultiByte(cp, f, t, l, o, ol, d, u);
  }
  DWORD GetModuleFileNameA(HMODULE m, LPSTR b, DWORD s) override { return real_.GetModuleFileNameA(m, b, s); }
  DWORD GetModuleFileNameW(HMODULE m, LPWSTR b, DWORD s) override { return real_.GetModuleFileNameW(m, b, s); }
  HCURSOR LoadCursorW(HINSTANCE i, LPCWSTR n) override { return real_.LoadCursorW(i, n); }
  HCURSOR SetCursor(HCURSOR c) override { return real_.SetCursor(c); }
  void Sleep(DWORD ms) override { real_.Sleep(ms); }
  DWORD GetTickCount() override { return real_.GetTickCount(); }

 private:
  Q::ISystem& real_;
  Q::ScopedSeam<Q::ISystem> scope_;
  std::vector<Box> boxes_;
};

inline std::wstring UserName() {
  wchar_t name[256] = {};
  DWORD size = 256;
  return GetUserNameW(name, &size) ? name : L"";
}

inline std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? name : L"";
}

inline std::wstring RaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (Q::TError* error) {
    std::wstring message = error->Message ? error->Message : L"";
    Q::ReleaseError(error);
    return message;
  }
  return L"(none)";
}

}  // namespace integ
