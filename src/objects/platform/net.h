// The network and account services seam: network management (users, groups, members,
// servers, shares, domain controllers, domain role and trusts, DFS), account and SID
// lookups, and the network provider. Methods keep the platform's names, parameters and
// results; buffers of the network management calls are released with NetApiBufferFree,
// the domain role information with DsRoleFreeMemory.
#pragma once

#include "platform/seam.h"
#include "platform/win32.h"

#ifdef _WIN32
#include <lm.h>
#include <lmdfs.h>
#include <dsgetdc.h>
#include <dsrole.h>
#include <winnetwk.h>
#else

typedef DWORD NET_API_STATUS;
typedef BYTE* PBYTE;
typedef DWORD* PDWORD;
typedef DWORD_PTR* PDWORD_PTR;
typedef ULONG* PULONG;
typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;
typedef HANDLE* LPHANDLE;
typedef void* PVOID;
typedef WCHAR* LMSTR;

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
#endif

// Status codes of the network and account services.
#define NERR_Success 0
#define ERROR_BAD_NETPATH 53L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_EXTENDED_ERROR 1208L
#define ERROR_NO_NETWORK 1222L
#define ERROR_NO_SUCH_DOMAIN 1355L
#define ERROR_NONE_MAPPED 1332L
#define ERROR_INVALID_SID 1337L
#define ERROR_NO_LOGON_SERVERS 1311L
#define ERROR_NO_SUCH_ALIAS 1376L
#define ERROR_NO_TRUST_SAM_ACCOUNT 1787L
#define RPC_S_SERVER_UNAVAILABLE 1722L
#define ERROR_NOT_CONNECTED 2250L
#define NERR_BASE 2100
#define NERR_InvalidComputer 2351
#define NERR_GroupNotFound 2220
#define NERR_UserNotFound 2221
#define NERR_DCNotFound 2453
#define NERR_NetNameNotFound 2310
#define NERR_BufTooSmall 2123

#define MAX_PREFERRED_LENGTH ((DWORD)-1)

// User enumeration filters.
#define FILTER_TEMP_DUPLICATE_ACCOUNT 0x0001
#define FILTER_NORMAL_ACCOUNT 0x0002
#define FILTER_INTERDOMAIN_TRUST_ACCOUNT 0x0008
#define FILTER_WORKSTATION_TRUST_ACCOUNT 0x0010
#define FILTER_SERVER_TRUST_ACCOUNT 0x0020

// User privilege levels and account flags.
#define USER_PRIV_GUEST 0
#define USER_PRIV_USER 1
#define USER_PRIV_ADMIN 2
#define UF_SCRIPT 0x0001
#define UF_ACCOUNTDISABLE 0x0002
#define UF_LOCKOUT 0x0010
#define UF_PASSWD_NOTREQD 0x0020
#define UF_PASSWD_CANT_CHANGE 0x0040
#define UF_TEMP_DUPLICATE_ACCOUNT 0x0100
#define UF_NORMAL_ACCOUNT 0x0200
#define UF_INTERDOMAIN_TRUST_ACCOUNT 0x0800
#define UF_WORKSTATION_TRUST_ACCOUNT 0x1000
#define UF_SERVER_TRUST_ACCOUNT 0x2000
#define UF_DONT_EXPIRE_PASSWD 0x10000

// Share types.
#define STYPE_DISKTREE 0
#define STYPE_PRINTQ 1
#define STYPE_DEVICE 2
#define STYPE_IPC 3
#define STYPE_SPECIAL 0x80000000

// Server information.
#define PLATFORM_ID_NT 500
#define SV_TYPE_WORKSTATION 0x00000001
#define SV_TYPE_SERVER 0x00000002
#define SV_TYPE_DOMAIN_CTRL 0x00000008
#define SV_TYPE_NT 0x00001000

// Domain controller locator flags.
#define DS_DIRECTORY_SERVICE_REQUIRED 0x00000010
#define DS_RETURN_DNS_NAME 0x40000000
#define DS_RETURN_FLAT_NAME 0x80000000
#define DS_PDC_FLAG 0x00000001
#define DS_DS_FLAG 0x00000010
#define DS_INET_ADDRESS 1
#define DS_NETBIOS_ADDRESS 2

// Trust enumeration flags.
#define DS_DOMAIN_IN_FOREST 0x0001
#define DS_DOMAIN_DIRECT_OUTBOUND 0x0002
#define DS_DOMAIN_TREE_ROOT 0x0004
#define DS_DOMAIN_PRIMARY 0x0008
#define DS_DOMAIN_NATIVE_MODE 0x0010
#define DS_DOMAIN_DIRECT_INBOUND 0x0020

// Network provider.
#define RESOURCE_CONNECTED 0x00000001
#define RESOURCE_GLOBALNET 0x00000002
#define RESOURCE_REMEMBERED 0x00000003
#define RESOURCETYPE_ANY 0x00000000
#define RESOURCETYPE_DISK 0x00000001
#define RESOURCETYPE_PRINT 0x00000002
#define RESOURCEUSAGE_CONNECTABLE 0x00000001
#define RESOURCEUSAGE_CONTAINER 0x00000002
#define RESOURCEDISPLAYTYPE_GENERIC 0x00000000
#define RESOURCEDISPLAYTYPE_DOMAIN 0x00000001
#define RESOURCEDISPLAYTYPE_SERVER 0x00000002
#define RESOURCEDISPLAYTYPE_SHARE 0x00000003
#define RESOURCEDISPLAYTYPE_GROUP 0x00000005
#define RESOURCEDISPLAYTYPE_NETWORK 0x00000006
#define WNNC_NET_LANMAN 0x00020000

// Security identifiers.
typedef void* PSID;
typedef void* PSECURITY_DESCRIPTOR;
#define SID_REVISION 1
#define SID_MAX_SUB_AUTHORITIES 15
#define SECURITY_MAX_SID_SIZE 68
typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;
typedef struct _SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];
} SID;
typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer,
  SidTypeLabel
} SID_NAME_USE, *PSID_NAME_USE;

// Network management records.
typedef struct _USER_INFO_0 {
  LPWSTR usri0_name;
} USER_INFO_0, *PUSER_INFO_0, *LPUSER_INFO_0;
typedef struct _USER_INFO_2 {
  LPWSTR usri2_name;
  LPWSTR usri2_password;
  DWORD usri2_password_age;
  DWORD usri2_priv;
  LPWSTR usri2_home_dir;
  LPWSTR usri2_comment;
  DWORD usri2_flags;
  LPWSTR usri2_script_path;
  DWORD usri2_auth_flags;
  LPWSTR usri2_full_name;
  LPWSTR usri2_usr_comment;
  LPWSTR usri2_parms;
  LPWSTR usri2_workstations;
  DWORD usri2_last_logon;
  DWORD usri2_last_logoff;
  DWORD usri2_acct_expires;
  DWORD usri2_max_storage;
  DWORD usri2_units_per_week;
  PBYTE usri2_logon_hours;
  DWORD usri2_bad_pw_count;
  DWORD usri2_num_logons;
  LPWSTR usri2_logon_server;
  DWORD usri2_country_code;
  DWORD usri2_code_page;
} USER_INFO_2, *PUSER_INFO_2, *LPUSER_INFO_2;
typedef struct _USER_INFO_3 {
  LPWSTR usri3_name;
  LPWSTR usri3_password;
  DWORD usri3_password_age;
  DWORD usri3_priv;
  LPWSTR usri3_home_dir;
  LPWSTR usri3_comment;
  DWORD usri3_flags;
  LPWSTR usri3_script_path;
  DWORD usri3_auth_flags;
  LPWSTR usri3_full_name;
  LPWSTR usri3_usr_comment;
  LPWSTR usri3_parms;
  LPWSTR usri3_workstations;
  DWORD usri3_last_logon;
  DWORD usri3_last_logoff;
  DWORD usri3_acct_expires;
  DWORD usri3_max_storage;
  DWORD usri3_units_per_week;
  PBYTE usri3_logon_hours;
  DWORD usri3_bad_pw_count;
  DWORD usri3_num_logons;
  LPWSTR usri3_logon_server;
  DWORD usri3_country_code;
  DWORD usri3_code_page;
  DWORD usri3_user_id;
  DWORD usri3_primary_group_id;
  LPWSTR usri3_profile;
  LPWSTR usri3_home_dir_drive;
  DWORD usri3_password_expired;
} USER_INFO_3, *PUSER_INFO_3, *LPUSER_INFO_3;
typedef struct _GROUP_INFO_0 {
  LPWSTR grpi0_name;
} GROUP_INFO_0, *PGROUP_INFO_0, *LPGROUP_INFO_0;
typedef struct _GROUP_INFO_1 {
  LPWSTR grpi1_name;
  LPWSTR grpi1_comment;
} GROUP_INFO_1, *PGROUP_INFO_1, *LPGROUP_INFO_1;
typedef struct _LOCALGROUP_INFO_0 {
  LPWSTR lgrpi0_name;
} LOCALGROUP_INFO_0, *PLOCALGROUP_INFO_0, *LPLOCALGROUP_INFO_0;
typedef struct _LOCALGROUP_INFO_1 {
  LPWSTR lgrpi1_name;
  LPWSTR lgrpi1_comment;
} LOCALGROUP_INFO_1, *PLOCALGROUP_INFO_1, *LPLOCALGROUP_INFO_1;
typedef struct _LOCALGROUP_MEMBERS_INFO_1 {
  PSID lgrmi1_sid;
  SID_NAME_USE lgrmi1_sidusage;
  LPWSTR lgrmi1_name;
} LOCALGROUP_MEMBERS_INFO_1, *PLOCALGROUP_MEMBERS_INFO_1, *LPLOCALGROUP_MEMBERS_INFO_1;
typedef struct _GROUP_USERS_INFO_0 {
  LPWSTR grui0_name;
} GROUP_USERS_INFO_0, *PGROUP_USERS_INFO_0, *LPGROUP_USERS_INFO_0;
typedef struct _SHARE_INFO_502 {
  LMSTR shi502_netname;
  DWORD shi502_type;
  LMSTR shi502_remark;
  DWORD shi502_permissions;
  DWORD shi502_max_uses;
  DWORD shi502_current_uses;
  LMSTR shi502_path;
  LMSTR shi502_passwd;
  DWORD shi502_reserved;
  PSECURITY_DESCRIPTOR shi502_security_descriptor;
} SHARE_INFO_502, *PSHARE_INFO_502, *LPSHARE_INFO_502;
typedef struct _SERVER_INFO_102 {
  DWORD sv102_platform_id;
  LMSTR sv102_name;
  DWORD sv102_version_major;
  DWORD sv102_version_minor;
  DWORD sv102_type;
  LMSTR sv102_comment;
  DWORD sv102_users;
  LONG sv102_disc;
  BOOL sv102_hidden;
  DWORD sv102_announce;
  DWORD sv102_anndelta;
  DWORD sv102_licenses;
  LMSTR sv102_userpath;
} SERVER_INFO_102, *PSERVER_INFO_102, *LPSERVER_INFO_102;

// Domain controller, domain role and trusts.
typedef struct _DOMAIN_CONTROLLER_INFOW {
  LPWSTR DomainControllerName;
  LPWSTR DomainControllerAddress;
  ULONG DomainControllerAddressType;
  GUID DomainGuid;
  LPWSTR DomainName;
  LPWSTR DnsForestName;
  ULONG Flags;
  LPWSTR DcSiteName;
  LPWSTR ClientSiteName;
} DOMAIN_CONTROLLER_INFOW, *PDOMAIN_CONTROLLER_INFOW;
typedef enum _DSROLE_MACHINE_ROLE {
  DsRole_RoleStandaloneWorkstation,
  DsRole_RoleMemberWorkstation,
  DsRole_RoleStandaloneServer,
  DsRole_RoleMemberServer,
  DsRole_RoleBackupDomainController,
  DsRole_RolePrimaryDomainController
} DSROLE_MACHINE_ROLE;
typedef enum _DSROLE_PRIMARY_DOMAIN_INFO_LEVEL {
  DsRolePrimaryDomainInfoBasic = 1,
  DsRoleUpgradeStatus,
  DsRoleOperationState
} DSROLE_PRIMARY_DOMAIN_INFO_LEVEL;
#define DSROLE_PRIMARY_DS_RUNNING 0x00000001
#define DSROLE_PRIMARY_DS_MIXED_MODE 0x00000002
typedef struct _DSROLE_PRIMARY_DOMAIN_INFO_BASIC {
  DSROLE_MACHINE_ROLE MachineRole;
  ULONG Flags;
  LPWSTR DomainNameFlat;
  LPWSTR DomainNameDns;
  LPWSTR DomainForestName;
  GUID DomainGuid;
} DSROLE_PRIMARY_DOMAIN_INFO_BASIC, *PDSROLE_PRIMARY_DOMAIN_INFO_BASIC;
typedef struct _DS_DOMAIN_TRUSTSW {
  LPWSTR NetbiosDomainName;
  LPWSTR DnsDomainName;
  ULONG Flags;
  ULONG ParentIndex;
  ULONG TrustType;
  ULONG TrustAttributes;
  PSID DomainSid;
  GUID DomainGuid;
} DS_DOMAIN_TRUSTSW, *PDS_DOMAIN_TRUSTSW;

// DFS.
typedef struct _DFS_STORAGE_INFO {
  ULONG State;
  LPWSTR ServerName;
  LPWSTR ShareName;
} DFS_STORAGE_INFO, *PDFS_STORAGE_INFO, *LPDFS_STORAGE_INFO;
typedef struct _DFS_INFO_3 {
  LPWSTR EntryPath;
  LPWSTR Comment;
  DWORD State;
  DWORD NumberOfStorages;
  LPDFS_STORAGE_INFO Storage;
} DFS_INFO_3, *PDFS_INFO_3, *LPDFS_INFO_3;
#define DFS_VOLUME_STATE_OK 1
#define DFS_STORAGE_STATE_ONLINE 2

// Network provider resources.
typedef struct _NETRESOURCEW {
  DWORD dwScope;
  DWORD dwType;
  DWORD dwDisplayType;
  DWORD dwUsage;
  LPWSTR lpLocalName;
  LPWSTR lpRemoteName;
  LPWSTR lpComment;
  LPWSTR lpProvider;
} NETRESOURCEW, *LPNETRESOURCEW;

#endif  // _WIN32

namespace Q {

class INetServices {
 public:
  virtual ~INetServices() = default;

  // --- Network management (netapi32) -------------------------------------------------
  virtual NET_API_STATUS NetServerGetInfo(LMSTR server, DWORD level, LPBYTE* buffer) = 0;
  virtual NET_API_STATUS NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer,
                                      DWORD preferredLength, LPDWORD entriesRead,
                                      LPDWORD totalEntries, LPDWORD resumeHandle) = 0;
  virtual NET_API_STATUS NetShareGetInfo(LMSTR server, LMSTR netName, DWORD level,
                                         LPBYTE* buffer) = 0;
  virtual NET_API_STATUS NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                                     DWORD preferredLength, LPDWORD entriesRead,
                                     LPDWORD totalEntries, LPDWORD resumeHandle) = 0;
  virtual NET_API_STATUS NetGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer,
                                      DWORD preferredLength, LPDWORD entriesRead,
                                      LPDWORD totalEntries, PDWORD_PTR resumeHandle) = 0;
  virtual NET_API_STATUS NetLocalGroupEnum(LPCWSTR server, DWORD level, LPBYTE* buffer,
                                           DWORD preferredLength, LPDWORD entriesRead,
                                           LPDWORD totalEntries, PDWORD_PTR resumeHandle) = 0;
  virtual NET_API_STATUS NetGroupGetUsers(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                          LPBYTE* buffer, DWORD preferredLength,
                                          LPDWORD entriesRead, LPDWORD totalEntries,
                                          PDWORD_PTR resumeHandle) = 0;
  virtual NET_API_STATUS NetLocalGroupGetMembers(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                                 LPBYTE* buffer, DWORD preferredLength,
                                                 LPDWORD entriesRead, LPDWORD totalEntries,
                                                 PDWORD_PTR resumeHandle) = 0;
  virtual NET_API_STATUS NetGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                         LPBYTE* buffer) = 0;
  virtual NET_API_STATUS NetLocalGroupGetInfo(LPCWSTR server, LPCWSTR groupName, DWORD level,
                                              LPBYTE* buffer) = 0;
  virtual NET_API_STATUS NetUserGetInfo(LPCWSTR server, LPCWSTR userName, DWORD level,
                                        LPBYTE* buffer) = 0;
  virtual NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR domainName, LPBYTE* buffer) = 0;
  virtual NET_API_STATUS NetDfsEnum(LPWSTR dfsName, DWORD level, DWORD preferredLength,
                                    LPBYTE* buffer, LPDWORD entriesRead,
                                    LPDWORD resumeHandle) = 0;
  virtual NET_API_STATUS NetApiBufferFree(LPVOID buffer) = 0;

  // Domain controller locator, domain role and trusts. The controller record and the
  // trust array are released with NetApiBufferFree.
  virtual DWORD DsGetDcNameW(LPCWSTR computerName, LPCWSTR domainName, GUID* domainGuid,
                             LPCWSTR siteName, ULONG flags,
                             PDOMAIN_CONTROLLER_INFOW* info) = 0;
  virtual DWORD DsRoleGetPrimaryDomainInformation(LPCWSTR server,
                                                  DSROLE_PRIMARY_DOMAIN_INFO_LEVEL level,
                                                  PBYTE* buffer) = 0;
  virtual void DsRoleFreeMemory(PVOID buffer) = 0;
  virtual DWORD DsEnumerateDomainTrustsW(LPWSTR server, ULONG flags, PDS_DOMAIN_TRUSTSW* domains,
                                         PULONG domainCount) = 0;

  // --- Account lookups and SIDs (advapi32) --------------------------------------------
  // The lookups report failures through the system seam's GetLastError.
  virtual BOOL LookupAccountNameW(LPCWSTR systemName, LPCWSTR accountName, PSID sid,
                                  LPDWORD sidSize, LPWSTR domainName, LPDWORD domainSize,
                                  PSID_NAME_USE use) = 0;
  virtual BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameSize,
                                 LPWSTR domainName, LPDWORD domainSize, PSID_NAME_USE use) = 0;
  virtual BOOL IsValidSid(PSID sid) = 0;
  virtual DWORD GetLengthSid(PSID sid) = 0;
  virtual BOOL CopySid(DWORD destinationLength, PSID destination, PSID source) = 0;
  virtual DWORD GetSidLengthRequired(UCHAR subAuthorityCount) = 0;
  virtual BOOL InitializeSid(PSID sid, PSID_IDENTIFIER_AUTHORITY authority,
                             BYTE subAuthorityCount) = 0;
  virtual PDWORD GetSidSubAuthority(PSID sid, DWORD index) = 0;
  virtual PUCHAR GetSidSubAuthorityCount(PSID sid) = 0;
  virtual PSID_IDENTIFIER_AUTHORITY GetSidIdentifierAuthority(PSID sid) = 0;

  // --- Network provider (mpr) ---------------------------------------------------------
  virtual DWORD WNetOpenEnumW(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEW resource,
                              LPHANDLE enumHandle) = 0;
  virtual DWORD WNetEnumResourceW(HANDLE enumHandle, LPDWORD count, LPVOID buffer,
                                  LPDWORD bufferSize) = 0;
  virtual DWORD WNetCloseEnum(HANDLE enumHandle) = 0;
  virtual DWORD WNetGetProviderNameW(DWORD netType, LPWSTR providerName, LPDWORD bufferSize) = 0;
  virtual DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) = 0;
};

// The active network and account services.
inline INetServices& Net() { return Seam<INetServices>::Get(); }

}  // namespace Q
