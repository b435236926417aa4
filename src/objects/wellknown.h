// The system's well-known accounts (everyone, the local system, the logon kinds, the
// creator placeholders, ...) as one tree object whose children are accounts built from
// their fixed SIDs and named by the server's own SID lookup.
#pragma once

#include "objects/qobject.h"

namespace Q {

class TqWellKnownAccountsList : public TqObject {
 public:
  // `name` is the caption (required: "Creating object failed!"); `server` null = local.
  TqWellKnownAccountsList(const wchar_t* name, const wchar_t* server);
  ~TqWellKnownAccountsList() override;

  unsigned char GetKind() override;
  // One user-type TqAccount per row of the table, in table order; the last three rows
  // only when this computer runs version 5.1 or later.
  void Enumerate(TqObject*** children, int* count) override;

  const wchar_t* Server() const { return server_; }

 private:
  wchar_t* server_;
};

}  // namespace Q
