// A stand-in host with the probe plug-in loaded, and what the probe recorded.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/selftest/probe_log.h"
#include "host/testkit.h"
#include "common/host_interface.h"

const wchar_t* ProbePath();  // hostsim_probe.dll next to the test program

class ProbeTest : public ::testing::Test {
protected:
    void TearDown() override { host.reset(); }

    // A host with one main window, the probe loaded into it.
    hostsim::MainWindow* Start(hostsim::HostOptions options = {});
    // Runs the probe's command so that it docks its tree at a side.
    HWND OpenBar(hostsim::MainWindow* window, int side = BAR_POS_LEFT);

    // What the probe recorded, while its module is loaded.
    std::vector<ProbeEntry> Log() const;
    std::vector<ProbeEntry> Log(UINT kind) const;
    void ClearLog() const;
    template <class Function>
    Function ProbeExport(const char* name) const {
        return reinterpret_cast<Function>(::GetProcAddress(::GetModuleHandleW(L"hostsim_probe.dll"), name));
    }

    std::unique_ptr<hostsim::Host> host;
};

RECT ClientRectIn(HWND hwnd, HWND parent);  // hwnd's window rect in parent's client coordinates
