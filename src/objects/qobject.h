// The base of every browsed object: name, expandable and file-system flags, and the six
// virtual operations every class provides, in this order.
#pragma once

#include <vector>

namespace Q {

// Object kinds reported by GetKind.
enum TqKind : unsigned char {
  kKindObject = 0,
  kKindComputer = 1,
  kKindLocalComputer = 2,
  kKindNetwork = 3,
  kKindDomain = 4,
  kKindNetShared = 5,
  kKindVol = 6,
  kKindFSFolder = 7,
  kKindFSFile = 8,
  kKindAccountsList = 9,
  kKindWellKnownAccountsList = 10,
  kKindAccount = 11,
  kKindServiceList = 12,
  kKindService = 13,
  kKindADsRoot = 14,
  kKindADsDomain = 15,
  kKindADsOU = 16,
  kKindADsContainer = 17,
  kKindADsBuiltInDomain = 18,
  kKindADsComputer = 19,
  kKindADsGroup = 20,
  kKindADsUser = 21,
  kKindADsPrintQueue = 22,
  kKindDFSRoot = 23,
  kKindDFSLink = 24,
  kKindADQuery = 25,
};

class TqObject {
 public:
  explicit TqObject(const wchar_t* name);
  virtual ~TqObject();
  TqObject(const TqObject&) = delete;
  TqObject& operator=(const TqObject&) = delete;

  // *out := a new copy of the name (array delete), or null when there is none.
  virtual void GetName(wchar_t** out);
  // *out := a new copy of the text shown for the object (array delete).
  virtual void GetDisplayName(wchar_t** out);
  virtual unsigned char GetKind();
  // *children := a new array (array delete) of *count new objects (plain delete), or
  // null and 0 when there are none.
  virtual void Enumerate(TqObject*** children, int* count);
  virtual unsigned char HasChildren();

  // The name as stored (may be null); not a copy.
  const wchar_t* Name() const { return name_; }
  unsigned char IsFileSystem() const { return fileSystem_; }

 protected:
  wchar_t* name_;
  unsigned char expandable_;
  unsigned char fileSystem_;
};

// A new heap copy of `text` (array delete), or null for null.
wchar_t* NewWideCopy(const wchar_t* text);

// Collects the children of one Enumerate in production order and hands them out in the
// contract's form. Children not handed out are deleted with the collector, so a failure
// half-way leaks nothing.
class TqChildren {
 public:
  TqChildren() = default;
  ~TqChildren();
  TqChildren(const TqChildren&) = delete;
  TqChildren& operator=(const TqChildren&) = delete;

  // Takes ownership of `child` (ignored when null).
  void Add(TqObject* child);
  int Count() const { return static_cast<int>(items_.size()); }
  // Moves the children into a new array (null when empty) and the count.
  void Release(TqObject*** children, int* count);

 private:
  std::vector<TqObject*> items_;
};

}  // namespace Q
