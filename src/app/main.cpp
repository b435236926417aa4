// Entry point of pelmora.exe.
#include "app/startup.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  return Q::PelmoraMain(commandLine, nullptr);
}
