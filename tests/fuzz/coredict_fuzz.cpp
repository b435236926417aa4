// Feeds arbitrary bytes to the core dictionary loader as a corelang.dic file, then
// translates a few padded messages, with the simulated computer's code page 1252.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "sim/computer.h"
#include "text/coredict.h"

namespace {

std::string TempPath() {
  static std::string path = "/tmp/pelmora-coredict-fuzz-" + std::to_string(getpid()) + ".dic";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static sim::Computer* computer = [] {
    auto* c = new sim::Computer;
    c->Install();
    return c;
  }();
  (void)computer;

  const std::string path = TempPath();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  Q::ResetCoreDictionaryForTesting();
  Q::LoadCoreDictionary(path.c_str());

  wchar_t short_message[] = L"Stop          ";
  wchar_t empty[] = L"";
  wchar_t padded[] = L"Access to Service denied!               ";
  Q::TranslateInPlace(short_message);
  Q::TranslateInPlace(empty);
  Q::TranslateInPlace(padded);
  // The translation never grows past the message's own length.
  if (empty[0] != L'\0') __builtin_trap();
  std::remove(path.c_str());
  return 0;
}
