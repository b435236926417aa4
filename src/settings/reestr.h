// Reestr: the program's small hierarchical key/value store, kept in two files of
// fixed-size records (a data file and a root file). Keys are addressed by paths such as
// "./qPelmora/Settings/MainWindow/" and hold further keys and values. Several processes
// may use the same files; each operation takes one-byte exclusive locks on byte 0 of the
// data file and then of the root file. Every failure is thrown as a Reestr::ErrorCode.
// The byte layout and the rules for damaged files are described in docs/settings.md.
#pragma once

#include <cstdint>
#include <memory>

namespace Q {

namespace settings {
class StoreFile;
}

class Reestr {
 public:
  enum ErrorCode : std::int32_t {
    kOpenFailed = -2,         // opening a file, reading the root header, or a wrong magic
    kHeaderWriteFailed = -4,  // writing the header of a new root file
    kNotFound = -5,           // a path or name not found, or a malformed path
    kReadFailed = -6,         // reading a record
    kRewriteFailed = -7,      // rewriting a record or data area in place
    kChainFailed = -8,        // walking or extending a sibling chain, counting children
    kAllocateFailed = -10,    // allocating or writing a new slot, the root header
    kLockFailed = -16,        // the file locks could not be obtained
    kNoStore = -100,          // no data file, and the store was not to be created
  };

  // Meaning of a code in plain English (for tools and logs); "unknown error" otherwise.
  static const char* ErrorText(int code);

  // Opens the store, or creates it (both files) when the data file does not exist and
  // `noCreate` is 0.
  Reestr(const wchar_t* dataFile, const wchar_t* rootFile, int noCreate);
  // Releases both locks, flushes both files to disk and closes them.
  ~Reestr();
  Reestr(const Reestr&) = delete;
  Reestr& operator=(const Reestr&) = delete;

  // Looks a child of the key at `path` up: by `name` when `index` is 0, or the `index`-th
  // child (from 1) when `index` is positive, whose name is then copied into `name` (128
  // characters). Sets `*type` and `*size`; below the root copies the value's bytes into
  // `data`. On entry `*size` is the number of bytes `data` holds (4 for an integer, 512
  // for any value): a value longer than that is not copied and fails with kReadFailed,
  // so a damaged or foreign value cannot overrun the caller's buffer.
  void GetValue(const wchar_t* path, wchar_t* name, void* data, int* size, int* type,
                int index);
  // Creates or overwrites the child `name` of the key at `path`. An existing child keeps its
  // type and links. `data` may be null (size 0); sizes above 512 are stored as 512.
  void SetValue(const wchar_t* path, const wchar_t* name, const void* data, short size,
                short type, short reserved);
  // The number of children of the key at `path`.
  int CountChildren(const wchar_t* path);

 private:
  int noCreate_;
  std::unique_ptr<settings::StoreFile> data_;
  std::unique_ptr<settings::StoreFile> root_;
};

}  // namespace Q
