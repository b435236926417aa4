// qrbtool: its commands in-process (output, exit codes, the store it prepares) and the real
// program as a second process against a locked store.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "commands.h"
#include "settings/store_file.h"
#include "store_fixture.h"

namespace {

using namespace settingstest;
using Q::Reestr;

class QrbToolTest : public testing::Test {
 protected:
  // Runs the tool on the test's folder: `args` after the command get the folder first.
  int Tool(const std::string& command, std::vector<std::string> args = {}) {
    std::vector<std::wstring> wide{Widen(command), Widen(dir_.path())};
    for (const std::string& a : args) wide.push_back(Q::settings::Utf8ToWide(a));
    out_.clear();
    err_.clear();
    return qrbtool::Run(wide, &out_, &err_);
  }
  std::string StoreFile(const char* name) { return dir_.File("settings/" + std::string(name)); }

  testsupport::TempDir dir_;
  std::string out_, err_;
};

TEST_F(QrbToolTest, InitCreatesTheProgramKeysAndKeepsAnExistingStore) {
  ASSERT_EQ(0, Tool("init")) << err_;
  EXPECT_EQ(Header(1) + Record(0, "qPelmora", -1, -1, 0, 0), testsupport::ReadAll(StoreFile("qRB.r")));
  EXPECT_EQ(Record(0, "Settings", -1, -1, -1, 0, true), testsupport::ReadAll(StoreFile("qRB.b")));

  ASSERT_EQ(0, Tool("set-key", {"./qPelmora/Settings/", "MainWindow"})) << err_;
  ASSERT_EQ(0, Tool("set-int", {"./qPelmora/Settings/MainWindow/", "Left", "-120"})) << err_;
  ASSERT_EQ(0, Tool("set-int", {"./qPelmora/Settings/MainWindow/", "Top", "0x40"})) << err_;
  ASSERT_EQ(0, Tool("init")) << err_;
  ASSERT_EQ(0, Tool("dump")) << err_;
  EXPECT_EQ("./\tqPelmora\t0\t0\n"
            "./qPelmora/\tSettings\t0\t0\n"
            "./qPelmora/Settings/\tMainWindow\t0\t0\n"
            "./qPelmora/Settings/MainWindow/\tLeft\t1\t4\t-120\n"
            "./qPelmora/Settings/MainWindow/\tTop\t1\t4\t64\n",
            out_);
  ASSERT_EQ(0, Tool("get", {"./qPelmora/Settings/MainWindow/", "Left"})) << err_;
  EXPECT_EQ("./qPelmora/Settings/MainWindow/\tLeft\t1\t4\t-120\n", out_);
}

TEST_F(QrbToolTest, DumpShowsOtherSizesInHexAndStopsAtLinkedBackKeys) {
  ASSERT_EQ(0, Tool("init"));
  {
    Reestr store(Widen(StoreFile("qRB.b")).c_str(), Widen(StoreFile("qRB.r")).c_str(), 1);
    store.SetValue(L"./qPelmora/", L"Bytes", "\x01\xff", 2, 3, 0);
  }
  ASSERT_EQ(0, Tool("get", {"./qPelmora/", "Bytes"}));
  EXPECT_EQ("./qPelmora/\tBytes\t3\t2\t01ff\n", out_);

  // A key whose first child is its own slot: the tree never ends; dump stops following it.
  std::string data = testsupport::ReadAll(StoreFile("qRB.b"));
  Put32(data, 268, 0);
  dir_.Write("settings/qRB.b", data);
  EXPECT_EQ(0, Tool("dump"));
  EXPECT_NE(std::string::npos, err_.find("deeper than 32 levels")) << err_;
}

// Two values whose child links both lead back to their own chain: every level doubles, so
// a walk bounded only by depth would print 2^32 lines. Dump stops after a fixed number of
// records and says so.
TEST_F(QrbToolTest, DumpOfATreeThatKeepsBranchingBackEnds) {
  ASSERT_EQ(0, Tool("init"));
  dir_.Write("settings/qRB.r", Header(1) + Record(0, "A", -1, -1, 0, 0));
  dir_.Write("settings/qRB.b", Record(1, "x", -1, 790, 0, 0, true) + Record(1, "y", 0, -1, 0, 0, true));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, Tool("dump"));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 120.0);
  EXPECT_NE(std::string::npos, err_.find("stopped after 10000 records")) << err_.substr(0, 200);
  EXPECT_EQ(10000, std::count(out_.begin(), out_.end(), '\n'));
  EXPECT_EQ(0u, out_.find("./\tA\t0\t0\n./A/\tx\t1\t0\n./A/x/\tx\t1\t0\n")) << out_.substr(0, 200);
}

TEST_F(QrbToolTest, UsageAndStoreErrors) {
  struct Case {
    std::vector<std::string> args;  // command and the arguments after the folder
    int exit;
    const char* err;
  } cases[] = {
      {{"frobnicate"}, 2, "usage: qrbtool"},
      {{"get", "./"}, 2, "usage: qrbtool"},
      {{"set-int", "./qPelmora/", "x", "12x"}, 2, "usage: qrbtool"},
      {{"set-int", "./qPelmora/", "x", "4294967296"}, 2, "usage: qrbtool"},
      {{"set-int", "./qPelmora/", "x"}, 2, "usage: qrbtool"},
      {{"dump", "extra"}, 2, "usage: qrbtool"},
      {{"get", "./", "qPelmora"}, 1, "qrbtool: error -100: the data file does not exist"},
      {{"init"}, 0, ""},
      {{"get", "./qPelmora/", "Nothing"}, 1, "qrbtool: error -5: a path or name was not found"},
      {{"set-int", "./qPelmora/Missing/", "x", "1"}, 1, "qrbtool: error -5:"},
      {{"set-int", "qPelmora/", "x", "1"}, 1, "qrbtool: error -5:"},
      {{"set-int", "./qPelmora/", "x", "-2147483648"}, 0, ""},
      {{"set-int", "./qPelmora/", "x", "0x"}, 2, "usage: qrbtool"},
      {{"set-int", "./qPelmora/", "x", "08"}, 0, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> rest(c.args.begin() + 1, c.args.end());
    EXPECT_EQ(c.exit, Tool(c.args[0], rest)) << c.args[0];
    EXPECT_EQ(0u, err_.find(c.err)) << err_;
  }
  std::vector<std::wstring> none;
  EXPECT_EQ(2, qrbtool::Run(none, &out_, &err_));
}

// Values are decimal (a leading zero does not make them octal) or hexadecimal after "0x".
TEST_F(QrbToolTest, SetIntReadsDecimalAndHexadecimal) {
  ASSERT_EQ(0, Tool("init")) << err_;
  const struct {
    const char* text;
    const char* stored;
  } values[] = {{"010", "10"}, {"-010", "-10"}, {"0x10", "16"}, {"-0x10", "-16"},
                {"0XfF", "255"}, {"0x7fffffff", "2147483647"}, {"+7", "7"}};
  for (const auto& v : values) {
    ASSERT_EQ(0, Tool("set-int", {"./qPelmora/", "v", v.text})) << v.text << ": " << err_;
    ASSERT_EQ(0, Tool("get", {"./qPelmora/", "v"}));
    EXPECT_EQ(std::string("./qPelmora/\tv\t1\t4\t") + v.stored + "\n", out_) << v.text;
  }
  EXPECT_EQ(2, Tool("set-int", {"./qPelmora/", "v", "0x80000000"}));
}

// The meaning printed with each code is the store's own wording of that code.
TEST_F(QrbToolTest, EveryCodeHasItsMeaning) {
  const struct {
    int code;
    const char* text;
  } meanings[] = {
      {-2, "opening a file failed, reading the root header failed, or its magic is wrong"},
      {-4, "writing the header of a new root file failed"},
      {-5, "a path or name was not found, or a path is malformed"},
      {-6, "reading a record failed"},
      {-7, "rewriting a record or data area in place failed"},
      {-8, "seek, read or write failed while appending a child or while counting children"},
      {-10, "allocating or writing a new slot failed, or reading or writing the root header failed"},
      {-16, "obtaining the file locks failed"},
      {-100, "the data file does not exist and the constructor was told not to create the store"},
      {-3, "unknown error"},
  };
  for (const auto& m : meanings) EXPECT_STREQ(m.text, Reestr::ErrorText(m.code)) << m.code;
  EXPECT_EQ(1, Tool("get", {"./", "qPelmora"}));
  EXPECT_EQ(std::string("qrbtool: error -100: ") + meanings[8].text + "\n", err_);
}

// The real program, as a second process, while this one holds the store's lock.
TEST_F(QrbToolTest, ProgramExitsWithOneAndMinus16WhileTheStoreIsLocked) {
  std::string tool = ChildProcess::ExeDir() + QRBTOOL_RELATIVE_PATH;
  std::string errFile = dir_.File("stderr.txt");
  {
    ChildProcess init(tool, {"init", dir_.path()});
    ASSERT_TRUE(init.started());
    ASSERT_EQ(0, init.Wait());
  }
  Q::settings::StoreFile data;
  ASSERT_EQ(Q::settings::StoreFile::OpenResult::kOk, data.OpenExisting(Widen(StoreFile("qRB.b")).c_str()));
  ASSERT_TRUE(data.TryLockByte0());
  auto start = std::chrono::steady_clock::now();
  {
    ChildProcess get(tool, {"get", dir_.path(), "./qPelmora/", "Settings"}, errFile);
    EXPECT_EQ(1, get.Wait());
  }
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.9);
  EXPECT_EQ(0u, testsupport::ReadAll(errFile).find("qrbtool: error -16: obtaining the file locks failed"))
      << testsupport::ReadAll(errFile);
  data.UnlockByte0();
  ChildProcess get(tool, {"get", dir_.path(), "./qPelmora/", "Settings"});
  EXPECT_EQ(0, get.Wait());
  ChildProcess usage(tool, {"get"}, errFile);
  EXPECT_EQ(2, usage.Wait());
}

}  // namespace
