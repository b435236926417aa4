// Arbitrary SID bytes and path texts through the account helpers: SidToText of any SID the
// platform would accept, the WinNT:// parser (with and without the locator), the path
// builder and the common-name search. Nothing may overrun, leak or crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/error.h"
#include "objects/account.h"
#include "sim/computer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static sim::Computer* computer = [] {
    auto* c = new sim::Computer;
    c->Install();
    c->net().AddDomain(L"CORP", L"corp.example.com", L"DC01");
    c->net().Join(L"SIMHOST", L"CORP");
    return c;
  }();
  computer->log().Clear();
  if (size == 0) return 0;
  // First byte: how many of the following bytes form the SID.
  const std::size_t sidBytes = data[0] % 72 < size - 1 ? data[0] % 72 : size - 1;
  std::vector<BYTE> sid(data + 1, data + 1 + sidBytes);
  sid.resize(SECURITY_MAX_SID_SIZE + 8, 0);  // room for whatever the header claims
  {
    Q::CAccount account(static_cast<PSID>(sid.data()), nullptr);
    wchar_t* text = nullptr;
    if (Q::SidToText(&account, &text) == 0) delete[] text;
    wchar_t* full = nullptr;
    account.GetFullName(&full);
  }
  // The rest: a wide text, two bytes a character.
  std::wstring text;
  for (std::size_t i = 1 + sidBytes; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  const wchar_t* p = text.c_str();
  wchar_t* domain = nullptr;
  wchar_t* object = nullptr;
  Q::ParseWinNTPath(p, &domain, &object, (data[0] & 0x80) != 0);
  wchar_t* built = Q::BuildWinNTPath(domain, object, p);
  delete[] built;
  delete[] domain;
  delete[] object;
  delete[] Q::FindCommonName(p);
  Q::CAccount byName(p, nullptr);
  wchar_t* full = nullptr;
  byName.GetFullName(&full);
  return 0;
}
