// A computer's service lists and the service record, with the code tables whose texts
// the views show.
#pragma once

#include "objects/qobject.h"
#include "services/platform/scm.h"

namespace Q {

// List kinds.
constexpr unsigned char kListServices = 1;
constexpr unsigned char kListDrivers = 2;

// Size of a record's description block, in bytes.
constexpr unsigned kDescriptionBlockBytes = 4096;

// One row of a code table: a platform code and the text shown for it.
struct TqCodeText {
  unsigned Code;
  const wchar_t* Text;
};

// The code tables, in the order the views list them.
extern const TqCodeText StartTypeTable[];
extern const int StartTypeTableCount;
extern const TqCodeText ServiceTypeTable[];
extern const int ServiceTypeTableCount;
extern const TqCodeText ErrorControlTable[];
extern const int ErrorControlTableCount;
extern const TqCodeText CurrentStateTable[];
extern const int CurrentStateTableCount;
extern const TqCodeText RecoveryActionTable[];
extern const int RecoveryActionTableCount;

// The text of the first row whose code is `code`, or null when none is.
const wchar_t* CodeText(const TqCodeText* table, int count, unsigned code);

// One service or driver: identity, the status last read, and the configuration,
// description, recovery settings and dependents the service operations fill in.
class TqService : public TqObject {
 public:
  // A null service name raises "Creating object failed!".
  TqService(const wchar_t* serviceName, const wchar_t* displayName, unsigned char listKind,
            DWORD serviceType, DWORD currentState, DWORD controlsAccepted, DWORD win32ExitCode,
            DWORD serviceSpecificExitCode, DWORD checkPoint, DWORD waitHint,
            const wchar_t* computer);
  ~TqService() override;

  // The display name, or "[no_display_name]" when the service has none.
  void GetDisplayName(wchar_t** out) override;
  unsigned char GetKind() override;

  // Typed views of the owned blocks (null when the block is absent).
  QUERY_SERVICE_CONFIGW* Config() const {
    return reinterpret_cast<QUERY_SERVICE_CONFIGW*>(ConfigBlock);
  }
  SERVICE_DESCRIPTIONW* Description() const {
    return reinterpret_cast<SERVICE_DESCRIPTIONW*>(DescriptionBlock);
  }
  SERVICE_FAILURE_ACTIONSW* Recovery() const {
    return reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(RecoveryBlock);
  }
  ENUM_SERVICE_STATUSW* Dependents() const {
    return reinterpret_cast<ENUM_SERVICE_STATUSW*>(DependentsBlock);
  }

  // Replace an owned block, releasing the previous one.
  void SetConfigBlock(BYTE* block);                     // new BYTE[]
  void SetRecoveryBlock(BYTE* block);                   // LocalAlloc
  void SetDependentsBlock(BYTE* block, DWORD count);    // new BYTE[]

  // Fields, in the record's order. The record owns every pointer.
  wchar_t* DisplayName;       // or null
  wchar_t* Computer;          // UNC name of the computer, null for the local one
  unsigned char ListKind;     // kListServices or kListDrivers
  BYTE* ConfigBlock;          // QUERY_SERVICE_CONFIGW and its strings (new BYTE[]), or null
  BYTE* DescriptionBlock;     // kDescriptionBlockBytes, zero-filled: SERVICE_DESCRIPTIONW
  BYTE* RecoveryBlock;        // SERVICE_FAILURE_ACTIONSW block (LocalAlloc), or null
  SERVICE_STATUS Status;      // the status last read
  BYTE* DependentsBlock;      // ENUM_SERVICE_STATUSW records and strings (new BYTE[]), or null
  DWORD DependentsCount;
};

// One of a computer's two service lists; its children are TqService records.
class TqServiceList : public TqObject {
 public:
  // A null name raises "Creating object failed!". `computer` is a UNC name or null for
  // the local computer.
  TqServiceList(const wchar_t* name, unsigned char listKind, const wchar_t* computer);
  ~TqServiceList() override;

  unsigned char GetKind() override;
  // One TqService per service (list kind 1) or driver (list kind 2) in every state.
  void Enumerate(TqObject*** children, int* count) override;

  const wchar_t* Computer() const { return computer_; }
  unsigned char ListKind() const { return listKind_; }

 private:
  wchar_t* computer_;
  unsigned char listKind_;
};

}  // namespace Q
