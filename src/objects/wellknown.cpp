#include "objects/wellknown.h"

#include <memory>
#include <vector>

#include "app/environment.h"
#include "app/error.h"
#include "objects/accounts.h"
#include "objects/platform/net.h"
#include "text/coredict.h"

namespace Q {
namespace {

struct WellKnownRow {
  BYTE authority;         // the low byte of the six-byte identifier authority
  BYTE subAuthorityCount;  // 0 or 1
  DWORD subAuthority;
};

// In the order the list shows them (not numeric order).
const WellKnownRow kRows[] = {
    {1, 1, 0},   // S-1-1-0 everyone
    {2, 1, 0},   // S-1-2-0 users logged on locally
    {3, 1, 0},   // S-1-3-0 creator owner
    {3, 1, 1},   // S-1-3-1 creator group
    {5, 0, 0},   // S-1-5 the NT authority
    {5, 1, 1},   // dial-up
    {5, 1, 2},   // network
    {5, 1, 3},   // batch
    {5, 1, 4},   // interactive
    {5, 1, 6},   // service
    {5, 1, 18},  // local system
    {5, 1, 32},  // built-in domain
    {5, 1, 11},  // authenticated users
    {5, 1, 12},  // restricted code
    {5, 1, 10},  // principal self
    {5, 1, 13},  // terminal server users
    {5, 1, 8},   // proxy
    {5, 1, 9},   // enterprise domain controllers
    {5, 1, 7},   // anonymous logon
    {5, 1, 19},  // local service (5.1 and later)
    {5, 1, 20},  // network service (5.1 and later)
    {5, 1, 14},  // remote interactive logon (5.1 and later)
};
constexpr int kRowCount = sizeof(kRows) / sizeof(kRows[0]);
constexpr int kRowsBeforeXp = 19;

}  // namespace

TqWellKnownAccountsList::TqWellKnownAccountsList(const wchar_t* name, const wchar_t* server)
    : TqObject(name), server_(nullptr) {
  Q_MESSAGE(kCreating, L"Creating object failed!");
  if (name == nullptr) throw new TError(kCreating.Translate());
  server_ = NewWideCopy(server);
  expandable_ = 1;
}

TqWellKnownAccountsList::~TqWellKnownAccountsList() { delete[] server_; }

unsigned char TqWellKnownAccountsList::GetKind() { return kKindWellKnownAccountsList; }

void TqWellKnownAccountsList::Enumerate(TqObject*** children, int* count) {
  *children = nullptr;
  *count = 0;
  INetServices& net = Net();
  const int rows = IsWindowsXpOrLater() ? kRowCount : kRowsBeforeXp;
  // Build every SID of the table first, then the accounts; the table's SIDs are released
  // with it, the accounts keep copies of their own.
  std::vector<std::unique_ptr<BYTE[]>> sids;
  for (int i = 0; i < rows; ++i) {
    const WellKnownRow& row = kRows[i];
    const DWORD length = net.GetSidLengthRequired(row.subAuthorityCount);
    std::unique_ptr<BYTE[]> sid(new BYTE[length]());
    SID_IDENTIFIER_AUTHORITY authority = {{0, 0, 0, 0, 0, row.authority}};
    if (!net.InitializeSid(sid.get(), &authority, row.subAuthorityCount)) continue;
    if (row.subAuthorityCount == 1) *net.GetSidSubAuthority(sid.get(), 0) = row.subAuthority;
    sids.push_back(std::move(sid));
  }
  TqChildren found;
  for (const auto& sid : sids) found.Add(new TqAccount(static_cast<PSID>(sid.get()), server_, kAccountUser));
  found.Release(children, count);
}

}  // namespace Q
