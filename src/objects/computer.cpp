#include "objects/computer.h"

#include <cwchar>
#include <memory>

#include "app/environment.h"
#include "app/error.h"
#include "objects/accounts.h"
#include "objects/platform/net.h"
#include "services/service.h"
#include "text/coredict.h"

namespace Q {
namespace {

[[noreturn]] void ThrowCreatingFailed() {
  Q_MESSAGE(kCreating, L"Creating object failed!");
  throw new TError(kCreating.Translate());
}

// The accounts list and the two service lists of `computer` (null: local), in this order.
void AddAccountsAndServiceLists(TqChildren& children, const wchar_t* computer) {
  Q_MESSAGE(kUsers, L"Users");
  Q_MESSAGE(kDevices, L"Devices");
  Q_MESSAGE(kServices, L"Services");
  children.Add(new TqAccountsList(kUsers.Translate(), computer));
  children.Add(new TqServiceList(kDevices.Translate(), kListDrivers, computer));
  children.Add(new TqServiceList(kServices.Translate(), kListServices, computer));
}

}  // namespace

TqLocalComputer::TqLocalComputer(const wchar_t* name) : TqObject(name) {
  if (name == nullptr) ThrowCreatingFailed();
  expandable_ = 1;
}

void TqLocalComputer::GetDisplayName(wchar_t** out) { GetLocalComputerUnc(out); }

unsigned char TqLocalComputer::GetKind() { return kKindLocalComputer; }

void TqLocalComputer::Enumerate(TqObject*** children, int* count) {
  *children = nullptr;
  *count = 0;
  TqChildren found;
  // Before the accounts come, in this order, the local volumes (one per drive letter),
  // the network (only when the computer belongs to a domain) and the directory (only
  // when it can be reached). Those objects are not part of the program yet; they join
  // here when they are.
  AddAccountsAndServiceLists(found, nullptr);
  found.Release(children, count);
}

TqComputer::TqComputer(const wchar_t* name, CAccount* account)
    : TqObject(name), account_(account), serverInformation_(nullptr) {
  if (name == nullptr) {
    delete account_;
    ThrowCreatingFailed();
  }
  expandable_ = 1;
}

TqComputer::~TqComputer() {
  delete account_;
  if (serverInformation_ != nullptr) Net().NetApiBufferFree(serverInformation_);
}

void TqComputer::GetDisplayName(wchar_t** out) {
  if (name_ == nullptr) {
    *out = NewWideCopy(L"");
    return;
  }
  const wchar_t* slash = std::wcsrchr(name_, L'\\');
  *out = NewWideCopy(slash != nullptr ? slash + 1 : name_);
}

unsigned char TqComputer::GetKind() { return kKindComputer; }

void TqComputer::Probe() {
  Q_MESSAGE(kNoAnswer, L"Server is not respond");
  if (serverInformation_ != nullptr) return;
  LPBYTE info = nullptr;
  const NET_API_STATUS status = Net().NetServerGetInfo(name_, 102, &info);
  if (status != NERR_Success || info == nullptr) {
    if (info != nullptr) Net().NetApiBufferFree(info);
    throw new TError(kNoAnswer.Translate());
  }
  serverInformation_ = info;
}

void TqComputer::Enumerate(TqObject*** children, int* count) {
  *children = nullptr;
  *count = 0;
  try {
    Probe();
  } catch (TError* error) {
    ReleaseError(error);
    return;
  }
  TqChildren found;
  AddAccountsAndServiceLists(found, name_);
  // The computer's shares follow the service lists (NetShareEnum at level 502, one share
  // object per entry, a refused enumeration shown as "Browsing of Open Resources has
  // failed!"). The share object is not part of the program yet; it joins here when it is.
  found.Release(children, count);
}

}  // namespace Q
