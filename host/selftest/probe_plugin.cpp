// A minimal plug-in for the host's self-test: it docks a tree view in a
// custom bar, records every call it gets, and shows a message box, a popup
// menu or a dialog on request, so the host can be checked without the real
// plug-in.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <map>

#include "host/selftest/probe_log.h"
#include "common/host_interface.h"

namespace {

constexpr int kLogCapacity = 2048;
constexpr DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                             TVS_SHOWSELALWAYS;

struct Frame {
    HWND tree = nullptr;
    WNDPROC oldTreeProc = nullptr;
    UINT barId = 0;
};

HINSTANCE g_instance = nullptr;
ProbeEntry g_log[kLogCapacity];
int g_logCount = 0;
int g_barPos = BAR_POS_LEFT;
bool g_leaveTreeAtUnload = false;
std::map<HWND, Frame> g_frames;  // by host main window

ProbeEntry& Append(UINT kind, HWND hwnd, UINT code) {
    static ProbeEntry overflow;
    ProbeEntry& e = g_logCount < kLogCapacity ? g_log[g_logCount++] : overflow;
    e = ProbeEntry{};
    e.kind = kind;
    e.hwnd = hwnd;
    e.code = code;
    return e;
}

HWND MainOf(HWND hwnd) {
    return hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;
}

Frame* FrameOfTree(HWND tree) {
    for (auto& entry : g_frames) {
        if (entry.second.tree == tree) return &entry.second;
    }
    return nullptr;
}

LRESULT CALLBACK TreeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Frame* frame = FrameOfTree(hwnd);
    if (msg == WM_REFLECTED_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        ProbeEntry& e = Append(PROBE_REFLECTED, hwnd, static_cast<UINT>(header->code));
        e.lParam = reinterpret_cast<LPARAM>(header->hwndFrom);
        if (header->code == static_cast<UINT>(PROBE_ASK)) return PROBE_ANSWER;
    } else if (msg >= WM_APP || msg == WM_CHAR || msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
        ProbeEntry& e = Append(PROBE_TREE_MESSAGE, hwnd, msg);
        e.wParam = wParam;
    }
    WNDPROC old = frame ? frame->oldTreeProc : nullptr;
    return old ? ::CallWindowProcW(old, hwnd, msg, wParam, lParam) : ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void AddItems(HWND tree) {
    auto insert = [tree](HTREEITEM parent, const wchar_t* text) {
        TVINSERTSTRUCTW tvis = {};
        tvis.hParent = parent;
        tvis.hInsertAfter = TVI_LAST;
        tvis.item.mask = TVIF_TEXT;
        tvis.item.pszText = const_cast<wchar_t*>(text);
        return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tvis)));
    };
    insert(TVI_ROOT, L"Alpha");
    HTREEITEM beta = insert(TVI_ROOT, L"Beta");
    insert(beta, L"Gamma");
    insert(TVI_ROOT, L"Delta");
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(beta));
}

void OpenBar(HWND main, Frame& frame) {
    ::SendMessageW(main, HM_GET_VERSION, 0, 0);
    frame.tree = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr, kTreeStyle, 0, 0, 0, 0, main,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(100)), nullptr, nullptr);
    if (!frame.tree) return;
    AddItems(frame.tree);
    wchar_t title[] = L"Probe bar";
    BAR_OPEN_INFO info = {sizeof(BAR_OPEN_INFO), 0, frame.tree, title, g_barPos};
    frame.barId = static_cast<UINT>(::SendMessageW(main, HM_OPEN_CUSTOM_BAR, 0, reinterpret_cast<LPARAM>(&info)));
    frame.oldTreeProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(frame.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TreeProc)));
}

void ReleaseTree(Frame& frame, bool destroy) {
    if (!frame.tree) return;
    if (frame.oldTreeProc) {
        ::SetWindowLongPtrW(frame.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frame.oldTreeProc));
    }
    if (destroy) ::DestroyWindow(frame.tree);
    frame = Frame{};
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        for (const wchar_t* side : {L"Left", L"Top", L"Right", L"Bottom"}) {
            ::SendDlgItemMessageW(dialog, PROBE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(side));
        }
        ::SendDlgItemMessageW(dialog, PROBE_COMBO, CB_SETCURSEL, 0, 0);
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        ::EndDialog(dialog, PROBE_DIALOG_OK_BASE + ::SendDlgItemMessageW(dialog, PROBE_COMBO, CB_GETCURSEL, 0, 0));
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

LRESULT ShowPopupMenu(HWND owner) {
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, PROBE_MENU_OPEN, L"&Open");
    ::AppendMenuW(menu, MF_STRING | MF_GRAYED, PROBE_MENU_DELETE, L"&Delete");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, PROBE_MENU_RENAME, L"&Rename");
    POINT pt = {};
    ::GetCursorPos(&pt);
    const LRESULT chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
    ::DestroyMenu(menu);
    return chosen;
}

// Shows what the key asks for; false for any other key.
bool RunModalFor(UINT key, HWND focus) {
    const HWND main = MainOf(focus);
    LRESULT result = 0;
    if (key == PROBE_KEY_BOX) {
        result = ::MessageBoxW(main, L"Remove the probe item?", L"Probe", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    } else if (key == PROBE_KEY_MENU) {
        result = ShowPopupMenu(focus);
    } else if (key == PROBE_KEY_DIALOG) {
        result = ::DialogBoxParamW(g_instance, MAKEINTRESOURCEW(PROBE_DIALOG), main, &DialogProc, 0);
    } else {
        return false;
    }
    Append(PROBE_MODAL_RESULT, focus, key).result = result;
    return true;
}

// Files dropped where a docked tree view is are the probe's.
bool TakeDrop(const MSG& msg) {
    for (auto& entry : g_frames) {
        RECT rc = {};
        if (!entry.second.tree || !::GetWindowRect(entry.second.tree, &rc) || !::PtInRect(&rc, msg.pt)) continue;
        HDROP drop = reinterpret_cast<HDROP>(msg.wParam);
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            ProbeEntry& e = Append(PROBE_DROP, entry.second.tree, i);
            ::DragQueryFileW(drop, i, e.text, MAX_PATH);
            e.pt = msg.pt;
        }
        ::DragFinish(drop);
        return true;
    }
    return false;
}

bool IsLogged(UINT msg) {
    return msg >= WM_APP || (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || msg == WM_LBUTTONDOWN ||
           msg == WM_RBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_DROPFILES;
}

LRESULT Pretranslate(HWND view, MSG& msg) {
    if (IsLogged(msg.message)) {
        ProbeEntry& e = Append(PROBE_PRETRANSLATE, view, msg.message);
        e.wParam = msg.wParam;
        e.lParam = reinterpret_cast<LPARAM>(msg.hwnd);
        e.pt = msg.pt;
        e.result = (::GetKeyState(VK_MENU) < 0 ? PROBE_ALT : 0) | (::GetKeyState(VK_CONTROL) < 0 ? PROBE_CTRL : 0) |
                   (::GetKeyState(VK_SHIFT) < 0 ? PROBE_SHIFT : 0);
    }
    if (msg.message == PROBE_SWALLOWED) return 1;
    if (msg.message == WM_KEYDOWN && RunModalFor(static_cast<UINT>(msg.wParam), msg.hwnd)) return 1;
    if (msg.message == WM_DROPFILES && TakeDrop(msg)) return 1;
    return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

void WINAPI OnCommand(HWND view) {
    Append(PROBE_COMMAND, view, 0);
    const HWND main = ::GetParent(view);
    Frame& frame = g_frames[main];
    if (frame.tree) {
        ::SendMessageW(main, HM_CLOSE_CUSTOM_BAR, frame.barId, 0);
        Append(PROBE_CLOSE_RETURNED, view, 0);
        return;
    }
    OpenBar(main, frame);
}

BOOL WINAPI QueryStatus(HWND view, BOOL* checked) {
    const auto it = g_frames.find(::GetParent(view));
    if (checked) *checked = it != g_frames.end() && it->second.tree != nullptr;
    return TRUE;
}

void WINAPI OnEvents(HWND view, UINT nEvent, LPARAM lParam) {
    ProbeEntry& e = Append(PROBE_EVENT, view, nEvent);
    e.lParam = lParam;
    const HWND main = ::GetParent(view);
    if (nEvent & (EV_BAR_SAVE | EV_BAR_CLOSED)) {
        const auto* info = reinterpret_cast<const BAR_EVENT_INFO*>(lParam);
        e.info[0] = info->nBarID;
        e.info[1] = info->nUnused;
        e.info[2] = info->nFlags;
        auto it = g_frames.find(main);
        if ((nEvent & EV_BAR_CLOSED) && it != g_frames.end() && it->second.barId == info->nBarID) {
            ReleaseTree(it->second, true);
        }
    }
    if (nEvent & EV_WINDOW_DESTROY) {
        auto it = g_frames.find(main);
        if (it != g_frames.end()) {
            ReleaseTree(it->second, true);
            g_frames.erase(it);
        }
    }
    if (nEvent & EV_UNLOAD) {
        for (auto& entry : g_frames) ReleaseTree(entry.second, !g_leaveTreeAtUnload);
        g_frames.clear();
    }
}

UINT WINAPI GetMenuTextID() {
    return PROBE_MENU_TEXT_ID;
}

UINT WINAPI GetStatusMessageID() {
    return 2;
}

UINT WINAPI GetBitmapID() {
    return 0;
}

LRESULT WINAPI PlugInProc(HWND view, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == PP_PRETRANSLATE_MESSAGE) return Pretranslate(view, *reinterpret_cast<MSG*>(lParam));
    ProbeEntry& e = Append(PROBE_PROC, view, msg);
    e.wParam = wParam;
    if (msg != PP_SHOW_PROPERTIES) return 0;
    const INT_PTR result = ::DialogBoxParamW(g_instance, MAKEINTRESOURCEW(PROBE_DIALOG), view, &DialogProc, 0);
    Append(PROBE_MODAL_RESULT, view, msg).result = result;
    return 1;
}

const ProbeEntry* WINAPI ProbeLog(int* count) {
    *count = g_logCount;
    return g_log;
}

void WINAPI ProbeClear() {
    g_logCount = 0;
}

void WINAPI ProbeSetBarPos(int pos) {
    g_barPos = pos;
}

void WINAPI ProbeLeaveTreeAtUnload(BOOL leave) {
    g_leaveTreeAtUnload = leave != FALSE;
}

}  // extern "C"
