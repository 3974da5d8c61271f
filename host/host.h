// The stand-in host: plays the editor's side of the plug-in interface. Main
// windows with a child view, the plug-in's events, answers to its messages,
// custom bars that dock its window, and a message loop that offers every
// message to the plug-in before dispatching it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/host_interface.h"

namespace hostsim {

struct HostOptions {
    UINT version = 6000;      // answer to HM_GET_VERSION
    UINT flushTimerMs = 0;    // idle flush interval; 0: only Flush() sends EV_FLUSH
    bool visible = true;
    // Host orders and habits other editors may have:
    // closing a bar destroys the bar's children before the save event;
    bool destroyBarClientBeforeSave = false;
    // the document path is written up to the capacity HM_GET_DOC_PATH announces.
    bool trustDocPathCapacity = false;
};

// One message the plug-in sent to a host main window, or (msg WM_DROPFILES)
// a shell drop that reached the main window because the plug-in left it.
struct Request {
    HWND hwndMain = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Open file: the path. Open bar: the title. Document path: what the host
    // wrote. Run the first macro: Macro0 at that moment. Drop: the paths, ';'-separated.
    std::wstring text;
    // Open file: the 7 OPEN_FILE_INFO fields. Open bar: the 5 BAR_OPEN_INFO
    // fields. Drop: the drop point in the main window's client area.
    std::vector<UINT> record;
    LRESULT result = 0;
};

// One event the host sent to the plug-in.
struct EventSent {
    HWND hwndView = nullptr;
    UINT nEvent = 0;
    LPARAM lParam = 0;
    BAR_EVENT_INFO info = {};   // a copy of the record, for bar events
};

// Command ids of the host's menu ("File", "Plug-ins"), for tests that use it.
enum HostMenuId : UINT {
    ID_FILE_NEW_WINDOW = 100,
    ID_FILE_CLOSE,
    ID_FILE_EXIT,
    ID_PLUGIN_COMMAND,
    ID_PLUGIN_PROPERTIES,
    ID_PLUGIN_CLOSE_BAR,
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

// A host main window with its child view. After it has closed, the object
// stays valid (its handles read null) until the Host goes.
class MainWindow {
public:
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

    void Command();                   // the plug-in's command, as the host's menu runs it
    BOOL QueryStatus(BOOL* pbChecked);
    void UserCloseBar();              // the user closes the custom bar
    bool IsOpen() const { return m_hwndMain != nullptr; }

private:
    friend class Host;
    MainWindow(Host& host) : m_host(host) {}
    static LRESULT CALLBACK MainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ViewProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK BarProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMainMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnBarMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnHostMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT ReflectNotify(WPARAM wParam, LPARAM lParam, HWND expectedParent);
    void RecordDrop(HDROP drop);
    LRESULT OpenBar(const BAR_OPEN_INFO* info);
    void CloseBar(UINT flags);
    void RemoveBarWindow();
    void Layout();
    void AddLogLine(const std::wstring& line);
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
    bool m_bClosingBar = false;
    bool m_bClosing = false;
};

class Host {
public:
    explicit Host(HostOptions options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Creates a main window; with the plug-in loaded, announces it.
    MainWindow* CreateMainWindow();
    // Loads the DLL and finds its seven exports by name, then sends EV_LOAD
    // to the loading window and, from version 5000 on, EV_WINDOW_CREATED for
    // every open window. False (and nothing sent) if anything is missing.
    bool LoadPlugin(const std::wstring& dllPath, MainWindow* loadingWindow);
    // What closing a main window does, also on WM_CLOSE: its bar closes with
    // the start-up flag set, EV_WINDOW_DESTROY, then the windows go.
    void CloseMainWindow(MainWindow* window);
    // EV_UNLOAD, then FreeLibrary. No bar events: what the plug-in leaves
    // docked stays; bars whose window the plug-in destroyed are removed.
    void UnloadPlugin();
    // FreeLibrary alone, as a host that frees the module early does.
    void FreeWithoutUnload();
    // Runs inside the plug-in's request, after the host has answered it and
    // before the answer returns: host code the plug-in cannot see.
    using RequestHook = std::function<void(MainWindow&, const Request&)>;
    void OnRequest(RequestHook hook) { m_requestHook = std::move(hook); }
    void Flush();  // EV_FLUSH for each open main window
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
    std::vector<EventSent> EventsOf(UINT nEvent) const;
    void ClearEvents() { m_events.clear(); }

    // Runs the host's message loop until the queue is empty, then ms more.
    // Every message is first offered to the plug-in (PP_PRETRANSLATE_MESSAGE).
    void Pump(DWORD ms = 0);
    // Runs the loop until the last window has closed.
    int Run();
    std::vector<MainWindow*> Windows() const;  // the open ones, oldest first
    // The open main window a window belongs to (itself, a descendant, or an
    // owned window such as a dialog), or null.
    MainWindow* WindowOf(HWND hwnd) const;

private:
    friend class MainWindow;
    void Record(Request request);
    void DispatchOne(MSG& msg);

    HostOptions m_options;
    HMODULE m_module = nullptr;
    PluginExports m_exports;
    std::vector<std::unique_ptr<MainWindow>> m_windows;
    // Closed windows, kept so callers up the stack (or a test) never hold a
    // dangling pointer when a window closes inside a nested message loop.
    std::vector<std::unique_ptr<MainWindow>> m_closed;
    std::vector<Request> m_requests;
    std::vector<EventSent> m_events;
    UINT m_nNextBarId = 1;
    bool m_bRunning = false;
    RequestHook m_requestHook;
};

}  // namespace hostsim
