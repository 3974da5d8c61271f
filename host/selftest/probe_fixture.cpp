#include "host/selftest/probe_fixture.h"

const wchar_t* ProbePath() {
    static const std::wstring path = [] {
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring dir(exe);
        return dir.substr(0, dir.find_last_of(L'\\') + 1) + L"hostsim_probe.dll";
    }();
    return path.c_str();
}

hostsim::MainWindow* ProbeTest::Start(hostsim::HostOptions options) {
    host = std::make_unique<hostsim::Host>(options);
    hostsim::MainWindow* window = host->CreateMainWindow();
    EXPECT_TRUE(host->LoadPlugin(ProbePath(), window));
    return window;
}

HWND ProbeTest::OpenBar(hostsim::MainWindow* window, int side) {
    ProbeExport<PFN_ProbeSetBarPos>("ProbeSetBarPos")(side);
    window->Command();
    host->Pump();
    return window->BarClient();
}

std::vector<ProbeEntry> ProbeTest::Log() const {
    auto read = ProbeExport<PFN_ProbeLog>("ProbeLog");
    if (!read) return {};
    int count = 0;
    const ProbeEntry* entries = read(&count);
    return std::vector<ProbeEntry>(entries, entries + count);
}

std::vector<ProbeEntry> ProbeTest::Log(UINT kind) const {
    std::vector<ProbeEntry> out;
    for (const ProbeEntry& e : Log()) {
        if (e.kind == kind) out.push_back(e);
    }
    return out;
}

void ProbeTest::ClearLog() const {
    ProbeExport<PFN_ProbeClear>("ProbeClear")();
}

RECT ClientRectIn(HWND hwnd, HWND parent) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}
