// Measures loading and saving the favourites through the real plug-in in the
// stand-in host, against the bare cost of the same work done directly on a
// tree view in the same process, and prints the ratios.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bar/frame.h"
#include "host/host.h"
#include "plugin/host_interface.h"
#include "tests/win/stored_value.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double FastestMs(int reps, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        prepare();
        const double start = NowMs();
        work();
        times.push_back(NowMs() - start);
    }
    // The fastest run is the one least disturbed by the rest of the system.
    std::sort(times.begin(), times.end());
    return times.front();
}

// Folders and files mixed, nested up to depth 4, paths of about 60 characters.
std::vector<StoredRecord> MakeFavorites(int count) {
    std::vector<StoredRecord> records;
    unsigned seed = 7;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return (seed >> 16) & 0x7FFF; };
    int depth = 1;
    for (int i = 0; i < count; ++i) {
        const bool folder = depth < 4 && next() % 4 == 0;
        StoredRecord r;
        r.depth = depth;
        r.folder = folder;
        r.expanded = folder && next() % 2 == 0;
        if (folder) {
            r.label = L"Folder " + std::to_wstring(i);
        } else {
            r.label = L"file" + std::to_wstring(i) + L".txt";
            r.path = L"C:\\Users\\someone\\Documents\\projects\\src\\module" + std::to_wstring(i % 97) + L"\\" +
                     r.label;
        }
        records.push_back(r);
        if (folder) {
            ++depth;
        } else if (depth > 1 && next() % 6 == 0) {
            depth -= 1 + static_cast<int>(next() % static_cast<unsigned>(depth - 1));
        }
    }
    return records;
}

void WriteValue(const std::wstring& keyPath, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(key);
}

// The bare control: insert the items with redraw off.
void BareInsert(HWND tree, const std::vector<StoredRecord>& records) {
    ::SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    HTREEITEM parents[102] = {};
    HTREEITEM previous = nullptr;
    bool expandPrevious = false;
    for (const StoredRecord& r : records) {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parents[r.depth - 1];
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<wchar_t*>(r.label.c_str());
        insert.item.iImage = insert.item.iSelectedImage = r.folder ? 0 : 2;
        HTREEITEM item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        // Folders saved open are opened once their first child is in.
        if (expandPrevious && insert.hParent == previous) TreeView_Expand(tree, previous, TVE_EXPAND);
        expandPrevious = r.expanded;
        previous = item;
        for (int d = r.depth; d <= 100; ++d) parents[d] = item;
    }
    ::SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
}

// The bare control: read every item back in pre-order.
void BareWalk(HWND tree, HTREEITEM first, size_t& count) {
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        wchar_t text[260];
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 260;
        tv.stateMask = TVIS_EXPANDED;
        ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        ++count;
        BareWalk(tree, TreeView_GetChild(tree, item), count);
    }
}

// The plug-in's own LoadFavorites, from the same sources as the DLL, on a bar
// that a frame of this process opened in the host: only the load is timed.
double TimeLoadFavorites(hostsim::Host& host, int reps) {
    hostsim::MainWindow* window = host.CreateMainWindow();
    CMyFrame frame;
    frame.m_hWnd = window->Main();
    frame.OnCommand(nullptr);
    // This process registers no frames: give the tree its own procedure back.
    ::SetWindowLongPtrW(frame.m_hwndTree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frame.m_pfnOldTreeProc));
    frame.m_pfnOldTreeProc = nullptr;
    const double ms = FastestMs(reps, [&] {
        ::SendMessageW(frame.m_hwndTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        frame.ClearItems();
    }, [&] { frame.LoadFavorites(); });
    frame.DestroyBarWindows();
    host.CloseMainWindow(window);
    return ms;
}

struct Figures {
    double load, bareInsert, save, bareWalk;
};

}  // namespace

int wmain() {
    ::InitCommonControls();
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring stem = L"FavBench" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring dll = std::wstring(temp) + stem + L".dll";
    ::CopyFileW((dir + L"Favorites.dll").c_str(), dll.c_str(), FALSE);
    const std::wstring keyPath = std::wstring(PLUGIN_KEY_ROOT) + stem;

    g_hInstance = ::LoadLibraryW(dll.c_str());  // the frame's resources and key name
    auto host = std::make_unique<hostsim::Host>();
    hostsim::MainWindow* window = host->CreateMainWindow();
    if (!host->LoadPlugin(dll, window)) {
        std::printf("cannot load the plug-in\n");
        return 1;
    }
    const DWORD one = 1;
    WriteValue(keyPath, L"check", REG_DWORD, &one, sizeof(one));

    std::printf("%-8s %12s %12s %7s %12s %12s %7s\n", "items", "load ms", "bare ins ms", "ratio", "save ms",
                "bare walk ms", "ratio");
    bool met = true;
    for (int count : {1000, 10000}) {
        const std::vector<BYTE> value = StoredValue(MakeFavorites(count));
        const int reps = count > 5000 ? 7 : 31;
        auto closeBar = [&] { if (window->BarClient()) { window->Command(); host->Pump(); } };

        WriteValue(keyPath, L"FavoriteArray", REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
        window->Command();
        host->Pump();
        Figures f = {};
        f.load = TimeLoadFavorites(*host, reps);
        BAR_EVENT_INFO info = {window->BarId(), 0, 0};
        f.save = FastestMs(reps, [] {}, [&] {
            host->SendEvent(window, EV_BAR_SAVE, reinterpret_cast<LPARAM>(&info));
        });

        HWND tree = window->BarClient();
        f.bareWalk = FastestMs(reps, [] {}, [&] {
            size_t n = 0;
            BareWalk(tree, TreeView_GetRoot(tree), n);
            WriteValue(keyPath, L"BenchScratch", REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
        });
        const std::vector<StoredRecord> records = MakeFavorites(count);
        HWND bare = nullptr;
        f.bareInsert = FastestMs(reps, [&] {
            if (bare) ::DestroyWindow(bare);
            bare = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr, 0x5600002F, 0, 0, 200, 400,
                                     window->Main(), nullptr, nullptr, nullptr);
        }, [&] { BareInsert(bare, records); });
        ::DestroyWindow(bare);
        closeBar();

        const double loadRatio = f.load / f.bareInsert;
        const double saveRatio = f.save / f.bareWalk;
        std::printf("%-8d %12.1f %12.1f %7.2f %12.1f %12.1f %7.2f\n", count, f.load, f.bareInsert, loadRatio, f.save,
                    f.bareWalk, saveRatio);
        met = met && loadRatio <= 1.2 && saveRatio <= 1.2;
    }
    std::printf("targets (load <= 1.2 x bare insertion, save <= 1.2 x bare walk + write): %s\n",
                met ? "met" : "NOT met");
    host.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    ::DeleteFileW(dll.c_str());
    return 0;
}
