// The accounts of one computer or domain in the object tree: TqAccountsList lists users,
// global groups and local groups; TqAccount is one account, whose group members are its
// children, with its descriptive texts and user flags.
#pragma once

#include <memory>

#include "objects/account.h"
#include "objects/qobject.h"

namespace Q {

class TqAccountsList : public TqObject {
 public:
  // `name` is the caption (required: "Creating object failed!"); `server` null = local.
  TqAccountsList(const wchar_t* name, const wchar_t* server);
  ~TqAccountsList() override;

  unsigned char GetKind() override;
  // Users, then global groups, then local groups, each as the platform returns them; a
  // list that cannot be read contributes nothing.
  void Enumerate(TqObject*** children, int* count) override;

  const wchar_t* Server() const { return server_; }

 private:
  wchar_t* server_;
};

class TqAccount : public TqObject {
 public:
  // From a name (required: "Creating object failed!").
  TqAccount(const wchar_t* name, const wchar_t* server, unsigned char type);
  // From a SID (required): the name is the bare name the server gives it, or none.
  TqAccount(PSID sid, const wchar_t* server, unsigned char type);
  ~TqAccount() override;

  unsigned char GetKind() override;
  // The members of a group; a user has none.
  void Enumerate(TqObject*** children, int* count) override;

  // New copies (array delete) of the descriptive texts; null where the type has none.
  void GetGroupComment(wchar_t** text);
  void GetLocalGroupComment(wchar_t** text);
  void GetUserNameAndComment(wchar_t** fullName, wchar_t** comment);
  // Privilege level (USER_PRIV_*) and account flags (UF_*); both 0 when unknown.
  void GetUserPrivilege(DWORD* privilege, DWORD* flags);

  CAccount* Account() const { return account_; }
  const wchar_t* Server() const { return server_; }
  unsigned char Type() const { return type_; }

 private:
  CAccount* account_;
  wchar_t* server_;
  unsigned char type_;
};

}  // namespace Q
