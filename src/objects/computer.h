// Computers in the object tree: the local computer (the root of the main window's tree)
// and any other computer found by browsing.
#pragma once

#include "objects/account.h"
#include "objects/qobject.h"

namespace Q {

class TqLocalComputer : public TqObject {
 public:
  // `name` is required ("Creating object failed!"); the main window passes "\\.".
  explicit TqLocalComputer(const wchar_t* name);

  // The local computer's UNC name; raises the error of the computer-name query.
  void GetDisplayName(wchar_t** out) override;
  unsigned char GetKind() override;
  // The local accounts, then the "Devices" and "Services" lists.
  void Enumerate(TqObject*** children, int* count) override;
};

class TqComputer : public TqObject {
 public:
  // `name` is the UNC name (required: "Creating object failed!"); takes ownership of
  // `account` (may be null), also when construction fails.
  TqComputer(const wchar_t* name, CAccount* account);
  ~TqComputer() override;

  // The computer name: the part of the name after its last backslash.
  void GetDisplayName(wchar_t** out) override;
  unsigned char GetKind() override;
  // Nothing when the computer does not answer; otherwise its accounts, then the
  // "Devices" and "Services" lists.
  void Enumerate(TqObject*** children, int* count) override;

  // The server test: asks for the server information once and keeps it. Raises
  // "Server is not respond" when the computer does not answer.
  void Probe();

  CAccount* Account() const { return account_; }
  // The kept server information (SERVER_INFO_102), or null.
  const BYTE* ServerInformation() const { return serverInformation_; }

 private:
  CAccount* account_;
  LPBYTE serverInformation_;
};

}  // namespace Q
