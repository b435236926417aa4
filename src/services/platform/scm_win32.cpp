// The service control manager seam on the real platform: every method forwards to the
// advapi32 function of the same name.
#include "services/platform/scm.h"

#ifdef _WIN32

namespace Q {
namespace {

class Win32ServiceManager final : public IServiceManager {
 public:
  SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName,
                           DWORD desiredAccess) override {
    return ::OpenSCManagerW(machineName, databaseName, desiredAccess);
  }
  SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) override {
    return ::OpenServiceW(manager, serviceName, desiredAccess);
  }
  BOOL CloseServiceHandle(SC_HANDLE handle) override { return ::CloseServiceHandle(handle); }

  BOOL EnumServicesStatusW(SC_HANDLE manager, DWORD serviceType, DWORD serviceState,
                           LPENUM_SERVICE_STATUSW services, DWORD bufSize, LPDWORD bytesNeeded,
                           LPDWORD servicesReturned, LPDWORD resumeHandle) override {
    return ::EnumServicesStatusW(manager, serviceType, serviceState, services, bufSize,
                                 bytesNeeded, servicesReturned, resumeHandle);
  }
  BOOL EnumDependentServicesW(SC_HANDLE service, DWORD serviceState,
                              LPENUM_SERVICE_STATUSW services, DWORD bufSize,
                              LPDWORD bytesNeeded, LPDWORD servicesReturned) override {
    return ::EnumDependentServicesW(service, serviceState, services, bufSize, bytesNeeded,
                                    servicesReturned);
  }

  BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) override {
    return ::QueryServiceStatus(service, status);
  }
  BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) override {
    return ::ControlService(service, control, status);
  }
  BOOL StartServiceW(SC_HANDLE service, DWORD numServiceArgs,
                     LPCWSTR* serviceArgVectors) override {
    return ::StartServiceW(service, numServiceArgs, serviceArgVectors);
  }

  BOOL QueryServiceConfigW(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD bufSize,
                           LPDWORD bytesNeeded) override {
    return ::QueryServiceConfigW(service, config, bufSize, bytesNeeded);
  }
  BOOL QueryServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPBYTE buffer, DWORD bufSize,
                            LPDWORD bytesNeeded) override {
    return ::QueryServiceConfig2W(service, infoLevel, buffer, bufSize, bytesNeeded);
  }
  BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType,
                            DWORD errorControl, LPCWSTR binaryPathName, LPCWSTR loadOrderGroup,
                            LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                            LPCWSTR password, LPCWSTR displayName) override {
    return ::ChangeServiceConfigW(service, serviceType, startType, errorControl, binaryPathName,
                                  loadOrderGroup, tagId, dependencies, serviceStartName,
                                  password, displayName);
  }
  BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) override {
    return ::ChangeServiceConfig2W(service, infoLevel, info);
  }

  SC_LOCK LockServiceDatabase(SC_HANDLE manager) override {
    return ::LockServiceDatabase(manager);
  }
  BOOL UnlockServiceDatabase(SC_LOCK lock) override { return ::UnlockServiceDatabase(lock); }

  NTSTATUS LsaOpenPolicy(PLSA_UNICODE_STRING systemName, PLSA_OBJECT_ATTRIBUTES objectAttributes,
                         ACCESS_MASK desiredAccess, PLSA_HANDLE policyHandle) override {
    return ::LsaOpenPolicy(systemName, objectAttributes, desiredAccess, policyHandle);
  }
  NTSTATUS LsaAddAccountRights(LSA_HANDLE policyHandle, PSID accountSid,
                               PLSA_UNICODE_STRING userRights, ULONG countOfRights) override {
    return ::LsaAddAccountRights(policyHandle, accountSid, userRights, countOfRights);
  }
  NTSTATUS LsaClose(LSA_HANDLE objectHandle) override { return ::LsaClose(objectHandle); }
};

}  // namespace

template <>
IServiceManager* Seam<IServiceManager>::Default() {
  static Win32ServiceManager instance;
  return &instance;
}

}  // namespace Q

#else

namespace Q {
template <>
IServiceManager* Seam<IServiceManager>::Default() {
  return nullptr;
}
}  // namespace Q

#endif
