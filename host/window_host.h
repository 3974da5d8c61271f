// What a host main window asks of the host that owns it. The host implements
// this; a window sees nothing else of it.
#pragma once

#include <windows.h>

#include "host/requests.h"
#include "common/host_interface.h"

namespace hostsim {

struct HostOptions {
    UINT version = 6000;      // answer to HM_GET_VERSION
    UINT flushTimerMs = 0;    // idle flush interval; 0: only Flush() sends EV_FLUSH
    bool visible = true;
    // Host orders and habits other editors may have:
    // closing a bar destroys the bar's children before the save event;
    bool destroyBarClientBeforeSave = false;
    // the document path is written up to the capacity HM_GET_DOC_PATH announces;
    bool trustDocPathCapacity = false;
    // one loop for all windows offers every message through the first window's view;
    bool offerAllThroughFirstWindow = false;
    // docking a bar closes it again before the answer (its save and close
    // events, then the bar goes), giving the plug-in's window back to the
    // main window, hidden; the answer is still the bar's id;
    bool closeBarWhileDocking = false;
    // docking destroys the plug-in's window instead, and answers 0;
    bool destroyClientWhileDocking = false;
    // docking is refused with 0, the plug-in's window left where it is;
    bool refuseDocking = false;
    // a side outside 0-3 is refused: the bar is docked and closed at once,
    // the plug-in's window going with it; the answer is still the bar's id;
    bool refuseSideOutsideRange = false;
    // the host subclasses the docked window once its loop runs again, and
    // watches for the window's destruction (MainWindow::ClientSubclass).
    bool subclassDockedClient = false;
    // the main and bar windows ask for ANSI notices, as the windows of an
    // ANSI program do (WM_NOTIFYFORMAT answered NFR_ANSI).
    bool ansiNotices = false;
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

class MainWindow;

class WindowHost {
public:
    virtual const HostOptions& Options() const = 0;
    // The plug-in's entry points: all null while none is loaded.
    virtual const PluginExports& Exports() const = 0;
    virtual void SendEvent(MainWindow* window, UINT nEvent, LPARAM lParam) = 0;
    // A request of the plug-in, for the log.
    virtual void Record(Request request) = 0;
    // Host code that runs inside an answered request, before the answer returns.
    virtual void RunRequestHook(MainWindow& window, const Request& request) = 0;
    // Host code that runs once a notice of the docked window was reflected to it.
    virtual void RunNoticeHook(MainWindow& window, const NMHDR& notice) = 0;
    // Bar ids are unique across the host's windows.
    virtual UINT NewBarId() = 0;
    // The host's menu and a window's close box.
    virtual void NewWindow() = 0;
    virtual void CloseWindow(MainWindow& window) = 0;
    virtual void CloseAllWindows() = 0;  // posts each open window a close, as File > Exit does

protected:
    ~WindowHost() = default;
};

}  // namespace hostsim
