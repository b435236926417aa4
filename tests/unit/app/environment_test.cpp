#include "app/environment.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/error.h"
#include "sim/computer.h"

namespace {

sim::Computer& Computer() { return *sim::Active(); }
sim::SimSystem& System() { return sim::Active()->system(); }

class EnvironmentTest : public testing::Test {
 protected:
  void SetUp() override { Q::ResetEnvironmentForTesting(); }
  void TearDown() override {
    Q::FreeEnvironment();
    Q::ResetEnvironmentForTesting();
  }
};

TEST_F(EnvironmentTest, LoadsFiveLibrariesAndAllEntryPointsInOrder) {
  ASSERT_TRUE(Q::InitEnvironment());
  EXPECT_EQ(5, System().LoadedLibraryCount());
  auto loads = Computer().log().Of("LoadLibraryW");
  ASSERT_EQ(5u, loads.size());
  const wchar_t* names[] = {L"Psapi.dll", L"Mprapi.dll", L"Wtsapi32.dll", L"ActiveDS.dll",
                            L"Ntdsapi.dll"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(names[i], loads[i].args[0]);
  auto lookups = Computer().log().Of("GetProcAddress");
  ASSERT_EQ(25u, lookups.size());
  EXPECT_EQ(L"EnumProcessModules", lookups.front().args[0]);
  EXPECT_EQ(L"WTSSendMessageW", lookups[14].args[0]);
  EXPECT_EQ(L"DsGetDomainControllerInfoW", lookups.back().args[0]);
  for (int e = 0; e < Q::kEntryPointCount; ++e)
    EXPECT_NE(nullptr, Q::QEntryPointAddress(static_cast<Q::QEntryPoint>(e)));
  EXPECT_TRUE(System().Boxes().empty());

  EXPECT_TRUE(Q::FreeEnvironment());
  EXPECT_EQ(0, System().LoadedLibraryCount());
  for (int l = 0; l < Q::kLibraryCount; ++l)
    EXPECT_EQ(nullptr, Q::QLibraryHandle(static_cast<Q::QLibrary>(l)));
  // Entry-point addresses are not cleared by the release.
  EXPECT_NE(nullptr, Q::QEntryPointAddress(Q::kADsOpenObject));
}

TEST_F(EnvironmentTest, MissingLibraryIsReportedAfterAllWereTried) {
  System().RemoveLibrary(L"Ntdsapi.dll");
  System().RemoveLibrary(L"Mprapi.dll");
  EXPECT_FALSE(Q::InitEnvironment());
  EXPECT_EQ(5u, Computer().log().Count("LoadLibraryW"));
  EXPECT_EQ(0u, Computer().log().Count("GetProcAddress"));
  ASSERT_EQ(1u, System().Boxes().size());
  EXPECT_EQ(L"!!: error loading Mprapi.dll", System().Boxes()[0].text);
  EXPECT_EQ(3, System().LoadedLibraryCount());
  Q::FreeEnvironment();
  EXPECT_EQ(0, System().LoadedLibraryCount());
}

TEST_F(EnvironmentTest, MissingEntryPointKeepsThoseFoundBefore) {
  System().RemoveEntryPoint(L"Wtsapi32.dll", "WTSSendMessageW");
  EXPECT_FALSE(Q::InitEnvironment());
  ASSERT_EQ(1u, System().Boxes().size());
  EXPECT_EQ(L"!!: Failed to init WTSSendMessageW", System().Boxes()[0].text);
  EXPECT_NE(nullptr, Q::QEntryPointAddress(Q::kWTSTerminateProcess));
  EXPECT_EQ(nullptr, Q::QEntryPointAddress(Q::kWTSSendMessageW));
  EXPECT_EQ(nullptr, Q::QEntryPointAddress(Q::kADsOpenObject));
}

TEST_F(EnvironmentTest, VersionTests) {
  struct Case {
    DWORD platform, major, minor;
    bool w2k, xp;
  } cases[] = {
      {VER_PLATFORM_WIN32_NT, 4, 0, false, false}, {VER_PLATFORM_WIN32_NT, 5, 0, true, false},
      {VER_PLATFORM_WIN32_NT, 5, 1, true, true},   {VER_PLATFORM_WIN32_NT, 5, 2, true, true},
      {VER_PLATFORM_WIN32_NT, 6, 0, true, true},   {VER_PLATFORM_WIN32_NT, 10, 0, true, true},
      {VER_PLATFORM_WIN32_WINDOWS, 5, 1, false, false},
  };
  for (const Case& c : cases) {
    System().SetVersion(c.platform, c.major, c.minor);
    EXPECT_EQ(c.w2k, Q::IsWindows2000OrLater()) << c.major << "." << c.minor;
    EXPECT_EQ(c.xp, Q::IsWindowsXpOrLater()) << c.major << "." << c.minor;
  }
}

TEST_F(EnvironmentTest, VersionQueryFallsBackToTheBasicRecord) {
  System().SetVersion(VER_PLATFORM_WIN32_NT, 5, 1);
  System().FailExtendedVersionQuery(true);
  EXPECT_TRUE(Q::IsWindowsXpOrLater());
  auto queries = Computer().log().Of("GetVersionExW");
  ASSERT_EQ(2u, queries.size());
  EXPECT_EQ(std::to_wstring(sizeof(OSVERSIONINFOEXW)), queries[0].args[0]);
  EXPECT_EQ(std::to_wstring(sizeof(OSVERSIONINFOW)), queries[1].args[0]);
#ifdef _WIN32
  EXPECT_EQ(284u, sizeof(OSVERSIONINFOEXW));
  EXPECT_EQ(276u, sizeof(OSVERSIONINFOW));
#endif
  System().FailBasicVersionQuery(true);
  EXPECT_FALSE(Q::IsWindows2000OrLater());
  EXPECT_FALSE(Q::IsWindowsXpOrLater());
}

TEST_F(EnvironmentTest, EnablesTheFourPrivilegesInOrder) {
  Q::EnablePrivileges();
  EXPECT_EQ((std::vector<std::wstring>{L"SeSecurityPrivilege", L"SeTakeOwnershipPrivilege",
                                       L"SeShutdownPrivilege", L"SeRemoteShutdownPrivilege"}),
            System().EnabledPrivileges());
  for (const auto& call : Computer().log().Of("OpenProcessToken")) EXPECT_EQ(L"0x28", call.args[0]);
  for (const auto& call : Computer().log().Of("AdjustTokenPrivileges")) {
    EXPECT_EQ(L"0", call.args[0]);    // disable-all false
    EXPECT_EQ(L"0x2", call.args[2]);  // SE_PRIVILEGE_ENABLED
    EXPECT_EQ(L"16", call.args[3]);   // buffer length
    EXPECT_EQ(L"(null)", call.args[4]);
  }
  EXPECT_EQ(0, System().OpenHandleCount());
}

TEST_F(EnvironmentTest, PrivilegeTheAccountDoesNotHoldIsNoFailure) {
  // The adjustment succeeds with ERROR_NOT_ALL_ASSIGNED: only a zero result fails.
  System().WithdrawPrivilege(L"SeSecurityPrivilege");
  System().WithdrawPrivilege(L"SeRemoteShutdownPrivilege");
  EXPECT_NO_THROW(Q::EnablePrivileges());
  EXPECT_EQ(4u, Computer().log().Count("AdjustTokenPrivileges"));
  EXPECT_EQ((std::vector<std::wstring>{L"SeTakeOwnershipPrivilege", L"SeShutdownPrivilege"}),
            System().EnabledPrivileges());
  for (const auto& call : Computer().log().Of("LookupPrivilegeValueW"))
    EXPECT_EQ(L"(null)", call.args[0]);  // the local system
}

TEST_F(EnvironmentTest, FailedAdjustmentStopsAndRaisesTheTerminationText) {
  Computer().failures().Fail("AdjustTokenPrivileges", ERROR_ACCESS_DENIED, 1);
  try {
    Q::EnablePrivileges();
    FAIL() << "no error raised";
  } catch (Q::TError* error) {
    EXPECT_STREQ(L"!!: Getting necessary privilegies failed! Application will be terminate!",
                 error->Message);
    Q::ReleaseError(error);
  }
  EXPECT_EQ(1u, Computer().log().Count("AdjustTokenPrivileges"));
  EXPECT_TRUE(System().Boxes().empty());
  EXPECT_EQ(0, System().OpenHandleCount());
}

TEST_F(EnvironmentTest, LocalComputerUnc) {
  System().SetComputerName(L"WORKSTATION7");
  wchar_t* unc = nullptr;
  Q::GetLocalComputerUnc(&unc);
  ASSERT_NE(nullptr, unc);
  EXPECT_STREQ(L"\\\\WORKSTATION7", unc);
  delete[] unc;
  EXPECT_EQ(L"16", Computer().log().Of("GetComputerNameW")[0].args[0]);
}

TEST_F(EnvironmentTest, LocalComputerUncFailureCarriesSystemText) {
  Computer().failures().Fail("GetComputerNameW", ERROR_ACCESS_DENIED, 1);
  wchar_t* unc = reinterpret_cast<wchar_t*>(1);
  try {
    Q::GetLocalComputerUnc(&unc);
    FAIL() << "no error raised";
  } catch (Q::TError* error) {
    EXPECT_EQ(nullptr, unc);
    EXPECT_STREQ(L"Getting Computer Name failed!", error->Message);
    EXPECT_STREQ(L"Access is denied.\r\n Error: 5", error->SystemText);
    Q::ShowError(error);
  }
  ASSERT_EQ(1u, System().Boxes().size());
  EXPECT_EQ(L"Getting Computer Name failed!\nAccess is denied.\r\n Error: 5",
            System().Boxes()[0].text);
}

TEST(UncNameTest, ServerAndShare) {
  struct Case {
    const wchar_t* path;
    const wchar_t* server;  // null: none
    const wchar_t* share;
  } cases[] = {
      {L"\\\\srv\\share\\folder", L"\\\\srv", L"share"},
      {L"\\\\srv\\share", L"\\\\srv", L"share"},
      {L"\\srv\\share\\folder", L"\\\\srv", nullptr},
      {L"\\\\srv", L"\\\\srv", nullptr},
      {L"\\\\srv\\\\\\", L"\\\\srv", nullptr},
      {L"\\\\srv\\\\\\data", L"\\\\srv", L"data"},
      {L"\\\\\\", nullptr, nullptr},
      {L"srv\\share", nullptr, nullptr},
      {L"", nullptr, nullptr},
      {nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    wchar_t* server = reinterpret_cast<wchar_t*>(1);
    wchar_t* share = reinterpret_cast<wchar_t*>(1);
    Q::ExtractUncServer(c.path, &server);
    Q::ExtractUncShare(c.path, &share);
    const std::wstring label = c.path ? c.path : L"(null)";
    if (c.server) {
      ASSERT_NE(nullptr, server);
      EXPECT_STREQ(c.server, server) << std::string(label.begin(), label.end());
    } else {
      EXPECT_EQ(nullptr, server);
    }
    if (c.share) {
      ASSERT_NE(nullptr, share);
      EXPECT_STREQ(c.share, share);
    } else {
      EXPECT_EQ(nullptr, share);
    }
    delete[] server;
    delete[] share;
  }
}

TEST(CommandLineTest, SwitchesAreSubstrings) {
  struct Case {
    const char* line;
    bool noSplash;
    bool noPlacement;
  } cases[] = {
      {"", false, false},
      {"-%ns", true, false},
      {"xx-%nsyy -%pi", true, true},
      {"-ns -%n s", false, false},
      {"/x -%pi", false, true},
  };
  for (const Case& c : cases) {
    Q::KeepCommandLine(c.line);
    EXPECT_EQ(c.noSplash, Q::CommandLineHas("-%ns")) << c.line;
    EXPECT_EQ(c.noPlacement, Q::CommandLineHas("-%pi")) << c.line;
  }
  Q::KeepCommandLine(nullptr);
  EXPECT_STREQ("", Q::CommandLine());
}

TEST(ExecutableFolderTest, FolderGetsOneBackslash) {
  struct Case {
    const wchar_t* module;
    const char* expected;
  } cases[] = {
      {L"C:\\Program Files\\Pelmora\\pelmora.exe", "C:\\Program Files\\Pelmora\\corelang.dic"},
      {L"C:\\pelmora.exe", "C:\\corelang.dic"},
      {L"D:\\x\\pelmora.exe", "D:\\x\\corelang.dic"},
      // Without the executable's path there is no file beside it: never the bare name,
      // which would be looked for in the current folder.
      {L"", ""},
  };
  for (const Case& c : cases) {
    sim::Active()->system().SetModulePath(c.module);
    EXPECT_EQ(c.expected, Q::ExecutableFolderFile("corelang.dic"));
  }
}

}  // namespace
