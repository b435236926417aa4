// Fuzzes the settings store over its two files. The input is either the two files raw
// (first byte even) or byte patches on a well-formed store with a free-slot list (first
// byte odd), so both wild and nearly well-formed damage are explored. Every operation must
// end in a result or a Reestr::ErrorCode; no write may land outside the files (the files
// grow by at most one record per successful write).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "settings/reestr.h"

namespace {

using Q::Reestr;

std::string Le32(std::int32_t v) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return out;
}

std::string Rec(std::int16_t type, const std::string& name, std::int32_t prev, std::int32_t next,
                std::int32_t child, std::int16_t size, bool slot, const std::string& data = "") {
  std::string out(278, '\0');
  out[0] = static_cast<char>(type);
  for (std::size_t i = 0; i < name.size(); ++i) out[4 + 2 * i] = name[i];
  out.replace(260, 4, Le32(prev));
  out.replace(264, 4, Le32(next));
  out.replace(268, 4, Le32(child));
  out[276] = static_cast<char>(size);
  if (slot) {
    std::string area = data;
    area.resize(512, '\0');
    out += area;
  }
  return out;
}

// qPelmora/Settings/MainWindow with two values, a second first-level key, a free data slot
// and a free root slot.
void BaseStore(std::string& data, std::string& root) {
  root = std::string("R\0g\0B\0\0\0", 8) + Le32(2) + Le32(5 * 790) + Le32(20 + 3 * 278) +
         Rec(0, "qPelmora", -1, 298, 0, 0, false) + Rec(0, "Other", 20, -1, -1, 0, false) +
         Rec(0, "gone", 5, 5, 5, 0, false) + Le32(576);
  data = Rec(0, "Settings", -1, -1, 790, 0, true) + Rec(0, "MainWindow", -1, -1, 1580, 1, true, "\x01") +
         Rec(1, "Top", -1, 2370, -1, 4, true, Le32(10)) + Rec(1, "Left", 1580, -1, -1, 4, true, Le32(20)) +
         std::string(790, '\x33') + Le32(3160);
}

// The process's own folder for the two files (tmpfs when there is one), removed at exit.
// Kept in a plain array: it must outlive the exit handler that removes it.
const char* Folder() {
  static char folder[256];
  if (folder[0] == '\0') {
    std::snprintf(folder, sizeof folder, "%s/pelmora-settings-fuzz-%d",
                  access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp", static_cast<int>(getpid()));
    mkdir(folder, 0700);
    std::atexit([] {
      std::remove((std::string(Folder()) + "/qRB.b").c_str());
      std::remove((std::string(Folder()) + "/qRB.r").c_str());
      rmdir(Folder());
    });
  }
  return folder;
}

long long FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

void Walk(Reestr& store, const std::wstring& path, int depth, int* budget) {
  int count = 0;
  try {
    count = store.CountChildren(path.c_str());
  } catch (Reestr::ErrorCode) {
    return;
  }
  if (count < 0) std::abort();
  for (int i = 1; i <= count && *budget > 0; ++i, --*budget) {
    wchar_t name[128];
    unsigned char data[512];
    int size = sizeof data, type = 0;
    try {
      store.GetValue(path.c_str(), name, data, &size, &type, i);
    } catch (Reestr::ErrorCode) {
      continue;
    }
    if (size < 0 || size > 512) std::abort();
    if (depth < 6 && name[0] != L'\0') Walk(store, path + name + L"/", depth + 1, budget);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  std::string data, root;
  std::string input(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  if (bytes[0] % 2 == 0) {
    std::size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) * 8 % input.size();
    root = input.substr(0, split);
    data = input.substr(split);
  } else {
    BaseStore(data, root);
    // Patches of 6 bytes: file (bit 0 of the first byte), 16-bit position, 3 bytes.
    for (std::size_t at = 0; at + 6 <= input.size(); at += 6) {
      std::string& file = (input[at] & 1) ? root : data;
      std::size_t position = (static_cast<unsigned char>(input[at + 1]) |
                              (static_cast<unsigned char>(input[at + 2]) << 8)) % (file.size() + 8);
      if (position + 3 > file.size()) file.resize(position + 3, '\0');
      file.replace(position, 3, input.substr(at + 3, 3));
    }
  }
  const std::string dataPath = std::string(Folder()) + "/qRB.b", rootPath = std::string(Folder()) + "/qRB.r";
  std::ofstream(dataPath, std::ios::binary | std::ios::trunc) << data;
  std::ofstream(rootPath, std::ios::binary | std::ios::trunc) << root;

  int writes = 0;
  try {
    Reestr store(std::wstring(dataPath.begin(), dataPath.end()).c_str(),
                 std::wstring(rootPath.begin(), rootPath.end()).c_str(), 1);
    int budget = 64;
    Walk(store, L"./", 0, &budget);
    const wchar_t* paths[] = {L"./", L"./qPelmora/", L"./qPelmora/Settings/MainWindow/", L"./Other/"};
    const wchar_t* names[] = {L"Top", L"new", L"Other", L"MainWindow"};
    // Four reads and writes, chosen by the first byte.
    for (int k = 0; k < 4; ++k) {
      const wchar_t* path = paths[(bytes[0] >> (2 * k + 1)) & 3];
      const wchar_t* name = names[(bytes[0] + k) & 3];
      std::int32_t value = 7;
      unsigned char got[512];  // a value may hold up to 512 bytes
      int valueSize = sizeof got, type = 0;
      try {
        store.GetValue(path, const_cast<wchar_t*>(name), got, &valueSize, &type, 0);
        if (valueSize < 0 || valueSize > 512) std::abort();
      } catch (Reestr::ErrorCode) {
      }
      try {
        ++writes;
        store.SetValue(path, name, &value, 4, 1, 0);
      } catch (Reestr::ErrorCode) {
      }
    }
  } catch (Reestr::ErrorCode) {
  }
  // A write never lands beyond the end of a file plus the slots it appended.
  if (FileSize(dataPath) > static_cast<long long>(data.size()) + 790LL * writes ||
      FileSize(rootPath) > static_cast<long long>(root.size()) + 278LL * writes) {
    std::abort();
  }
  return 0;
}
