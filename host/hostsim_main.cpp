// hostsim.exe: the stand-in host for people. Loads the plug-in and runs an
// editor-like window; with options, a scripted headless run for the demo.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/screenshot.h"

namespace {

struct Options {
    std::wstring plugin;
    UINT version = 6000;
    bool openBar = false;
    bool exitAfter = false;
    int barPos = -1;
    std::wstring screenshot;
};

void Say(const std::wstring& line) {
    std::string utf8(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.back() = '\n';
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring ExeDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring StemOf(const std::wstring& path) {
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find(L'.'));
}

Options Parse(int argc, wchar_t** argv) {
    Options o;
    o.plugin = ExeDirectory() + L"Favorites.dll";
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--plugin" && hasValue) o.plugin = argv[++i];
        else if (arg == L"--version" && hasValue) o.version = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
        else if (arg == L"--bar-pos" && hasValue) o.barPos = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        else if (arg == L"--screenshot" && hasValue) o.screenshot = argv[++i];
        else if (arg == L"--open-bar") o.openBar = true;
        else if (arg == L"--exit") o.exitAfter = true;
    }
    return o;
}

void StoreBarPosition(const std::wstring& plugin, int pos) {
    const std::wstring key = std::wstring(PLUGIN_KEY_ROOT) + StemOf(plugin);
    const DWORD value = static_cast<DWORD>(pos);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"CustomBarPos", REG_DWORD, &value, sizeof(value));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const Options options = Parse(argc, argv);
    ::LocalFree(argv);

    hostsim::HostOptions hostOptions;
    hostOptions.version = options.version;
    hostOptions.flushTimerMs = 1000;
    hostsim::Host host(hostOptions);
    if (options.barPos >= 0) StoreBarPosition(options.plugin, options.barPos);
    hostsim::MainWindow* window = host.CreateMainWindow();
    if (!host.LoadPlugin(options.plugin, window)) {
        Say(L"cannot load the plug-in " + options.plugin);
        return 1;
    }
    Say(L"loaded " + options.plugin + L" into a host window (version " + std::to_wstring(options.version) + L")");
    if (options.openBar) {
        window->Command();
        Say(window->BarClient() ? L"opened the favourites bar on side " + std::to_wstring(window->BarPos())
                                : L"the favourites bar did not open");
    }
    host.Pump(800);
    if (!options.screenshot.empty()) {
        if (hostsim::SaveWindowBitmap(window->Main(), options.screenshot)) {
            Say(L"wrote a screenshot of the host window to " + options.screenshot);
        } else {
            Say(L"could not write the screenshot " + options.screenshot);
        }
    }
    if (options.exitAfter) {
        host.CloseMainWindow(window);
        host.UnloadPlugin();
        Say(L"closed the window and unloaded the plug-in");
        return 0;
    }
    return host.Run();
}
