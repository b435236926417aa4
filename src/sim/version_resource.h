// Version resources in the platform's VS_VERSIONINFO layout: every node is
// wLength, wValueLength, wType (0 binary, 1 text), a zero-terminated UTF-16 key, padding to
// 32 bits, the value (wValueLength in bytes for binary, in UTF-16 units for text), padding,
// and the child nodes. Used by the simulated computer's version functions.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace sim {

// A block with the fixed file information, one string table named by `language` and
// `codePage` ("%04x%04x") holding `strings`, and the translation entry (language,
// code page), as a resource compiler lays it out.
std::vector<BYTE> BuildVersionResource(const std::map<std::wstring, std::wstring>& strings,
                                       WORD language, WORD codePage);

struct VersionValue {
  bool text = false;
  const BYTE* data = nullptr;  // binary value inside the block
  UINT size = 0;               // bytes of a binary value
  std::u16string utf16;        // a text value (without its terminating zero)
};

// Finds the value at `path` ("\\", "\\VarFileInfo\\Translation",
// "\\StringFileInfo\\040904e4\\FileVersion"); keys compare without regard to case. False
// when the path does not exist or the block is malformed.
bool FindVersionValue(const BYTE* block, const char* path, VersionValue* out);

}  // namespace sim
