// The seven functions the host calls, and the module entry point.
#include <windows.h>

#include "bar/frame.h"
#include "common/module.h"
#include "plugin/frame_registry.h"
#include "plugin/plugin_proc.h"
#include "res/resource.h"

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) g_hInstance = hInstance;
    // A reserved pointer means the process is ending.
    if (dwReason == DLL_PROCESS_DETACH) ReleaseFramesAtDetach(pReserved != nullptr);
    return TRUE;
}

extern "C" {

void WINAPI OnCommand(HWND hwnd) {
    RunCommand(hwnd);
}

BOOL WINAPI QueryStatus(HWND hwnd, BOOL* pbChecked) {
    CMyFrame* frame = GetFrameFromWindow(hwnd);
    if (!frame) return FALSE;
    if (pbChecked) *pbChecked = frame->IsBarOpen() ? 1 : 0;
    return TRUE;
}

void WINAPI OnEvents(HWND hwnd, UINT nEvent, LPARAM lParam) {
    DispatchEvents(hwnd, nEvent, lParam);
}

UINT WINAPI GetMenuTextID() {
    return IDS_NAME;
}

UINT WINAPI GetStatusMessageID() {
    return IDS_STATUS;
}

UINT WINAPI GetBitmapID() {
    return IDB_TOOLBAR_16;
}

LRESULT WINAPI PlugInProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    return HandlePlugInMessage(hwnd, nMsg, wParam, lParam);
}

}  // extern "C"
