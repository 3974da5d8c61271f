#include "host/requests.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "host/main_window.h"
#include "host/window_host.h"
#include "common/host_interface.h"

namespace hostsim {
namespace {

constexpr size_t kDocPathMaxChars = 259;  // the plug-in's buffer holds 260 with the NUL
constexpr int kDescriptionChars = 600;

std::wstring ReadMacroSlot() {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, HOST_MACRO_KEY, HOST_FIRST_MACRO_VALUE, RRF_RT_REG_SZ | RRF_NOEXPAND,
                       nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

// Shown in the window's log pane and kept in the host's log.
void Keep(MainWindow& window, WindowHost& host, const Request& request) {
    window.ShowInLog(Describe(request));
    host.Record(request);
}

// The path and the 7 OPEN_FILE_INFO fields; the opened file becomes the current document.
void AnswerOpenFile(MainWindow& window, Request& request) {
    const auto* info = reinterpret_cast<const OPEN_FILE_INFO*>(request.wParam);
    if (info) request.record = {info->cbSize, info->nValues[0], info->nValues[1], info->nValues[2],
                                info->nValues[3], info->nValues[4], info->nValues[5]};
    request.text = request.lParam ? reinterpret_cast<const wchar_t*>(request.lParam) : L"";
    window.SetCurrentDocument(request.text);
}

// The current document, cut to what the plug-in's buffer holds (or, for a
// host that trusts it, to the capacity the request announces).
void AnswerDocumentPath(const MainWindow& window, const HostOptions& options, Request& request) {
    auto* buffer = reinterpret_cast<wchar_t*>(request.lParam);
    if (!buffer) return;
    const std::wstring& document = window.CurrentDocument();
    const size_t capacity =
        options.trustDocPathCapacity && request.wParam > 0 ? request.wParam - 1 : kDocPathMaxChars;
    const size_t n = std::min(document.size(), capacity);
    std::copy_n(document.begin(), n, buffer);
    buffer[n] = L'\0';
    request.text.assign(buffer, n);
}

LRESULT AnswerOpenBar(MainWindow& window, Request& request) {
    const auto* info = reinterpret_cast<const BAR_OPEN_INFO*>(request.lParam);
    if (!info) return 0;
    request.record = {info->cbSize, info->nReserved, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->hwndClient)),
                      static_cast<UINT>(reinterpret_cast<UINT_PTR>(info->pszTitle)), static_cast<UINT>(info->nPos)};
    request.text = info->pszTitle ? info->pszTitle : L"";
    return window.DockBar(info);
}

}  // namespace

std::vector<Request> RequestLog::Of(UINT msg) const {
    std::vector<Request> out;
    std::copy_if(m_requests.begin(), m_requests.end(), std::back_inserter(out),
                 [msg](const Request& r) { return r.msg == msg; });
    return out;
}

std::wstring Describe(const Request& r) {
    wchar_t line[kDescriptionChars] = {};
    switch (r.msg) {
    case HM_GET_VERSION:
        std::swprintf(line, kDescriptionChars, L"get version -> %ld", static_cast<long>(r.result));
        break;
    case HM_OPEN_FILE:
        std::swprintf(line, kDescriptionChars, L"open file %ls", r.text.c_str());
        break;
    case HM_GET_DOC_PATH:
        std::swprintf(line, kDescriptionChars, L"current document -> %ls", r.text.c_str());
        break;
    case HM_EXEC_COMMAND:
        if (r.wParam == CMD_RUN_FIRST_MACRO) {
            std::swprintf(line, kDescriptionChars, L"run the first macro: %ls", r.text.c_str());
        } else {
            std::swprintf(line, kDescriptionChars, L"command %lu", static_cast<unsigned long>(r.wParam));
        }
        break;
    case HM_OPEN_CUSTOM_BAR:
        std::swprintf(line, kDescriptionChars, L"open custom bar \"%ls\" at side %u -> id %ld", r.text.c_str(),
                      r.record.size() > 4 ? r.record[4] : 0u, static_cast<long>(r.result));
        break;
    case HM_CLOSE_CUSTOM_BAR:
        std::swprintf(line, kDescriptionChars, L"close custom bar %lu", static_cast<unsigned long>(r.wParam));
        break;
    case WM_DROPFILES:
        std::swprintf(line, kDescriptionChars, L"files dropped on the editor: %ls", r.text.c_str());
        break;
    default:
        std::swprintf(line, kDescriptionChars, L"message %u", r.msg);
        break;
    }
    return line;
}

bool IsPluginRequest(UINT msg) {
    return msg == HM_EXEC_COMMAND || msg == HM_GET_VERSION || msg == HM_OPEN_FILE || msg == HM_GET_DOC_PATH ||
           msg == HM_OPEN_CUSTOM_BAR || msg == HM_CLOSE_CUSTOM_BAR;
}

LRESULT AnswerRequest(MainWindow& window, WindowHost& host, UINT msg, WPARAM wParam, LPARAM lParam) {
    Request request;
    request.hwndMain = window.Main();
    request.msg = msg;
    request.wParam = wParam;
    request.lParam = lParam;
    LRESULT result = 0;
    switch (msg) {
    case HM_GET_VERSION:
        result = static_cast<LRESULT>(host.Options().version);
        break;
    case HM_OPEN_FILE:
        AnswerOpenFile(window, request);
        break;
    case HM_GET_DOC_PATH:
        AnswerDocumentPath(window, host.Options(), request);
        break;
    case HM_EXEC_COMMAND:
        if (wParam == CMD_RUN_FIRST_MACRO) request.text = ReadMacroSlot();
        break;
    case HM_OPEN_CUSTOM_BAR:
        result = AnswerOpenBar(window, request);
        break;
    case HM_CLOSE_CUSTOM_BAR:
        // Logged before the bar's events run, so the log reads in order.
        Keep(window, host, request);
        if (window.BarContainer() && wParam == window.BarId()) window.CloseBar(0);
        return 0;
    default:
        break;
    }
    request.result = result;
    Keep(window, host, request);
    host.RunRequestHook(window, request);
    return result;
}

void RecordDrop(MainWindow& window, WindowHost& host, HDROP drop) {
    Request request;
    request.hwndMain = window.Main();
    request.msg = WM_DROPFILES;
    request.wParam = reinterpret_cast<WPARAM>(drop);
    POINT pt = {};
    ::DragQueryPoint(drop, &pt);
    request.record = {static_cast<UINT>(pt.x), static_cast<UINT>(pt.y)};
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t path[MAX_PATH] = {};
        ::DragQueryFileW(drop, i, path, MAX_PATH);
        if (i) request.text += L";";
        request.text += path;
    }
    ::DragFinish(drop);
    Keep(window, host, request);
}

}  // namespace hostsim
