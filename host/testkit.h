// Helpers for tests that drive the plug-in in the stand-in host the way a
// person does: answers to message boxes, dialogs and menus shown in nested
// message loops, and keyboard, mouse and shell-drop input posted into the
// host's message loop.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/host.h"

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

// Input is posted into the thread's queue and then the host's loop is pumped,
// so it passes the plug-in's pre-translation like a person's input does.
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

// One tree item as a person sees it; depth 1 for top-level items.
struct TreeItem {
    std::wstring label;
    int image = -1;
    int depth = 0;
    bool expanded = false;
    HTREEITEM handle = nullptr;
};
std::vector<TreeItem> TreeSnapshot(HWND tree);  // in pre-order
HTREEITEM FindItem(HWND tree, const std::wstring& label);  // the first in pre-order, or null
HTREEITEM Selected(HWND tree);

// The process's GDI and USER object counts, for leak checks. Wine does not
// report them (GetGuiResources answers 0); there they are counted: every GDI
// handle, and the process's windows and menus.
DWORD GdiObjects();
DWORD UserObjects();

}  // namespace hostsim
