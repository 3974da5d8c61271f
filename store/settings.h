// The plug-in's registry key and its settings.
#pragma once

#include <windows.h>

#include "store/value_names.h"

// The settings a frame holds: read once per frame, written when its bar
// closes (the side only where no other side was stored since).
struct BarSettings {
    bool bSettingsLoaded = false;  // set before the key is opened: a failed read is not retried
    bool bOpenStartup = false;     // OpenStartup: open the bar when a window opens
    int nBarPos = 0;               // CustomBarPos: the docking side
};

bool GetModuleStem(wchar_t* pszStem);      // buffer of 260 characters
bool GetPlugInKeyPath(wchar_t* pszPath);   // buffer of 260 characters
HKEY OpenPlugInKey();                      // the caller closes the key
void ReadSettings(BarSettings& settings);
void WriteSettings(const BarSettings& settings);
void WriteBarPosition(int nBarPos);

