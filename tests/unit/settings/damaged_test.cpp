// Damaged stores: each one ends in an error code (or a correct answer where the damage is
// not on the way), never in a crash, a hang or an access outside the files.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "store_fixture.h"

namespace {

using namespace settingstest;
using Q::Reestr;

enum class Op { kOpen, kGetY, kGetMissing, kCountA, kCountAx, kCountRoot, kSetNew, kSetRoot };

const char* OpName(Op op) {
  switch (op) {
    case Op::kOpen: return "open";
    case Op::kGetY: return "GetValue ./A/ y";
    case Op::kGetMissing: return "GetValue ./A/ zz";
    case Op::kCountA: return "CountChildren ./A/";
    case Op::kCountAx: return "CountChildren ./A/x/";
    case Op::kCountRoot: return "CountChildren ./";
    case Op::kSetNew: return "SetValue ./A/ new";
    case Op::kSetRoot: return "SetValue ./ B";
  }
  return "";
}

struct Damage {
  const char* what;
  std::function<void(std::string& data, std::string& root)> damage;
  Op op;
  int expected;
};

// A first-level key "A" with the values x (slot 0) and y (slot 790).
void WellFormed(std::string& data, std::string& root) {
  root = Header(1) + Record(0, "A", -1, -1, 0, 0);
  data = Record(1, "x", -1, 790, -1, 4, true, Le32(1)) + Record(1, "y", 0, -1, -1, 4, true, Le32(2));
}

constexpr std::size_t kA = 20, kX = 0, kY = 790;
constexpr std::size_t kNext = 264, kChild = 268, kSize = 276;

const Damage kDamages[] = {
    {"well-formed", [](std::string&, std::string&) {}, Op::kGetY, 0},
    {"well-formed", [](std::string&, std::string&) {}, Op::kSetNew, 0},
    {"wrong magic", [](std::string&, std::string& r) { r[0] = 'r'; }, Op::kOpen, Reestr::kOpenFailed},
    {"root file shorter than its header", [](std::string&, std::string& r) { r.resize(12); }, Op::kOpen,
     Reestr::kOpenFailed},
    {"count says keys, root file has none", [](std::string&, std::string& r) { r = Header(1); },
     Op::kCountRoot, Reestr::kChainFailed},
    {"count says keys, root file has none", [](std::string&, std::string& r) { r = Header(1); },
     Op::kGetY, Reestr::kReadFailed},
    {"count says keys, root file has none", [](std::string&, std::string& r) { r = Header(1); },
     Op::kSetRoot, Reestr::kChainFailed},
    {"first-level next beyond the file", [](std::string&, std::string& r) { Put32(r, kA + kNext, 100000); },
     Op::kCountRoot, Reestr::kChainFailed},
    {"first-level next beyond the file", [](std::string&, std::string& r) { Put32(r, kA + kNext, 100000); },
     Op::kGetY, 0},
    {"first-level next beyond the file", [](std::string&, std::string& r) { Put32(r, kA + kNext, 100000); },
     Op::kSetRoot, Reestr::kChainFailed},
    {"first-level next into the header", [](std::string&, std::string& r) { Put32(r, kA + kNext, 4); },
     Op::kCountRoot, Reestr::kChainFailed},
    {"first-level chain loops", [](std::string&, std::string& r) { Put32(r, kA + kNext, 20); },
     Op::kCountRoot, Reestr::kChainFailed},
    {"first-level chain loops", [](std::string&, std::string& r) { Put32(r, kA + kNext, 20); },
     Op::kSetRoot, Reestr::kChainFailed},
    {"data chain loops", [](std::string& d, std::string&) { Put32(d, kY + kNext, 0); }, Op::kCountA,
     Reestr::kChainFailed},
    {"data chain loops", [](std::string& d, std::string&) { Put32(d, kY + kNext, 0); }, Op::kGetMissing,
     Reestr::kReadFailed},
    {"data chain loops", [](std::string& d, std::string&) { Put32(d, kY + kNext, 0); }, Op::kSetNew,
     Reestr::kChainFailed},
    {"data chain loops through a later slot", [](std::string& d, std::string&) { Put32(d, kY + kNext, 790); },
     Op::kCountA, Reestr::kChainFailed},
    {"child link points back to an ancestor", [](std::string& d, std::string&) { Put32(d, kX + kChild, 0); },
     Op::kCountAx, 2},
    {"negative first-child offset", [](std::string&, std::string& r) { Put32(r, kA + kChild, -5); },
     Op::kGetY, Reestr::kReadFailed},
    {"negative first-child offset", [](std::string&, std::string& r) { Put32(r, kA + kChild, -5); },
     Op::kSetNew, Reestr::kChainFailed},
    {"first child beyond the data file", [](std::string&, std::string& r) { Put32(r, kA + kChild, 5000); },
     Op::kCountA, Reestr::kChainFailed},
    {"sibling offset near the 32-bit limit", [](std::string& d, std::string&) { Put32(d, kX + kNext, 0x7FFFFFF0); },
     Op::kGetY, Reestr::kReadFailed},
    {"last slot truncated", [](std::string& d, std::string&) { d.resize(kY + 500); }, Op::kGetY,
     Reestr::kReadFailed},
    {"last slot truncated", [](std::string& d, std::string&) { d.resize(kY + 500); }, Op::kCountA,
     Reestr::kChainFailed},
    {"record cut inside its links", [](std::string& d, std::string&) { d.resize(kY + 262); }, Op::kSetNew,
     Reestr::kChainFailed},
    {"value size above 512", [](std::string& d, std::string&) { Put16(d, kY + kSize, 600); }, Op::kGetY,
     Reestr::kReadFailed},
    {"negative value size", [](std::string& d, std::string&) { Put16(d, kY + kSize, -1); }, Op::kGetY,
     Reestr::kReadFailed},
    {"value name without NUL", [](std::string& d, std::string&) { d.replace(kY + 4, 256, 256, 'a'); },
     Op::kGetY, Reestr::kReadFailed},
    {"value name without NUL", [](std::string& d, std::string&) { d.replace(kY + 4, 256, 256, 'a'); },
     Op::kCountA, Reestr::kChainFailed},
    {"key name without NUL", [](std::string&, std::string& r) { r.replace(kA + 4, 256, 256, 'a'); },
     Op::kGetY, Reestr::kReadFailed},
    {"data free list beyond the file", [](std::string&, std::string& r) { Put32(r, 12, 99999); },
     Op::kSetNew, Reestr::kAllocateFailed},
    {"data free entry beyond the file",
     [](std::string& d, std::string& r) { d += Le32(99999); Put32(r, 12, 1580); }, Op::kSetNew,
     Reestr::kAllocateFailed},
    {"data free entry negative",
     [](std::string& d, std::string& r) { d += Le32(-790); Put32(r, 12, 1580); }, Op::kSetNew,
     Reestr::kAllocateFailed},
    {"data free slot overlapping its list",
     [](std::string& d, std::string& r) { d += Le32(1000); Put32(r, 12, 1580); }, Op::kSetNew,
     Reestr::kAllocateFailed},
    {"data free list not a whole number of entries",
     [](std::string& d, std::string& r) { d += std::string(2, '\0'); Put32(r, 12, 1580); }, Op::kSetNew,
     Reestr::kAllocateFailed},
    {"root free list inside the header", [](std::string&, std::string& r) { Put32(r, 16, 8); }, Op::kSetRoot,
     Reestr::kAllocateFailed},
    {"root free entry inside the header",
     [](std::string&, std::string& r) { r += Le32(4); Put32(r, 16, 298); }, Op::kSetRoot,
     Reestr::kAllocateFailed},
};

using DamagedStoreTest = StoreTest;

TEST_F(DamagedStoreTest, EachDamageGivesItsCode) {
  for (const Damage& c : kDamages) {
    std::string data, root;
    WellFormed(data, root);
    c.damage(data, root);
    WriteFiles(data, root);
    int code = CodeOf([&] {
      auto store = Open(1);
      int value = 0, size = 4, type = 0;  // size: the bytes `value` holds
      wchar_t y[] = L"y", zz[] = L"zz";
      switch (c.op) {
        case Op::kOpen: break;
        case Op::kGetY:
          store->GetValue(L"./A/", y, &value, &size, &type, 0);
          EXPECT_EQ(2, value);
          break;
        case Op::kGetMissing: store->GetValue(L"./A/", zz, &value, &size, &type, 0); break;
        case Op::kCountA: store->CountChildren(L"./A/"); break;
        case Op::kCountAx: throw static_cast<Reestr::ErrorCode>(store->CountChildren(L"./A/x/"));
        case Op::kCountRoot: store->CountChildren(L"./"); break;
        case Op::kSetNew: store->SetValue(L"./A/", L"new", &value, 4, 1, 0); break;
        case Op::kSetRoot: store->SetValue(L"./", L"B", nullptr, 0, 0, 0); break;
      }
    });
    EXPECT_EQ(c.expected, code) << c.what << ": " << OpName(c.op);
  }
}

// A failed allocation leaves the files as they were.
TEST_F(DamagedStoreTest, RefusedFreeSlotWritesNothing) {
  std::string data, root;
  WellFormed(data, root);
  data += Le32(99999);
  Put32(root, 12, 1580);
  WriteFiles(data, root);
  {
    auto store = Open(1);
    int value = 1;
    EXPECT_EQ(Reestr::kAllocateFailed, CodeOf([&] { store->SetValue(L"./A/", L"new", &value, 4, 1, 0); }));
  }
  EXPECT_EQ(data, Data());
  EXPECT_EQ(root, Root());
}

}  // namespace
