// The service control manager seam: the operations of the platform's service control
// manager and of its local security authority that the service list, the control
// operations and the configuration operations use. Methods keep the platform's names,
// parameters and results; a failed call leaves its error in the system seam's
// GetLastError (the LSA calls return an NTSTATUS instead).
//
// Windows build: advapi32 (scm_win32.cpp). Native build: no default; the simulated
// computer (src/sim/scm.*) is installed by the tests.
#pragma once

#include "platform/seam.h"
#include "platform/win32.h"

#ifdef _WIN32
#include <winsvc.h>
#include <ntsecapi.h>
#else
// Native definitions with the platform's names, values and field order. WCHAR is 32 bits
// wide here: every length the platform states in bytes (LSA_UNICODE_STRING) counts bytes of
// this build's WCHAR, i.e. characters * sizeof(WCHAR).

typedef uint16_t USHORT;
typedef void* PVOID;
typedef WCHAR* PWSTR;
typedef DWORD ACCESS_MASK;
typedef LONG NTSTATUS;
typedef PVOID PSID;

struct SC_HANDLE__ {
  int unused;
};
typedef struct SC_HANDLE__* SC_HANDLE;
typedef SC_HANDLE* LPSC_HANDLE;
typedef LPVOID SC_LOCK;

// Access rights of the manager and of a service.
#define SC_MANAGER_CONNECT 0x0001
#define SC_MANAGER_CREATE_SERVICE 0x0002
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004
#define SC_MANAGER_LOCK 0x0008
#define SC_MANAGER_QUERY_LOCK_STATUS 0x0010
#define SC_MANAGER_MODIFY_BOOT_CONFIG 0x0020
#define SC_MANAGER_ALL_ACCESS 0xF003F
#define SERVICE_QUERY_CONFIG 0x0001
#define SERVICE_CHANGE_CONFIG 0x0002
#define SERVICE_QUERY_STATUS 0x0004
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008
#define SERVICE_START 0x0010
#define SERVICE_STOP 0x0020
#define SERVICE_PAUSE_CONTINUE 0x0040
#define SERVICE_INTERROGATE 0x0080
#define SERVICE_USER_DEFINED_CONTROL 0x0100
#define SERVICE_ALL_ACCESS 0xF01FF
#define DELETE 0x00010000

// Service types.
#define SERVICE_KERNEL_DRIVER 0x00000001
#define SERVICE_FILE_SYSTEM_DRIVER 0x00000002
#define SERVICE_ADAPTER 0x00000004
#define SERVICE_RECOGNIZER_DRIVER 0x00000008
#define SERVICE_DRIVER 0x0000000B
#define SERVICE_WIN32_OWN_PROCESS 0x00000010
#define SERVICE_WIN32_SHARE_PROCESS 0x00000020
#define SERVICE_WIN32 0x00000030
#define SERVICE_INTERACTIVE_PROCESS 0x00000100
#define SERVICE_TYPE_ALL 0x0000013F

// Start types and error control.
#define SERVICE_BOOT_START 0x00000000
#define SERVICE_SYSTEM_START 0x00000001
#define SERVICE_AUTO_START 0x00000002
#define SERVICE_DEMAND_START 0x00000003
#define SERVICE_DISABLED 0x00000004
#define SERVICE_ERROR_IGNORE 0x00000000
#define SERVICE_ERROR_NORMAL 0x00000001
#define SERVICE_ERROR_SEVERE 0x00000002
#define SERVICE_ERROR_CRITICAL 0x00000003
#define SERVICE_NO_CHANGE 0xFFFFFFFF

// Enumeration state filter.
#define SERVICE_ACTIVE 0x00000001
#define SERVICE_INACTIVE 0x00000002
#define SERVICE_STATE_ALL 0x00000003

// Current states.
#define SERVICE_STOPPED 0x00000001
#define SERVICE_START_PENDING 0x00000002
#define SERVICE_STOP_PENDING 0x00000003
#define SERVICE_RUNNING 0x00000004
#define SERVICE_CONTINUE_PENDING 0x00000005
#define SERVICE_PAUSE_PENDING 0x00000006
#define SERVICE_PAUSED 0x00000007

// Controls and the controls a service accepts.
#define SERVICE_CONTROL_STOP 0x00000001
#define SERVICE_CONTROL_PAUSE 0x00000002
#define SERVICE_CONTROL_CONTINUE 0x00000003
#define SERVICE_CONTROL_INTERROGATE 0x00000004
#define SERVICE_CONTROL_SHUTDOWN 0x00000005
#define SERVICE_ACCEPT_STOP 0x00000001
#define SERVICE_ACCEPT_PAUSE_CONTINUE 0x00000002
#define SERVICE_ACCEPT_SHUTDOWN 0x00000004

// Levels of QueryServiceConfig2W / ChangeServiceConfig2W.
#define SERVICE_CONFIG_DESCRIPTION 1
#define SERVICE_CONFIG_FAILURE_ACTIONS 2

// Errors of the service control manager.
#define ERROR_INVALID_NAME 123L
#define ERROR_INVALID_ADDRESS 487L
#define ERROR_DEPENDENT_SERVICES_RUNNING 1051L
#define ERROR_INVALID_SERVICE_CONTROL 1052L
#define ERROR_SERVICE_REQUEST_TIMEOUT 1053L
#define ERROR_SERVICE_NO_THREAD 1054L
#define ERROR_SERVICE_DATABASE_LOCKED 1055L
#define ERROR_SERVICE_ALREADY_RUNNING 1056L
#define ERROR_INVALID_SERVICE_ACCOUNT 1057L
#define ERROR_SERVICE_DISABLED 1058L
#define ERROR_CIRCULAR_DEPENDENCY 1059L
#define ERROR_SERVICE_DOES_NOT_EXIST 1060L
#define ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061L
#define ERROR_SERVICE_NOT_ACTIVE 1062L
#define ERROR_SERVICE_SPECIFIC_ERROR 1066L
#define ERROR_PROCESS_ABORTED 1067L
#define ERROR_SERVICE_DEPENDENCY_FAIL 1068L
#define ERROR_SERVICE_LOGON_FAILED 1069L
#define ERROR_SERVICE_START_HANG 1070L
#define ERROR_SERVICE_MARKED_FOR_DELETE 1072L
#define ERROR_SERVICE_EXISTS 1073L
#define ERROR_SERVICE_NEVER_STARTED 1077L
#define ERROR_DUPLICATE_SERVICE_NAME 1078L
#define ERROR_NONE_MAPPED 1332L
#define RPC_S_SERVER_UNAVAILABLE 1722L

typedef struct _SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

typedef struct _ENUM_SERVICE_STATUSW {
  LPWSTR lpServiceName;
  LPWSTR lpDisplayName;
  SERVICE_STATUS ServiceStatus;
} ENUM_SERVICE_STATUSW, *LPENUM_SERVICE_STATUSW;

typedef struct _QUERY_SERVICE_CONFIGW {
  DWORD dwServiceType;
  DWORD dwStartType;
  DWORD dwErrorControl;
  LPWSTR lpBinaryPathName;
  LPWSTR lpLoadOrderGroup;
  DWORD dwTagId;
  LPWSTR lpDependencies;
  LPWSTR lpServiceStartName;
  LPWSTR lpDisplayName;
} QUERY_SERVICE_CONFIGW, *LPQUERY_SERVICE_CONFIGW;

typedef struct _SERVICE_DESCRIPTIONW {
  LPWSTR lpDescription;
} SERVICE_DESCRIPTIONW, *LPSERVICE_DESCRIPTIONW;

typedef enum _SC_ACTION_TYPE {
  SC_ACTION_NONE = 0,
  SC_ACTION_RESTART = 1,
  SC_ACTION_REBOOT = 2,
  SC_ACTION_RUN_COMMAND = 3
} SC_ACTION_TYPE;

typedef struct _SC_ACTION {
  SC_ACTION_TYPE Type;
  DWORD Delay;
} SC_ACTION, *LPSC_ACTION;

typedef struct _SERVICE_FAILURE_ACTIONSW {
  DWORD dwResetPeriod;
  LPWSTR lpRebootMsg;
  LPWSTR lpCommand;
  DWORD cActions;
  SC_ACTION* lpsaActions;
} SERVICE_FAILURE_ACTIONSW, *LPSERVICE_FAILURE_ACTIONSW;

// Local security authority.
typedef PVOID LSA_HANDLE;
typedef LSA_HANDLE* PLSA_HANDLE;

typedef struct _LSA_UNICODE_STRING {
  USHORT Length;         // bytes of WCHAR, without the terminator
  USHORT MaximumLength;  // bytes of WCHAR available at Buffer
  PWSTR Buffer;
} LSA_UNICODE_STRING, *PLSA_UNICODE_STRING;

typedef struct _LSA_OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;
  PLSA_UNICODE_STRING ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
} LSA_OBJECT_ATTRIBUTES, *PLSA_OBJECT_ATTRIBUTES;

#define POLICY_VIEW_LOCAL_INFORMATION 0x00000001L
#define POLICY_CREATE_ACCOUNT 0x00000010L
#define POLICY_LOOKUP_NAMES 0x00000800L
#define POLICY_ALL_ACCESS 0x000F0FFFL

#define SE_SERVICE_LOGON_NAME L"SeServiceLogonRight"
#endif  // _WIN32

// Status codes of the LSA calls (the Windows headers define only some of them outside
// <ntstatus.h>, which cannot be combined with <windows.h>).
#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_INVALID_HANDLE
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008L)
#endif
#ifndef STATUS_INVALID_PARAMETER
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
#endif
#ifndef STATUS_NO_MEMORY
#define STATUS_NO_MEMORY ((NTSTATUS)0xC0000017L)
#endif
#ifndef STATUS_ACCESS_DENIED
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#endif
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif
#ifndef STATUS_NO_SUCH_PRIVILEGE
#define STATUS_NO_SUCH_PRIVILEGE ((NTSTATUS)0xC0000060L)
#endif
#ifndef RPC_NT_SERVER_UNAVAILABLE
#define RPC_NT_SERVER_UNAVAILABLE ((NTSTATUS)0xC0020017L)
#endif

namespace Q {

class IServiceManager {
 public:
  virtual ~IServiceManager() = default;

  // Manager and service handles.
  virtual SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName,
                                   DWORD desiredAccess) = 0;
  virtual SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName,
                                 DWORD desiredAccess) = 0;
  virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;

  // Enumerations. Both follow the two-call pattern: a call with no buffer and size 0
  // succeeds when there are no entries and otherwise fails with ERROR_MORE_DATA and the
  // size needed in *bytesNeeded.
  virtual BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                                   LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                   LPDWORD bytesNeeded, LPDWORD servicesReturned,
                                   LPDWORD resumeHandle) = 0;
  virtual BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState,
                                      LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                                      LPDWORD bytesNeeded, LPDWORD servicesReturned) = 0;

  // Status and control.
  virtual BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) = 0;
  virtual BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) = 0;
  virtual BOOL StartServiceW(SC_HANDLE service, DWORD numServiceArgs,
                             LPCWSTR* serviceArgVectors) = 0;

  // Configuration, description and recovery settings.
  virtual BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config,
                                   DWORD bufSize, LPDWORD bytesNeeded) = 0;
  virtual BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer,
                                    DWORD bufSize, LPDWORD bytesNeeded) = 0;
  virtual BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType,
                                    DWORD errorControl, LPCWSTR binaryPathName,
                                    LPCWSTR loadOrderGroup, LPDWORD tagId,
                                    LPCWSTR dependencies, LPCWSTR serviceStartName,
                                    LPCWSTR password, LPCWSTR displayName) = 0;
  virtual BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) = 0;

  // The database lock held while configuration is written.
  virtual SC_LOCK LockServiceDatabase(SC_HANDLE manager) = 0;
  virtual BOOL UnlockServiceDatabase(SC_LOCK lock) = 0;

  // Local security authority: the right to log on as a service.
  virtual NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING systemName,
                                 PLSA_OBJECT_ATTRIBUTES objectAttributes,
                                 ACCESS_MASK desiredAccess, PLSA_HANDLE policyHandle) = 0;
  virtual NTSTATUS LsaAddAccountRights(LSA_HANDLE policyHandle, PSID accountSid,
                                       PLSA_UNICODE_STRING userRights,
                                       ULONG countOfRights) = 0;
  virtual NTSTATUS LsaClose(LSA_HANDLE objectHandle) = 0;
};

// The active service control manager implementation.
inline IServiceManager& Scm() { return Seam<IServiceManager>::Get(); }

// Closes a manager or service handle when it goes out of scope.
class ScHandle {
 public:
  ScHandle() = default;
  explicit ScHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ScHandle() { Reset(); }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;

  SC_HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(SC_HANDLE handle = nullptr) {
    if (handle_ != nullptr) Scm().CloseServiceHandle(handle_);
    handle_ = handle;
  }

 private:
  SC_HANDLE handle_ = nullptr;
};

}  // namespace Q
