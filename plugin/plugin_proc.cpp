#include "plugin/plugin_proc.h"

#include "bar/frame.h"
#include "common/host_interface.h"
#include "common/module.h"
#include "plugin/frame_registry.h"
#include "plugin/plugin_queries.h"
#include "res/resource.h"
#include "store/bounded_copy.h"

namespace {

// Loads a string and copies it into the caller's buffer of wParam characters;
// the answer is always the capacity the whole text needs.
template <class Char>
LRESULT AnswerTextQuery(UINT nId, WPARAM nCapacity, LPARAM lParam) {
    Char text[kNameBufferChars] = {};
    int n;
    if constexpr (sizeof(Char) == 1) {
        n = ::LoadStringA(g_hInstance, nId, reinterpret_cast<char*>(text), kNameBufferChars);
    } else {
        n = ::LoadStringW(g_hInstance, nId, reinterpret_cast<wchar_t*>(text), kNameBufferChars);
    }
    if (lParam != 0 && nCapacity != 0) {
        bounded::Copy(reinterpret_cast<Char*>(lParam), nCapacity, text);
    }
    return n + 1;
}

LRESULT ConfirmUninstall(HWND hwnd) {
    wchar_t text[kNameBufferChars] = {};
    wchar_t caption[kNameBufferChars] = {};
    ::LoadStringW(g_hInstance, IDS_UNINSTALL_CONFIRM, text, kNameBufferChars);
    ::LoadStringW(g_hInstance, IDS_NAME, caption, kNameBufferChars);
    return ::MessageBoxW(hwnd, text, caption, MB_YESNO | MB_ICONWARNING) == IDYES ? 1 : 0;
}

LRESULT HandleFrameMessage(CMyFrame& frame, HWND hwnd, UINT nMsg, LPARAM lParam) {
    switch (nMsg) {
    case PP_QUERY_PROPERTIES:
    case PP_QUERY_UNINSTALL:
        return 1;
    case PP_SHOW_PROPERTIES:
        ShowPropertiesDialog(hwnd);
        return 1;
    case PP_UNINSTALL:
        return ConfirmUninstall(hwnd);
    case PP_PRETRANSLATE_MESSAGE:
        return frame.PreTranslateMessage(reinterpret_cast<MSG*>(lParam)) ? 1 : 0;
    default:
        return 0;
    }
}

}  // namespace

LRESULT HandlePlugInMessage(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case PP_GET_NAME_A:
        return AnswerTextQuery<char>(IDS_NAME, wParam, lParam);
    case PP_GET_NAME_W:
        return AnswerTextQuery<wchar_t>(IDS_NAME, wParam, lParam);
    case PP_GET_VERSION_A:
        return AnswerTextQuery<char>(IDS_VERSION, wParam, lParam);
    case PP_GET_VERSION_W:
        return AnswerTextQuery<wchar_t>(IDS_VERSION, wParam, lParam);
    case PP_GET_BITMAP_ID:
        return static_cast<LRESULT>(queries::BitmapIdFor(wParam));
    case PP_GET_BITMAP_MODE:
        return queries::BitmapModeFor(wParam);
    case PP_QUERY_REQUIREMENT:
        return queries::RequirementFor(wParam);
    default:
        break;
    }
    CMyFrame* frame = GetFrame(::GetAncestor(::GetParent(hwnd), GA_ROOTOWNER));
    return frame ? HandleFrameMessage(*frame, hwnd, nMsg, lParam) : 0;
}
