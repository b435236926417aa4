// The settings store's own file layer: real files, positioned reads and writes, size and
// truncation, and an exclusive one-byte lock on byte 0. The Windows build uses the Win32
// file API (byte-range locks are per handle); the native build uses POSIX descriptors with
// open-file-description record locks where the system has them (also per handle, like
// Windows), otherwise classic per-process record locks.
//
// While the lock is held no other process changes the file, so reads are then served from
// blocks kept in memory (a chain of records written one after another costs one system
// call per block, not per record). Writes and truncation drop the kept blocks, and so does
// releasing the lock. The block buffers stay allocated for the life of the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Q {
namespace settings {

class StoreFile {
 public:
  enum class OpenResult { kOk, kMissing, kExists, kFailed };

  StoreFile() = default;
  ~StoreFile();
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;

  // Opens an existing file for reading and writing, shared with other processes.
  OpenResult OpenExisting(const wchar_t* path);
  // Creates the file (emptying an existing one) for reading and writing; in the Windows
  // build no other handle may open it while this one is open.
  OpenResult Create(const wchar_t* path);
  // Creates the file only when it does not exist yet (kExists otherwise, the file left as
  // it is); otherwise like Create.
  OpenResult CreateNew(const wchar_t* path);
  bool IsOpen() const;
  void Close();

  // Exactly `count` bytes at `offset`; a short read (past the end) is a failure.
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
  static constexpr std::int64_t kBlockSize = 64 * 1024;
  static constexpr std::size_t kBlocks = 32;  // direct-mapped: block n lives in n % 32
  struct Block {
    std::int64_t index = -1;
    std::vector<unsigned char> bytes;
  };

  bool ReadDirect(std::int64_t offset, void* buffer, std::size_t count);
  bool WriteDirect(std::int64_t offset, const void* buffer, std::size_t count);
  bool SizeDirect(std::int64_t* size);
  bool TruncateDirect(std::int64_t size);
  void DropBlocks();

  std::vector<Block> blocks_;
  std::int64_t cachedSize_ = -1;
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
#else
  int fd_ = -1;
#endif
  bool locked_ = false;
};

// Deletes a file; false when it cannot.
bool RemoveStoreFile(const wchar_t* path);

// UTF-8 text, used natively for file paths and by the store tool for its console text.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Pause between lock attempts (a real sleep: the lock is held by another process).
void SleepMilliseconds(int ms);

}  // namespace settings
}  // namespace Q
