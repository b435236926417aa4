#include "settings/record.h"

#include <cstring>

namespace Q {
namespace settings {

namespace {

const unsigned char kMagic[8] = {'R', 0, 'g', 0, 'B', 0, 0, 0};

std::int16_t GetInt16(const unsigned char* in) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(in[0] | (in[1] << 8)));
}

void PutInt16(unsigned char* out, std::int16_t value) {
  std::uint16_t bits = static_cast<std::uint16_t>(value);
  out[0] = static_cast<unsigned char>(bits & 0xFF);
  out[1] = static_cast<unsigned char>(bits >> 8);
}

}  // namespace

std::int32_t GetInt32(const unsigned char* in) {
  std::uint32_t bits = static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
                       (static_cast<std::uint32_t>(in[2]) << 16) |
                       (static_cast<std::uint32_t>(in[3]) << 24);
  return static_cast<std::int32_t>(bits);
}

void PutInt32(unsigned char* out, std::int32_t value) {
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>((bits >> (8 * i)) & 0xFF);
}

void EncodeRecord(const Record& record, unsigned char* out) {
  std::memset(out, 0, kRecordSize);
  PutInt16(out + kTypeAt, record.type);
  PutInt16(out + kReservedAt, static_cast<std::int16_t>(record.reserved));
  std::size_t units = record.name.size() < kNameUnits - 1 ? record.name.size() : kNameUnits - 1;
  for (std::size_t i = 0; i < units; ++i) {
    out[kNameAt + 2 * i] = static_cast<unsigned char>(record.name[i] & 0xFF);
    out[kNameAt + 2 * i + 1] = static_cast<unsigned char>(record.name[i] >> 8);
  }
  PutInt32(out + kPrevAt, record.prev);
  PutInt32(out + kNextAt, record.next);
  PutInt32(out + kChildAt, record.child);
  PutInt32(out + kSpareAt, record.spare);
  PutInt16(out + kSizeAt, record.size);
}

DecodeResult DecodeRecord(const unsigned char* in, Record* record) {
  record->type = GetInt16(in + kTypeAt);
  record->reserved = static_cast<std::uint16_t>(GetInt16(in + kReservedAt));
  record->name.clear();
  bool terminated = false;
  for (int i = 0; i < kNameUnits; ++i) {
    char16_t unit = static_cast<char16_t>(in[kNameAt + 2 * i] | (in[kNameAt + 2 * i + 1] << 8));
    if (unit == 0) {
      terminated = true;
      break;
    }
    record->name += unit;
  }
  record->prev = GetInt32(in + kPrevAt);
  record->next = GetInt32(in + kNextAt);
  record->child = GetInt32(in + kChildAt);
  record->spare = GetInt32(in + kSpareAt);
  record->size = GetInt16(in + kSizeAt);
  if (!terminated) return DecodeResult::kNameWithoutNul;
  if (record->size < 0 || record->size > kDataAreaSize) return DecodeResult::kBadSize;
  return DecodeResult::kOk;
}

void EncodeHeader(const RootHeader& header, unsigned char* out) {
  std::memcpy(out, kMagic, sizeof kMagic);
  PutInt32(out + 8, header.count);
  PutInt32(out + 12, header.dataFree);
  PutInt32(out + 16, header.rootFree);
}

bool DecodeHeader(const unsigned char* in, RootHeader* header) {
  header->count = GetInt32(in + 8);
  header->dataFree = GetInt32(in + 12);
  header->rootFree = GetInt32(in + 16);
  return std::memcmp(in, kMagic, sizeof kMagic) == 0;
}

}  // namespace settings
}  // namespace Q
