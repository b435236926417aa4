// A system seam that forwards every call to another implementation. Decorators derive
// from it and override only what they change (for example, tests that record message
// boxes on the real platform instead of showing them).
#pragma once

#include "platform/system.h"

namespace Q {

class ForwardingSystem : public ISystem {
 public:
  explicit ForwardingSystem(ISystem& target) : target_(target) {}

  HMODULE LoadLibraryW(LPCWSTR name) override { return target_.LoadLibraryW(name); }
  FARPROC GetProcAddress(HMODULE module, LPCSTR name) override {
    return target_.GetProcAddress(module, name);
  }
  BOOL FreeLibrary(HMODULE module) override { return target_.FreeLibrary(module); }
  BOOL GetVersionExW(LPOSVERSIONINFOW info) override { return target_.GetVersionExW(info); }
  BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) override {
    return target_.GetComputerNameW(buffer, size);
  }
  DWORD GetLastError() override { return target_.GetLastError(); }
  void SetLastError(DWORD code) override { target_.SetLastError(code); }
  DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                       LPWSTR buffer, DWORD size, va_list* arguments) override {
    return target_.FormatMessageW(flags, source, messageId, languageId, buffer, size, arguments);
  }
  HLOCAL LocalFree(HLOCAL memory) override { return target_.LocalFree(memory); }
  HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) override { return target_.LocalAlloc(flags, bytes); }
  HANDLE GetCurrentProcess() override { return target_.GetCurrentProcess(); }
  BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) override {
    return target_.OpenProcessToken(process, access, token);
  }
  BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) override {
    return target_.LookupPrivilegeValueW(systemName, name, luid);
  }
  BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                             DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                             LPDWORD returnLength) override {
    return target_.AdjustTokenPrivileges(token, disableAll, newState, bufferLength,
                                         previousState, returnLength);
  }
  BOOL CloseHandle(HANDLE handle) override { return target_.CloseHandle(handle); }
  int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) override {
    return target_.MessageBoxW(owner, text, caption, type);
  }
  HRESULT CoInitialize(LPVOID reserved) override { return target_.CoInitialize(reserved); }
  void CoUninitialize() override { target_.CoUninitialize(); }
  int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                          int outLength) override {
    return target_.MultiByteToWideChar(codePage, flags, text, length, out, outLength);
  }
  int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                          int outLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) override {
    return target_.WideCharToMultiByte(codePage, flags, text, length, out, outLength,
                                       defaultChar, usedDefaultChar);
  }
  DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) override {
    return target_.GetModuleFileNameA(module, buffer, size);
  }
  DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) override {
    return target_.GetModuleFileNameW(module, buffer, size);
  }
  HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) override {
    return target_.LoadCursorW(instance, name);
  }
  HCURSOR SetCursor(HCURSOR cursor) override { return target_.SetCursor(cursor); }
  void Sleep(DWORD milliseconds) override { target_.Sleep(milliseconds); }
  DWORD GetTickCount() override { return target_.GetTickCount(); }
  DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) override {
    return target_.GetFileVersionInfoSizeA(fileName, handle);
  }
  BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) override {
    return target_.GetFileVersionInfoA(fileName, handle, length, data);
  }
  BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) override {
    return target_.VerQueryValueA(block, subBlock, buffer, length);
  }

 protected:
  ISystem& target_;
};

}  // namespace Q
