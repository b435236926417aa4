#include "sim/system.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "platform/codepage.h"
#include "sim/version_resource.h"

namespace sim {
namespace {

// Stands for every resolved entry point; the simulation never calls through it.
INT_PTR WINAPI ResolvedEntryPoint() { return 0; }

constexpr DWORD kErrorBufferOverflow = 111;
constexpr DWORD kErrorMrMidNotFound = 317;

const wchar_t* const kPrivileges[] = {
    L"SeSecurityPrivilege", L"SeTakeOwnershipPrivilege", L"SeShutdownPrivilege",
    L"SeRemoteShutdownPrivilege", L"SeBackupPrivilege", L"SeRestorePrivilege",
    L"SeDebugPrivilege"};

}  // namespace

SimSystem::SimSystem(Clock& clock, CallLog& log, FailureInjector& failures)
    : clock_(clock), log_(log), failures_(failures) {
  SetVersion(VER_PLATFORM_WIN32_NT, 5, 1, 2600);
  // The program's own version resource, as resources/pelmora.rc declares it.
  versionResource_ = BuildVersionResource({{L"FileVersion", L"1.0.0.1"},
                                           {L"ProductName", L"Pelmora"}},
                                          0x0409, 0x04E4);
  errorTexts_[ERROR_FILE_NOT_FOUND] = L"The system cannot find the file specified.\r\n";
  errorTexts_[ERROR_ACCESS_DENIED] = L"Access is denied.\r\n";
  errorTexts_[ERROR_INVALID_HANDLE] = L"The handle is invalid.\r\n";
  errorTexts_[ERROR_NOT_ENOUGH_MEMORY] =
      L"Not enough storage is available to process this command.\r\n";
  errorTexts_[ERROR_INVALID_PARAMETER] = L"The parameter is incorrect.\r\n";
  errorTexts_[ERROR_INSUFFICIENT_BUFFER] =
      L"The data area passed to a system call is too small.\r\n";
  errorTexts_[ERROR_MORE_DATA] = L"More data is available.\r\n";
  for (DWORD i = 0; i < sizeof(kPrivileges) / sizeof(kPrivileges[0]); ++i)
    privilegeByLuid_[i + 8] = kPrivileges[i];
}

SimSystem::~SimSystem() {
  for (void* p : localAllocations_) delete[] static_cast<wchar_t*>(p);
}

bool SimSystem::Fails(const char* name) {
  uint32_t error = 0;
  if (!failures_.ShouldFail(name, &error)) return false;
  lastError_ = error;
  return true;
}

void SimSystem::RemoveLibrary(const std::wstring& name) { removedLibraries_.insert(Lower(name)); }

void SimSystem::RemoveEntryPoint(const std::wstring& library, const std::string& entry) {
  Library& lib = libraries_[Lower(library)];
  lib.name = library;
  lib.missingEntries.insert(entry);
}

bool SimSystem::IsLoaded(const std::wstring& name) const {
  auto it = libraries_.find(Lower(name));
  return it != libraries_.end() && it->second.loads > 0;
}

int SimSystem::LoadedLibraryCount() const {
  int n = 0;
  for (const auto& entry : libraries_) n += entry.second.loads > 0 ? 1 : 0;
  return n;
}

void SimSystem::SetVersion(DWORD platform, DWORD major, DWORD minor, DWORD build) {
  version_ = OSVERSIONINFOEXW{};
  version_.dwPlatformId = platform;
  version_.dwMajorVersion = major;
  version_.dwMinorVersion = minor;
  version_.dwBuildNumber = build;
}

void SimSystem::SetErrorText(DWORD code, const std::wstring& text) { errorTexts_[code] = text; }
void SimSystem::RemoveErrorText(DWORD code) { errorTexts_.erase(code); }

HMODULE SimSystem::LoadLibraryW(LPCWSTR name) {
  log_.Record("LoadLibraryW", {Arg(name)});
  if (name == nullptr || Fails("LoadLibraryW")) return nullptr;
  std::wstring key = Lower(name);
  if (removedLibraries_.count(key)) {
    lastError_ = ERROR_MOD_NOT_FOUND;
    return nullptr;
  }
  Library& lib = libraries_[key];
  if (lib.name.empty()) lib.name = name;
  ++lib.loads;
  return reinterpret_cast<HMODULE>(&lib);
}

FARPROC SimSystem::GetProcAddress(HMODULE module, LPCSTR name) {
  log_.Record("GetProcAddress", {Arg(name)});
  if (Fails("GetProcAddress")) return nullptr;
  for (auto& entry : libraries_) {
    if (reinterpret_cast<HMODULE>(&entry.second) != module) continue;
    if (entry.second.loads == 0 || name == nullptr || entry.second.missingEntries.count(name)) {
      lastError_ = ERROR_PROC_NOT_FOUND;
      return nullptr;
    }
    return reinterpret_cast<FARPROC>(&ResolvedEntryPoint);
  }
  lastError_ = ERROR_INVALID_HANDLE;
  return nullptr;
}

BOOL SimSystem::FreeLibrary(HMODULE module) {
  for (auto& entry : libraries_) {
    if (reinterpret_cast<HMODULE>(&entry.second) != module) continue;
    log_.Record("FreeLibrary", {entry.second.name});
    if (entry.second.loads == 0) break;
    --entry.second.loads;
    return TRUE;
  }
  lastError_ = ERROR_INVALID_HANDLE;
  return FALSE;
}

BOOL SimSystem::GetVersionExW(LPOSVERSIONINFOW info) {
  log_.Record("GetVersionExW", {Arg(info ? info->dwOSVersionInfoSize : 0)});
  if (info == nullptr || Fails("GetVersionExW")) return FALSE;
  const DWORD size = info->dwOSVersionInfoSize;
  if (size == sizeof(OSVERSIONINFOEXW) && !failExtendedVersion_) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXW>(info);
    *ex = version_;
    ex->dwOSVersionInfoSize = size;
    return TRUE;
  }
  if (size == sizeof(OSVERSIONINFOW) && !failBasicVersion_) {
    std::memcpy(info, &version_, sizeof(OSVERSIONINFOW));
    info->dwOSVersionInfoSize = size;
    return TRUE;
  }
  lastError_ = ERROR_INSUFFICIENT_BUFFER;
  return FALSE;
}

BOOL SimSystem::GetComputerNameW(LPWSTR buffer, LPDWORD size) {
  log_.Record("GetComputerNameW", {Arg(size ? *size : 0)});
  if (size == nullptr || Fails("GetComputerNameW")) return FALSE;
  const DWORD needed = static_cast<DWORD>(computerName_.size()) + 1;
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    lastError_ = kErrorBufferOverflow;
    return FALSE;
  }
  std::copy(computerName_.begin(), computerName_.end(), buffer);
  buffer[computerName_.size()] = L'\0';
  *size = needed - 1;
  return TRUE;
}

DWORD SimSystem::FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                LPWSTR buffer, DWORD size, va_list* arguments) {
  log_.Record("FormatMessageW", {ArgHex(flags), Arg(messageId), Arg(languageId)});
  if (Fails("FormatMessageW")) return 0;
  auto it = errorTexts_.find(messageId);
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || it == errorTexts_.end()) {
    lastError_ = kErrorMrMidNotFound;
    return 0;
  }
  const std::wstring& text = it->second;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    auto* copy = new wchar_t[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = L'\0';
    localAllocations_.insert(copy);
    *reinterpret_cast<LPWSTR*>(buffer) = copy;
    return static_cast<DWORD>(text.size());
  }
  if (buffer == nullptr || size <= text.size()) {
    lastError_ = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = L'\0';
  return static_cast<DWORD>(text.size());
}

HLOCAL SimSystem::LocalAlloc(UINT flags, SIZE_T bytes) {
  log_.Record("LocalAlloc", {ArgHex(flags), Arg(static_cast<uint64_t>(bytes))});
  if (Fails("LocalAlloc")) return nullptr;
  // Kept as wide characters like the error texts, so that LocalFree releases both alike;
  // always zero-filled.
  const std::size_t chars = (bytes + sizeof(wchar_t) - 1) / sizeof(wchar_t);
  auto* block = new wchar_t[chars == 0 ? 1 : chars]();
  localAllocations_.insert(block);
  return block;
}

HLOCAL SimSystem::LocalFree(HLOCAL memory) {
  if (memory == nullptr) return nullptr;
  auto it = localAllocations_.find(memory);
  if (it == localAllocations_.end()) {
    // Freeing what the system did not hand out is a fault of the caller.
    lastError_ = ERROR_INVALID_HANDLE;
    return memory;
  }
  delete[] static_cast<wchar_t*>(memory);
  localAllocations_.erase(it);
  return nullptr;
}

HANDLE SimSystem::GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

BOOL SimSystem::OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  log_.Record("OpenProcessToken", {ArgHex(access)});
  if (token == nullptr || Fails("OpenProcessToken")) return FALSE;
  HANDLE h = reinterpret_cast<HANDLE>(static_cast<intptr_t>(nextHandle_ += 4));
  openHandles_.insert(h);
  *token = h;
  return TRUE;
}

BOOL SimSystem::LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, PLUID luid) {
  log_.Record("LookupPrivilegeValueW", {Arg(systemName), Arg(name)});
  if (name == nullptr || luid == nullptr || Fails("LookupPrivilegeValueW")) return FALSE;
  for (const auto& entry : privilegeByLuid_) {
    if (entry.second == name) {
      luid->LowPart = entry.first;
      luid->HighPart = 0;
      return TRUE;
    }
  }
  lastError_ = ERROR_NO_SUCH_PRIVILEGE;
  return FALSE;
}

BOOL SimSystem::AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                      DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                                      LPDWORD returnLength) {
  std::wstring privilege = L"?";
  if (newState != nullptr && newState->PrivilegeCount == 1) {
    auto it = privilegeByLuid_.find(newState->Privileges[0].Luid.LowPart);
    if (it != privilegeByLuid_.end()) privilege = it->second;
  }
  log_.Record("AdjustTokenPrivileges",
              {Arg(static_cast<uint64_t>(disableAll)), privilege,
               ArgHex(newState ? newState->Privileges[0].Attributes : 0), Arg(bufferLength),
               previousState ? L"previous" : L"(null)"});
  if (!openHandles_.count(token)) {
    lastError_ = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  if (Fails("AdjustTokenPrivileges")) return FALSE;
  if (withdrawnPrivileges_.count(privilege)) {
    lastError_ = ERROR_NOT_ALL_ASSIGNED;
    return TRUE;
  }
  if (newState != nullptr && (newState->Privileges[0].Attributes & SE_PRIVILEGE_ENABLED))
    enabledPrivileges_.push_back(privilege);
  lastError_ = ERROR_SUCCESS;
  return TRUE;
}

BOOL SimSystem::CloseHandle(HANDLE handle) {
  if (openHandles_.erase(handle) == 0) {
    lastError_ = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  return TRUE;
}

int SimSystem::MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  log_.Record("MessageBoxW", {Arg(text), Arg(caption), ArgHex(type)});
  boxes_.push_back(MessageBoxRecord{owner, text ? text : L"", caption ? caption : L"", type});
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  const UINT buttons = type & 0xF;
  if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) return IDNO;
  return IDOK;
}

HRESULT SimSystem::CoInitialize(LPVOID reserved) {
  log_.Record("CoInitialize", {reserved ? L"reserved" : L"(null)"});
  uint32_t error = 0;
  if (failures_.ShouldFail("CoInitialize", &error)) return static_cast<HRESULT>(error);
  return comInit_++ == 0 ? S_OK : S_FALSE;
}

void SimSystem::CoUninitialize() {
  log_.Record("CoUninitialize");
  if (comInit_ > 0) --comInit_;
}

int SimSystem::MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length,
                                   LPWSTR out, int outLength) {
  if (text == nullptr || length == 0 || outLength < 0 || (out == nullptr && outLength != 0) ||
      (codePage != CP_ACP && codePage != 1252)) {
    lastError_ = ERROR_INVALID_PARAMETER;
    return 0;
  }
  if (Fails("MultiByteToWideChar")) return 0;
  const std::size_t n = length < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
  std::wstring converted;
  converted.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    wchar_t wc = 0;
    if (!Q::Cp1252Decode(byte, &wc)) {
      if (flags & MB_ERR_INVALID_CHARS) {
        lastError_ = ERROR_NO_UNICODE_TRANSLATION;
        return 0;
      }
      wc = static_cast<wchar_t>(byte);  // the platform passes undefined bytes through
    }
    converted.push_back(wc);
  }
  if (outLength == 0) return static_cast<int>(converted.size());
  if (converted.size() > static_cast<std::size_t>(outLength)) {
    lastError_ = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  std::copy(converted.begin(), converted.end(), out);
  return static_cast<int>(converted.size());
}

int SimSystem::WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length,
                                   LPSTR out, int outLength, LPCSTR defaultChar,
                                   LPBOOL usedDefaultChar) {
  if (text == nullptr || length == 0 || outLength < 0 || (out == nullptr && outLength != 0) ||
      (codePage != CP_ACP && codePage != 1252)) {
    lastError_ = ERROR_INVALID_PARAMETER;
    return 0;
  }
  if (Fails("WideCharToMultiByte")) return 0;
  const std::size_t n = length < 0 ? std::wcslen(text) + 1 : static_cast<std::size_t>(length);
  std::string converted;
  converted.reserve(n);
  bool usedDefault = false;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char byte = 0;
    if (!Q::Cp1252Encode(text[i], &byte)) {
      byte = static_cast<unsigned char>(defaultChar ? *defaultChar : '?');
      usedDefault = true;
    }
    converted.push_back(static_cast<char>(byte));
  }
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  if (outLength == 0) return static_cast<int>(converted.size());
  if (converted.size() > static_cast<std::size_t>(outLength)) {
    lastError_ = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  std::copy(converted.begin(), converted.end(), out);
  return static_cast<int>(converted.size());
}

DWORD SimSystem::GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  std::string narrow;
  for (wchar_t c : modulePath_) {
    unsigned char byte = '?';
    Q::Cp1252Encode(c, &byte);
    narrow.push_back(static_cast<char>(byte));
  }
  if (buffer == nullptr || size == 0) return 0;
  const DWORD n = std::min<DWORD>(static_cast<DWORD>(narrow.size()), size - 1);
  std::memcpy(buffer, narrow.data(), n);
  buffer[n] = '\0';
  if (n < narrow.size()) lastError_ = ERROR_INSUFFICIENT_BUFFER;
  return n < narrow.size() ? size : n;
}

DWORD SimSystem::GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  const DWORD n = std::min<DWORD>(static_cast<DWORD>(modulePath_.size()), size - 1);
  std::copy(modulePath_.begin(), modulePath_.begin() + n, buffer);
  buffer[n] = L'\0';
  if (n < modulePath_.size()) lastError_ = ERROR_INSUFFICIENT_BUFFER;
  return n < modulePath_.size() ? size : n;
}

HCURSOR SimSystem::WaitCursor() const { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32514)); }
HCURSOR SimSystem::ArrowCursor() const { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32512)); }

HCURSOR SimSystem::LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  return reinterpret_cast<HCURSOR>(reinterpret_cast<uintptr_t>(name));
}

HCURSOR SimSystem::SetCursor(HCURSOR cursor) {
  HCURSOR previous = cursor_;
  cursor_ = cursor;
  return previous;
}

void SimSystem::Sleep(DWORD milliseconds) {
  log_.Record("Sleep", {Arg(milliseconds)});
  clock_.Advance(milliseconds);
}

DWORD SimSystem::GetTickCount() { return static_cast<DWORD>(clock_.Now()); }

DWORD SimSystem::GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
  log_.Record("GetFileVersionInfoSizeA", {Arg(fileName)});
  if (handle) *handle = 0;
  if (Fails("GetFileVersionInfoSizeA")) return 0;
  if (versionResource_.empty()) {
    lastError_ = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return 0;
  }
  return static_cast<DWORD>(versionResource_.size());
}

BOOL SimSystem::GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) {
  log_.Record("GetFileVersionInfoA", {Arg(fileName), Arg(static_cast<uint64_t>(length))});
  if (Fails("GetFileVersionInfoA")) return FALSE;
  if (versionResource_.empty() || data == nullptr) {
    lastError_ = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return FALSE;
  }
  const std::size_t n = std::min<std::size_t>(length, versionResource_.size());
  std::memcpy(data, versionResource_.data(), n);
  return TRUE;
}

BOOL SimSystem::VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
  log_.Record("VerQueryValueA", {Arg(subBlock)});
  if (Fails("VerQueryValueA")) return FALSE;
  if (block == nullptr || subBlock == nullptr || buffer == nullptr) return FALSE;
  VersionValue value;
  if (!FindVersionValue(static_cast<const BYTE*>(block), subBlock, &value)) return FALSE;
  if (value.text) {
    // Text values come back as 8-bit text of the ANSI code page, as with the A function.
    std::string narrow;
    for (const std::u16string::value_type unit : value.utf16) {
      unsigned char byte = '?';
      Q::Cp1252Encode(static_cast<wchar_t>(unit), &byte);
      narrow.push_back(static_cast<char>(byte));
    }
    versionStrings_.push_back(narrow);
    *buffer = const_cast<char*>(versionStrings_.back().c_str());
    if (length) *length = static_cast<UINT>(narrow.size() + 1);
  } else {
    *buffer = const_cast<BYTE*>(value.data);
    if (length) *length = value.size;
  }
  return TRUE;
}

}  // namespace sim
