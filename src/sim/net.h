// The simulated computer's network and account services: computers that answer or not,
// with users, global and local groups (members, comments, full names, privilege levels
// and flags), shares and server information; SIDs and their names per computer (the
// well-known accounts, the built-in aliases, every account's SID from its computer's
// account-domain SID); domains with controllers, directory and trusts; DFS roots; the
// Windows network provider with its networks and domains; redirected drives.
//
// Failure injection uses the platform names; "LookupAccountNameW/filled" and
// "LookupAccountSidW/filled" fail only a lookup's second call (the one with buffers).
//
// Every buffer handed out is tracked: NetApiBufferFree (DsRoleFreeMemory for the role
// information) releases it, and a test can assert that none is left or freed twice.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "objects/platform/net.h"
#include "sim/call_log.h"
#include "sim/system.h"

namespace sim {

// A SID as bytes in the platform's layout, and its S-1-... text.
std::vector<BYTE> SidFromText(const std::wstring& text);
std::wstring SidToString(const void* sid);

struct NetUser {
  std::wstring name;
  std::wstring fullName;
  std::wstring comment;
  DWORD priv = USER_PRIV_USER;
  DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  DWORD rid = 0;
};

struct NetGroup {
  std::wstring name;
  std::wstring comment;
  DWORD rid = 0;
  std::vector<std::wstring> members;  // user names of the same computer
};

struct NetLocalGroup {
  std::wstring name;
  std::wstring comment;
  std::wstring sid;                       // S-1-5-32-... for built-in aliases
  std::vector<std::wstring> memberSids;  // S-1-... texts
};

struct NetShare {
  std::wstring name;
  DWORD type = STYPE_DISKTREE;
  std::wstring remark;
  std::wstring path;  // empty: none
};

// A name a computer gives to a SID (for example in its own language).
struct SidName {
  std::wstring domain;
  std::wstring name;
  SID_NAME_USE use = SidTypeUser;
};

struct NetMachine {
  std::wstring name;           // bare computer name as given
  bool answers = true;         // false: every remote call fails as unreachable
  std::wstring accountDomain;  // domain part of its own accounts (its name; a DC: the domain)
  std::wstring accountSid;     // S-1-5-21-a-b-c
  std::wstring domain;         // flat name of the domain it belongs to; empty: none
  std::wstring workgroup = L"WORKGROUP";  // role information's flat name without a domain
  std::vector<NetUser> users;
  std::vector<NetGroup> groups;
  std::vector<NetLocalGroup> localGroups;
  std::vector<NetShare> shares;
  std::map<std::wstring, SidName> sidNames;  // by SID text
  DWORD nextRid = 1000;
};

struct NetTrust {
  bool hasNetbios = true;
  std::wstring netbios;
  std::wstring dns;
  ULONG flags = DS_DOMAIN_DIRECT_OUTBOUND | DS_DOMAIN_DIRECT_INBOUND;
};

struct NetDomain {
  std::wstring flat;
  std::wstring dns;
  std::wstring controller;  // computer name of the primary controller
  bool directory = true;    // has a directory service
  std::vector<NetTrust> trusts;
};

struct DfsStorage {
  std::wstring server;
  std::wstring share;
};

struct DfsEntry {
  std::wstring entryPath;
  std::wstring comment;
  std::vector<DfsStorage> storages;
};

class SimNet final : public Q::INetServices {
 public:
  SimNet(CallLog& log, FailureInjector& failures, SimSystem& system);
  ~SimNet() override;
  SimNet(const SimNet&) = delete;
  SimNet& operator=(const SimNet&) = delete;

  // --- Builder -------------------------------------------------------------------------
  // The computer of that name (leading backslashes ignored), made when missing. The local
  // computer is the one named like the system's computer name; it starts with the
  // accounts of a fresh installation (Administrator, Guest; Administrators, Users, Guests).
  NetMachine& Machine(const std::wstring& name);
  NetMachine& Local();
  void SetAnswers(const std::wstring& computer, bool answers) { Machine(computer).answers = answers; }
  NetUser& AddUser(const std::wstring& computer, const std::wstring& name,
                   const std::wstring& fullName = L"", const std::wstring& comment = L"");
  NetGroup& AddGroup(const std::wstring& computer, const std::wstring& name,
                     const std::wstring& comment = L"");
  NetLocalGroup& AddLocalGroup(const std::wstring& computer, const std::wstring& name,
                               const std::wstring& comment = L"");
  // The SID text of an account of that computer (user, group or local group); empty when
  // there is none.
  std::wstring AccountSid(const std::wstring& computer, const std::wstring& name);
  void AddShare(const std::wstring& computer, const NetShare& share);
  void SetSidName(const std::wstring& computer, const std::wstring& sid, const SidName& name);
  // Removes every account of a computer.
  void ClearAccounts(const std::wstring& computer);

  // A domain whose primary controller is `controller`: the controller keeps the domain's
  // accounts. `Join` makes a computer a member and gives it a machine account PC$.
  NetDomain& AddDomain(const std::wstring& flat, const std::wstring& dns,
                       const std::wstring& controller);
  void Join(const std::wstring& computer, const std::wstring& domain);
  NetDomain* FindDomain(const std::wstring& name);

  void AddDfsRoot(const std::wstring& rootPath, const std::vector<DfsEntry>& entries);

  // Network provider: networks of a provider, each with its domains and workgroups.
  void AddProviderNetwork(const std::wstring& network, const std::wstring& provider);
  void AddProviderDomain(const std::wstring& network, const std::wstring& domain);
  void SetProviderName(const std::wstring& name) { providerName_ = name; }
  void MapDrive(const std::wstring& localName, const std::wstring& remoteName);

  // --- Inspection ----------------------------------------------------------------------
  int OutstandingBuffers() const { return static_cast<int>(buffers_.size()); }
  int OutstandingRoleBuffers() const { return static_cast<int>(roleBuffers_.size()); }
  int BadFrees() const { return badFrees_; }
  int OpenEnumHandles() const { return static_cast<int>(enums_.size()); }

  // --- INetServices --------------------------------------------------------------------
  NET_API_STATUS NetServerGetInfo(LMSTR server, DWORD level, LPBYTE* buffer) override;
  NET_API_STATUS NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD preferredLength,
                              LPDWORD entriesRead, LPDWORD totalEntries,
                              LPDWORD resumeHandle) override;
  NET_API_STATUS NetShareGetInfo(LMSTR server, LMSTR netName, DWORD level,
                                 LPBYTE* buffer) override;
  NET_API_STATUS NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                             DWORD preferredLength, LPDWORD entriesRead, LPDWORD totalEntries,
                             LPDWORD resumeHandle) override;
  NET_API_STATUS NetGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer, DWORD preferredLength,
                              LPDWORD entriesRead, LPDWORD totalEntries,
                              PDWORD_PTR resumeHandle) override;
  NET_API_STATUS NetLocalGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer,
                                   DWORD preferredLength, LPDWORD entriesRead,
                                   LPDWORD totalEntries, PDWORD_PTR resumeHandle) override;
  NET_API_STATUS NetGroupGetUsers(LPCWSTR server, LPCWSTR groupName, DWORD level, LPBYTE* buffer,
                                  DWORD preferredLength, LPDWORD entriesRead,
                                  LPDWORD totalEntries, PDWORD_PTR resumeHandle) override;
  NET_API_STATUS NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                         LPBYTE* buffer, DWORD preferredLength,
                                         LPDWORD entriesRead, LPDWORD totalEntries,
                                         PDWORD_PTR resumeHandle) override;
  NET_API_STATUS NetGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                 LPBYTE* buffer) override;
  NET_API_STATUS NetLocalGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                      LPBYTE* buffer) override;
  NET_API_STATUS NetUserGetInfo(LPCWSTR server, LPCWSTR userName, DWORD level,
                                LPBYTE* buffer) override;
  NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR domainName, LPBYTE* buffer) override;
  NET_API_STATUS NetDfsEnum(LPWSTR dfsName, DWORD level, DWORD preferredLength, LPBYTE* buffer,
                            LPDWORD entriesRead, LPDWORD resumeHandle) override;
  NET_API_STATUS NetApiBufferFree(LPVOID buffer) override;
  DWORD DsGetDcNameW(LPCWSTR computerName, LPCWSTR domainName, GUID* domainGuid,
                     LPCWSTR siteName, ULONG flags, PDOMAIN_CONTROLLER_INFOW* info) override;
  DWORD DsRoleGetPrimaryDomainInformation(LPCWSTR server, DSROLE_PRIMARY_DOMAIN_INFO_LEVEL level,
                                          PBYTE* buffer) override;
  void DsRoleFreeMemory(PVOID buffer) override;
  DWORD DsEnumerateDomainTrustsW(LPWSTR server, ULONG flags, PDS_DOMAIN_TRUSTSW* domains,
                                 PULONG domainCount) override;
  BOOL LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid, LPDWORD sidSize,
                          LPWSTR domainName, LPDWORD domainSize, PSID_NAME_USE use) override;
  BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize,
                         LPWSTR domainName, LPDWORD domainSize, PSID_NAME_USE use) override;
  BOOL IsValidSid(PSID sid) override;
  DWORD GetLengthSid(PSID sid) override;
  BOOL CopySid(DWORD destinationLength, PSID destination, PSID source) override;
  DWORD GetSidLengthRequired(UCHAR subAuthorityCount) override;
  BOOL InitializeSid(PSID sid, PSID_IDENTIFIER_AUTHORITY authority,
                     BYTE subAuthorityCount) override;
  PDWORD GetSidSubAuthority(PSID sid, DWORD index) override;
  PUCHAR GetSidSubAuthorityCount(PSID sid) override;
  PSID_IDENTIFIER_AUTHORITY GetSidIdentifierAuthority(PSID sid) override;
  DWORD WNetOpenEnumW(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEW resource,
                      LPHANDLE enumHandle) override;
  DWORD WNetEnumResourceW(HANDLE enumHandle, LPDWORD count, LPVOID buffer,
                          LPDWORD bufferSize) override;
  DWORD WNetCloseEnum(HANDLE enumHandle) override;
  DWORD WNetGetProviderNameW(DWORD netType, LPWSTR providerName, LPDWORD bufferSize) override;
  DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) override;

  class Buffer;  // one handed-out buffer with everything its records point to

 private:
  struct Resolved {
    std::wstring sid;
    SidName name;
  };
  struct ProviderNetwork {
    std::wstring name;
    std::wstring provider;
    std::vector<std::wstring> domains;
  };
  struct ResourceEntry {
    DWORD displayType;
    DWORD usage;
    std::wstring remoteName;
    std::wstring provider;
  };
  struct Enumeration {
    std::vector<ResourceEntry> entries;
    std::size_t next = 0;
  };

  bool Fails(const char* name, DWORD* status);
  bool FailsWithLastError(const char* name);
  // The computer a call addresses (null/empty: local); null with *status set when it
  // does not exist or does not answer.
  NetMachine* Target(LPCWSTR server, DWORD* status);
  NetMachine* FindMachine(const std::wstring& name);
  NetMachine* Controller(const NetDomain& domain);
  LPBYTE HandOut(std::unique_ptr<Buffer> buffer);
  bool ResolveName(NetMachine& machine, const std::wstring& name, Resolved* out);
  bool ResolveSid(NetMachine& machine, const std::wstring& sid, SidName* out);

  CallLog& log_;
  FailureInjector& failures_;
  SimSystem& system_;
  std::map<std::wstring, NetMachine> machines_;  // by upper-case name
  std::map<std::wstring, NetDomain> domains_;    // by upper-case flat name
  std::map<std::wstring, std::vector<DfsEntry>> dfs_;  // by upper-case root path
  std::vector<ProviderNetwork> networks_;
  std::wstring providerName_ = L"Microsoft Windows Network";
  std::map<std::wstring, std::wstring> drives_;  // by upper-case local name
  std::map<void*, std::unique_ptr<Buffer>> buffers_;
  std::map<void*, std::unique_ptr<Buffer>> roleBuffers_;
  std::map<HANDLE, Enumeration> enums_;
  int nextEnum_ = 1;
  int badFrees_ = 0;
  DWORD nextDomainSid_ = 1;
};

}  // namespace sim
