#pragma once

#include <windows.h>

#include <string>

namespace hostsim {

// Writes a window as it looks, frame included, to a 24-bit BMP file: the
// window and the process's windows in front of it (a popup menu, a message
// box, a dialog), each read from its own device context.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path);

}  // namespace hostsim
