// Account identity: CAccount resolves a security principal lazily (SID, bare name,
// domain, full name) through the platform's account lookup; SidToText writes a SID's
// S-1-... form; the WinNT:// path, domain controller and common-name helpers.
#pragma once

#include <memory>

#include "objects/platform/net.h"

namespace Q {

// Account type codes of the tree's accounts.
enum TqAccountType : unsigned char {
  kAccountUser = 1,
  kAccountLocalGroup = 2,
  kAccountGlobalGroup = 3,
};

// Every getter returns 0 on success, 8 (ERROR_NOT_ENOUGH_MEMORY) when a buffer cannot be
// allocated, otherwise the platform error of the failed lookup. Values are delivered
// through out-parameters that point into the record: not to be freed, valid while the
// record lives. Results are cached; a resolved value is never looked up again.
class CAccount {
 public:
  // From a name, optionally qualified by the computer asked about it (null: local).
  // "BUILTIN\x" and "NT AUTHORITY\x" are looked up as x; any other name as given.
  CAccount(const wchar_t* name, const wchar_t* server);
  // From a SID (copied); a null or malformed SID leaves the record without one, and its
  // getters then report ERROR_INVALID_SID.
  CAccount(PSID sid, const wchar_t* server);
  ~CAccount();
  CAccount(const CAccount&) = delete;
  CAccount& operator=(const CAccount&) = delete;

  DWORD GetName(wchar_t** name);
  DWORD GetSid(PSID* sid);
  DWORD GetDomain(wchar_t** domain);
  DWORD GetFullName(wchar_t** fullName);

  // The computer lookups are addressed to (null: local); not a copy.
  const wchar_t* Server() const { return server_.get(); }
  // The SID use of the latest lookup, or null before any.
  const SID_NAME_USE* Use() const { return use_.get(); }
  bool FromName() const { return fromName_ != 0; }

 private:
  std::unique_ptr<wchar_t[]> server_;
  std::unique_ptr<SID_NAME_USE> use_;
  DWORD fromName_;
  std::unique_ptr<BYTE[]> sid_;
  const wchar_t* lookupName_;  // into nameCopy_, or ownedName_ after a SID lookup
  std::unique_ptr<wchar_t[]> nameCopy_;
  std::unique_ptr<wchar_t[]> domain_;
  std::unique_ptr<wchar_t[]> fullName_;
  std::unique_ptr<wchar_t[]> ownedName_;
  bool sidInvalid_ = false;
};

// *text := a new buffer of 1024 wide characters (array delete) with the S-1-... form of
// the account's SID; the status of GetSid (or 8). Unchanged on failure.
DWORD SidToText(CAccount* account, wchar_t** text);

// Splits "WinNT://domain/object,class" (the prefix is optional) into new copies of its
// domain and object parts (array delete; either may be null). A domain part that is an
// unresolved SID (S-1-5-...) becomes the object part. With `resolve`, the domain part is
// replaced by the flat name of its domain when the controller locator knows it.
void ParseWinNTPath(const wchar_t* path, wchar_t** domain, wchar_t** object, bool resolve);

// A new "WinNT://domain/name,class" path (array delete); each part optional.
wchar_t* BuildWinNTPath(const wchar_t* domain, const wchar_t* name, const wchar_t* objectClass);

// The name of a controller of `domain` (null: this computer's domain), a new copy (array
// delete): the primary controller's UNC name when `primary`, else the name the locator
// returns for a directory controller. Throws TError "Failed to detect DC!".
wchar_t* FindDomainController(const wchar_t* domain, bool primary);

// A new copy (array delete) of `distinguishedName` from its first "CN=" on (variants
// "cn=", "Cn=", "cN=" tried in that order), or null.
wchar_t* FindCommonName(const wchar_t* distinguishedName);

}  // namespace Q
