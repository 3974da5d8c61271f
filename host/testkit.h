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
    };
    struct MenuItem {
        UINT id = 0;
        std::wstring text;
        bool grayed = false;
        bool separator = false;
    };
    struct Menu {
        std::vector<MenuItem> items;
        RECT rect = {};
        bool IsGrayed(UINT id) const;
    };

    ModalResponder();
    ~ModalResponder();
    ModalResponder(const ModalResponder&) = delete;
    ModalResponder& operator=(const ModalResponder&) = delete;

    // Scripted answers, used in order. Without one a message box gets its
    // default button, a menu is dismissed and a dialog is cancelled.
    void AnswerBox(int buttonId) { m_boxAnswers.push_back(buttonId); }
    void ChooseMenuItem(UINT id) { m_menuAnswers.push_back(id); }
    void DismissMenu() { m_menuAnswers.push_back(0); }
    void HandleDialog(std::function<void(HWND)> handler) { m_dialogHandlers.push_back(std::move(handler)); }
    // Runs once when a modal window appears, before it is answered.
    void OnModal(std::function<void()> action) { m_onModal = std::move(action); }

    const std::vector<Box>& Boxes() const { return m_boxes; }
    const std::vector<Menu>& Menus() const { return m_menus; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Poll();
    void AnswerMessageBox(HWND box);
    void AnswerDialog(HWND dialog);
    void AnswerMenu(HWND menuWindow);

    UINT_PTR m_timer = 0;
    std::set<HWND> m_handled;
    std::deque<int> m_boxAnswers;
    std::deque<UINT> m_menuAnswers;
    std::deque<std::function<void(HWND)>> m_dialogHandlers;
    std::function<void()> m_onModal;
    std::vector<Box> m_boxes;
    std::vector<Menu> m_menus;
    bool m_bInPoll = false;
};

void Focus(HWND hwnd);
// Posts a key press to the focus window (or target) and pumps the host loop.
void PressKey(Host& host, HWND target, UINT vk, bool alt = false, bool ctrl = false, bool shift = false);
void TypeText(Host& host, HWND target, const std::wstring& text);
void Click(Host& host, HWND hwnd, POINT client);
void DoubleClick(Host& host, HWND hwnd, POINT client);
void RightClick(Host& host, HWND hwnd, POINT client);
// Drags with the left button from one client point to another in steps.
void Drag(Host& host, HWND hwnd, POINT from, POINT to, int steps = 4);
void DropFiles(Host& host, HWND target, POINT screen, const std::vector<std::wstring>& paths);

// Points inside a tree item's row: its label's middle, or at a height within the row.
POINT ItemCentre(HWND tree, HTREEITEM item);
POINT ItemPoint(HWND tree, HTREEITEM item, int yWithinRow);
RECT ItemRow(HWND tree, HTREEITEM item);

DWORD GdiObjects();
DWORD UserObjects();

}  // namespace hostsim
