#include "host/modal_responder.h"

#include <algorithm>
#include <cwctype>

#include "host/window_query.h"

namespace hostsim {
namespace {

ModalResponder* g_responder = nullptr;
constexpr UINT kPollMs = 20;
constexpr int kMessageBoxTextId = 0xFFFF;

wchar_t MnemonicOf(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&' && text[i + 1] != L'&') return static_cast<wchar_t>(std::towlower(text[i + 1]));
    }
    return 0;
}

// A message box holds its text in static 0xFFFF and has nothing but statics
// and buttons; a dialog may use that id for a label too.
bool IsMessageBox(HWND hwnd) {
    if (!::GetDlgItem(hwnd, kMessageBoxTextId)) return false;
    for (HWND child : Children(hwnd)) {
        const std::wstring cls = ClassOf(child);
        if (cls != L"Static" && cls != L"Button") return false;
    }
    return true;
}

// Message boxes show the system's shared icons: compare the handles.
UINT IconStyleOf(HWND box) {
    for (HWND child : Children(box)) {
        if (ClassOf(child) != L"Static" || (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        const HICON icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        const struct {
            LPCWSTR resource;
            UINT style;
        } kinds[] = {{IDI_HAND, MB_ICONERROR},
                     {IDI_QUESTION, MB_ICONQUESTION},
                     {IDI_EXCLAMATION, MB_ICONWARNING},
                     {IDI_ASTERISK, MB_ICONINFORMATION}};
        for (const auto& kind : kinds) {
            if (icon && icon == ::LoadIconW(nullptr, kind.resource)) return kind.style;
        }
    }
    return 0;
}

}  // namespace

bool ModalResponder::Menu::IsGrayed(UINT id) const {
    const MenuItem* item = Find(id);
    return item && item->grayed;
}

bool ModalResponder::Menu::IsEnabled(UINT id) const {
    const MenuItem* item = Find(id);
    return item && !item->grayed;
}

const ModalResponder::MenuItem* ModalResponder::Menu::Find(UINT id) const {
    for (const MenuItem& item : items) {
        if (item.id == id && !item.separator) return &item;
    }
    return nullptr;
}

ModalResponder::ModalResponder() {
    g_responder = this;
    m_timer = ::SetTimer(nullptr, 0, kPollMs, &ModalResponder::OnTimer);
}

ModalResponder::~ModalResponder() {
    ::KillTimer(nullptr, m_timer);
    if (g_responder == this) g_responder = nullptr;
}

void CALLBACK ModalResponder::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_responder && !g_responder->m_bInPoll) g_responder->Poll();
}

void ModalResponder::Poll() {
    m_bInPoll = true;
    std::set<HWND> alive;
    for (HWND hwnd : ThreadWindows()) {
        if (!::IsWindowVisible(hwnd)) continue;
        const std::wstring cls = ClassOf(hwnd);
        if (cls != L"#32770" && cls != L"#32768") continue;
        alive.insert(hwnd);
        if (m_handled.count(hwnd)) continue;
        m_handled.insert(hwnd);
        if (m_onModal) {
            auto action = std::move(m_onModal);
            m_onModal = nullptr;
            action();
            if (!::IsWindow(hwnd)) continue;
        }
        if (cls == L"#32768") {
            AnswerMenu(hwnd);
        } else if (IsMessageBox(hwnd)) {
            AnswerMessageBox(hwnd);
        } else {
            AnswerDialog(hwnd);
        }
    }
    // Window handles are reused: forget the ones that are gone.
    for (auto it = m_handled.begin(); it != m_handled.end();) {
        it = alive.count(*it) ? std::next(it) : m_handled.erase(it);
    }
    m_bInPoll = false;
}

void ModalResponder::AnswerMessageBox(HWND box) {
    Box seen;
    seen.text = TextOf(::GetDlgItem(box, kMessageBoxTextId));
    seen.caption = TextOf(box);
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.icon = IconStyleOf(box);
    for (HWND child : Children(box)) {
        if (ClassOf(child) != L"Button") continue;
        const int id = ::GetDlgCtrlID(child);
        seen.buttons.push_back(id);
        if ((::GetWindowLongW(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    m_boxes.push_back(seen);
    int answer = seen.defaultButton ? seen.defaultButton : (seen.buttons.empty() ? IDOK : seen.buttons.front());
    if (!m_boxAnswers.empty()) {
        answer = m_boxAnswers.front();
        m_boxAnswers.pop_front();
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
}

void ModalResponder::AnswerDialog(HWND dialog) {
    m_dialogs.push_back({dialog, TextOf(dialog), ::GetWindow(dialog, GW_OWNER)});
    if (m_dialogHandlers.empty()) {
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    auto handler = std::move(m_dialogHandlers.front());
    m_dialogHandlers.pop_front();
    handler(dialog);
}

void ModalResponder::AnswerMenu(HWND menuWindow) {
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    Menu seen;
    ::GetWindowRect(menuWindow, &seen.rect);
    const int count = menu ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 256;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        MenuItem item;
        item.id = info.wID;
        item.text = text;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        item.grayed = (info.fState & MFS_GRAYED) != 0;
        item.checked = (info.fState & MFS_CHECKED) != 0;
        seen.items.push_back(item);
    }
    m_menus.push_back(seen);
    UINT choice = 0;
    if (!m_menuAnswers.empty()) {
        choice = m_menuAnswers.front();
        m_menuAnswers.pop_front();
    }
    if (!choice || !ChooseItem(menuWindow, seen, choice)) ::EndMenu();
}

// The menu's own loop reads keys from the queue, whatever window they are
// for. A mnemonic that two items share would only select the first.
bool ModalResponder::ChooseItem(HWND menuWindow, const Menu& menu, UINT id) {
    const MenuItem* target = menu.Find(id);
    if (!target) return false;
    const wchar_t mnemonic = MnemonicOf(target->text);
    const auto sharing = std::count_if(menu.items.begin(), menu.items.end(),
                                       [mnemonic](const MenuItem& item) { return MnemonicOf(item.text) == mnemonic; });
    if (mnemonic && sharing == 1) {
        ::PostMessageW(menuWindow, WM_CHAR, mnemonic, 0);
        return true;
    }
    ::PostMessageW(menuWindow, WM_KEYDOWN, VK_HOME, 0);
    for (const MenuItem& item : menu.items) {
        if (&item == target) break;
        if (!item.separator) ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    }
    ::PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}

}  // namespace hostsim
