#include "commands.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>

#include "settings/reestr.h"
#include "settings/store_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace qrbtool {

namespace {

using Q::Reestr;
using Q::settings::WideToUtf8;

constexpr char kUsage[] =
    "usage: qrbtool init FOLDER\n"
    "       qrbtool dump FOLDER\n"
    "       qrbtool get FOLDER PATH NAME\n"
    "       qrbtool set-int FOLDER PATH NAME VALUE\n"
    "       qrbtool set-key FOLDER PATH NAME\n"
    "The store is FOLDER/settings/qRB.b and qRB.r. PATH is written as in the store, for\n"
    "example \"./\" (the first level) or \"./qPelmora/Settings/\".\n"
    "Exit codes: 0 success, 1 store error, 2 usage error.\n";

// Deeper trees than this are not followed by dump (a damaged store can link a key back to
// one of its ancestors).
constexpr int kMaxDumpDepth = 32;
// Nor more records than this: links back to an ancestor's chain can make the tree grow
// exponentially with depth, so the depth bound alone does not end the walk.
constexpr int kMaxDumpRecords = 10000;

#ifdef _WIN32
constexpr wchar_t kSeparator = L'\\';
void MakeFolder(const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }
#else
constexpr wchar_t kSeparator = L'/';
void MakeFolder(const std::wstring& path) { mkdir(WideToUtf8(path).c_str(), 0777); }
#endif

std::wstring SettingsFolder(const std::wstring& folder) { return folder + kSeparator + L"settings"; }

std::unique_ptr<Reestr> OpenStore(const std::wstring& folder, int noCreate) {
  std::wstring base = SettingsFolder(folder) + kSeparator;
  return std::make_unique<Reestr>((base + L"qRB.b").c_str(), (base + L"qRB.r").c_str(), noCreate);
}

// One record as a line: path, name, type, size, and the value (the integer of a 4-byte
// value, otherwise its bytes in hexadecimal).
std::string RecordLine(const std::wstring& path, const wchar_t* name, int type, int size,
                       const unsigned char* data) {
  std::string line = WideToUtf8(path) + '\t' + WideToUtf8(name) + '\t' + std::to_string(type) +
                     '\t' + std::to_string(size);
  if (data != nullptr && size == 4) {
    std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    line += '\t' + std::to_string(static_cast<std::int32_t>(bits));
  } else if (data != nullptr && size > 0) {
    line += '\t';
    char hex[3];
    for (int i = 0; i < size; ++i) {
      std::snprintf(hex, sizeof hex, "%02x", data[i]);
      line += hex;
    }
  }
  return line + '\n';
}

bool HasChildrenPath(const wchar_t* name) { return name[0] != L'\0' && std::wcschr(name, L'/') == nullptr; }

// Returns false when the record limit stopped the walk.
bool Dump(Reestr& store, const std::wstring& path, int depth, int* records, std::string* out,
          std::string* err) {
  int count = store.CountChildren(path.c_str());
  for (int i = 1; i <= count; ++i) {
    if (*records >= kMaxDumpRecords) {
      *err += "qrbtool: dump stopped after " + std::to_string(kMaxDumpRecords) + " records\n";
      return false;
    }
    ++*records;
    wchar_t name[128] = {};
    unsigned char data[512] = {};
    int size = sizeof data, type = 0;
    store.GetValue(path.c_str(), name, data, &size, &type, i);
    *out += RecordLine(path, name, type, size, path == L"./" ? nullptr : data);
    if (!HasChildrenPath(name)) continue;
    std::wstring child = path + name + L"/";
    if (depth >= kMaxDumpDepth) {
      *err += "qrbtool: not following " + WideToUtf8(child) + ": deeper than " +
              std::to_string(kMaxDumpDepth) + " levels\n";
      continue;
    }
    if (!Dump(store, child, depth + 1, records, out, err)) return false;
  }
  return true;
}

// Creates `name` under `path` as a key unless it exists.
void EnsureKey(Reestr& store, const wchar_t* path, const wchar_t* name) {
  unsigned char data[512];
  int size = sizeof data, type = 0;
  try {
    store.GetValue(path, const_cast<wchar_t*>(name), data, &size, &type, 0);
  } catch (Reestr::ErrorCode code) {
    if (code != Reestr::kNotFound) throw;
    store.SetValue(path, name, nullptr, 0, 0, 0);
  }
}

// Decimal, or hexadecimal after "0x"; a leading zero does not make the number octal
// ("010" is ten, as an administrator means it).
bool ParseInt32(const std::wstring& text, std::int32_t* value) {
  if (text.empty()) return false;
  std::size_t digits = text[0] == L'-' || text[0] == L'+' ? 1 : 0;
  bool hex = text.size() > digits + 1 && text[digits] == L'0' &&
             (text[digits + 1] == L'x' || text[digits + 1] == L'X');
  wchar_t* end = nullptr;
  errno = 0;
  long long parsed = std::wcstoll(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != L'\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<std::int32_t>(parsed);
  return true;
}

int Usage(std::string* err) {
  *err += kUsage;
  return kExitUsage;
}

}  // namespace

int Run(const std::vector<std::wstring>& args, std::string* out, std::string* err) {
  if (args.size() == 1 && (args[0] == L"help" || args[0] == L"--help" || args[0] == L"-h")) {
    *out += kUsage;
    return kExitOk;
  }
  if (args.size() < 2) return Usage(err);
  const std::wstring& command = args[0];
  const std::wstring& folder = args[1];
  std::int32_t value = 0;
  if (!((command == L"init" && args.size() == 2) || (command == L"dump" && args.size() == 2) ||
        (command == L"get" && args.size() == 4) || (command == L"set-key" && args.size() == 4) ||
        (command == L"set-int" && args.size() == 5 && ParseInt32(args[4], &value)))) {
    return Usage(err);
  }
  try {
    if (command == L"init") {
      MakeFolder(folder);
      MakeFolder(SettingsFolder(folder));
      auto store = OpenStore(folder, 0);
      EnsureKey(*store, L"./", L"qPelmora");
      EnsureKey(*store, L"./qPelmora/", L"Settings");
      return kExitOk;
    }
    auto store = OpenStore(folder, 1);
    const wchar_t* path = args.size() > 2 ? args[2].c_str() : nullptr;
    const wchar_t* name = args.size() > 3 ? args[3].c_str() : nullptr;
    if (command == L"dump") {
      int records = 0;
      Dump(*store, L"./", 1, &records, out, err);
    } else if (command == L"get") {
      wchar_t buffer[128] = {};
      std::wcsncat(buffer, name, 127);
      unsigned char data[512] = {};
      int size = sizeof data, type = 0;
      store->GetValue(path, buffer, data, &size, &type, 0);
      *out += RecordLine(path, name, type, size, args[2] == L"./" ? nullptr : data);
    } else if (command == L"set-int") {
      unsigned char bytes[4];
      for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
      store->SetValue(path, name, bytes, 4, 1, 0);
    } else {
      store->SetValue(path, name, nullptr, 0, 0, 0);
    }
    return kExitOk;
  } catch (Reestr::ErrorCode code) {
    *err += "qrbtool: error " + std::to_string(static_cast<int>(code)) + ": " + Reestr::ErrorText(code) + "\n";
    return kExitStoreError;
  }
}

}  // namespace qrbtool
