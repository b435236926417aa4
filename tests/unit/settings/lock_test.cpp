// The store's locks against another handle of this process and against another process.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "settings/store_file.h"
#include "store_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

using namespace settingstest;
using Q::Reestr;
using Q::settings::StoreFile;

// A program built beside this test, started with arguments; Wait gives its exit code.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    std::string path = ExeDir() + program;
#ifdef _WIN32
    std::string line = "\"" + path + ".exe\"";
    for (const std::string& a : args) line += " \"" + a + "\"";
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    started_ = CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != FALSE;
#else
    std::vector<char*> argv{&path[0]};
    std::vector<std::string> copies(args);
    for (std::string& a : copies) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    started_ = posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
#endif
  }
  ~ChildProcess() { Wait(); }
  bool started() const { return started_; }
  int Wait() {
    if (!started_) return -1;
    started_ = false;
#ifdef _WIN32
    WaitForSingleObject(pi_.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    return exit_ = static_cast<int>(code);
#else
    int status = 0;
    waitpid(pid_, &status, 0);
    return exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }

  static std::string ExeDir() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string self(buffer, n);
    return self.substr(0, self.find_last_of("\\/") + 1);
#else
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    std::string self(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/') + 1);
#endif
  }

 private:
  bool started_ = false;
  int exit_ = -1;
#ifdef _WIN32
  PROCESS_INFORMATION pi_ = {};
#else
  pid_t pid_ = 0;
#endif
};

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
  ChildProcess holder("settings_lock_holder", {dataPath(), rootPath(), ready, release});
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
