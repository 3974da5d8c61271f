#pragma once

#include <windows.h>

#include <string>

namespace hostsim {

// Writes what the screen shows of a window (with its frame) as a 24-bit BMP.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path);

}  // namespace hostsim
