// Layout and behaviour of the settings store on well-formed files, checked byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "settings/store_file.h"
#include "store_fixture.h"

namespace {

using namespace settingstest;
using Q::Reestr;

constexpr wchar_t kSettings[] = L"./qPelmora/Settings/";
constexpr wchar_t kMainWindow[] = L"./qPelmora/Settings/MainWindow/";

void SetInt(Reestr& store, const wchar_t* path, const wchar_t* name, std::int32_t value,
            short type = 1) {
  store.SetValue(path, name, &value, 4, type, 0);
}

// The keys and values the main window uses.
void WriteWindowKeys(Reestr& store) {
  store.SetValue(L"./", L"qPelmora", nullptr, 0, 0, 0);
  store.SetValue(L"./qPelmora/", L"Settings", nullptr, 0, 0, 0);
  char one = 1;
  store.SetValue(kSettings, L"MainWindow", &one, 1, 0, 0);
  SetInt(store, kMainWindow, L"Top", 0x11223344);
  SetInt(store, kMainWindow, L"Left", -7);
}

using ReestrLayoutTest = StoreTest;

TEST_F(ReestrLayoutTest, FreshStoreIsTheHeaderAndAnEmptyDataFile) {
  Open();
  EXPECT_EQ(std::string("\x52\x00\x67\x00\x42\x00\x00\x00", 8) + std::string(12, '\0'), Root());
  EXPECT_EQ("", Data());
}

TEST_F(ReestrLayoutTest, WritesLinkParentsSiblingsAndSlots) {
  {
    auto store = Open();
    WriteWindowKeys(*store);
    store->SetValue(L"./", L"Other", nullptr, 0, 0, 0);
    store->SetValue(L"./", L"Third", nullptr, 0, 0, 0);
  }
  EXPECT_EQ(Header(3) + Record(0, "qPelmora", -1, 298, 0, 0) + Record(0, "Other", 20, 576, -1, 0) +
                Record(0, "Third", 298, -1, -1, 0),
            Root());
  EXPECT_EQ(Record(0, "Settings", -1, -1, 790, 0, true) +
                Record(0, "MainWindow", -1, -1, 1580, 1, true, "\x01") +
                Record(1, "Top", -1, 2370, -1, 4, true, Le32(0x11223344)) +
                Record(1, "Left", 1580, -1, -1, 4, true, Le32(-7)),
            Data());
}

TEST_F(ReestrLayoutTest, FourByteValueFillsA790ByteSlotWithZerosAfterIt) {
  {
    auto store = Open();
    WriteWindowKeys(*store);
  }
  std::string data = Data();
  ASSERT_EQ(4u * 790u, data.size());
  std::size_t top = 2 * 790;
  EXPECT_EQ(4, Int16At(data, top + 276));
  EXPECT_EQ(Le32(0x11223344), data.substr(top + 278, 4));
  EXPECT_EQ(std::string(508, '\0'), data.substr(top + 282, 508));
}

TEST_F(ReestrLayoutTest, OverwriteKeepsTypeAndLinksAndClearsOldBytes) {
  {
    auto store = Open();
    WriteWindowKeys(*store);
    store->SetValue(kMainWindow, L"Top", "\x0A\x0B", 2, 7, 3);
    store->SetValue(L"./", L"qPelmora", "ignored", 7, 9, 0);
  }
  std::string data = Data();
  std::string top = Record(1, "Top", -1, 2370, -1, 2, true, "\x0A\x0B");
  Put16(top, 2, 3);  // the reserved value is the new writer's
  EXPECT_EQ(top, data.substr(1580, 790));
  EXPECT_EQ(Header(1) + Record(0, "qPelmora", -1, -1, 0, 0), Root());
}

TEST_F(ReestrLayoutTest, NullDataStoresSizeZeroAndLargeSizesAre512) {
  std::string big(600, 'x');
  {
    auto store = Open();
    WriteWindowKeys(*store);
    store->SetValue(kMainWindow, L"Big", big.data(), 600, 2, 0);
    store->SetValue(kMainWindow, L"Null", nullptr, 40, 2, 0);
  }
  std::string data = Data();
  EXPECT_EQ(Record(2, "Big", 2370, 3950, -1, 512, true, big.substr(0, 512)), data.substr(3160, 790));
  EXPECT_EQ(Record(2, "Null", 3160, -1, -1, 0, true), data.substr(3950, 790));
}

TEST_F(ReestrLayoutTest, LongNamesAreCutTo127Characters) {
  std::wstring longName(200, L'n');
  {
    auto store = Open();
    WriteWindowKeys(*store);
    SetInt(*store, kMainWindow, longName.c_str(), 1);
    SetInt(*store, kMainWindow, longName.c_str(), 2);  // the same (cut) name: overwritten
    EXPECT_EQ(3, store->CountChildren(kMainWindow));
    int value = 0, size = 4, type = 0;  // size: the bytes `value` holds
    store->GetValue(kMainWindow, const_cast<wchar_t*>(longName.c_str()), &value, &size, &type, 0);
    EXPECT_EQ(2, value);
    wchar_t name[128] = {};
    store->GetValue(kMainWindow, name, &value, &size, &type, 3);
    EXPECT_EQ(longName.substr(0, 127), name);
    // A path component counts with its first 127 characters too.
    store->SetValue(L"./", longName.c_str(), nullptr, 0, 0, 0);
    SetInt(*store, (L"./" + longName + L"/").c_str(), L"v", 3);
    EXPECT_EQ(1, store->CountChildren((L"./" + longName.substr(0, 127) + L"/").c_str()));
  }
  EXPECT_EQ(Record(1, std::string(127, 'n'), 2370, -1, -1, 4, true, Le32(2)), Data().substr(3160, 790));
}

TEST_F(ReestrLayoutTest, FirstKeyOfAnEmptyStoreResetsBothFiles) {
  WriteFiles(std::string(2000, '\x5A'),
             Header(0, 1996, 298) + Record(0, "old", -1, -1, 0, 0) + Le32(20));
  {
    auto store = Open(1);
    store->SetValue(L"./", L"New", nullptr, 0, 0, 0);
  }
  EXPECT_EQ(Header(1) + Record(0, "New", -1, -1, -1, 0), Root());
  EXPECT_EQ("", Data());
}

TEST_F(ReestrLayoutTest, FreeSlotListsAreTakenFromTheirEnd) {
  std::string junk = Record(0, "free", 5, 5, 5, 0);
  WriteFiles(std::string(790, '\x11') + std::string(790, '\x22') + Le32(790) + Le32(0),
             Header(1, 1580, 576) + Record(0, "A", -1, -1, -1, 0) + junk + Le32(298));
  {
    auto store = Open(1);
    store->SetValue(L"./", L"B", nullptr, 0, 0, 0);  // root list: its only entry, 298
    SetInt(*store, L"./A/", L"x", 1);                // data list: last entry, 0
    EXPECT_EQ(1584u, Data().size());
    EXPECT_EQ(1580, Int32At(Root(), 12));            // one entry left
    SetInt(*store, L"./A/", L"y", 2);                // then 790, and the list is gone
    SetInt(*store, L"./A/", L"z", 3);                // then the end of the file
  }
  EXPECT_EQ(Header(2) + Record(0, "A", -1, 298, 0, 0) + Record(0, "B", 20, -1, -1, 0), Root());
  EXPECT_EQ(Record(1, "x", -1, 790, -1, 4, true, Le32(1)) + Record(1, "y", 0, 1580, -1, 4, true, Le32(2)) +
                Record(1, "z", 790, -1, -1, 4, true, Le32(3)),
            Data());
}

using ReestrTest = StoreTest;

TEST_F(ReestrTest, ReadsByNameAndByIndex) {
  auto store = Open();
  WriteWindowKeys(*store);
  SetInt(*store, kMainWindow, L"Signed", 5, -2);
  int value = 0, size = 4, type = 0;  // size: the bytes `value` holds
  store->GetValue(kMainWindow, const_cast<wchar_t*>(L"Left"), &value, &size, &type, 0);
  EXPECT_EQ(-7, value);
  EXPECT_EQ(4, size);
  EXPECT_EQ(1, type);

  wchar_t name[128];
  store->GetValue(kMainWindow, name, &value, &size, &type, 3);
  EXPECT_STREQ(L"Signed", name);
  EXPECT_EQ(-2, type);  // the 16-bit type is sign-extended
  store->GetValue(L"./", name, nullptr, &size, &type, 1);
  EXPECT_STREQ(L"qPelmora", name);
  EXPECT_EQ(0, size);

  EXPECT_EQ(1, store->CountChildren(L"./"));
  EXPECT_EQ(1, store->CountChildren(kSettings));
  EXPECT_EQ(3, store->CountChildren(kMainWindow));
  SetInt(*store, kMainWindow, L"Top", 1);  // an overwrite adds no sibling
  EXPECT_EQ(3, store->CountChildren(kMainWindow));
}

// The caller says in *size how many bytes its buffer holds (the main window: 4). A longer
// value, as a damaged store or another writer can leave it, is refused, not copied over
// the caller's memory; a value that fits is copied and its own size reported.
TEST_F(ReestrTest, ValueLongerThanTheCallersBufferIsRefused) {
  auto store = Open();
  WriteWindowKeys(*store);
  store->SetValue(kMainWindow, L"Top", "12345678", 8, 1, 0);
  unsigned char buffer[16];
  std::memset(buffer, 0xEE, sizeof buffer);
  wchar_t top[] = L"Top";
  wchar_t name[128] = {};
  int size = 4, type = 0;
  EXPECT_EQ(Reestr::kReadFailed, CodeOf([&] { store->GetValue(kMainWindow, top, buffer, &size, &type, 0); }));
  size = 7;
  EXPECT_EQ(Reestr::kReadFailed, CodeOf([&] { store->GetValue(kMainWindow, name, buffer, &size, &type, 1); }));
  EXPECT_EQ(std::string(16, '\xEE'), std::string(buffer, buffer + 16));

  size = 8;
  store->GetValue(kMainWindow, top, buffer, &size, &type, 0);
  EXPECT_EQ(8, size);
  EXPECT_EQ(std::string("12345678") + std::string(8, '\xEE'), std::string(buffer, buffer + 16));
  size = 512;
  store->GetValue(kMainWindow, name, buffer, &size, &type, 2);  // "Left", 4 bytes
  EXPECT_EQ(4, size);
  EXPECT_STREQ(L"Left", name);
  // Without a buffer nothing is copied, whatever the size.
  size = 0;
  store->GetValue(kMainWindow, top, nullptr, &size, &type, 0);
  EXPECT_EQ(8, size);
}

TEST_F(ReestrTest, NonAsciiNamesAreUtf16InTheFile) {
  {
    auto store = Open();
    store->SetValue(L"./", L"\u00c4\u0416\U0001F600", nullptr, 0, 0, 0);
    EXPECT_EQ(0, store->CountChildren(L"./\u00c4\u0416\U0001F600/"));
  }
  EXPECT_EQ(std::string("\xC4\x00\x16\x04\x3D\xD8\x00\xDE\x00\x00", 10), Root().substr(24, 10));
}

// Names are cut to 127 UTF-16 units in both builds, even where that splits a surrogate
// pair; the cut name is found again by the full name and comes back unit for unit. An
// unpaired surrogate is stored as the unit it is.
TEST_F(ReestrTest, CutAndUnpairedSurrogatesRoundTrip) {
  std::wstring split = std::wstring(126, L'a') + L"\U0001F600";  // 128 units
  std::wstring lone = L"x";
  lone += static_cast<wchar_t>(0xDC00);
  {
    auto store = Open();
    store->SetValue(L"./", split.c_str(), nullptr, 0, 0, 0);
    store->SetValue(L"./", lone.c_str(), nullptr, 0, 0, 0);
    EXPECT_EQ(0, store->CountChildren((L"./" + split + L"/").c_str()));
    wchar_t name[128];
    int size = 0, type = 0;
    store->GetValue(L"./", name, nullptr, &size, &type, 1);
    EXPECT_EQ(std::wstring(126, L'a') + static_cast<wchar_t>(0xD83D), name);
    store->GetValue(L"./", name, nullptr, &size, &type, 2);
    EXPECT_EQ(lone, name);
    store->GetValue(L"./", const_cast<wchar_t*>(split.c_str()), nullptr, &size, &type, 0);
  }
  std::string root = Root();
  EXPECT_EQ(std::string("\x3D\xD8\x00\x00", 4), root.substr(20 + 4 + 2 * 126, 4));
  EXPECT_EQ(std::string("x\x00\x00\xDC\x00\x00", 6), root.substr(298 + 4, 6));
}

TEST_F(ReestrTest, ErrorsOfOpeningAndAddressing) {
  EXPECT_EQ(Reestr::kNoStore, CodeOf([&] { Open(1); }));
  EXPECT_EQ("", Root());  // nothing created

  auto store = Open();
  int value = 0, size = 4, type = 0;  // size: the bytes `value` holds
  wchar_t top[] = L"Top";
  EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { store->GetValue(kMainWindow, top, &value, &size, &type, 0); }));
  EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { SetInt(*store, kMainWindow, L"Top", 1); }));
  WriteWindowKeys(*store);

  const wchar_t* malformed[] = {L"", L".", L"/", L"x/", L"./qPelmora", L".//", L"./qPelmora//",
                                L"./qpelmora/", L"./qPelmora/Settings/MainWindow/Top/x/", nullptr};
  for (const wchar_t* path : malformed) {
    EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { store->CountChildren(path); }))
        << (path ? Q::settings::WideToUtf8(path) : "(null)");
  }
  EXPECT_EQ(0, store->CountChildren(L"./qPelmora/Settings/MainWindow/Top/"));
  EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { store->GetValue(kMainWindow, top, &value, &size, &type, 3); }));
  EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { store->GetValue(kMainWindow, top, &value, &size, &type, -1); }));
  EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { store->GetValue(L"./", top, &value, &size, &type, 0); }));
}

TEST_F(ReestrTest, WrongMagicOrShortHeaderFailsToOpen) {
  const std::string roots[] = {std::string("RgB\0\0\0\0\0", 8) + std::string(12, '\0'),
                               Header(0).substr(0, 19), ""};
  for (const std::string& root : roots) {
    WriteFiles("", root);
    EXPECT_EQ(Reestr::kOpenFailed, CodeOf([&] { Open(); }));
  }
  dir_.Write("qRB.b", "");
  std::remove(rootPath().c_str());
  EXPECT_EQ(Reestr::kOpenFailed, CodeOf([&] { Open(); }));  // data file without a root file
}

// A store that cannot be created completely leaves no data file behind, so a later
// attempt can create it.
TEST_F(ReestrTest, FailedCreationLeavesNothingBehind) {
  std::wstring data = Widen(dataPath());
  EXPECT_EQ(Reestr::kOpenFailed,
            CodeOf([&] { Reestr(data.c_str(), Widen(dir_.File("missing/qRB.r")).c_str(), 0); }));
  EXPECT_FALSE(std::ifstream(dataPath()).good());
#ifndef _WIN32
  // A root file that cannot take the header (a device that is always full).
  EXPECT_EQ(Reestr::kHeaderWriteFailed, CodeOf([&] { Reestr(data.c_str(), L"/dev/full", 0); }));
  EXPECT_FALSE(std::ifstream(dataPath()).good());
#endif
  Open();
  EXPECT_EQ(Header(0), Root());
}

// A new store's data file is created only when it is still missing: another process may
// have created the store between the check and the creation, and emptying its file would
// lose what it wrote.
TEST_F(ReestrTest, CreatingTheDataFileLeavesOneThatAppearedMeanwhile) {
  using Q::settings::StoreFile;
  dir_.Write("qRB.b", "written by another process");
  {
    StoreFile file;
    EXPECT_EQ(StoreFile::OpenResult::kExists, file.CreateNew(Widen(dataPath()).c_str()));
    EXPECT_FALSE(file.IsOpen());
  }
  EXPECT_EQ("written by another process", Data());
  std::remove(dataPath().c_str());
  StoreFile file;
  EXPECT_EQ(StoreFile::OpenResult::kOk, file.CreateNew(Widen(dataPath()).c_str()));
  EXPECT_TRUE(file.WriteAt(0, "new", 3));
  file.Close();
  EXPECT_EQ("new", Data());
}

TEST_F(ReestrTest, StoreSurvivesReopening) {
  {
    auto store = Open();
    WriteWindowKeys(*store);
  }
  auto store = Open(1);
  int value = 0, size = 4, type = 0;  // size: the bytes `value` holds
  store->GetValue(kMainWindow, const_cast<wchar_t*>(L"Top"), &value, &size, &type, 0);
  EXPECT_EQ(0x11223344, value);
}

// Two stores open on the same files (two handles, as two processes would have): each
// operation sees what the other wrote before it, whatever either has read earlier.
TEST_F(ReestrTest, EachOperationSeesTheOtherHandlesWrites) {
  {
    auto creator = Open();  // in the Windows build a store is exclusive while it is created
    WriteWindowKeys(*creator);
  }
  auto first = Open(1);
  auto second = Open(1);
  int value = 0, size = 4, type = 0;  // size: the bytes `value` holds
  wchar_t top[] = L"Top";
  second->GetValue(kMainWindow, top, &value, &size, &type, 0);
  EXPECT_EQ(0x11223344, value);
  SetInt(*first, kMainWindow, L"Top", 99);
  SetInt(*first, kMainWindow, L"Width", 640);
  second->GetValue(kMainWindow, top, &value, &size, &type, 0);
  EXPECT_EQ(99, value);
  EXPECT_EQ(3, second->CountChildren(kMainWindow));
  second->SetValue(L"./", L"Other", nullptr, 0, 0, 0);
  EXPECT_EQ(2, first->CountChildren(L"./"));
}

}  // namespace
