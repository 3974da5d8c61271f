#pragma once

#include <windows.h>

// The plug-in procedure: queries, properties, uninstall, pre-translation.
LRESULT HandlePlugInMessage(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
// The properties dialog (resource 116), modal, owned by hwndOwner.
void ShowPropertiesDialog(HWND hwndOwner);
