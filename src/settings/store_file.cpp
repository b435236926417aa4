#include "settings/store_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Q {
namespace settings {

void SleepMilliseconds(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string WideToUtf8(const std::wstring& text) {
  std::u16string units = WideToUtf16(text);
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // an unpaired surrogate has no UTF-8 form
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::u16string units;
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t length = 1;
    if (lead < 0x80) {
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xF4) {
      length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      std::uint32_t value = lead & (0x7F >> length);
      bool valid = i + length <= text.size();
      for (std::size_t k = 1; valid && k < length; ++k) {
        unsigned char c = static_cast<unsigned char>(text[i + k]);
        valid = (c & 0xC0) == 0x80;
        value = (value << 6) | (c & 0x3F);
      }
      static const std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (valid && value >= kMin[length] && value <= 0x10FFFF &&
          !(value >= 0xD800 && value <= 0xDFFF)) {
        cp = value;
      } else {
        length = 1;
      }
    }
    i += length;
    if (cp >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(cp);
    }
  }
  return Utf16ToWide(units);
}

StoreFile::~StoreFile() { Close(); }

bool StoreFile::ReadAt(std::int64_t offset, void* buffer, std::size_t count) {
  if (!locked_) return ReadDirect(offset, buffer, count);
  std::int64_t size = 0;
  if (offset < 0 || !Size(&size) || offset > size || static_cast<std::int64_t>(count) > size - offset) {
    return false;
  }
  if (blocks_.empty()) blocks_.resize(kBlocks);
  unsigned char* out = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    std::int64_t index = offset / kBlockSize;
    Block& block = blocks_[static_cast<std::size_t>(index % static_cast<std::int64_t>(kBlocks))];
    if (block.index != index) {
      std::int64_t start = index * kBlockSize;
      block.index = -1;
      block.bytes.resize(static_cast<std::size_t>(std::min(kBlockSize, size - start)));
      if (!ReadDirect(start, block.bytes.data(), block.bytes.size())) return false;
      block.index = index;
    }
    std::size_t within = static_cast<std::size_t>(offset - index * kBlockSize);
    std::size_t take = std::min(count, block.bytes.size() - within);
    std::memcpy(out, block.bytes.data() + within, take);
    out += take;
    offset += static_cast<std::int64_t>(take);
    count -= take;
  }
  return true;
}

bool StoreFile::WriteAt(std::int64_t offset, const void* buffer, std::size_t count) {
  DropBlocks();
  return WriteDirect(offset, buffer, count);
}

bool StoreFile::Size(std::int64_t* size) {
  if (!locked_) return SizeDirect(size);
  if (cachedSize_ < 0 && !SizeDirect(&cachedSize_)) return false;
  *size = cachedSize_;
  return true;
}

bool StoreFile::Truncate(std::int64_t size) {
  DropBlocks();
  return TruncateDirect(size);
}

void StoreFile::DropBlocks() {
  for (Block& block : blocks_) block.index = -1;
  cachedSize_ = -1;
}

#ifdef _WIN32

namespace {

OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
  ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  return ov;
}

StoreFile::OpenResult FromHandle(HANDLE h, void** out) {
  if (h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return StoreFile::OpenResult::kExists;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? StoreFile::OpenResult::kMissing
               : StoreFile::OpenResult::kFailed;
  }
  *out = h;
  return StoreFile::OpenResult::kOk;
}

}  // namespace

StoreFile::OpenResult StoreFile::OpenExisting(const wchar_t* path) {
  Close();
  return FromHandle(CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr),
                    &handle_);
}

StoreFile::OpenResult StoreFile::Create(const wchar_t* path) {
  Close();
  return FromHandle(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr),
                    &handle_);
}

StoreFile::OpenResult StoreFile::CreateNew(const wchar_t* path) {
  Close();
  return FromHandle(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr),
                    &handle_);
}

bool StoreFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

bool RemoveStoreFile(const wchar_t* path) { return DeleteFileW(path) != FALSE; }

void StoreFile::Close() {
  if (!IsOpen()) return;
  UnlockByte0();
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool StoreFile::ReadDirect(std::int64_t offset, void* buffer, std::size_t count) {
  if (!IsOpen() || offset < 0 || count > 0x7FFFFFFF) return false;
  OVERLAPPED ov = At(offset);
  DWORD done = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &done, &ov)) return false;
  return done == count;
}

bool StoreFile::WriteDirect(std::int64_t offset, const void* buffer, std::size_t count) {
  if (!IsOpen() || offset < 0 || count > 0x7FFFFFFF) return false;
  OVERLAPPED ov = At(offset);
  DWORD done = 0;
  if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), &done, &ov)) return false;
  return done == count;
}

bool StoreFile::SizeDirect(std::int64_t* size) {
  LARGE_INTEGER value;
  if (!IsOpen() || !GetFileSizeEx(handle_, &value)) return false;
  *size = value.QuadPart;
  return true;
}

bool StoreFile::TruncateDirect(std::int64_t size) {
  LARGE_INTEGER position;
  position.QuadPart = size;
  return IsOpen() && size >= 0 && SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) &&
         SetEndOfFile(handle_);
}

bool StoreFile::Flush() { return IsOpen() && FlushFileBuffers(handle_); }

bool StoreFile::TryLockByte0() {
  if (!IsOpen()) return false;
  if (locked_) return true;
  OVERLAPPED ov = At(0);
  locked_ = LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &ov) != FALSE;
  return locked_;
}

void StoreFile::UnlockByte0() {
  if (!locked_) return;
  UnlockFile(handle_, 0, 0, 1, 0);
  locked_ = false;
  DropBlocks();
}

#else  // native

namespace {

std::string NativePath(const wchar_t* path) {
  std::string native = WideToUtf8(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

StoreFile::OpenResult FromDescriptor(int fd, int* out) {
  if (fd < 0) {
    if (errno == EEXIST) return StoreFile::OpenResult::kExists;
    return errno == ENOENT || errno == ENOTDIR ? StoreFile::OpenResult::kMissing
                                               : StoreFile::OpenResult::kFailed;
  }
  *out = fd;
  return StoreFile::OpenResult::kOk;
}

bool SetLock(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
#ifdef F_OFD_SETLK
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
#else
  return fcntl(fd, F_SETLK, &lock) == 0;
#endif
}

}  // namespace

StoreFile::OpenResult StoreFile::OpenExisting(const wchar_t* path) {
  Close();
  return FromDescriptor(open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC), &fd_);
}

StoreFile::OpenResult StoreFile::Create(const wchar_t* path) {
  Close();
  return FromDescriptor(
      open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666), &fd_);
}

StoreFile::OpenResult StoreFile::CreateNew(const wchar_t* path) {
  Close();
  return FromDescriptor(
      open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666), &fd_);
}

bool StoreFile::IsOpen() const { return fd_ >= 0; }

bool RemoveStoreFile(const wchar_t* path) { return unlink(NativePath(path).c_str()) == 0; }

void StoreFile::Close() {
  if (!IsOpen()) return;
  UnlockByte0();
  close(fd_);
  fd_ = -1;
}

bool StoreFile::ReadDirect(std::int64_t offset, void* buffer, std::size_t count) {
  if (!IsOpen() || offset < 0) return false;
  char* out = static_cast<char*>(buffer);
  while (count > 0) {
    ssize_t n = pread(fd_, out, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    offset += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool StoreFile::WriteDirect(std::int64_t offset, const void* buffer, std::size_t count) {
  if (!IsOpen() || offset < 0) return false;
  const char* in = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = pwrite(fd_, in, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    in += n;
    offset += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool StoreFile::SizeDirect(std::int64_t* size) {
  struct stat info;
  if (!IsOpen() || fstat(fd_, &info) != 0) return false;
  *size = info.st_size;
  return true;
}

bool StoreFile::TruncateDirect(std::int64_t size) {
  return IsOpen() && size >= 0 && ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

bool StoreFile::Flush() { return IsOpen() && fsync(fd_) == 0; }

bool StoreFile::TryLockByte0() {
  if (!IsOpen()) return false;
  if (!locked_) locked_ = SetLock(fd_, F_WRLCK);
  return locked_;
}

void StoreFile::UnlockByte0() {
  if (!locked_) return;
  SetLock(fd_, F_UNLCK);
  locked_ = false;
  DropBlocks();
}

#endif

}  // namespace settings
}  // namespace Q
