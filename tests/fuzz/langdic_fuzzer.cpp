// Fuzzes the form dictionary loader and its lookups with arbitrary "lang.dic" bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/error.h"
#include "sim/computer.h"
#include "text/VCLQLangClasses.h"

namespace {
sim::Computer& Computer() {
  static sim::Computer* computer = [] {
    auto* c = new sim::Computer;
    c->Install();
    return c;
  }();
  return *computer;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Computer();
  static const std::string path = "/tmp/pelmora_langdic_fuzz_" + std::to_string(getpid()) + ".dic";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  Q::TLanguage language;
  language.Load(path.c_str());
  // Look up the first line's key and some texts made of the input.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string firstLine = text.substr(0, text.find('\n'));
  language.Lookup(firstLine.c_str());
  language.Lookup("");
  std::wstring wide;
  for (size_t i = 0; i < size && i < 3000; ++i) wide.push_back(static_cast<wchar_t>(data[i] | (i % 7 == 0 ? 0x100 : 0)));
  for (const std::wstring& probe : {wide, wide.substr(0, 10), std::wstring()}) {
    try {
      language.LookupW(probe.c_str());
    } catch (Q::TError* error) {
      delete error;
    }
  }
  return 0;
}
