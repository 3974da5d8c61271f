// What the probe plug-in records of every call it gets, read by the host's
// self-test through the probe's extra exports.
#pragma once

#include <windows.h>

enum ProbeKind : UINT {
    PROBE_COMMAND = 1,     // OnCommand
    PROBE_EVENT,           // OnEvents: code = event bits, info = BAR_EVENT_INFO
    PROBE_PROC,            // PlugInProc other than pre-translation: code = message
    PROBE_PRETRANSLATE,    // a queued message offered before dispatch (input and WM_APP only)
    PROBE_TREE_MESSAGE,    // a message that reached the docked tree view (WM_APP, WM_CHAR, keys)
    PROBE_REFLECTED,       // 0x204E at the tree view: code = notification code
    PROBE_MODAL_RESULT,    // what a message box, menu or dialog returned: code = the key that asked
    PROBE_DROP,            // one dropped file the probe took: text = path, pt = drop point
    PROBE_CLOSE_RETURNED,  // HM_CLOSE_CUSTOM_BAR came back
};

// Modifier bits in ProbeEntry::result of PROBE_PRETRANSLATE.
constexpr LRESULT PROBE_ALT = 1, PROBE_CTRL = 2, PROBE_SHIFT = 4;

struct ProbeEntry {
    UINT kind;
    HWND hwnd;       // the window the call was given (pre-translation: the view)
    UINT code;
    WPARAM wParam;
    LPARAM lParam;   // pre-translation: the message's own window
    UINT info[3];
    POINT pt;
    LRESULT result;
    wchar_t text[MAX_PATH];
};

// Pre-translation swallows this message; the tree view never sees it.
constexpr UINT PROBE_SWALLOWED = WM_APP + 1;
// A notification code the tree view answers with PROBE_ANSWER when reflected.
constexpr int PROBE_ASK = -7777;
constexpr LRESULT PROBE_ANSWER = 0x5150;
// Keys that make the probe show a message box, a popup menu or its dialog.
constexpr UINT PROBE_KEY_BOX = VK_F9;
constexpr UINT PROBE_KEY_MENU = VK_F10;
constexpr UINT PROBE_KEY_DIALOG = VK_F11;
// The probe's popup menu and dialog.
constexpr UINT PROBE_MENU_OPEN = 101, PROBE_MENU_DELETE = 102, PROBE_MENU_RENAME = 103;
constexpr int PROBE_DIALOG = 200, PROBE_COMBO = 1024;
constexpr INT_PTR PROBE_DIALOG_OK_BASE = 100;  // OK ends the dialog with this plus the selection
constexpr UINT PROBE_MENU_TEXT_ID = 1;

using PFN_ProbeLog = const ProbeEntry*(WINAPI*)(int* count);
using PFN_ProbeClear = void(WINAPI*)();
using PFN_ProbeSetBarPos = void(WINAPI*)(int pos);
using PFN_ProbeLeaveTreeAtUnload = void(WINAPI*)(BOOL leave);
