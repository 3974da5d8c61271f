// The contract between the favourites plug-in and its host editor: event bits,
// host messages and commands, plug-in procedure messages, and the records that
// travel with them. Shared by the plug-in and the stand-in host.
#pragma once

#include <windows.h>

// Event bits passed to OnEvents.
constexpr UINT EV_LOAD = 0x400;
constexpr UINT EV_UNLOAD = 0x800;
constexpr UINT EV_WINDOW_CREATED = 0x10000;
constexpr UINT EV_WINDOW_DESTROY = 0x20000;
constexpr UINT EV_FLUSH = 0x200000;
constexpr UINT EV_BAR_CLOSED = 0x400000;
constexpr UINT EV_BAR_SAVE = 0x800000;

// Messages the plug-in sends to the host main window.
constexpr UINT HM_EXEC_COMMAND = 2070;
constexpr UINT HM_GET_VERSION = 2088;
constexpr UINT HM_OPEN_FILE = 2096;
constexpr UINT HM_GET_DOC_PATH = 2106;
constexpr UINT HM_OPEN_CUSTOM_BAR = 2121;
constexpr UINT HM_CLOSE_CUSTOM_BAR = 2122;

// Host command numbers for HM_EXEC_COMMAND.
constexpr WPARAM CMD_RUN_FIRST_MACRO = 9216;
constexpr WPARAM CMD_AFTER_OPEN = 4409;

// wParam of HM_GET_DOC_PATH: the capacity of the buffer, in characters.
constexpr WPARAM HOST_DOC_PATH_PARAM = 280;

// Messages the host sends to PlugInProc.
constexpr UINT PP_QUERY_PROPERTIES = 2304;
constexpr UINT PP_SHOW_PROPERTIES = 2305;
constexpr UINT PP_GET_NAME_A = 2306;
constexpr UINT PP_GET_NAME_W = 2307;
constexpr UINT PP_GET_VERSION_A = 2308;
constexpr UINT PP_GET_VERSION_W = 2309;
constexpr UINT PP_QUERY_UNINSTALL = 2310;
constexpr UINT PP_UNINSTALL = 2311;
constexpr UINT PP_GET_BITMAP_ID = 2312;
constexpr UINT PP_GET_BITMAP_MODE = 2313;
constexpr UINT PP_QUERY_REQUIREMENT = 2314;
constexpr UINT PP_PRETRANSLATE_MESSAGE = 2315;

// Notifications reflected by the host's custom bar to its child window.
constexpr UINT WM_REFLECTED_NOTIFY = 0x2000 + WM_NOTIFY;  // 0x204E

// Custom bar sides (CustomBarPos).
constexpr int BAR_POS_LEFT = 0;
constexpr int BAR_POS_TOP = 1;
constexpr int BAR_POS_RIGHT = 2;
constexpr int BAR_POS_BOTTOM = 3;

// All record fields are 32 bits wide: the host is a 32-bit process.
struct BAR_OPEN_INFO {
    UINT cbSize;         // 20
    UINT nReserved;      // 0
    HWND hwndClient;     // the window shown in the bar
    LPCWSTR pszTitle;    // bar title
    int nPos;            // BAR_POS_*
};

struct OPEN_FILE_INFO {
    UINT cbSize;  // 28
    UINT nValues[6];
};

struct BAR_EVENT_INFO {
    UINT nBarID;
    UINT nUnused;
    UINT nFlags;  // bit 0: reopen the bar at start-up
};
constexpr UINT BAR_FLAG_OPEN_STARTUP = 1;

// Five 32-bit fields in the 32-bit plug-in; the 64-bit build used for tests
// on machines without 32-bit Wine widens the window and the title.
static_assert(sizeof(BAR_OPEN_INFO) == (sizeof(void*) == 4 ? 20 : 32), "BAR_OPEN_INFO is 20 bytes on the wire");
static_assert(sizeof(OPEN_FILE_INFO) == 28, "OPEN_FILE_INFO is 28 bytes on the wire");
static_assert(sizeof(BAR_EVENT_INFO) == 12, "BAR_EVENT_INFO is three 32-bit fields");

// The seven exports, as the host calls them.
using PFN_OnCommand = void(WINAPI*)(HWND);
using PFN_QueryStatus = BOOL(WINAPI*)(HWND, BOOL*);
using PFN_OnEvents = void(WINAPI*)(HWND, UINT, LPARAM);
using PFN_GetMenuTextID = UINT(WINAPI*)();
using PFN_GetStatusMessageID = UINT(WINAPI*)();
using PFN_GetBitmapID = UINT(WINAPI*)();
using PFN_PlugInProc = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

// The host's own registry key holding its macro slots.
constexpr const wchar_t* HOST_MACRO_KEY = L"Software\\Kalmet\\Zorvex v3\\Macros";
constexpr const wchar_t* HOST_FIRST_MACRO_VALUE = L"Macro0";
// Parent of every plug-in's own key.
constexpr const wchar_t* PLUGIN_KEY_ROOT = L"Software\\Kalmet\\ZorvexPlugIns\\";
