// Byte layout of the store's records and of the root file's header (little-endian,
// UTF-16LE names). The same record layout serves both files; a data-file slot is a record
// followed by its data area.
#pragma once

#include <cstdint>
#include <string>

namespace Q {
namespace settings {

constexpr int kRecordSize = 278;
constexpr int kDataAreaSize = 512;
constexpr int kSlotSize = kRecordSize + kDataAreaSize;  // 790
constexpr int kHeaderSize = 20;
constexpr int kNameUnits = 128;                          // 127 characters and a NUL
constexpr std::int32_t kNone = -1;
constexpr std::int32_t kFirstRootRecord = kHeaderSize;   // the first first-level record

// Field offsets inside a record.
constexpr int kTypeAt = 0, kReservedAt = 2, kNameAt = 4, kPrevAt = 260, kNextAt = 264,
              kChildAt = 268, kSpareAt = 272, kSizeAt = 276;

struct Record {
  std::int16_t type = 0;
  std::uint16_t reserved = 0;
  std::u16string name;  // without the terminating NUL, at most 127 code units
  std::int32_t prev = kNone;
  std::int32_t next = kNone;
  std::int32_t child = kNone;
  std::int32_t spare = 0;  // the reserved field at 272: kept as read, 0 in new records
  std::int16_t size = 0;
};

enum class DecodeResult { kOk, kNameWithoutNul, kBadSize };

void EncodeRecord(const Record& record, unsigned char* out /* kRecordSize bytes */);
// Fails for a name field without a NUL and for a size outside 0..512.
DecodeResult DecodeRecord(const unsigned char* in /* kRecordSize bytes */, Record* record);

struct RootHeader {
  std::int32_t count = 0;
  std::int32_t dataFree = 0;  // start of the data file's free-slot list, 0 for none
  std::int32_t rootFree = 0;  // start of the root file's free-slot list, 0 for none
};

void EncodeHeader(const RootHeader& header, unsigned char* out /* kHeaderSize bytes */);
// False when the magic is not the UTF-16 text "RgB" with its NUL.
bool DecodeHeader(const unsigned char* in, RootHeader* header);

std::int32_t GetInt32(const unsigned char* in);
void PutInt32(unsigned char* out, std::int32_t value);

}  // namespace settings
}  // namespace Q
