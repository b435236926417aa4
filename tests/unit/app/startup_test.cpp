#include "app/startup.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/environment.h"
#include "app/error.h"
#include "sim/computer.h"
#include "text/coredict.h"
#include "test_files.h"

namespace {

sim::Computer& Computer() { return *sim::Active(); }
sim::SimSystem& System() { return sim::Active()->system(); }

int g_windowRuns = 0;
std::wstring g_title;

void RecordingWindow(const wchar_t* title) {
  ++g_windowRuns;
  g_title = title;
}
void ThrowingWindow(const wchar_t*) { throw new Q::TError(L"Creating object failed!"); }
void ForeignThrowingWindow(const wchar_t*) { throw std::runtime_error("boom"); }

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    Q::ResetEnvironmentForTesting();
    Q::ResetCoreDictionaryForTesting();
    g_windowRuns = 0;
    g_title.clear();
    dir_.Write("corelang.dic", "Unknown===Unbekannt\nClosed===Zu\n");
    std::string module = dir_.File("pelmora.exe");
    System().SetModulePath(std::wstring(module.begin(), module.end()));
  }
  void TearDown() override {
    Q::ResetEnvironmentForTesting();
    Q::ResetCoreDictionaryForTesting();
  }
  std::vector<std::wstring> BoxTexts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : System().Boxes()) texts.push_back(box.text);
    return texts;
  }
  testsupport::TempDir dir_;
};

TEST_F(StartupTest, NormalRunCreatesTheWindowAndReleasesEverything) {
  EXPECT_EQ(0, Q::PelmoraMain("-%ns", &RecordingWindow));
  EXPECT_EQ(1, g_windowRuns);
  EXPECT_EQ(L" Q | Pelmora", g_title);
  EXPECT_TRUE(Q::CommandLineHas("-%ns"));
  EXPECT_TRUE(System().Boxes().empty());
  EXPECT_EQ(0, System().LoadedLibraryCount());
  EXPECT_EQ(0, System().ComInitCount());
  EXPECT_EQ(4u, System().EnabledPrivileges().size());
  // The dictionary beside the executable was loaded.
  wchar_t text[] = L"Closed";
  EXPECT_STREQ(L"Zu", Q::TranslateInPlace(text));
  // COM first and last; libraries, then version, then privileges; libraries released
  // before COM.
  std::vector<std::string> order;
  for (const auto& call : Computer().log().Calls()) {
    if (order.empty() || order.back() != call.name) order.push_back(call.name);
  }
  const std::vector<std::string> expected = {
      "CoInitialize",  "LoadLibraryW",          "GetProcAddress",        "GetVersionExW",
      "OpenProcessToken", "LookupPrivilegeValueW", "AdjustTokenPrivileges", "OpenProcessToken",
      "LookupPrivilegeValueW", "AdjustTokenPrivileges", "OpenProcessToken",
      "LookupPrivilegeValueW", "AdjustTokenPrivileges", "OpenProcessToken",
      "LookupPrivilegeValueW", "AdjustTokenPrivileges", "FreeLibrary", "CoUninitialize"};
  EXPECT_EQ(expected, order);
}

TEST_F(StartupTest, MissingLibraryEndsBeforeTheDictionaryAndWindow) {
  System().RemoveLibrary(L"Ntdsapi.dll");
  EXPECT_EQ(0, Q::PelmoraMain("", &RecordingWindow));
  EXPECT_EQ(0, g_windowRuns);
  EXPECT_EQ((std::vector<std::wstring>{L"!!: error loading Ntdsapi.dll", L"Error initialize Q-env!"}),
            BoxTexts());
  EXPECT_EQ(L"Error", System().Boxes()[1].caption);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONERROR), System().Boxes()[1].type);
  EXPECT_EQ(0, System().LoadedLibraryCount());
  EXPECT_EQ(0, System().ComInitCount());
  wchar_t text[] = L"Unknown";
  EXPECT_STREQ(L"Unknown", Q::TranslateInPlace(text));
}

TEST_F(StartupTest, OldSystemIsRefused) {
  System().SetVersion(VER_PLATFORM_WIN32_NT, 4, 0);
  System().SetCursor(System().WaitCursor());
  EXPECT_EQ(0, Q::PelmoraMain("", &RecordingWindow));
  // The start-up handler puts the default cursor back after this failure too.
  EXPECT_EQ(System().ArrowCursor(), System().CurrentCursor());
  EXPECT_EQ(0, g_windowRuns);
  EXPECT_EQ((std::vector<std::wstring>{L"Error: This program must be run under W2k and above"}),
            BoxTexts());
  EXPECT_TRUE(System().EnabledPrivileges().empty());
  EXPECT_EQ(0, System().LoadedLibraryCount());
}

TEST_F(StartupTest, PrivilegeFailureIsShownAndEndsTheRun) {
  Computer().failures().Fail("AdjustTokenPrivileges", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(0, Q::PelmoraMain("", &RecordingWindow));
  EXPECT_EQ(0, g_windowRuns);
  EXPECT_EQ((std::vector<std::wstring>{
                L"!!: Getting necessary privilegies failed! Application will be terminate!"}),
            BoxTexts());
  EXPECT_EQ(System().ArrowCursor(), System().CurrentCursor());
}

TEST_F(StartupTest, ErrorsEscapingTheWindowAreCaught) {
  EXPECT_EQ(0, Q::PelmoraMain("", &ThrowingWindow));
  EXPECT_EQ(0, Q::PelmoraMain("", &ForeignThrowingWindow));
  EXPECT_EQ((std::vector<std::wstring>{L"!!: Creating object failed!", L"Unknown error"}),
            BoxTexts());
  EXPECT_EQ(0, System().LoadedLibraryCount());
}

}  // namespace
