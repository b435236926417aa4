// The simulated computer's system services: libraries with their entry points, version,
// computer name, error texts, privileges, message boxes (recorded, answered from a queue),
// COM, code page 1252, the module path, the cursor and the virtual clock.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/system.h"
#include "sim/call_log.h"
#include "sim/clock.h"

namespace sim {

struct MessageBoxRecord {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class SimSystem final : public Q::ISystem {
 public:
  SimSystem(Clock& clock, CallLog& log, FailureInjector& failures);
  ~SimSystem() override;

  // --- Builder and inspection -------------------------------------------------------
  // Libraries load unless removed; every entry point resolves unless removed.
  void RemoveLibrary(const std::wstring& name);
  void RemoveEntryPoint(const std::wstring& library, const std::string& entry);
  bool IsLoaded(const std::wstring& name) const;
  int LoadedLibraryCount() const;

  void SetVersion(DWORD platform, DWORD major, DWORD minor, DWORD build = 0);
  void FailExtendedVersionQuery(bool fail) { failExtendedVersion_ = fail; }
  void FailBasicVersionQuery(bool fail) { failBasicVersion_ = fail; }

  void SetComputerName(const std::wstring& name) { computerName_ = name; }
  const std::wstring& ComputerName() const { return computerName_; }
  void SetErrorText(DWORD code, const std::wstring& text);
  void RemoveErrorText(DWORD code);

  // Privileges the process has enabled. The account holds every known privilege unless
  // one is withdrawn; enabling a withdrawn one succeeds without effect and leaves
  // ERROR_NOT_ALL_ASSIGNED as the last error, as on the platform.
  const std::vector<std::wstring>& EnabledPrivileges() const { return enabledPrivileges_; }
  void WithdrawPrivilege(const std::wstring& name) { withdrawnPrivileges_.insert(name); }
  int OpenHandleCount() const { return static_cast<int>(openHandles_.size()); }

  // Message boxes: each shown box is recorded; answers come from the queue, or IDOK
  // (IDNO for a yes/no box) when it is empty.
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  const std::vector<MessageBoxRecord>& Boxes() const { return boxes_; }
  void ClearBoxes() { boxes_.clear(); }

  int ComInitCount() const { return comInit_; }
  int OutstandingLocalAllocations() const { return static_cast<int>(localAllocations_.size()); }

  void SetModulePath(const std::wstring& path) { modulePath_ = path; }
  HCURSOR CurrentCursor() const { return cursor_; }
  HCURSOR WaitCursor() const;
  HCURSOR ArrowCursor() const;

  // The version resource of the executable (VS_VERSIONINFO layout, see
  // sim/version_resource.h); empty: the file has none.
  void SetVersionResource(std::vector<BYTE> block) { versionResource_ = std::move(block); }

  // --- ISystem ------------------------------------------------------------------------
  HMODULE LoadLibraryW(LPCWSTR name) override;
  FARPROC GetProcAddress(HMODULE module, LPCSTR name) override;
  BOOL FreeLibrary(HMODULE module) override;
  BOOL GetVersionExW(LPOSVERSIONINFOW info) override;
  BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) override;
  DWORD GetLastError() override { return lastError_; }
  void SetLastError(DWORD code) override { lastError_ = code; }
  DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                       LPWSTR buffer, DWORD size, va_list* arguments) override;
  HLOCAL LocalFree(HLOCAL memory) override;
  HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) override;
  HANDLE GetCurrentProcess() override;
  BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) override;
  BOOL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) override;
  BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                             DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                             LPDWORD returnLength) override;
  BOOL CloseHandle(HANDLE handle) override;
  int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) override;
  HRESULT CoInitialize(LPVOID reserved) override;
  void CoUninitialize() override;
  int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                          int outLength) override;
  int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                          int outLength, LPCSTR defaultChar, LPBOOL usedDefaultChar) override;
  DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) override;
  DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) override;
  HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) override;
  HCURSOR SetCursor(HCURSOR cursor) override;
  void Sleep(DWORD milliseconds) override;
  DWORD GetTickCount() override;
  DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) override;
  BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) override;
  BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) override;

 private:
  struct Library {
    std::wstring name;
    std::set<std::string> missingEntries;
    int loads = 0;
  };
  bool Fails(const char* name);

  Clock& clock_;
  CallLog& log_;
  FailureInjector& failures_;
  std::map<std::wstring, Library> libraries_;  // by lower-case name
  std::set<std::wstring> removedLibraries_;
  OSVERSIONINFOEXW version_{};
  bool failExtendedVersion_ = false;
  bool failBasicVersion_ = false;
  std::wstring computerName_ = L"SIMHOST";
  std::map<DWORD, std::wstring> errorTexts_;
  DWORD lastError_ = 0;
  std::set<void*> localAllocations_;
  std::set<HANDLE> openHandles_;
  int nextHandle_ = 0x100;
  std::vector<std::wstring> enabledPrivileges_;
  std::set<std::wstring> withdrawnPrivileges_;
  std::map<DWORD, std::wstring> privilegeByLuid_;
  std::deque<int> answers_;
  std::vector<MessageBoxRecord> boxes_;
  int comInit_ = 0;
  std::wstring modulePath_ = L"C:\\Program Files\\Pelmora\\pelmora.exe";
  HCURSOR cursor_ = nullptr;
  std::vector<BYTE> versionResource_;
  std::deque<std::string> versionStrings_;  // 8-bit copies handed out by VerQueryValueA
};

}  // namespace sim
