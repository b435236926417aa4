// Start-up against the real platform under Wine: real library loading, version query and
// privileges; only message boxes are recorded instead of shown. The ctest entries run this
// program with ntdsapi disabled through WINEDLLOVERRIDES, and under a second name for
// which the prefix reports Windows NT 4.0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/environment.h"
#include "app/startup.h"
#include "platform/system.h"

namespace {

// The real system with message boxes recorded.
class RecordingBoxes : public Q::ISystem {
 public:
  explicit RecordingBoxes(Q::ISystem& real) : real_(real) {}
  std::vector<std::wstring> texts;
  std::vector<std::wstring> captions;
  std::vector<UINT> types;

  int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) override {
    texts.push_back(text ? text : L"");
    captions.push_back(caption ? caption : L"");
    types.push_back(type);
    return IDOK;
  }
  HMODULE LoadLibraryW(LPCWSTR n) override { return real_.LoadLibraryW(n); }
  FARPROC GetProcAddress(HMODULE m, LPCSTR n) override { return real_.GetProcAddress(m, n); }
  BOOL FreeLibrary(HMODULE m) override { return real_.FreeLibrary(m); }
  BOOL GetVersionExW(LPOSVERSIONINFOW i) override { return real_.GetVersionExW(i); }
  BOOL GetComputerNameW(LPWSTR b, LPDWORD s) override { return real_.GetComputerNameW(b, s); }
  DWORD GetLastError() override { return real_.GetLastError(); }
  void SetLastError(DWORD c) override { real_.SetLastError(c); }
  DWORD FormatMessageW(DWORD f, LPCVOID s, DWORD id, DWORD l, LPWSTR b, DWORD n,
                       va_list* a) override {
    return real_.FormatMessageW(f, s, id, l, b, n, a);
  }
  HLOCAL LocalFree(HLOCAL m) override { return real_.LocalFree(m); }
  HLOCAL LocalAlloc(UINT f, SIZE_T n) override { return real_.LocalAlloc(f, n); }
  HANDLE GetCurrentProcess() override { return real_.GetCurrentProcess(); }
  BOOL OpenProcessToken(HANDLE p, DWORD a, PHANDLE t) override {
    return real_.OpenProcessToken(p, a, t);
  }
  BOOL LookupPrivilegeValueW(LPCWSTR s, LPCWSTR n, PLUID l) override {
    return real_.LookupPrivilegeValueW(s, n, l);
  }
  BOOL AdjustTokenPrivileges(HANDLE t, BOOL d, PTOKEN_PRIVILEGES n, DWORD l,
                             PTOKEN_PRIVILEGES p, LPDWORD r) override {
    ++adjustments;
    return real_.AdjustTokenPrivileges(t, d, n, l, p, r);
  }
  BOOL CloseHandle(HANDLE h) override { return real_.CloseHandle(h); }
  HRESULT CoInitialize(LPVOID r) override { return real_.CoInitialize(r); }
  void CoUninitialize() override { real_.CoUninitialize(); }
  int MultiByteToWideChar(UINT cp, DWORD f, LPCSTR t, int l, LPWSTR o, int ol) override {
    return real_.MultiByteToWideChar(cp, f, t, l, o, ol);
  }
  int WideCharToMultiByte(UINT cp, DWORD f, LPCWSTR t, int l, LPSTR o, int ol, LPCSTR d,
                          LPBOOL u) override {
    return real_.WideCharToMultiByte(cp, f, t, l, o, ol, d, u);
  }
  DWORD GetModuleFileNameA(HMODULE m, LPSTR b, DWORD s) override {
    return real_.GetModuleFileNameA(m, b, s);
  }
  DWORD GetModuleFileNameW(HMODULE m, LPWSTR b, DWORD s) override {
    return real_.GetModuleFileNameW(m, b, s);
  }
  HCURSOR LoadCursorW(HINSTANCE i, LPCWSTR n) override { return real_.LoadCursorW(i, n); }
  HCURSOR SetCursor(HCURSOR c) override { return real_.SetCursor(c); }
  void Sleep(DWORD ms) override { real_.Sleep(ms); }
  DWORD GetTickCount() override { return real_.GetTickCount(); }

  int adjustments = 0;

 private:
  Q::ISystem& real_;
};

int g_windowRuns = 0;
void CountingWindow(const wchar_t*) { ++g_windowRuns; }

class StartupOnWine : public testing::Test {
 protected:
  StartupOnWine() : boxes_(*Q::Seam<Q::ISystem>::Default()), guard_(boxes_) {}
  void SetUp() override {
    Q::ResetEnvironmentForTesting();
    g_windowRuns = 0;
  }
  RecordingBoxes boxes_;
  Q::ScopedSeam<Q::ISystem> guard_;
};

// Run with all libraries present (the default prefix).
TEST_F(StartupOnWine, AllLibrariesAndEntryPointsResolveAndTheWindowRuns) {
  EXPECT_EQ(0, Q::PelmoraMain("-%ns", &CountingWindow));
  EXPECT_TRUE(boxes_.texts.empty()) << (boxes_.texts.empty() ? "" : std::string(
                                            boxes_.texts[0].begin(), boxes_.texts[0].end()));
  EXPECT_EQ(1, g_windowRuns);
  EXPECT_EQ(4, boxes_.adjustments);
  for (int e = 0; e < Q::kEntryPointCount; ++e)
    EXPECT_NE(nullptr, Q::QEntryPointAddress(static_cast<Q::QEntryPoint>(e))) << e;
  for (int l = 0; l < Q::kLibraryCount; ++l)
    EXPECT_EQ(nullptr, Q::QLibraryHandle(static_cast<Q::QLibrary>(l)));  // released
  EXPECT_TRUE(Q::IsWindows2000OrLater());
}

TEST_F(StartupOnWine, LocalComputerUncHasTheRealName) {
  wchar_t* unc = nullptr;
  Q::GetLocalComputerUnc(&unc);
  ASSERT_NE(nullptr, unc);
  EXPECT_EQ(L'\\', unc[0]);
  EXPECT_EQ(L'\\', unc[1]);
  EXPECT_GT(std::wcslen(unc), 2u);
  delete[] unc;
}

// Run with WINEDLLOVERRIDES containing ntdsapi=d.
TEST_F(StartupOnWine, DisabledNtdsapiEndsTheStartWithoutAWindow) {
  EXPECT_EQ(0, Q::PelmoraMain("", &CountingWindow));
  EXPECT_EQ(0, g_windowRuns);
  ASSERT_EQ(2u, boxes_.texts.size());
  EXPECT_EQ(L"!!: error loading Ntdsapi.dll", boxes_.texts[0]);
  EXPECT_EQ(L"Error initialize Q-env!", boxes_.texts[1]);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(L"Error", boxes_.captions[i]);
    EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONERROR), boxes_.types[i]);
  }
  EXPECT_EQ(0, boxes_.adjustments);
  for (int l = 0; l < Q::kLibraryCount; ++l)
    EXPECT_EQ(nullptr, Q::QLibraryHandle(static_cast<Q::QLibrary>(l)));
}

// Run as integ_startup_nt4.exe, for which the prefix reports Windows NT 4.0.
TEST_F(StartupOnWine, NT4IsRefused) {
  EXPECT_FALSE(Q::IsWindows2000OrLater());
  EXPECT_FALSE(Q::IsWindowsXpOrLater());
  EXPECT_EQ(0, Q::PelmoraMain("", &CountingWindow));
  EXPECT_EQ(0, g_windowRuns);
  ASSERT_EQ(1u, boxes_.texts.size());
  EXPECT_EQ(L"Error: This program must be run under W2k and above", boxes_.texts[0]);
  EXPECT_EQ(0, boxes_.adjustments);
}

}  // namespace
