// Entry point of pelmora.exe.
#include "app/startup.h"
#include "platform/win32.h"
#include "toolkit/win32/backend.h"
#include "ui/InformForm.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  // Real windows for the toolkit's forms; until the main window lands, the start shows
  // the splash window for a moment.
  Q::InstallWin32Backend();
  return Q::PelmoraMain(commandLine, Q::RunSplashOnly);
}
