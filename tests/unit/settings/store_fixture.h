// A store in a temporary folder and an independent byte-level view of its files, so the
// tests state the layout in bytes rather than through the store's own encoder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "settings/reestr.h"
#include "test_files.h"

namespace settingstest {

inline std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

inline std::int32_t Int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return static_cast<std::int32_t>(v);
}

inline std::int16_t Int16At(const std::string& bytes, std::size_t at) {
  return static_cast<std::int16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                   (static_cast<unsigned char>(bytes.at(at + 1)) << 8));
}

inline std::string Le32(std::int32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
  return out;
}

inline void Put32(std::string& bytes, std::size_t at, std::int32_t value) { bytes.replace(at, 4, Le32(value)); }

inline void Put16(std::string& bytes, std::size_t at, std::int16_t value) {
  bytes[at] = static_cast<char>(static_cast<std::uint16_t>(value) & 0xFF);
  bytes[at + 1] = static_cast<char>(static_cast<std::uint16_t>(value) >> 8);
}

// The 20-byte root header.
inline std::string Header(std::int32_t count, std::int32_t dataFree = 0, std::int32_t rootFree = 0) {
  return std::string("R\0g\0B\0\0\0", 8) + Le32(count) + Le32(dataFree) + Le32(rootFree);
}

// A 278-byte record with an ASCII name; `data` is appended (zero-filled to 512 bytes) when
// `slot` is true.
inline std::string Record(std::int16_t type, const std::string& name, std::int32_t prev,
                          std::int32_t next, std::int32_t child, std::int16_t size,
                          bool slot = false, const std::string& data = std::string()) {
  std::string out(278, '\0');
  Put16(out, 0, type);
  for (std::size_t i = 0; i < name.size() && i < 127; ++i) out[4 + 2 * i] = name[i];
  Put32(out, 260, prev);
  Put32(out, 264, next);
  Put32(out, 268, child);
  Put16(out, 276, size);
  if (slot) {
    std::string area = data;
    area.resize(512, '\0');
    out += area;
  }
  return out;
}

class StoreTest : public testing::Test {
 protected:
  std::string dataPath() const { return dir_.File("qRB.b"); }
  std::string rootPath() const { return dir_.File("qRB.r"); }
  std::unique_ptr<Q::Reestr> Open(int noCreate = 0) {
    return std::make_unique<Q::Reestr>(Widen(dataPath()).c_str(), Widen(rootPath()).c_str(), noCreate);
  }
  std::string Data() const { return testsupport::ReadAll(dataPath()); }
  std::string Root() const { return testsupport::ReadAll(rootPath()); }
  void WriteFiles(const std::string& data, const std::string& root) {
    dir_.Write("qRB.b", data);
    dir_.Write("qRB.r", root);
  }

  // The error code a call throws, or 0 when it returns.
  template <class F>
  static int CodeOf(F call) {
    try {
      call();
    } catch (Q::Reestr::ErrorCode code) {
      return code;
    }
    return 0;
  }

  testsupport::TempDir dir_;
};

}  // namespace settingstest
