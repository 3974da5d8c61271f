// The stand-in host: plays the editor's side of the plug-in interface. Main
// windows with a child view, the plug-in's events, answers to its messages,
// custom bars that dock its window, and a message loop that offers every
// message to the plug-in before dispatching it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/host_interface.h"

namespace hostsim {

struct HostOptions {
    UINT version = 6000;      // answer to HM_GET_VERSION
    UINT flushTimerMs = 0;    // idle flush interval; 0: only Flush() sends EV_FLUSH
    bool visible = true;
};

// One message the plug-in sent to a host main window.
struct Request {
    HWND hwndMain = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::wstring text;          // open file: the path; open bar: the title; run macro: Macro0 at that moment
    std::vector<UINT> record;   // open file: OPEN_FILE_INFO; open bar: BAR_OPEN_INFO
    LRESULT result = 0;
};

// One event the host sent to the plug-in.
struct EventSent {
    HWND hwndView = nullptr;
    UINT nEvent = 0;
    BAR_EVENT_INFO info = {};   // for bar events
};

struct PluginExports {
    PFN_OnCommand OnCommand = nullptr;
    PFN_QueryStatus QueryStatus = nullptr;
    PFN_OnEvents OnEvents = nullptr;
    PFN_GetMenuTextID GetMenuTextID = nullptr;
    PFN_GetStatusMessageID GetStatusMessageID = nullptr;
    PFN_GetBitmapID GetBitmapID = nullptr;
    PFN_PlugInProc PlugInProc = nullptr;
};

class Host;

class MainWindow {
public:
    HWND Main() const { return m_hwndMain; }
    HWND View() const { return m_hwndView; }
    HWND BarContainer() const { return m_hwndBar; }
    HWND BarClient() const { return m_hwndBarClient; }
    UINT BarId() const { return m_nBarId; }
    int BarPos() const { return m_nBarPos; }
    const std::wstring& CurrentDocument() const { return m_strDocument; }
    void SetCurrentDocument(const std::wstring& path);

    void Command();                   // the plug-in's command, as the host's menu runs it
    BOOL QueryStatus(BOOL* pbChecked);
    void UserCloseBar();              // the user closes the custom bar

private:
    friend class Host;
    MainWindow(Host& host) : m_host(host) {}
    static LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ViewProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK BarProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMainMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnHostMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OpenBar(const BAR_OPEN_INFO* info);
    void CloseBar(UINT flags);
    void Layout();
    void Log(const std::wstring& line);
    void OnMenu(UINT id);
    void UpdateMenu(HMENU menu);

    Host& m_host;
    HWND m_hwndMain = nullptr;
    HWND m_hwndView = nullptr;
    HWND m_hwndLog = nullptr;
    HWND m_hwndBar = nullptr;
    HWND m_hwndBarClient = nullptr;
    UINT m_nBarId = 0;
    int m_nBarPos = 0;
    std::wstring m_strBarTitle;
    std::wstring m_strDocument;
    bool m_bClosing = false;
};

class Host {
public:
    explicit Host(HostOptions options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    MainWindow* CreateMainWindow();
    bool LoadPlugin(const std::wstring& dllPath, MainWindow* loadingWindow);
    void CloseMainWindow(MainWindow* window);
    void UnloadPlugin();
    void Flush();
    void SendEvent(MainWindow* window, UINT nEvent, LPARAM lParam);
    LRESULT PlugInProc(MainWindow* window, UINT msg, WPARAM wParam, LPARAM lParam);

    bool PluginLoaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; }
    const PluginExports& Exports() const { return m_exports; }
    const HostOptions& Options() const { return m_options; }
    std::wstring PluginText(UINT id) const;

    const std::vector<Request>& Requests() const { return m_requests; }
    std::vector<Request> RequestsOf(UINT msg) const;
    void ClearRequests() { m_requests.clear(); }
    const std::vector<EventSent>& Events() const { return m_events; }

    // Runs the host's message loop until the queue is empty, then ms more.
    void Pump(DWORD ms = 0);
    // Runs the loop until the last window has closed.
    int Run();
    std::vector<MainWindow*> Windows() const;
    MainWindow* WindowOf(HWND hwnd) const;

private:
    friend class MainWindow;
    void Record(Request request);
    void DispatchOne(MSG& msg);

    HostOptions m_options;
    HMODULE m_module = nullptr;
    PluginExports m_exports;
    std::vector<std::unique_ptr<MainWindow>> m_windows;
    std::vector<Request> m_requests;
    std::vector<EventSent> m_events;
    UINT m_nNextBarId = 1;
    bool m_bRunning = false;
};

}  // namespace hostsim
