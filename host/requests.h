// The plug-in's requests to a host main window: the host's answers, and the
// log that keeps what each request asked and got.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace hostsim {

class MainWindow;
class WindowHost;

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

// Every request of every window, in the order they arrived.
class RequestLog {
public:
    void Add(Request request) { m_requests.push_back(std::move(request)); }
    const std::vector<Request>& All() const { return m_requests; }
    std::vector<Request> Of(UINT msg) const;
    void Clear() { m_requests.clear(); }

private:
    std::vector<Request> m_requests;
};

// One line for the log pane in the host window's view.
std::wstring Describe(const Request& request);

// The messages of the plug-in interface a host main window answers.
bool IsPluginRequest(UINT msg);
// Answers one of them for window: the answer comes back to the plug-in after
// the request was logged and the host's request hook has run.
LRESULT AnswerRequest(MainWindow& window, WindowHost& host, UINT msg, WPARAM wParam, LPARAM lParam);
// A shell drop the plug-in left to the host: logged with its paths and point.
void RecordDrop(MainWindow& window, WindowHost& host, HDROP drop);

}  // namespace hostsim
