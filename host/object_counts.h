#pragma once

#include <windows.h>

namespace hostsim {

// The process's GDI and USER object counts, for leak checks. Wine does not
// report them (GetGuiResources answers 0); there they are counted: every GDI
// handle, and the process's windows and menus.
DWORD GdiObjects();
DWORD UserObjects();

}  // namespace hostsim
