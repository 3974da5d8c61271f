// hostsim.exe: the stand-in host for people. Loads the plug-in into an
// editor-like window; with options, a scripted run that needs no one at the
// screen (the demo uses it).
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "host/demo_favorites.h"
#include "host/host.h"
#include "host/screenshot.h"
#include "host/testkit.h"

namespace {

constexpr DWORD kSettleMs = 1000;  // lets the windows paint before a screenshot

struct Options {
    std::wstring plugin;
    UINT version = 6000;
    int barPos = -1;
    bool openBar = false;
    bool seedDemo = false;
    bool exitAfter = false;
    bool contextMenu = false;
    std::wstring screenshot;
    std::wstring error;
};

constexpr wchar_t kUsage[] =
    L"usage: hostsim.exe [--plugin <dll>] [--version N] [--bar-pos 0-3] [--seed-demo] [--open-bar]\n"
    L"                   [--context-menu] [--screenshot <file.bmp>] [--exit]";

// A GUI program has no console; under Wine its standard output is the shell's.
void Say(const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                            nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring ExeDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring exe(path);
    return exe.substr(0, exe.find_last_of(L'\\') + 1);
}

Options Parse(int argc, wchar_t** argv) {
    Options o;
    o.plugin = ExeDirectory() + L"Favorites.dll";
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--plugin" && hasValue) {
            o.plugin = argv[++i];
        } else if (arg == L"--version" && hasValue) {
            o.version = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg == L"--bar-pos" && hasValue) {
            o.barPos = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        } else if (arg == L"--screenshot" && hasValue) {
            o.screenshot = argv[++i];
        } else if (arg == L"--open-bar") {
            o.openBar = true;
        } else if (arg == L"--context-menu") {
            o.contextMenu = true;
        } else if (arg == L"--seed-demo") {
            o.seedDemo = true;
        } else if (arg == L"--exit") {
            o.exitAfter = true;
        } else {
            o.error = L"unknown or incomplete option " + arg;
        }
    }
    return o;
}

void StoreBarPosition(const std::wstring& plugin, int pos) {
    const std::wstring key = hostsim::PluginKeyPath(plugin);
    const DWORD value = static_cast<DWORD>(pos);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"CustomBarPos", REG_DWORD, &value, sizeof(value));
    Say(L"stored bar side " + std::to_wstring(pos) + L" under HKCU\\" + key);
}

// The bar may already be open: a window closed with its bar open reopens it.
void EnsureBarOpen(hostsim::MainWindow* window) {
    BOOL checked = FALSE;
    if (!window->QueryStatus(&checked) || !checked) window->Command();
    if (window->BarClient()) {
        Say(L"the favourites bar is open on side " + std::to_wstring(window->BarPos()));
    } else {
        Say(L"the favourites bar did not open");
    }
}

void TakeScreenshot(hostsim::Host& host, hostsim::MainWindow* window, const std::wstring& path) {
    host.Pump(kSettleMs);
    if (hostsim::SaveWindowBitmap(window->Main(), path)) {
        Say(L"wrote a screenshot of the host window to " + path);
    } else {
        Say(L"could not write the screenshot " + path);
    }
}

// The context menu runs its own message loop: the screenshot is taken from a
// timer inside that loop, then the menu is dismissed.
HWND g_shotWindow = nullptr;
std::wstring g_shotPath;

void CALLBACK ShootOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    if (hostsim::SaveWindowBitmap(g_shotWindow, g_shotPath)) {
        Say(L"wrote a screenshot with the context menu open to " + g_shotPath);
    } else {
        Say(L"could not write the screenshot " + g_shotPath);
    }
    ::EndMenu();
}

// Shows the bar's context menu for its second item, as the menu key does.
void ShowContextMenuShot(hostsim::Host& host, hostsim::MainWindow* window, const std::wstring& path) {
    HWND tree = window->BarClient();
    if (!tree) return;
    host.Pump(kSettleMs);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    HTREEITEM child = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    if (child) item = child;
    ::SetFocus(tree);
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    g_shotWindow = window->Main();
    g_shotPath = path;
    ::SetTimer(nullptr, 0, kSettleMs, &ShootOpenMenu);
    ::PostMessageW(tree, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), MAKELPARAM(0xFFFF, 0xFFFF));
    host.Pump(kSettleMs * 2);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const Options options = Parse(argc, argv);
    ::LocalFree(argv);
    if (!options.error.empty()) {
        Say(options.error);
        Say(kUsage);
        return 2;
    }

    if (options.barPos >= 0) StoreBarPosition(options.plugin, options.barPos);
    if (options.seedDemo) {
        const bool seeded = hostsim::SeedDemoFavorites(options.plugin);
        Say(seeded ? L"stored the sample favourites under HKCU\\" + hostsim::PluginKeyPath(options.plugin)
                   : L"could not store the sample favourites");
    }
    hostsim::HostOptions hostOptions;
    hostOptions.version = options.version;
    hostOptions.flushTimerMs = 1000;
    hostsim::Host host(hostOptions);
    hostsim::MainWindow* window = host.CreateMainWindow();
    if (!host.LoadPlugin(options.plugin, window)) {
        Say(L"cannot load the plug-in " + options.plugin);
        return 1;
    }
    Say(L"loaded " + options.plugin + L" into a host window (host version " + std::to_wstring(options.version) +
        L")");
    if (options.openBar) EnsureBarOpen(window);
    if (!options.screenshot.empty()) {
        if (options.contextMenu) {
            ShowContextMenuShot(host, window, options.screenshot);
        } else {
            TakeScreenshot(host, window, options.screenshot);
        }
    }
    if (!options.exitAfter) return host.Run();

    host.CloseMainWindow(window);
    host.UnloadPlugin();
    Say(L"closed the window and unloaded the plug-in");
    return 0;
}
