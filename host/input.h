// Keyboard, mouse and shell-drop input for the stand-in host, posted into
// the thread's queue and then pumped through the host's loop, so that it
// passes the plug-in's pre-translation like a person's input does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "host/host.h"

namespace hostsim {

void Focus(HWND hwnd);  // foreground window and keyboard focus
// A key press sent to target (null: the focus window). Modifiers are held for
// GetKeyState while the loop runs and released afterwards; Alt makes it a
// system key.
void PressKey(Host& host, HWND target, UINT vk, bool alt = false, bool ctrl = false, bool shift = false);
void TypeText(Host& host, HWND target, const std::wstring& text);  // WM_CHAR per character
// Mouse input at a client point of hwnd; the cursor is moved there first.
void Click(Host& host, HWND hwnd, POINT client);
void DoubleClick(Host& host, HWND hwnd, POINT client);
void RightClick(Host& host, HWND hwnd, POINT client);
// Drags with the left button from one client point to another in steps.
void Drag(Host& host, HWND hwnd, POINT from, POINT to, int steps = 4);
// The same in parts, for tests that act while the drag runs: the press that
// starts it, one pointer move, the release.
void StartDrag(Host& host, HWND hwnd, POINT from);
void DragMove(Host& host, HWND hwnd, POINT to);
void DragRelease(Host& host, HWND hwnd, POINT at);
// A shell drop of paths on target (the host main window accepts drops) at a
// screen point, which becomes the message's cursor point.
void DropFiles(Host& host, HWND target, POINT screen, const std::vector<std::wstring>& paths);

// Points inside a tree item's row: its label's middle, or at a height within the row.
POINT ItemCentre(HWND tree, HTREEITEM item);
POINT ItemPoint(HWND tree, HTREEITEM item, int yWithinRow);
RECT ItemRow(HWND tree, HTREEITEM item);
RECT ItemRect(HWND tree, HTREEITEM item, bool textOnly);

}  // namespace hostsim
