// The stand-in host: plays the editor's side of the plug-in interface. It
// loads the plug-in, keeps its main windows, sends the plug-in's events, logs
// its requests, and runs a message loop that offers every message to the
// plug-in before dispatching it. The windows and the answers to the
// plug-in's messages live in main_window.h and requests.h.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/main_window.h"
#include "host/requests.h"
#include "host/window_host.h"
#include "common/host_interface.h"

namespace hostsim {

// One event the host sent to the plug-in.
struct EventSent {
    HWND hwndView = nullptr;
    UINT nEvent = 0;
    LPARAM lParam = 0;
    BAR_EVENT_INFO info = {};   // a copy of the record, for bar events
};

class Host final : private WindowHost {
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
    // Runs after a notice of a docked window was reflected back to it: host
    // code that answers what the plug-in's window reports.
    using NoticeHook = std::function<void(MainWindow&, const NMHDR&)>;
    void OnNotice(NoticeHook hook) { m_noticeHook = std::move(hook); }
    void Flush();  // EV_FLUSH for each open main window
    void SendEvent(MainWindow* window, UINT nEvent, LPARAM lParam) override;
    LRESULT PlugInProc(MainWindow* window, UINT msg, WPARAM wParam, LPARAM lParam);

    bool PluginLoaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; }
    const PluginExports& Exports() const override { return m_exports; }
    const HostOptions& Options() const override { return m_options; }
    // Habits can change while the host runs; they count from the next request.
    HostOptions& ChangeOptions() { return m_options; }
    std::wstring PluginText(UINT id) const;

    const std::vector<Request>& Requests() const { return m_requests.All(); }
    std::vector<Request> RequestsOf(UINT msg) const { return m_requests.Of(msg); }
    void ClearRequests() { m_requests.Clear(); }
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
    // Frees the loaded module and removes the bars it left without a window.
    void ReleaseModule();
    // What the windows ask of their host.
    void Record(Request request) override { m_requests.Add(std::move(request)); }
    void RunRequestHook(MainWindow& window, const Request& request) override;
    void RunNoticeHook(MainWindow& window, const NMHDR& notice) override;
    UINT NewBarId() override { return m_nNextBarId++; }
    void NewWindow() override { CreateMainWindow(); }
    void CloseWindow(MainWindow& window) override { CloseMainWindow(&window); }
    void CloseAllWindows() override;

    void DispatchOne(MSG& msg);

    HostOptions m_options;
    HMODULE m_module = nullptr;
    PluginExports m_exports;
    std::vector<std::unique_ptr<MainWindow>> m_windows;
    // Closed windows, kept so callers up the stack (or a test) never hold a
    // dangling pointer when a window closes inside a nested message loop.
    std::vector<std::unique_ptr<MainWindow>> m_closed;
    RequestLog m_requests;
    std::vector<EventSent> m_events;
    UINT m_nNextBarId = 1;
    bool m_bRunning = false;
    RequestHook m_requestHook;
    NoticeHook m_noticeHook;
};

}  // namespace hostsim
