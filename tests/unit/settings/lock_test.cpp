// The store's locks against another handle of this process and against another process.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "child_process.h"
#include "settings/store_file.h"
#include "store_fixture.h"


namespace {

using namespace settingstest;
using Q::Reestr;
using Q::settings::StoreFile;

class ReestrLockTest : public StoreTest {
 protected:
  void SetUp() override {
    auto store = Open();
    store->SetValue(L"./", L"qPelmora", nullptr, 0, 0, 0);
  }
  // The code of one read, and how long it took in seconds.
  int TimedRead(Reestr& store, double* seconds) {
    auto start = std::chrono::steady_clock::now();
    int code = CodeOf([&] { EXPECT_EQ(0, store.CountChildren(L"./qPelmora/")); });
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return code;
  }
};

TEST_F(ReestrLockTest, LockHeldByAnotherHandleGivesMinus16AfterAboutTwoSeconds) {
  auto store = Open(1);
  for (bool dataFile : {true, false}) {
    StoreFile other;
    ASSERT_EQ(StoreFile::OpenResult::kOk,
              other.OpenExisting(Widen(dataFile ? dataPath() : rootPath()).c_str()));
    ASSERT_TRUE(other.TryLockByte0());
    double seconds = 0;
    EXPECT_EQ(Reestr::kLockFailed, TimedRead(*store, &seconds)) << dataFile;
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 10.0);
    // The failed operation left no lock behind.
    StoreFile probe;
    ASSERT_EQ(StoreFile::OpenResult::kOk,
              probe.OpenExisting(Widen(dataFile ? rootPath() : dataPath()).c_str()));
    EXPECT_TRUE(probe.TryLockByte0());
    probe.Close();
    other.UnlockByte0();
    EXPECT_EQ(0, TimedRead(*store, &seconds));
  }
}

// The locks are taken data file first: an operation waiting for the data file's lock
// holds no lock on the root file meanwhile (two processes taking them in opposite orders
// could otherwise block each other until both fail).
TEST_F(ReestrLockTest, DataFileIsLockedBeforeTheRootFile) {
  auto store = Open(1);
  StoreFile data, root;
  ASSERT_EQ(StoreFile::OpenResult::kOk, data.OpenExisting(Widen(dataPath()).c_str()));
  ASSERT_EQ(StoreFile::OpenResult::kOk, root.OpenExisting(Widen(rootPath()).c_str()));
  ASSERT_TRUE(data.TryLockByte0());
  int code = -1;
  std::thread waiting([&] { code = CodeOf([&] { store->CountChildren(L"./qPelmora/"); }); });
  Q::settings::SleepMilliseconds(500);
  EXPECT_TRUE(root.TryLockByte0());
  root.UnlockByte0();
  data.UnlockByte0();
  waiting.join();
  EXPECT_EQ(0, code);
}

TEST_F(ReestrLockTest, ErrorsReleaseTheLocks) {
  auto store = Open(1);
  EXPECT_EQ(Reestr::kNotFound, CodeOf([&] { store->CountChildren(L"./missing/"); }));
  StoreFile data, root;
  ASSERT_EQ(StoreFile::OpenResult::kOk, data.OpenExisting(Widen(dataPath()).c_str()));
  ASSERT_EQ(StoreFile::OpenResult::kOk, root.OpenExisting(Widen(rootPath()).c_str()));
  EXPECT_TRUE(data.TryLockByte0());
  EXPECT_TRUE(root.TryLockByte0());
}

TEST_F(ReestrLockTest, AnotherProcessHoldingTheLocksGivesMinus16UntilItReleases) {
  auto store = Open(1);
  std::string ready = dir_.File("ready"), release = dir_.File("release");
  ChildProcess holder(ChildProcess::ExeDir() + "settings_lock_holder", {dataPath(), rootPath(), ready, release});
  ASSERT_TRUE(holder.started());
  for (int waited = 0; waited < 60000 && !std::ifstream(ready).good(); waited += 20) {
    Q::settings::SleepMilliseconds(20);
  }
  ASSERT_TRUE(std::ifstream(ready).good()) << "the helper did not take the locks";

  double seconds = 0;
  EXPECT_EQ(Reestr::kLockFailed, TimedRead(*store, &seconds));
  EXPECT_GE(seconds, 1.9);
  int value = 5;
  EXPECT_EQ(Reestr::kLockFailed, CodeOf([&] { store->SetValue(L"./qPelmora/", L"x", &value, 4, 1, 0); }));

  std::ofstream(release) << "go\n";
  EXPECT_EQ(0, holder.Wait());
  EXPECT_EQ(0, TimedRead(*store, &seconds));
  EXPECT_LT(seconds, 1.0);
  store->SetValue(L"./qPelmora/", L"x", &value, 4, 1, 0);
  EXPECT_EQ(1, store->CountChildren(L"./qPelmora/"));
}

}  // namespace
