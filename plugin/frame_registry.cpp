// The frame registry. g_frameLock guards g_frameMap itself and every entry in
// it: each read or change of the map, its creation at load and its release
// at unload, takes the lock. No frame runs under it: a frame's work may try
// the writers' lock, and nothing waits on another process under a lock every
// window's lookups take.
#include "plugin/frame_registry.h"

#include <map>
#include <vector>

#include "bar/frame.h"
#include "common/handles.h"
#include "store/writers_lock.h"

namespace {

struct WindowLess {
    bool operator()(HWND a, HWND b) const {
        return static_cast<UINT32>(reinterpret_cast<UINT_PTR>(a)) <
               static_cast<UINT32>(reinterpret_cast<UINT_PTR>(b));
    }
};
using FrameMap = std::map<HWND, std::unique_ptr<CMyFrame>, WindowLess>;

// Declared first, so it outlives the map in every order of teardown.
CriticalSection g_frameLock;
std::unique_ptr<FrameMap> g_frameMap;

// Callers hold g_frameLock.
CMyFrame* FindFrameLocked(HWND hwndMain) {
    if (!g_frameMap) return nullptr;
    auto it = g_frameMap->find(hwndMain);
    return it == g_frameMap->end() ? nullptr : it->second.get();
}

bool RegistryExists() {
    CriticalSectionLock lock(g_frameLock);
    return g_frameMap != nullptr;
}

void RegisterFrame(HWND hwnd, HWND key, UINT nEvent, LPARAM lParam) {
    std::unique_ptr<CMyFrame> frame = CreateFrame();
    frame->BindTo(key);
    CMyFrame* registered = frame.get();
    {
        CriticalSectionLock lock(g_frameLock);
        if (!g_frameMap) return;
        // The host never announces a window twice; if it does, the frame that
        // already serves the window stays and the new one is dropped.
        if (!g_frameMap->emplace(key, std::move(frame)).second) return;
    }
    registered->OnEvents(hwnd, nEvent, lParam);
}

// Takes the frame out of the registry; it is destroyed after the lock is
// released, releasing its tree view as it goes.
void RemoveFrame(HWND key, const CMyFrame* frame) {
    std::unique_ptr<CMyFrame> removed;
    CriticalSectionLock lock(g_frameLock);
    if (!g_frameMap) return;
    auto it = g_frameMap->find(key);
    if (it == g_frameMap->end() || it->second.get() != frame) return;
    removed = std::move(it->second);
    g_frameMap->erase(it);
}

// A frame whose bar is still open saves its edits while it is still
// registered (the tree's procedure finds it only then). One whose window
// goes while a load fills its tree stays until the load has returned
// (FinishFramesLeftAfterLoads).
void UnregisterFrame(HWND hwnd, HWND key, UINT nEvent, LPARAM lParam) {
    CMyFrame* frame = GetFrame(key);
    if (!frame) return;
    frame->OnEvents(hwnd, nEvent, lParam);
    if (GetFrame(key) != frame || frame->LeavesAfterLoad()) return;
    frame->SaveBeforeLeaving();
    RemoveFrame(key, frame);
}

// A frame whose window went during a load that has returned since; key: its
// window.
CMyFrame* NextFrameLeftAfterLoad(HWND& key) {
    CriticalSectionLock lock(g_frameLock);
    if (!g_frameMap) return nullptr;
    for (const auto& entry : *g_frameMap) {
        CMyFrame* frame = entry.second.get();
        if (!frame->LeavesAfterLoad() || frame->Loading()) continue;
        key = entry.first;
        return frame;
    }
    return nullptr;
}

void FinishFramesLeftAfterLoads() {
    HWND key = nullptr;
    while (CMyFrame* frame = NextFrameLeftAfterLoad(key)) {
        frame->SaveBeforeLeaving();
        RemoveFrame(key, frame);
    }
}

// Every frame saves while all are still registered, then all go.
void ReleaseAllFrames() {
    std::vector<HWND> keys;
    {
        CriticalSectionLock lock(g_frameLock);
        if (!g_frameMap) return;
        for (const auto& entry : *g_frameMap) keys.push_back(entry.first);
    }
    for (HWND key : keys) {
        if (CMyFrame* frame = GetFrame(key)) frame->SaveBeforeLeaving();
    }
    std::unique_ptr<FrameMap> frames;
    {
        CriticalSectionLock lock(g_frameLock);
        frames = std::move(g_frameMap);
    }
}

}  // namespace

CMyFrame* GetFrame(HWND hwndMain) {
    CriticalSectionLock lock(g_frameLock);
    return FindFrameLocked(hwndMain);
}

CMyFrame* GetFrameFromWindow(HWND hwnd) {
    return GetFrame(::GetAncestor(hwnd, GA_ROOTOWNER));
}

std::unique_ptr<CMyFrame> CreateFrame() {
    return std::make_unique<CMyFrame>();
}

void DispatchEvents(HWND hwnd, UINT nEvent, LPARAM lParam) {
    HWND key = nEvent == EV_UNLOAD ? nullptr : ::GetParent(hwnd);
    if (nEvent & EV_LOAD) {
        {
            CriticalSectionLock lock(g_frameLock);
            // A host that announces the load again keeps its windows: their
            // frames, open bars and unsaved edits stay.
            if (!g_frameMap) g_frameMap = std::make_unique<FrameMap>();
        }
        const UINT version = static_cast<UINT>(::SendMessageW(hwnd, HM_GET_VERSION, 0, 0));
        if (version >= 5000) return;
        // An older host announces no windows: the loading window gets its
        // frame at once, as if it had just been created.
        nEvent = EV_WINDOW_CREATED;
    }
    if (!RegistryExists()) return;
    if (nEvent & EV_WINDOW_CREATED) {
        RegisterFrame(hwnd, key, nEvent, lParam);
    } else if (nEvent & EV_WINDOW_DESTROY) {
        UnregisterFrame(hwnd, key, nEvent, lParam);
    } else if (nEvent & EV_UNLOAD) {
        ReleaseAllFrames();
        return;
    } else if (CMyFrame* frame = GetFrame(key)) {
        frame->OnEvents(hwnd, nEvent, lParam);
    }
    FinishFramesLeftAfterLoads();
}

void RunCommand(HWND hwnd) {
    if (CMyFrame* frame = GetFrameFromWindow(hwnd)) frame->OnCommand(hwnd);
    FinishFramesLeftAfterLoads();
}

void ReleaseFramesAtDetach(bool bProcessEnding) {
    // At process exit the windows go with the process: nothing is touched,
    // and the frames are left to it.
    if (bProcessEnding) {
        CriticalSectionLock lock(g_frameLock);
        (void)g_frameMap.release();
        return;
    }
    // Under the loader lock nothing waits on another process: what cannot
    // be saved at once goes into the history.
    favstore::NeverWaitForWriters();
    ReleaseAllFrames();
}
