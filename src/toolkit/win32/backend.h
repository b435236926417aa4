// The Win32 window backend: real windows and common controls (comctl32 6) for the
// toolkit's components, the message loop with keyboard navigation, popup menus, the tray
// icon and the Win32 dialogs service.
#pragma once

#include <string>

namespace Q {

class TControl;

// Installs the backend and the Win32 dialogs service (once per process); later shown
// forms get native windows.
void InstallWin32Backend();

// Writes the screen (or, with `window`, one control's window area) as a 24-bit BMP file.
bool SaveScreenBitmap(const std::wstring& path, TControl* window = nullptr);

}  // namespace Q
