#include "app/startup.h"

#include "app/environment.h"
#include "app/error.h"
#include "platform/system.h"
#include "text/coredict.h"

namespace Q {

const wchar_t kApplicationTitle[] = L" Q | Pelmora";

namespace {

void ShowStartupFailure(const wchar_t* text) {
  Sys().MessageBoxW(nullptr, text, L"Error", MB_TASKMODAL | MB_ICONERROR);
}

void RestoreDefaultCursor() { Sys().SetCursor(Sys().LoadCursorW(nullptr, IDC_ARROW)); }

}  // namespace

int PelmoraMain(const char* commandLine, RunMainWindowFn runMainWindow) {
  KeepCommandLine(commandLine);
  Sys().CoInitialize(nullptr);
  if (!InitEnvironment()) {
    ShowStartupFailure(L"Error initialize Q-env!");
  } else {
    LoadCoreDictionary(ExecutableFolderFile("corelang.dic").c_str());
    try {
      if (!IsWindows2000OrLater()) {
        // A failure of the start-up handler like the others: shown, then the default
        // cursor is put back.
        ShowStartupFailure(L"Error: This program must be run under W2k and above");
        RestoreDefaultCursor();
      } else {
        EnablePrivileges();
        if (runMainWindow != nullptr) runMainWindow(kApplicationTitle);
      }
    } catch (TError* error) {
      ShowError(error);
      RestoreDefaultCursor();
    } catch (...) {
      ShowStartupFailure(L"Unknown error");
      RestoreDefaultCursor();
    }
  }
  FreeEnvironment();
  Sys().CoUninitialize();
  return 0;
}

}  // namespace Q
