// A host main window: the editor's frame with its menu, its child view (which
// shows the request log) and the custom bar docked at one side of it.
#pragma once

#include <windows.h>

#include <string>

#include "host/window_host.h"
#include "common/host_interface.h"

namespace hostsim {

// Command ids of the host's menu ("File", "Plug-ins"), for tests that use it.
enum HostMenuId : UINT {
    ID_FILE_NEW_WINDOW = 100,
    ID_FILE_CLOSE,
    ID_FILE_EXIT,
    ID_PLUGIN_COMMAND,
    ID_PLUGIN_PROPERTIES,
    ID_PLUGIN_CLOSE_BAR,
};

// After it has closed, the object stays valid (its handles read null) until
// the host goes.
class MainWindow {
public:
    explicit MainWindow(WindowHost& host) : m_host(host) {}
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The window classes and the common controls, registered once per process.
    static void RegisterClasses();
    // Creates the frame, its view and log pane, offset from the screen's corner.
    void Create(const std::wstring& commandText, int offset);
    void SetCommandText(const std::wstring& text);  // the plug-in's item in the host's menu

    HWND Main() const { return m_hwndMain; }
    HWND View() const { return m_hwndView; }
    HWND LogPane() const { return m_hwndLog; }  // the list of requests shown in the view
    // The custom bar: null or 0 when there is none. The client reads null
    // once its owner has destroyed it, even while the bar is still docked.
    HWND BarContainer() const { return m_hwndBar; }
    HWND BarClient() const { return m_hwndBarClient; }
    UINT BarId() const { return m_nBarId; }
    int BarPos() const { return m_nBarPos; }
    const std::wstring& BarTitle() const { return m_strBarTitle; }
    const std::wstring& CurrentDocument() const { return m_strDocument; }
    void SetCurrentDocument(const std::wstring& path);
    void ShowInLog(const std::wstring& line);

    void Command();                   // the plug-in's command, as the host's menu runs it
    BOOL QueryStatus(BOOL* pbChecked);
    void UserCloseBar();              // the user closes the custom bar
    bool IsOpen() const { return m_hwndMain != nullptr; }

    // Docks the plug-in's window in a new bar; the bar's id, or 0. The
    // host's docking habits (HostOptions) apply here.
    LRESULT DockBar(const BAR_OPEN_INFO* info);
    // The bar's save and close events, then the bar goes.
    void CloseBar(UINT flags);
    // The bar goes without events (the plug-in has left or destroyed its window).
    void RemoveBar();

    // Closing, in the host's order: the bar closes to reopen at the next
    // start (false if the window is closing already), the host tells the
    // plug-in, then the window forgets its handles and hands the frame over
    // to be destroyed.
    bool BeginClose();
    HWND ReleaseFrame();

    // The host's own procedure on the last docked window it subclassed
    // (HostOptions::subclassDockedClient), and what it saw arrive.
    struct ClientSubclass {
        HWND hwnd = nullptr;
        int destroys = 0;    // WM_DESTROY
        int ncDestroys = 0;  // WM_NCDESTROY
    };
    const ClientSubclass& SubclassOfClient() const { return m_clientSubclass; }

private:
    static LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ViewProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK BarProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ClientProc(HWND, UINT, WPARAM, LPARAM);
    void SubclassClient(HWND client);
    LRESULT OnMainMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnBarMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void PaintView(HWND view);
    LRESULT ReflectNotify(WPARAM wParam, LPARAM lParam, HWND expectedParent);
    void Layout();
    void OnMenu(UINT id);
    void UpdateMenu(HMENU menu);

    WindowHost& m_host;
    HWND m_hwndMain = nullptr;
    HWND m_hwndView = nullptr;
    HWND m_hwndLog = nullptr;
    HWND m_hwndBar = nullptr;
    HWND m_hwndBarClient = nullptr;
    UINT m_nBarId = 0;
    int m_nBarPos = 0;
    std::wstring m_strBarTitle;
    std::wstring m_strDocument;
    bool m_bClosingBar = false;
    bool m_bClosing = false;
    bool m_bHandBackClient = false;  // the bar closing gives its window back
    ClientSubclass m_clientSubclass;
};

}  // namespace hostsim
