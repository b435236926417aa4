#include "settings/reestr.h"

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/codepage.h"
#include "settings/record.h"
#include "settings/store_file.h"

namespace Q {

namespace {

using namespace settings;

constexpr int kLockTries = 20;
constexpr int kLockPauseMs = 100;
constexpr char16_t kSlash = u'/';
constexpr std::int64_t kMaxOffset = 0x7FFFFFFF;

// Holds the locks of one operation: byte 0 of the data file, then of the root file.
class OperationLocks {
 public:
  OperationLocks(StoreFile& data, StoreFile& root) : data_(data), root_(root) {
    if (!Acquire(data_)) throw Reestr::kLockFailed;
    if (!Acquire(root_)) {
      data_.UnlockByte0();
      throw Reestr::kLockFailed;
    }
  }
  ~OperationLocks() {
    root_.UnlockByte0();
    data_.UnlockByte0();
  }
  OperationLocks(const OperationLocks&) = delete;
  OperationLocks& operator=(const OperationLocks&) = delete;

 private:
  static bool Acquire(StoreFile& file) {
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
      if (file.TryLockByte0()) return true;
      SleepMilliseconds(kLockPauseMs);
    }
    return false;
  }

  StoreFile& data_;
  StoreFile& root_;
};

// A parsed path: "./" alone is the root; otherwise the components after the first.
struct Path {
  bool isRoot = false;
  std::vector<std::u16string> components;
};

std::u16string CutName(const std::u16string& units) {
  return units.size() > kNameUnits - 1 ? units.substr(0, kNameUnits - 1) : units;
}

std::u16string CutName(const wchar_t* name) { return CutName(WideToUtf16(name)); }

// Every component ends with "/", the first begins with ".", the others are non-empty.
// Like names, components count with their first 127 characters.
bool ParsePath(const wchar_t* text, Path* path) {
  if (text == nullptr) return false;
  std::u16string units = WideToUtf16(text);
  if (units.size() < 2 || units[0] != u'.' || units.back() != kSlash) return false;
  std::size_t start = units.find(kSlash) + 1;
  if (start == units.size()) {
    path->isRoot = units.size() == 2;
    return path->isRoot;
  }
  while (start < units.size()) {
    std::size_t end = units.find(kSlash, start);
    std::size_t length = end - start;
    if (length == 0) return false;
    path->components.push_back(CutName(units.substr(start, length)));
    start = end + 1;
  }
  return true;
}

// A record found in one of the files, with its place.
struct Found {
  bool inRootFile = false;
  std::int32_t offset = kNone;
  Record record;
};

// The key a path names: the root, or a record in one of the files; `firstChild` is the
// start of its children's chain (in the root file for the root, else in the data file).
struct Key {
  bool isRoot = false;
  Found self;
  std::int32_t firstChild = kNone;
};

// The operations on the two open files. Every read of a record checks that it lies whole
// inside its file and decodes cleanly; every chain walk refuses an offset it has already
// visited, so damaged files end in an error code, never in a loop or a stray access.
class Files {
 public:
  Files(StoreFile& data, StoreFile& root) : data_(data), root_(root) {}

  RootHeader ReadHeader(Reestr::ErrorCode code) {
    unsigned char bytes[kHeaderSize];
    RootHeader header;
    if (!root_.ReadAt(0, bytes, sizeof bytes)) throw code;
    DecodeHeader(bytes, &header);
    return header;
  }

  void WriteHeader(const RootHeader& header, Reestr::ErrorCode code) {
    unsigned char bytes[kHeaderSize];
    EncodeHeader(header, bytes);
    if (!root_.WriteAt(0, bytes, sizeof bytes)) throw code;
  }

  // Reads the record at `offset` (root file: a record at or after the header; data file:
  // a whole slot, whose data area goes to `dataArea` when given).
  Record Read(bool inRootFile, std::int32_t offset, unsigned char* dataArea,
              Reestr::ErrorCode code) {
    unsigned char slot[kSlotSize];
    Record record;
    bool read = inRootFile ? offset >= kFirstRootRecord && root_.ReadAt(offset, slot, kRecordSize)
                           : offset >= 0 && data_.ReadAt(offset, slot, kSlotSize);
    if (!read || DecodeRecord(slot, &record) != DecodeResult::kOk) throw code;
    if (dataArea != nullptr && !inRootFile) std::memcpy(dataArea, slot + kRecordSize, kDataAreaSize);
    return record;
  }

  void WriteRecord(bool inRootFile, std::int32_t offset, const Record& record,
                   Reestr::ErrorCode code) {
    unsigned char bytes[kRecordSize];
    EncodeRecord(record, bytes);
    if (!(inRootFile ? root_ : data_).WriteAt(offset, bytes, sizeof bytes)) throw code;
  }

  void WriteSlot(std::int32_t offset, const Record& record, const unsigned char* dataArea,
                 Reestr::ErrorCode code) {
    unsigned char slot[kSlotSize];
    EncodeRecord(record, slot);
    std::memcpy(slot + kRecordSize, dataArea, kDataAreaSize);
    if (!data_.WriteAt(offset, slot, sizeof slot)) throw code;
  }

  // Visits the chain that starts at `first`: visit(offset, record, dataArea) returns false
  // to stop. Returns the last record visited (offset kNone for an empty chain).
  template <class Visit>
  Found Walk(bool inRootFile, std::int32_t first, Reestr::ErrorCode code, Visit visit) {
    Found current;
    current.inRootFile = inRootFile;
    std::unordered_set<std::int32_t> visited;
    unsigned char dataArea[kDataAreaSize];
    for (std::int32_t offset = first; offset != kNone;) {
      if (!visited.insert(offset).second) throw code;  // the chain loops
      current.offset = offset;
      current.record = Read(inRootFile, offset, inRootFile ? nullptr : dataArea, code);
      if (!visit(current, dataArea)) break;
      offset = current.record.next;
    }
    return current;
  }

  // The first record named `name` in a chain; false when there is none.
  bool Search(bool inRootFile, std::int32_t first, const std::u16string& name,
              Reestr::ErrorCode code, Found* found, Found* last = nullptr) {
    bool match = false;
    Found end = Walk(inRootFile, first, code, [&](const Found& f, const unsigned char*) {
      match = f.record.name == name;
      return !match;
    });
    if (match) *found = end;
    if (last != nullptr) *last = end;
    return match;
  }

  Key Resolve(const wchar_t* text) {
    Path path;
    if (!ParsePath(text, &path)) throw Reestr::kNotFound;
    RootHeader header = ReadHeader(Reestr::kReadFailed);
    Key key;
    std::int32_t first = header.count != 0 ? kFirstRootRecord : kNone;
    if (path.isRoot) {
      key.isRoot = true;
      key.firstChild = first;
      return key;
    }
    bool inRootFile = true;
    for (const std::u16string& component : path.components) {
      if (!Search(inRootFile, first, component, Reestr::kReadFailed, &key.self)) {
        throw Reestr::kNotFound;
      }
      first = key.self.record.child;
      inRootFile = false;
    }
    key.firstChild = first;
    return key;
  }

  // A new slot of `slotSize` bytes in `file`: the last entry of the free-slot list that
  // starts at `listStart`, or the end of the file. Entries are checked to lie whole
  // inside the file before the list.
  std::int32_t Allocate(StoreFile& file, std::int32_t* listStart, std::int32_t minOffset,
                        std::int64_t slotSize, RootHeader& header) {
    std::int64_t end = 0;
    if (!file.Size(&end)) throw Reestr::kAllocateFailed;
    if (*listStart == 0) {
      if (end + slotSize > kMaxOffset) throw Reestr::kAllocateFailed;
      return static_cast<std::int32_t>(end);
    }
    std::int64_t start = *listStart;
    if (start < minOffset || start > end - 4 || (end - start) % 4 != 0) {
      throw Reestr::kAllocateFailed;
    }
    unsigned char entry[4];
    if (!file.ReadAt(end - 4, entry, sizeof entry)) throw Reestr::kAllocateFailed;
    std::int32_t slot = GetInt32(entry);
    if (slot < minOffset || slot + slotSize > start) throw Reestr::kAllocateFailed;
    if (!file.Truncate(end - 4)) throw Reestr::kAllocateFailed;
    if (end - 4 == start) {
      *listStart = 0;
      WriteHeader(header, Reestr::kAllocateFailed);
    }
    return slot;
  }

  std::int32_t AllocateDataSlot() {
    RootHeader header = ReadHeader(Reestr::kAllocateFailed);
    return Allocate(data_, &header.dataFree, 0, kSlotSize, header);
  }

  // Appends a first-level key after `last` (the end of the first-level chain); a store
  // whose count is 0 is reset first.
  void AppendFirstLevel(Record record, Found last) {
    RootHeader header = ReadHeader(Reestr::kAllocateFailed);
    record.next = kNone;
    if (header.count == 0) {
      header.dataFree = 0;
      header.rootFree = 0;
      if (!root_.Truncate(kHeaderSize) || !data_.Truncate(0)) throw Reestr::kAllocateFailed;
      record.prev = kNone;
      WriteRecord(true, kFirstRootRecord, record, Reestr::kAllocateFailed);
    } else {
      if (last.offset == kNone) throw Reestr::kAllocateFailed;
      record.prev = last.offset;
      std::int32_t slot =
          Allocate(root_, &header.rootFree, kFirstRootRecord, kRecordSize, header);
      WriteRecord(true, slot, record, Reestr::kAllocateFailed);
      last.record.next = slot;
      WriteRecord(true, last.offset, last.record, Reestr::kAllocateFailed);
    }
    header.count = static_cast<std::int32_t>(static_cast<std::uint32_t>(header.count) + 1);
    WriteHeader(header, Reestr::kAllocateFailed);
  }

 private:
  StoreFile& data_;
  StoreFile& root_;
};

}  // namespace

const char* Reestr::ErrorText(int code) {
  switch (code) {
    case kOpenFailed: return "opening a file failed, reading the root header failed, or its magic is wrong";
    case kHeaderWriteFailed: return "writing the header of a new root file failed";
    case kNotFound: return "a path or name was not found, or a path is malformed";
    case kReadFailed: return "reading a record failed";
    case kRewriteFailed: return "rewriting a record or data area in place failed";
    case kChainFailed: return "seek, read or write failed while appending a child or while counting children";
    case kAllocateFailed: return "allocating or writing a new slot failed, or reading or writing the root header failed";
    case kLockFailed: return "obtaining the file locks failed";
    case kNoStore: return "the data file does not exist and the constructor was told not to create the store";
    default: return "unknown error";
  }
}

Reestr::Reestr(const wchar_t* dataFile, const wchar_t* rootFile, int noCreate)
    : noCreate_(noCreate), data_(new StoreFile), root_(new StoreFile) {
  if (dataFile == nullptr || rootFile == nullptr) throw kOpenFailed;
  StoreFile::OpenResult opened = data_->OpenExisting(dataFile);
  if (opened == StoreFile::OpenResult::kMissing) {
    if (noCreate_ != 0) throw kNoStore;
    // The data file is created only if it is still missing: another process may have
    // created the store since, and emptying its files would lose what it wrote.
    ErrorCode failure = kOpenFailed;
    switch (data_->CreateNew(dataFile)) {
      case StoreFile::OpenResult::kOk:
        // A data file left beside a root file without a valid header would make every
        // later open fail, so it is removed again; then the next open creates the store.
        if (root_->Create(rootFile) == StoreFile::OpenResult::kOk) {
          failure = kHeaderWriteFailed;
          unsigned char bytes[kHeaderSize];
          EncodeHeader(RootHeader(), bytes);
          if (root_->WriteAt(0, bytes, sizeof bytes)) return;
          root_->Close();
        }
        data_->Close();
        RemoveStoreFile(dataFile);
        throw failure;
      case StoreFile::OpenResult::kExists:
        opened = data_->OpenExisting(dataFile);
        break;
      default:
        throw failure;
    }
  }
  if (opened != StoreFile::OpenResult::kOk) throw kOpenFailed;
  if (root_->OpenExisting(rootFile) != StoreFile::OpenResult::kOk) throw kOpenFailed;
  // The header is read under the locks: in the Windows build a byte another process has
  // locked cannot be read.
  OperationLocks locks(*data_, *root_);
  unsigned char bytes[kHeaderSize];
  RootHeader header;
  if (!root_->ReadAt(0, bytes, sizeof bytes) || !DecodeHeader(bytes, &header)) throw kOpenFailed;
}

Reestr::~Reestr() {
  data_->UnlockByte0();
  root_->UnlockByte0();
  data_->Flush();
  root_->Flush();
  data_->Close();
  root_->Close();
}

void Reestr::GetValue(const wchar_t* path, wchar_t* name, void* data, int* size, int* type,
                      int index) {
  OperationLocks locks(*data_, *root_);
  Files files(*data_, *root_);
  Key key = files.Resolve(path);
  if (index < 0 || (index == 0 && name == nullptr)) throw kNotFound;
  // The caller's buffer size: a longer value would overrun `data`.
  const int capacity = size != nullptr ? *size : 0;
  std::u16string wanted = index == 0 ? CutName(name) : std::u16string();
  int visited = 0;
  bool found = false;
  unsigned char value[kDataAreaSize];
  Found answer = files.Walk(key.isRoot, key.firstChild, kReadFailed,
                            [&](const Found& f, const unsigned char* dataArea) {
                              found = index == 0 ? f.record.name == wanted : ++visited == index;
                              if (found && !key.isRoot) std::memcpy(value, dataArea, sizeof value);
                              return !found;
                            });
  if (!found) throw kNotFound;
  if (!key.isRoot && data != nullptr && answer.record.size > capacity) throw kReadFailed;
  if (type != nullptr) *type = answer.record.type;
  if (size != nullptr) *size = answer.record.size;
  if (!key.isRoot && data != nullptr) std::memcpy(data, value, static_cast<std::size_t>(answer.record.size));
  if (index > 0 && name != nullptr) {
    std::wstring text = Utf16ToWide(answer.record.name);
    std::size_t count = text.size() < kNameUnits - 1 ? text.size() : kNameUnits - 1;
    std::memcpy(name, text.data(), count * sizeof(wchar_t));
    name[count] = L'\0';
  }
}

void Reestr::SetValue(const wchar_t* path, const wchar_t* name, const void* data, short size,
                      short type, short reserved) {
  OperationLocks locks(*data_, *root_);
  Files files(*data_, *root_);
  if (name == nullptr) throw kNotFound;
  Record record;
  record.type = type;
  record.reserved = static_cast<std::uint16_t>(reserved);
  record.name = CutName(name);
  short stored = size < 0 ? 0 : size > kDataAreaSize ? kDataAreaSize : size;
  record.size = data != nullptr ? stored : 0;
  unsigned char dataArea[kDataAreaSize] = {};
  if (data != nullptr) std::memcpy(dataArea, data, static_cast<std::size_t>(record.size));

  Key key = files.Resolve(path);
  auto keepPlace = [&record](const Record& old) {
    Record kept = record;
    kept.type = old.type;
    kept.prev = old.prev;
    kept.next = old.next;
    kept.child = old.child;
    kept.spare = old.spare;
    return kept;
  };

  if (key.isRoot) {
    record.size = 0;
    Found existing, last;
    if (files.Search(true, key.firstChild, record.name, kChainFailed, &existing, &last)) {
      files.WriteRecord(true, existing.offset, keepPlace(existing.record), kRewriteFailed);
    } else {
      files.AppendFirstLevel(record, last);
    }
    return;
  }

  if (key.firstChild != kNone) {
    Found existing, last;
    if (files.Search(false, key.firstChild, record.name, kChainFailed, &existing, &last)) {
      files.WriteSlot(existing.offset, keepPlace(existing.record), dataArea, kRewriteFailed);
      return;
    }
    record.prev = last.offset;
    std::int32_t slot = files.AllocateDataSlot();
    files.WriteSlot(slot, record, dataArea, kAllocateFailed);
    last.record.next = slot;
    files.WriteRecord(false, last.offset, last.record, kChainFailed);
    return;
  }

  // The key has no children yet: the new record becomes its first child.
  std::int32_t slot = files.AllocateDataSlot();
  files.WriteSlot(slot, record, dataArea, kAllocateFailed);
  key.self.record.child = slot;
  files.WriteRecord(key.self.inRootFile, key.self.offset, key.self.record, kRewriteFailed);
}

int Reestr::CountChildren(const wchar_t* path) {
  OperationLocks locks(*data_, *root_);
  Files files(*data_, *root_);
  Key key = files.Resolve(path);
  int count = 0;
  files.Walk(key.isRoot, key.firstChild, kChainFailed, [&count](const Found&, const unsigned char*) {
    ++count;
    return true;
  });
  return count;
}

}  // namespace Q
