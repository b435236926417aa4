#include "objects/accounts.h"

#include <functional>

#include "app/error.h"
#include "platform/system.h"
#include "text/coredict.h"

namespace Q {
namespace {

void ThrowCreatingFailed() {
  Q_MESSAGE(kCreating, L"Creating object failed!");
  throw new TError(kCreating.Translate());
}

// Releases a network management buffer when it goes out of scope.
class NetBuffer {
 public:
  NetBuffer() = default;
  ~NetBuffer() {
    if (buffer_ != nullptr) Net().NetApiBufferFree(buffer_);
  }
  NetBuffer(const NetBuffer&) = delete;
  NetBuffer& operator=(const NetBuffer&) = delete;
  LPBYTE* Out() { return &buffer_; }
  template <class T>
  T* As() const {
    return reinterpret_cast<T*>(buffer_);
  }

 private:
  LPBYTE buffer_ = nullptr;
};

// Adds one child per name of a level-0 list whose call succeeded with a buffer.
template <class Record>
void AddNamed(TqChildren& children, NET_API_STATUS status, const NetBuffer& buffer, DWORD read,
              const std::function<TqObject*(const wchar_t*)>& make) {
  if (status != NERR_Success || buffer.As<Record>() == nullptr) return;
  const Record* records = buffer.As<Record>();
  for (DWORD i = 0; i < read; ++i) {
    const wchar_t* name = *reinterpret_cast<const LPWSTR*>(&records[i]);
    if (name != nullptr) children.Add(make(name));
  }
}

}  // namespace

TqAccountsList::TqAccountsList(const wchar_t* name, const wchar_t* server)
    : TqObject(name), server_(nullptr) {
  if (name == nullptr) ThrowCreatingFailed();
  server_ = NewWideCopy(server);
  expandable_ = 1;
}

TqAccountsList::~TqAccountsList() { delete[] server_; }

unsigned char TqAccountsList::GetKind() { return kKindAccountsList; }

void TqAccountsList::Enumerate(TqObject*** children, int* count) {
  *children = nullptr;
  *count = 0;
  INetServices& net = Net();
  TqChildren found;
  const wchar_t* server = server_;
  {
    NetBuffer buffer;
    DWORD read = 0, total = 0, resume = 0;
    const NET_API_STATUS status = net.NetUserEnum(server, 0, 0, buffer.Out(), MAX_PREFERRED_LENGTH,
                                                  &read, &total, &resume);
    AddNamed<USER_INFO_0>(found, status, buffer, read, [server](const wchar_t* name) {
      return new TqAccount(name, server, kAccountUser);
    });
  }
  {
    NetBuffer buffer;
    DWORD read = 0, total = 0;
    DWORD_PTR resume = 0;
    const NET_API_STATUS status =
        net.NetGroupEnum(server, 0, buffer.Out(), MAX_PREFERRED_LENGTH, &read, &total, &resume);
    AddNamed<GROUP_INFO_0>(found, status, buffer, read, [server](const wchar_t* name) {
      return new TqAccount(name, server, kAccountGlobalGroup);
    });
  }
  {
    NetBuffer buffer;
    DWORD read = 0, total = 0;
    DWORD_PTR resume = 0;
    const NET_API_STATUS status = net.NetLocalGroupEnum(server, 0, buffer.Out(),
                                                        MAX_PREFERRED_LENGTH, &read, &total, &resume);
    AddNamed<LOCALGROUP_INFO_0>(found, status, buffer, read, [server](const wchar_t* name) {
      return new TqAccount(name, server, kAccountLocalGroup);
    });
  }
  found.Release(children, count);
}

TqAccount::TqAccount(const wchar_t* name, const wchar_t* server, unsigned char type)
    : TqObject(name), account_(nullptr), server_(nullptr), type_(type) {
  if (name == nullptr) ThrowCreatingFailed();
  std::unique_ptr<wchar_t[]> serverCopy(NewWideCopy(server));
  account_ = new CAccount(name, server);
  server_ = serverCopy.release();
  expandable_ = type != kAccountUser ? 1 : 0;
}

TqAccount::TqAccount(PSID sid, const wchar_t* server, unsigned char type)
    : TqObject(nullptr), account_(nullptr), server_(nullptr), type_(type) {
  if (sid == nullptr) ThrowCreatingFailed();
  std::unique_ptr<CAccount> account(new CAccount(sid, server));
  std::unique_ptr<wchar_t[]> serverCopy(NewWideCopy(server));
  wchar_t* name = nullptr;
  if (account->GetName(&name) == 0) name_ = NewWideCopy(name);
  account_ = account.release();
  server_ = serverCopy.release();
  expandable_ = type != kAccountUser ? 1 : 0;
}

TqAccount::~TqAccount() {
  delete account_;
  delete[] server_;
}

unsigned char TqAccount::GetKind() { return kKindAccount; }

void TqAccount::Enumerate(TqObject*** children, int* count) {
  Q_MESSAGE(kUnknownType, L"TqAccount: Unknown Account Type!");
  Q_MESSAGE(kMembersFailed,
            L"Failed to detect Members of Group! (This Group belongs to another computer mayby)");
  *children = nullptr;
  *count = 0;
  if (type_ == kAccountUser) return;
  if (type_ != kAccountLocalGroup && type_ != kAccountGlobalGroup)
    throw new TError(kUnknownType.Translate());
  INetServices& net = Net();
  TqChildren found;
  NetBuffer buffer;
  DWORD read = 0, total = 0;
  DWORD_PTR resume = 0;
  NET_API_STATUS status;
  if (type_ == kAccountLocalGroup) {
    status = net.NetLocalGroupGetMembers(server_, name_, 1, buffer.Out(), MAX_PREFERRED_LENGTH,
                                         &read, &total, &resume);
    if (status == NERR_Success && buffer.As<LOCALGROUP_MEMBERS_INFO_1>() != nullptr) {
      const auto* members = buffer.As<LOCALGROUP_MEMBERS_INFO_1>();
      for (DWORD i = 0; i < read; ++i) {
        if (members[i].lgrmi1_sid == nullptr) continue;
        // Only a global group can be expanded further from here; every other member
        // (users, aliases, well-known groups) is shown as a user.
        const unsigned char type =
            members[i].lgrmi1_sidusage == SidTypeGroup ? kAccountGlobalGroup : kAccountUser;
        found.Add(new TqAccount(members[i].lgrmi1_sid, server_, type));
      }
    }
  } else {
    status = net.NetGroupGetUsers(server_, name_, 0, buffer.Out(), MAX_PREFERRED_LENGTH, &read,
                                  &total, &resume);
    AddNamed<GROUP_USERS_INFO_0>(found, status, buffer, read, [this](const wchar_t* name) {
      return new TqAccount(name, server_, kAccountUser);
    });
  }
  if (status != NERR_Success) {
    Sys().MessageBoxW(nullptr, kMembersFailed.Translate(), L"Error", MB_TASKMODAL | MB_ICONERROR);
    return;
  }
  found.Release(children, count);
}

void TqAccount::GetGroupComment(wchar_t** text) {
  Q_MESSAGE(kFailed, L"Getting Group information failed!");
  *text = nullptr;
  if (type_ != kAccountGlobalGroup) return;
  NetBuffer buffer;
  if (Net().NetGroupGetInfo(server_, name_, 1, buffer.Out()) != NERR_Success)
    throw new TError(kFailed.Translate());
  if (const auto* info = buffer.As<GROUP_INFO_1>()) *text = NewWideCopy(info->grpi1_comment);
}

void TqAccount::GetLocalGroupComment(wchar_t** text) {
  Q_MESSAGE(kFailed, L"Getting Local Group information failed!");
  *text = nullptr;
  if (type_ != kAccountLocalGroup) return;
  NetBuffer buffer;
  if (Net().NetLocalGroupGetInfo(server_, name_, 1, buffer.Out()) != NERR_Success)
    throw new TError(kFailed.Translate());
  if (const auto* info = buffer.As<LOCALGROUP_INFO_1>()) *text = NewWideCopy(info->lgrpi1_comment);
}

void TqAccount::GetUserNameAndComment(wchar_t** fullName, wchar_t** comment) {
  *fullName = nullptr;
  *comment = nullptr;
  if (type_ != kAccountUser) return;
  NetBuffer buffer;
  if (Net().NetUserGetInfo(server_, name_, 2, buffer.Out()) != NERR_Success) return;
  const auto* info = buffer.As<USER_INFO_2>();
  if (info == nullptr) return;
  std::unique_ptr<wchar_t[]> full(NewWideCopy(info->usri2_full_name));
  *comment = NewWideCopy(info->usri2_comment);
  *fullName = full.release();
}

void TqAccount::GetUserPrivilege(DWORD* privilege, DWORD* flags) {
  *privilege = 0;
  *flags = 0;
  if (type_ != kAccountUser) return;
  NetBuffer buffer;
  if (Net().NetUserGetInfo(server_, name_, 3, buffer.Out()) != NERR_Success) return;
  if (const auto* info = buffer.As<USER_INFO_3>()) {
    *privilege = info->usri3_priv;
    *flags = info->usri3_flags;
  }
}

}  // namespace Q
