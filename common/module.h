// The module's own instance handle: every resource the plug-in loads
// (strings, menu, dialog, bitmaps) and its own file name come through it.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;
