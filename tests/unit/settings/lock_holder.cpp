// Helper process for the lock tests: takes the store's locks (byte 0 of the data file,
// then of the root file), creates READY, holds the locks until RELEASE exists (at most
// 60 s), then exits. Usage: settings_lock_holder DATA ROOT READY RELEASE
#include <cstdio>
#include <fstream>

#include "settings/store_file.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  using Q::settings::StoreFile;
  StoreFile data, root;
  if (data.OpenExisting(Q::settings::Utf8ToWide(argv[1]).c_str()) != StoreFile::OpenResult::kOk ||
      root.OpenExisting(Q::settings::Utf8ToWide(argv[2]).c_str()) != StoreFile::OpenResult::kOk ||
      !data.TryLockByte0() || !root.TryLockByte0()) {
    return 3;
  }
  std::ofstream(argv[3]) << "locked\n";
  for (int waited = 0; waited < 60000; waited += 20) {
    if (std::ifstream(argv[4]).good()) return 0;
    Q::settings::SleepMilliseconds(20);
  }
  return 4;
}
