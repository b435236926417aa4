// Never run: a program that imports Ntdsapi.dll, which the import check must refuse.
#include <windows.h>
#include <ntdsapi.h>

int main() {
  HANDLE handle = nullptr;
  return DsBindW(nullptr, nullptr, &handle) == ERROR_SUCCESS ? 0 : 1;
}
