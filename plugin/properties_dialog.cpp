// The properties dialog: the side of the host window the bar docks at.
#include "bar/frame.h"
#include "common/module.h"
#include "plugin/frame_registry.h"
#include "plugin/plugin_proc.h"
#include "res/resource.h"

namespace {

constexpr UINT kPositionStrings[] = {IDS_POS_LEFT, IDS_POS_TOP, IDS_POS_RIGHT, IDS_POS_BOTTOM};

void FillPositionList(HWND hwndCombo) {
    for (UINT id : kPositionStrings) {
        wchar_t text[kNameBufferChars] = {};
        ::LoadStringW(g_hInstance, id, text, kNameBufferChars);
        ::SendMessageW(hwndCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

void OnInitDialog(HWND hwndDlg) {
    CMyFrame* frame = GetFrameFromWindow(hwndDlg);
    HWND hwndCombo = ::GetDlgItem(hwndDlg, IDC_BAR_POS);
    FillPositionList(hwndCombo);
    if (frame) {
        ::SendMessageW(hwndCombo, CB_SETCURSEL, static_cast<WPARAM>(frame->BarPosition()), 0);
        frame->StartSideChoice();
    }
    wchar_t caption[kNameBufferChars] = {};
    ::LoadStringW(g_hInstance, IDS_NAME, caption, kNameBufferChars);
    ::SetWindowTextW(hwndDlg, caption);
}

void OnOK(HWND hwndDlg) {
    CMyFrame* frame = GetFrameFromWindow(hwndDlg);
    // A stored position outside the list leaves no selection.
    const LRESULT selection = ::SendDlgItemMessageW(hwndDlg, IDC_BAR_POS, CB_GETCURSEL, 0, 0);
    ::EndDialog(hwndDlg, IDOK);
    if (frame) frame->FinishSideChoice(selection == CB_ERR ? -1 : static_cast<int>(selection));
}

INT_PTR CALLBACK PropertiesDlgProc(HWND hwndDlg, UINT uMsg, WPARAM wParam, LPARAM) {
    switch (uMsg) {
    case WM_INITDIALOG:
        OnInitDialog(hwndDlg);
        return TRUE;
    case WM_COMMAND:
        if (wParam == IDOK) {
            OnOK(hwndDlg);
        } else if (wParam == IDCANCEL) {
            ::EndDialog(hwndDlg, IDCANCEL);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void ShowPropertiesDialog(HWND hwndOwner) {
    ::DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_PROPERTIES), hwndOwner, PropertiesDlgProc, 0);
}
