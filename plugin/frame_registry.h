// The process-wide registry of frames: one CMyFrame per host main window. It
// answers the bar's frame lookups (bar/frame_lookup.h).
#pragma once

#include <windows.h>

#include <memory>

#include "bar/frame_lookup.h"

std::unique_ptr<CMyFrame> CreateFrame();
void DispatchEvents(HWND hwnd, UINT nEvent, LPARAM lParam);
// The command for the window of hwnd.
void RunCommand(HWND hwnd);
// The module is detached without the unload event: the frames go before the
// lock does.
void ReleaseFramesAtDetach(bool bProcessEnding);
