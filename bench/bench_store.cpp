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
#include "common/host_interface.h"
#include "common/module.h"
#include "host/host.h"
#include "plugin/frame_registry.h"
#include "res/resource.h"
#include "store/favorites_store.h"
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
    frame.m_subclass.Restore();
    TreeView tree = frame.Tree();
    const double ms = FastestMs(reps, [&] {
        tree.DeleteAllItems();
        frame.m_mapItems.ClearItems();
    }, [&] { LoadFavorites(tree, frame.m_mapItems, frame.m_keeper); });
    frame.ReleaseBar();
    host.CloseMainWindow(window);
    return ms;
}

// A top-level folder of 1,000 items first, then the other favourites.
std::vector<StoredRecord> MakeTreeWithBigFolder(int total, int folderItems) {
    std::vector<StoredRecord> records = {{L"Big", L"", 1, true, true}};
    for (StoredRecord r : MakeFavorites(folderItems - 1)) {
        r.depth = std::min(r.depth + 1, 4);
        records.push_back(r);
    }
    for (const StoredRecord& r : MakeFavorites(total - folderItems)) records.push_back(r);
    return records;
}

HTREEITEM LastTopLevel(HWND tree) {
    HTREEITEM last = TreeView_GetRoot(tree);
    for (HTREEITEM next = last; next; next = TreeView_GetNextSibling(tree, next)) last = next;
    return last;
}

// The bare control: read a subtree, delete it and insert its items again
// after the last top-level item.
void BareMove(HWND tree, HTREEITEM source) {
    struct Entry { std::wstring label; int image; int depth; };
    std::vector<Entry> entries;
    std::function<void(HTREEITEM, int)> collect = [&](HTREEITEM item, int depth) {
        wchar_t text[260];
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 260;
        ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        entries.push_back({text, tv.iImage, depth});
        for (HTREEITEM c = TreeView_GetChild(tree, item); c; c = TreeView_GetNextSibling(tree, c)) collect(c, depth + 1);
    };
    collect(source, 1);
    ::SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteItem(tree, source);
    HTREEITEM parents[102] = {};
    HTREEITEM after = LastTopLevel(tree);
    for (const Entry& e : entries) {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parents[e.depth - 1];
        insert.hInsertAfter = after;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<wchar_t*>(e.label.c_str());
        insert.item.iImage = insert.item.iSelectedImage = e.image;
        after = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        for (int d = e.depth; d <= 100; ++d) parents[d] = after;
    }
    ::SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
}

struct MoveFigures {
    double move, bareMove, remove, bareRemove;
};

// Moving the folder of 1,000 items to the end of a tree of 10,000 and then
// deleting it, with the plug-in's own operations against the bare control.
MoveFigures TimeMoveAndDelete(hostsim::Host& host, const std::wstring& keyPath, int reps) {
    const std::vector<StoredRecord> records = MakeTreeWithBigFolder(10000, 1000);
    const std::vector<BYTE> value = StoredValue(records);
    MoveFigures f = {};
    hostsim::MainWindow* window = host.CreateMainWindow();
    // A frame registered in this process, like the DLL's own, so its tree's
    // procedure finds it and the host's reflected notices reach it.
    DispatchEvents(window->View(), EV_LOAD, 0);
    DispatchEvents(window->View(), EV_WINDOW_CREATED, 0);
    CMyFrame& frame = *GetFrame(window->Main());
    std::vector<double> moves, removes, bareMoves, bareRemoves;
    for (int i = 0; i < reps; ++i) {
        WriteValue(keyPath, L"FavoriteArray", REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
        if (frame.IsBarOpen()) {
            frame.ReleaseBar();
            window->UserCloseBar();
        }
        frame.OnCommand(nullptr);
        HWND tree = frame.m_hwndTree;
        double start = NowMs();
        frame.MoveSubtree(TreeView_GetRoot(tree), LastTopLevel(tree), true, false);
        moves.push_back(NowMs() - start);
        HTREEITEM big = LastTopLevel(tree);
        // What DeleteItem does once its question is answered Yes.
        start = NowMs();
        if (!frame.m_bTreeReportsDeletions) frame.m_mapItems.RemoveItem(frame.Tree(), big);
        TreeView_DeleteItem(tree, big);
        removes.push_back(NowMs() - start);
        frame.ReleaseBar();
        window->UserCloseBar();  // the host removes its empty bar

        HWND bare = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr, 0x5600002F, 0, 0, 200, 400,
                                      window->Main(), nullptr, nullptr, nullptr);
        // Docked like the plug-in's tree, so the host reflects its
        // notifications too: the comparison is of the tree work alone.
        BAR_OPEN_INFO info = {sizeof(BAR_OPEN_INFO), 0, bare, L"bare", 0};
        ::SendMessageW(window->Main(), HM_OPEN_CUSTOM_BAR, 0, reinterpret_cast<LPARAM>(&info));
        HIMAGELIST images = ::ImageList_LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDB_TREE_IMAGES), 16, 0, RGB(255, 0, 255),
                                                   IMAGE_BITMAP, 0);
        TreeView_SetImageList(bare, images, TVSIL_NORMAL);
        BareInsert(bare, records);
        start = NowMs();
        BareMove(bare, TreeView_GetRoot(bare));
        bareMoves.push_back(NowMs() - start);
        big = LastTopLevel(bare);
        start = NowMs();
        TreeView_DeleteItem(bare, big);
        bareRemoves.push_back(NowMs() - start);
        window->UserCloseBar();
        if (::IsWindow(bare)) ::DestroyWindow(bare);
        ::ImageList_Destroy(images);
    }
    DispatchEvents(nullptr, EV_UNLOAD, 0);
    host.CloseMainWindow(window);
    f.move = *std::min_element(moves.begin(), moves.end());
    f.bareMove = *std::min_element(bareMoves.begin(), bareMoves.end());
    f.remove = *std::min_element(removes.begin(), removes.end());
    f.bareRemove = *std::min_element(bareRemoves.begin(), bareRemoves.end());
    return f;
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

    const MoveFigures m = TimeMoveAndDelete(*host, keyPath, 3);
    const double editRatio = (m.move + m.remove) / (m.bareMove + m.bareRemove);
    std::printf("\nfolder of 1,000 in 10,000: move %.1f ms (bare %.1f), delete %.1f ms (bare %.1f), ratio %.2f\n",
                m.move, m.bareMove, m.remove, m.bareRemove, editRatio);
    std::printf("target (move and delete <= 1.5 x bare): %s\n", editRatio <= 1.5 ? "met" : "NOT met");
    host.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    ::DeleteFileW(dll.c_str());
    return 0;
}
