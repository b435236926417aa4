#include "sim/version_resource.h"

#include <cstdio>
#include <cstring>
#include <cwctype>

namespace sim {
namespace {

void Put16(std::vector<BYTE>& out, uint16_t v) {
  out.push_back(static_cast<BYTE>(v & 0xFF));
  out.push_back(static_cast<BYTE>(v >> 8));
}

void Pad(std::vector<BYTE>& out) {
  while (out.size() % 4) out.push_back(0);
}

uint16_t Get16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One node; `value` is raw bytes (binary) or UTF-16 units incl. the zero (text).
std::vector<BYTE> Node(const std::wstring& key, bool text, const std::vector<BYTE>& value,
                       uint16_t valueLength, const std::vector<std::vector<BYTE>>& children) {
  std::vector<BYTE> out;
  Put16(out, 0);  // length, patched below
  Put16(out, valueLength);
  Put16(out, text ? 1 : 0);
  for (wchar_t c : key) Put16(out, static_cast<uint16_t>(c));
  Put16(out, 0);
  Pad(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const auto& child : children) {
    Pad(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  out[0] = static_cast<BYTE>(out.size() & 0xFF);
  out[1] = static_cast<BYTE>(out.size() >> 8);
  return out;
}

std::vector<BYTE> TextValue(const std::wstring& text) {
  std::vector<BYTE> out;
  for (wchar_t c : text) Put16(out, static_cast<uint16_t>(c));
  Put16(out, 0);
  return out;
}

bool KeyEquals(const BYTE* key, std::size_t maxUnits, const std::string& want) {
  std::size_t i = 0;
  for (; i < maxUnits; ++i) {
    const uint16_t unit = Get16(key + 2 * i);
    if (unit == 0) return i == want.size();
    if (i >= want.size()) return false;
    if (std::towlower(unit) != std::towlower(static_cast<unsigned char>(want[i]))) return false;
  }
  return false;
}

struct Parsed {
  uint16_t length, valueLength, type;
  std::size_t valueOffset, childrenOffset;
};

// Parses the node header at `p` (within `limit` bytes).
bool ParseNode(const BYTE* p, std::size_t limit, Parsed* out) {
  if (limit < 6) return false;
  out->length = Get16(p);
  out->valueLength = Get16(p + 2);
  out->type = Get16(p + 4);
  if (out->length < 6 || out->length > limit) return false;
  std::size_t offset = 6;
  while (offset + 1 < out->length && Get16(p + offset) != 0) offset += 2;
  if (offset + 1 >= out->length) return false;
  offset += 2;
  offset = (offset + 3) & ~static_cast<std::size_t>(3);
  out->valueOffset = offset;
  const std::size_t valueBytes =
      out->type == 1 ? static_cast<std::size_t>(out->valueLength) * 2 : out->valueLength;
  if (offset + valueBytes > out->length) return false;
  out->childrenOffset = (offset + valueBytes + 3) & ~static_cast<std::size_t>(3);
  return true;
}

}  // namespace

std::vector<BYTE> BuildVersionResource(const std::map<std::wstring, std::wstring>& strings,
                                       WORD language, WORD codePage) {
  // VS_FIXEDFILEINFO: signature, struct version, then the numbers (1.0.0.1).
  std::vector<BYTE> fixed(52, 0);
  const uint32_t fields[] = {0xFEEF04BD, 0x00010000, 0x00010000, 0x00000001,
                             0x00010000, 0x00000001, 0x3F,       0,
                             0x00040004, 0x00000001, 0,          0,          0};
  for (int i = 0; i < 13; ++i) std::memcpy(&fixed[static_cast<std::size_t>(i) * 4], &fields[i], 4);

  std::vector<std::vector<BYTE>> entries;
  for (const auto& [key, value] : strings)
    entries.push_back(Node(key, true, TextValue(value), static_cast<uint16_t>(value.size() + 1), {}));
  wchar_t tableName[16];
  std::swprintf(tableName, 16, L"%04x%04x", language, codePage);
  std::vector<BYTE> table = Node(tableName, true, {}, 0, entries);
  std::vector<BYTE> stringInfo = Node(L"StringFileInfo", true, {}, 0, {table});

  std::vector<BYTE> translation;
  Put16(translation, language);
  Put16(translation, codePage);
  std::vector<BYTE> var = Node(L"Translation", false, translation, 4, {});
  std::vector<BYTE> varInfo = Node(L"VarFileInfo", true, {}, 0, {var});

  return Node(L"VS_VERSION_INFO", false, fixed, 52, {stringInfo, varInfo});
}

bool FindVersionValue(const BYTE* block, const char* path, VersionValue* out) {
  if (block == nullptr || path == nullptr || out == nullptr) return false;
  Parsed node;
  if (!ParseNode(block, Get16(block), &node)) return false;
  const BYTE* current = block;
  std::string rest(path);
  while (!rest.empty()) {
    while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
    if (rest.empty()) break;
    const std::size_t slash = rest.find('\\');
    const std::string key = rest.substr(0, slash);
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    // Search the children of `current` for `key`.
    std::size_t offset = node.childrenOffset;
    bool found = false;
    while (offset + 6 <= node.length) {
      Parsed child;
      if (!ParseNode(current + offset, node.length - offset, &child)) return false;
      if (KeyEquals(current + offset + 6, (child.length - 6) / 2, key)) {
        current += offset;
        node = child;
        found = true;
        break;
      }
      offset = (offset + child.length + 3) & ~static_cast<std::size_t>(3);
    }
    if (!found) return false;
  }
  out->text = node.type == 1;
  out->data = current + node.valueOffset;
  if (out->text) {
    out->utf16.clear();
    for (std::size_t i = 0; i < node.valueLength; ++i) {
      const uint16_t unit = Get16(out->data + 2 * i);
      if (unit == 0) break;
      out->utf16.push_back(static_cast<char16_t>(unit));
    }
    out->size = node.valueLength;
  } else {
    out->size = node.valueLength;
  }
  return true;
}

}  // namespace sim
