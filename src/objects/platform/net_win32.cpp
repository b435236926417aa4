// The network and account services on the real platform: every method forwards to the
// function of the same name in netapi32, advapi32 or mpr.
#include "objects/platform/net.h"

#ifdef _WIN32

namespace Q {
namespace {

class Win32NetServices final : public INetServices {
 public:
  NET_API_STATUS NetServerGetInfo(LMSTR server, DWORD level, LPBYTE* buffer) override {
    return ::NetServerGetInfo(server, level, buffer);
  }
  NET_API_STATUS NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD preferredLength,
                              LPDWORD entriesRead, LPDWORD totalEntries,
                              LPDWORD resumeHandle) override {
    return ::NetShareEnum(server, level, buffer, preferredLength, entriesRead, totalEntries,
                          resumeHandle);
  }
  NET_API_STATUS NetShareGetInfo(LMSTR server, LMSTR netName, DWORD level,
                                 LPBYTE* buffer) override {
    return ::NetShareGetInfo(server, netName, level, buffer);
  }
  NET_API_STATUS NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                             DWORD preferredLength, LPDWORD entriesRead, LPDWORD totalEntries,
                             LPDWORD resumeHandle) override {
    return ::NetUserEnum(server, level, filter, buffer, preferredLength, entriesRead,
                         totalEntries, resumeHandle);
  }
  NET_API_STATUS NetGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer, DWORD preferredLength,
                              LPDWORD entriesRead, LPDWORD totalEntries,
                              PDWORD_PTR resumeHandle) override {
    return ::NetGroupEnum(server, level, buffer, preferredLength, entriesRead, totalEntries,
                          resumeHandle);
  }
  NET_API_STATUS NetLocalGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer,
                                   DWORD preferredLength, LPDWORD entriesRead,
                                   LPDWORD totalEntries, PDWORD_PTR resumeHandle) override {
    return ::NetLocalGroupEnum(server, level, buffer, preferredLength, entriesRead,
                               totalEntries, resumeHandle);
  }
  NET_API_STATUS NetGroupGetUsers(LPCWSTR server, LPCWSTR groupName, DWORD level, LPBYTE* buffer,
                                  DWORD preferredLength, LPDWORD entriesRead,
                                  LPDWORD totalEntries, PDWORD_PTR resumeHandle) override {
    return ::NetGroupGetUsers(server, groupName, level, buffer, preferredLength, entriesRead,
                              totalEntries, resumeHandle);
  }
  NET_API_STATUS NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                         LPBYTE* buffer, DWORD preferredLength,
                                         LPDWORD entriesRead, LPDWORD totalEntries,
                                         PDWORD_PTR resumeHandle) override {
    return ::NetLocalGroupGetMembers(server, groupName, level, buffer, preferredLength,
                                     entriesRead, totalEntries, resumeHandle);
  }
  NET_API_STATUS NetGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                 LPBYTE* buffer) override {
    return ::NetGroupGetInfo(server, groupName, level, buffer);
  }
  NET_API_STATUS NetLocalGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                      LPBYTE* buffer) override {
    return ::NetLocalGroupGetInfo(server, groupName, level, buffer);
  }
  NET_API_STATUS NetUserGetInfo(LPCWSTR server, LPCWSTR userName, DWORD level,
                                LPBYTE* buffer) override {
    return ::NetUserGetInfo(server, userName, level, buffer);
  }
  NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR domainName, LPBYTE* buffer) override {
    return ::NetGetDCName(server, domainName, buffer);
  }
  NET_API_STATUS NetDfsEnum(LPWSTR dfsName, DWORD level, DWORD preferredLength, LPBYTE* buffer,
                            LPDWORD entriesRead, LPDWORD resumeHandle) override {
    return ::NetDfsEnum(dfsName, level, preferredLength, buffer, entriesRead, resumeHandle);
  }
  NET_API_STATUS NetApiBufferFree(LPVOID buffer) override { return ::NetApiBufferFree(buffer); }

  DWORD DsGetDcNameW(LPCWSTR computerName, LPCWSTR domainName, GUID* domainGuid,
                     LPCWSTR siteName, ULONG flags, PDOMAIN_CONTROLLER_INFOW* info) override {
    return ::DsGetDcNameW(computerName, domainName, domainGuid, siteName, flags, info);
  }
  DWORD DsRoleGetPrimaryDomainInformation(LPCWSTR server, DSROLE_PRIMARY_DOMAIN_INFO_LEVEL level,
                                          PBYTE* buffer) override {
    return ::DsRoleGetPrimaryDomainInformation(server, level, buffer);
  }
  void DsRoleFreeMemory(PVOID buffer) override { ::DsRoleFreeMemory(buffer); }
  DWORD DsEnumerateDomainTrustsW(LPWSTR server, ULONG flags, PDS_DOMAIN_TRUSTSW* domains,
                                 PULONG domainCount) override {
    return ::DsEnumerateDomainTrustsW(server, flags, domains, domainCount);
  }

  BOOL LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid, LPDWORD sidSize,
                          LPWSTR domainName, LPDWORD domainSize, PSID_NAME_USE use) override {
    return ::LookupAccountNameW(systemName, accountName, sid, sidSize, domainName, domainSize,
                                use);
  }
  BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize,
                         LPWSTR domainName, LPDWORD domainSize, PSID_NAME_USE use) override {
    return ::LookupAccountSidW(systemName, sid, name, nameSize, domainName, domainSize, use);
  }
  BOOL IsValidSid(PSID sid) override { return ::IsValidSid(sid); }
  DWORD GetLengthSid(PSID sid) override { return ::GetLengthSid(sid); }
  BOOL CopySid(DWORD destinationLength, PSID destination, PSID source) override {
    return ::CopySid(destinationLength, destination, source);
  }
  DWORD GetSidLengthRequired(UCHAR subAuthorityCount) override {
    return ::GetSidLengthRequired(subAuthorityCount);
  }
  BOOL InitializeSid(PSID sid, PSID_IDENTIFIER_AUTHORITY authority,
                     BYTE subAuthorityCount) override {
    return ::InitializeSid(sid, authority, subAuthorityCount);
  }
  PDWORD GetSidSubAuthority(PSID sid, DWORD index) override {
    return ::GetSidSubAuthority(sid, index);
  }
  PUCHAR GetSidSubAuthorityCount(PSID sid) override { return ::GetSidSubAuthorityCount(sid); }
  PSID_IDENTIFIER_AUTHORITY GetSidIdentifierAuthority(PSID sid) override {
    return ::GetSidIdentifierAuthority(sid);
  }

  DWORD WNetOpenEnumW(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEW resource,
                      LPHANDLE enumHandle) override {
    return ::WNetOpenEnumW(scope, type, usage, resource, enumHandle);
  }
  DWORD WNetEnumResourceW(HANDLE enumHandle, LPDWORD count, LPVOID buffer,
                          LPDWORD bufferSize) override {
    return ::WNetEnumResourceW(enumHandle, count, buffer, bufferSize);
  }
  DWORD WNetCloseEnum(HANDLE enumHandle) override { return ::WNetCloseEnum(enumHandle); }
  DWORD WNetGetProviderNameW(DWORD netType, LPWSTR providerName, LPDWORD bufferSize) override {
    return ::WNetGetProviderNameW(netType, providerName, bufferSize);
  }
  DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) override {
    return ::WNetGetConnectionW(localName, remoteName, length);
  }
};

}  // namespace

template <>
INetServices* Seam<INetServices>::Default() {
  static Win32NetServices services;
  return &services;
}

}  // namespace Q

#else

namespace Q {
// The native build has no real platform: the simulated computer is installed explicitly.
template <>
INetServices* Seam<INetServices>::Default() {
  return nullptr;
}
}  // namespace Q

#endif
