// Answers to the message boxes, dialogs and popup menus the plug-in shows in
// nested message loops: a thread timer finds each one as it appears, records
// what it shows and answers it as scripted.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace hostsim {

class ModalResponder {
public:
    struct Box {
        std::wstring text;
        std::wstring caption;
        HWND owner = nullptr;
        std::vector<int> buttons;
        int defaultButton = 0;
        UINT icon = 0;  // MB_ICONERROR, MB_ICONQUESTION, MB_ICONWARNING, MB_ICONINFORMATION or 0
    };
    struct Dialog {
        HWND hwnd = nullptr;  // gone once the dialog has closed
        std::wstring caption;
        HWND owner = nullptr;
    };
    struct MenuItem {
        UINT id = 0;
        std::wstring text;
        bool grayed = false;
        bool checked = false;
        bool separator = false;
    };
    struct Menu {
        std::vector<MenuItem> items;
        RECT rect = {};  // the popup's window, in screen coordinates
        bool IsGrayed(UINT id) const;
        bool IsEnabled(UINT id) const;  // in the menu and not greyed
        const MenuItem* Find(UINT id) const;
    };

    ModalResponder();
    ~ModalResponder();
    ModalResponder(const ModalResponder&) = delete;
    ModalResponder& operator=(const ModalResponder&) = delete;

    // Scripted answers, used in order. Without one a message box gets its
    // default button, a menu is dismissed and a dialog is cancelled. A menu
    // item is chosen by its mnemonic, or with the arrow keys if it has none.
    void AnswerBox(int buttonId) { m_boxAnswers.push_back(buttonId); }
    void ChooseMenuItem(UINT id) { m_menuAnswers.push_back(id); }
    void DismissMenu() { m_menuAnswers.push_back(0); }
    void HandleDialog(std::function<void(HWND)> handler) { m_dialogHandlers.push_back(std::move(handler)); }
    // Runs once when a modal window appears, before it is answered.
    void OnModal(std::function<void()> action) { m_onModal = std::move(action); }

    const std::vector<Box>& Boxes() const { return m_boxes; }
    const std::vector<Menu>& Menus() const { return m_menus; }
    const std::vector<Dialog>& Dialogs() const { return m_dialogs; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Poll();
    void AnswerMessageBox(HWND box);
    void AnswerDialog(HWND dialog);
    void AnswerMenu(HWND menuWindow);
    static bool ChooseItem(HWND menuWindow, const Menu& menu, UINT id);

    UINT_PTR m_timer = 0;
    std::set<HWND> m_handled;
    std::deque<int> m_boxAnswers;
    std::deque<UINT> m_menuAnswers;
    std::deque<std::function<void(HWND)>> m_dialogHandlers;
    std::function<void()> m_onModal;
    std::vector<Box> m_boxes;
    std::vector<Menu> m_menus;
    std::vector<Dialog> m_dialogs;
    bool m_bInPoll = false;
};

}  // namespace hostsim
