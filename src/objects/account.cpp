#include "objects/account.h"

#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "app/error.h"
#include "objects/qobject.h"
#include "platform/system.h"
#include "text/coredict.h"

namespace Q {
namespace {

std::unique_ptr<wchar_t[]> Copy(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  const std::size_t n = std::wcslen(text);
  std::unique_ptr<wchar_t[]> copy(new wchar_t[n + 1]);
  std::wmemcpy(copy.get(), text, n + 1);
  return copy;
}

// A zero-filled buffer of `count` elements, or null when memory is exhausted.
template <class T>
std::unique_ptr<T[]> TryAllocate(DWORD count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count == 0 ? 1 : count]());
}

// The text after the first backslash when `name` holds one of the two system
// authorities' prefixes; otherwise the whole name.
const wchar_t* LookupNameOf(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  if (std::wcsstr(name, L"BUILTIN\\") != nullptr || std::wcsstr(name, L"NT AUTHORITY\\") != nullptr)
    return std::wcschr(name, L'\\') + 1;
  return name;
}

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix != L'\0'; ++text, ++prefix)
    if (*text == L'\0' || std::towupper(*text) != std::towupper(*prefix)) return false;
  return true;
}

}  // namespace

CAccount::CAccount(const wchar_t* name, const wchar_t* server)
    : server_(Copy(server)), fromName_(1), lookupName_(nullptr), nameCopy_(Copy(name)) {
  lookupName_ = LookupNameOf(nameCopy_.get());
}

CAccount::CAccount(PSID sid, const wchar_t* server)
    : server_(Copy(server)), fromName_(0), lookupName_(nullptr) {
  INetServices& net = Net();
  if (sid == nullptr || !net.IsValidSid(sid)) {
    sidInvalid_ = true;
    return;
  }
  const DWORD length = net.GetLengthSid(sid);
  std::unique_ptr<BYTE[]> copy(new BYTE[length]());
  if (net.CopySid(length, copy.get(), sid)) {
    sid_ = std::move(copy);
  } else {
    sidInvalid_ = true;
  }
}

CAccount::~CAccount() = default;

DWORD CAccount::GetName(wchar_t** name) {
  if (lookupName_ != nullptr) {
    *name = const_cast<wchar_t*>(lookupName_);
    return 0;
  }
  *name = nullptr;
  if (sid_ == nullptr) return fromName_ ? 0 : ERROR_INVALID_SID;
  use_.reset(new (std::nothrow) SID_NAME_USE(SidTypeUnknown));
  if (use_ == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD nameSize = 0;
  DWORD domainSize = 0;
  if (Net().LookupAccountSidW(server_.get(), sid_.get(), nullptr, &nameSize, nullptr, &domainSize,
                              use_.get())) {
    // A lookup that claims success without buffers has named nothing.
    return ERROR_NONE_MAPPED;
  }
  const DWORD error = Sys().GetLastError();
  if (error != ERROR_INSUFFICIENT_BUFFER) return error;
  std::unique_ptr<wchar_t[]> buffer = TryAllocate<wchar_t>(nameSize);
  std::unique_ptr<wchar_t[]> domain = TryAllocate<wchar_t>(domainSize);
  if (buffer == nullptr || domain == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  if (!Net().LookupAccountSidW(server_.get(), sid_.get(), buffer.get(), &nameSize, domain.get(),
                               &domainSize, use_.get()))
    return Sys().GetLastError();
  ownedName_ = std::move(buffer);
  lookupName_ = ownedName_.get();
  domain_ = std::move(domain);
  *name = ownedName_.get();
  return 0;
}

DWORD CAccount::GetSid(PSID* sid) {
  if (sid_ != nullptr) {
    *sid = sid_.get();
    return 0;
  }
  *sid = nullptr;
  if (!fromName_) return ERROR_INVALID_SID;
  if (lookupName_ == nullptr) return 0;
  use_.reset(new (std::nothrow) SID_NAME_USE(SidTypeUnknown));
  if (use_ == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  if (Net().LookupAccountNameW(server_.get(), lookupName_, nullptr, &sidSize, nullptr, &domainSize,
                               use_.get()))
    return ERROR_NONE_MAPPED;
  const DWORD error = Sys().GetLastError();
  if (error != ERROR_INSUFFICIENT_BUFFER) return error;
  std::unique_ptr<BYTE[]> buffer = TryAllocate<BYTE>(sidSize);
  std::unique_ptr<wchar_t[]> domain = TryAllocate<wchar_t>(domainSize);
  if (buffer == nullptr || domain == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  if (!Net().LookupAccountNameW(server_.get(), lookupName_, buffer.get(), &sidSize, domain.get(),
                                &domainSize, use_.get()))
    return Sys().GetLastError();
  sid_ = std::move(buffer);
  domain_ = std::move(domain);
  *sid = sid_.get();
  return 0;
}

DWORD CAccount::GetDomain(wchar_t** domain) {
  DWORD status = 0;
  if (domain_ == nullptr) {
    if (fromName_) {
      PSID sid = nullptr;
      status = GetSid(&sid);
    } else {
      wchar_t* name = nullptr;
      status = GetName(&name);
    }
  }
  *domain = domain_.get();
  return status;
}

DWORD CAccount::GetFullName(wchar_t** fullName) {
  if (fullName_ != nullptr) {
    *fullName = fullName_.get();
    return 0;
  }
  *fullName = nullptr;
  wchar_t* name = nullptr;
  DWORD status = GetName(&name);
  if (status != 0) return status;
  wchar_t* domain = nullptr;
  status = GetDomain(&domain);
  if (status != 0) return status;
  if (name == nullptr) return ERROR_NONE_MAPPED;
  const wchar_t* domainText = domain != nullptr ? domain : L"";
  const std::size_t size = std::wcslen(name) + std::wcslen(domainText) + 2;
  std::unique_ptr<wchar_t[]> full(new (std::nothrow) wchar_t[size]);
  if (full == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  std::wstring text = std::wcschr(name, L'\\') != nullptr
                          ? std::wstring(name)
                          : std::wstring(domainText) + L"\\" + name;
  text.copy(full.get(), size - 1);
  full[text.size() < size ? text.size() : size - 1] = L'\0';
  fullName_ = std::move(full);
  *fullName = fullName_.get();
  return 0;
}

DWORD SidToText(CAccount* account, wchar_t** text) {
  constexpr std::size_t kChars = 1024;
  PSID sid = nullptr;
  const DWORD status = account->GetSid(&sid);
  if (status != 0) return status;
  if (sid == nullptr) return ERROR_INVALID_SID;
  INetServices& net = Net();
  static const wchar_t* const kHex = L"0123456789abcdef";
  const BYTE revision = static_cast<const BYTE*>(sid)[0];
  std::wstring out = L"S-";
  {
    std::wstring digits;
    unsigned v = revision;
    do {
      digits.insert(digits.begin(), kHex[v & 15]);
      v >>= 4;
    } while (v != 0);
    out += digits;
  }
  const BYTE* a = net.GetSidIdentifierAuthority(sid)->Value;
  if (a[0] != 0 || a[1] != 0) {
    out += L"-0x";
    for (int i = 0; i < 6; ++i) {
      out += kHex[a[i] >> 4];
      out += kHex[a[i] & 15];
    }
  } else {
    const unsigned long value = (static_cast<unsigned long>(a[2]) << 24) |
                                (static_cast<unsigned long>(a[3]) << 16) |
                                (static_cast<unsigned long>(a[4]) << 8) | a[5];
    out += L"-" + std::to_wstring(value);
  }
  const unsigned count = *net.GetSidSubAuthorityCount(sid);
  for (unsigned i = 0; i < count; ++i)
    out += L"-" + std::to_wstring(static_cast<unsigned long>(*net.GetSidSubAuthority(sid, i)));
  std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[kChars]());
  if (buffer == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  const std::size_t n = out.size() < kChars ? out.size() : kChars - 1;
  out.copy(buffer.get(), n);
  buffer[n] = L'\0';
  *text = buffer.release();
  return 0;
}

void ParseWinNTPath(const wchar_t* path, wchar_t** domain, wchar_t** object, bool resolve) {
  constexpr std::size_t kChars = 260;
  *domain = nullptr;
  *object = nullptr;
  if (path == nullptr) return;
  wchar_t work[kChars];
  std::size_t n = std::wcslen(path);
  if (n > kChars - 1) n = kChars - 1;
  std::wmemcpy(work, path, n);
  work[n] = L'\0';
  wchar_t* start = std::wcsstr(work, L"WinNT://");
  start = start != nullptr ? start + 8 : work;
  if (wchar_t* comma = std::wcschr(start, L',')) *comma = L'\0';
  std::unique_ptr<wchar_t[]> objectPart;
  if (wchar_t* slash = std::wcschr(start, L'/')) {
    objectPart = Copy(slash + 1);
    *slash = L'\0';
  }
  std::unique_ptr<wchar_t[]> domainPart = Copy(start);
  if (StartsWithNoCase(domainPart.get(), L"S-1-5-")) {
    objectPart = std::move(domainPart);
  }
  if (resolve) {
    PDOMAIN_CONTROLLER_INFOW info = nullptr;
    if (Net().DsGetDcNameW(nullptr, domainPart.get(), nullptr, nullptr,
                           DS_DIRECTORY_SERVICE_REQUIRED | DS_RETURN_FLAT_NAME, &info) == 0 &&
        info != nullptr && info->DomainName != nullptr) {
      domainPart = Copy(info->DomainName);
    }
    if (info != nullptr) Net().NetApiBufferFree(info);
  }
  *domain = domainPart.release();
  *object = objectPart.release();
}

wchar_t* BuildWinNTPath(const wchar_t* domain, const wchar_t* name, const wchar_t* objectClass) {
  std::wstring path = L"WinNT://";
  if (domain != nullptr) path += domain;
  if (name != nullptr) {
    if (domain != nullptr) path += L"/";
    path += name;
  }
  if (objectClass != nullptr) {
    path += L",";
    path += objectClass;
  }
  // Room for 260 characters as callers expect, more when the parts need it: a path cut
  // short would name another object.
  const std::size_t size = path.size() + 1 > 260 ? path.size() + 1 : 260;
  auto* out = new wchar_t[size]();
  path.copy(out, path.size());
  return out;
}

wchar_t* FindDomainController(const wchar_t* domain, bool primary) {
  Q_MESSAGE(kFailed, L"Failed to detect DC!");
  if (domain != nullptr &&
      (std::wcsstr(domain, L"BUILTIN") != nullptr || std::wcsstr(domain, L"NT AUTHORITY") != nullptr))
    throw new TError(kFailed.Translate());
  INetServices& net = Net();
  if (primary) {
    LPBYTE buffer = nullptr;
    const NET_API_STATUS status = net.NetGetDCName(nullptr, domain, &buffer);
    std::unique_ptr<wchar_t[]> name;
    if (status == NERR_Success && buffer != nullptr)
      name = Copy(reinterpret_cast<const wchar_t*>(buffer));
    if (buffer != nullptr) net.NetApiBufferFree(buffer);
    if (name == nullptr) throw new TError(kFailed.Translate());
    return name.release();
  }
  PDOMAIN_CONTROLLER_INFOW info = nullptr;
  const DWORD status = net.DsGetDcNameW(nullptr, domain, nullptr, nullptr,
                                        DS_DIRECTORY_SERVICE_REQUIRED | DS_RETURN_DNS_NAME, &info);
  std::unique_ptr<wchar_t[]> name;
  if (status == 0 && info != nullptr) name = Copy(info->DomainControllerName);
  if (info != nullptr) net.NetApiBufferFree(info);
  if (name == nullptr) throw new TError(kFailed.Translate());
  return name.release();
}

wchar_t* FindCommonName(const wchar_t* distinguishedName) {
  if (distinguishedName == nullptr) return nullptr;
  for (const wchar_t* variant : {L"CN=", L"cn=", L"Cn=", L"cN="}) {
    if (const wchar_t* at = std::wcsstr(distinguishedName, variant)) return NewWideCopy(at);
  }
  return nullptr;
}

}  // namespace Q
