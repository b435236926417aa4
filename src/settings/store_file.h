// The settings store's own file layer: real files, positioned reads and writes, size and
// truncation, and an exclusive one-byte lock on byte 0. The Windows build uses the Win32
// file API (byte-range locks are per handle); the native build uses POSIX descriptors with
// open-file-description record locks where the system has them (also per handle, like
// Windows), otherwise classic per-process record locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Q {
namespace settings {

class StoreFile {
 public:
  enum class OpenResult { kOk, kMissing, kFailed };

  StoreFile() = default;
  ~StoreFile();
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;

  // Opens an existing file for reading and writing, shared with other processes.
  OpenResult OpenExisting(const wchar_t* path);
  // Creates the file (emptying an existing one) for reading and writing; in the Windows
  // build no other handle may open it while this one is open.
  OpenResult Create(const wchar_t* path);
  bool IsOpen() const;
  void Close();

  // Exactly `count` bytes at `offset`; a short read is a failure.
  bool ReadAt(std::int64_t offset, void* buffer, std::size_t count);
  bool WriteAt(std::int64_t offset, const void* buffer, std::size_t count);
  bool Size(std::int64_t* size);
  bool Truncate(std::int64_t size);
  bool Flush();

  // One try at the exclusive lock of byte 0; Unlock releases it when held.
  bool TryLockByte0();
  void UnlockByte0();
  bool HoldsLock() const { return locked_; }

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
  int fd_ = -1;
#endif
  bool locked_ = false;
};

// UTF-8 text, used natively for file paths and by the store tool for its console text.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Pause between lock attempts (a real sleep: the lock is held by another process).
void SleepMilliseconds(int ms);

}  // namespace settings
}  // namespace Q
