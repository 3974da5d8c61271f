// Measures loading, saving and moving favourites through the plug-in's own
// code in the stand-in host, against the bare work of the same kind done on a
// tree view docked the same way, in the same process.
//
// Timings come in interleaved pairs (plug-in, bare, plug-in, bare, ...), each
// step timed on one side and at once on the other, so a disturbance of the
// machine mostly falls on both halves of a pair; the figure is the median of
// the per-pair ratios, with their range. Beside them stands a figure that does
// not depend on timing at all: the messages per favourite that the code sends
// the tree window, and all that arrive there, counted by hooks in one untimed
// round.
//
//   favorites_bench [--pairs N] [--detail]
//     --pairs N   timed pairs per figure (at least 15; 21 by default)
//     --detail    the messages of each figure, one line per kind
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bar/frame.h"
#include "common/host_interface.h"
#include "common/module.h"
#include "host/host.h"
#include "plugin/frame_registry.h"
#include "res/resource.h"
#include "store/favorites_store.h"
#include "store/settings.h"
#include "tests/win/stored_value.h"

namespace {

constexpr int kMinimumPairs = 15;
constexpr double kLoadSaveTarget = 1.15;
constexpr double kMoveTarget = 1.3;
constexpr int kMoveTreeItems = 10000;
constexpr int kMoveFolderItems = 1000;
constexpr DWORD kTreeStyle = 0x5600002F;  // the bar's own tree view style
constexpr wchar_t kScratchValue[] = L"BenchScratch";

double NowMs() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double TimeMs(const std::function<void()>& work) {
    const double start = NowMs();
    work();
    return NowMs() - start;
}

// ---------------------------------------------------------------------------
// Interleaved pairs and their summary.

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Pairs {
    std::vector<double> plugin;
    std::vector<double> bare;
    void Add(double pluginMs, double bareMs) {
        plugin.push_back(pluginMs);
        bare.push_back(bareMs);
    }
};

struct PairSummary {
    double ratio = 0, ratioMin = 0, ratioMax = 0;  // over the per-pair ratios
    double pluginMs = 0, bareMs = 0;               // medians of the times
};

PairSummary Summarize(const Pairs& pairs) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pairs.plugin.size(); ++i) ratios.push_back(pairs.plugin[i] / pairs.bare[i]);
    PairSummary s;
    s.ratio = Median(ratios);
    s.ratioMin = *std::min_element(ratios.begin(), ratios.end());
    s.ratioMax = *std::max_element(ratios.begin(), ratios.end());
    s.pluginMs = Median(pairs.plugin);
    s.bareMs = Median(pairs.bare);
    return s;
}

// ---------------------------------------------------------------------------
// Messages that arrive at the tree window.

// A kind of message: the message and, where it tells the kind apart, a detail
// (the notification code of a reflected notification, the code of a
// navigation or expansion).
using MessageKind = std::pair<UINT, UINT>;

struct MessageTally {
    std::map<MessageKind, size_t> byKind;  // every message that arrived
    size_t total = 0;                      // every message that arrived
    // Those sent while the tree was not handling another message: what the
    // code under test sent it, without the tree's own notices coming back as
    // reflections and what the system sends it while it works.
    size_t sent = 0;
};

// Counts what is sent to one window of this thread, whoever sends it, as it
// arrives: a WH_CALLWNDPROC hook sees each SendMessage to the window once, and
// not the calls a subclassing procedure makes down its chain. A
// WH_CALLWNDPROCRET hook tells when the window is done with a message, so
// that what arrives while it handles another one is known as such.
class MessageCounter {
public:
    MessageCounter(HWND hwnd, MessageTally& tally) : m_hwnd(hwnd), m_tally(tally) {
        s_active = this;
        const DWORD thread = ::GetCurrentThreadId();
        m_callHook = ::SetWindowsHookExW(WH_CALLWNDPROC, &MessageCounter::OnCall, nullptr, thread);
        m_returnHook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &MessageCounter::OnReturn, nullptr, thread);
    }
    ~MessageCounter() {
        if (m_callHook) ::UnhookWindowsHookEx(m_callHook);
        if (m_returnHook) ::UnhookWindowsHookEx(m_returnHook);
        s_active = nullptr;
    }
    MessageCounter(const MessageCounter&) = delete;
    MessageCounter& operator=(const MessageCounter&) = delete;

private:
    static UINT DetailOf(const CWPSTRUCT& sent) {
        if (sent.message == WM_REFLECTED_NOTIFY && sent.lParam) return reinterpret_cast<const NMHDR*>(sent.lParam)->code;
        if (sent.message == TVM_GETNEXTITEM || sent.message == TVM_EXPAND) return static_cast<UINT>(sent.wParam);
        return 0;
    }

    static LRESULT CALLBACK OnCall(int code, WPARAM wParam, LPARAM lParam) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && s_active && sent->hwnd == s_active->m_hwnd) {
            MessageTally& tally = s_active->m_tally;
            ++tally.byKind[{sent->message, DetailOf(*sent)}];
            ++tally.total;
            if (s_active->m_depth++ == 0) ++tally.sent;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static LRESULT CALLBACK OnReturn(int code, WPARAM wParam, LPARAM lParam) {
        const auto* returned = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && s_active && returned->hwnd == s_active->m_hwnd && s_active->m_depth > 0) {
            --s_active->m_depth;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static MessageCounter* s_active;
    HWND m_hwnd;
    MessageTally& m_tally;
    HHOOK m_callHook = nullptr;
    HHOOK m_returnHook = nullptr;
    int m_depth = 0;  // messages the window is handling, nested
};
MessageCounter* MessageCounter::s_active = nullptr;

// Times the work on a tree; when a tally is given, its messages are counted
// too (and the time, which the hook inflates, is not used).
double Measure(HWND tree, MessageTally* tally, const std::function<void()>& work) {
    if (!tally) return TimeMs(work);
    MessageCounter counter(tree, *tally);
    return TimeMs(work);
}

std::string KindName(const MessageKind& kind) {
    struct Name { UINT message; UINT detail; const char* text; };
    static const Name kNames[] = {
        {TVM_INSERTITEMW, 0, "TVM_INSERTITEM"},
        {TVM_GETITEMW, 0, "TVM_GETITEM"},
        {TVM_DELETEITEM, 0, "TVM_DELETEITEM"},
        {TVM_SELECTITEM, 0, "TVM_SELECTITEM"},
        {TVM_GETEDITCONTROL, 0, "TVM_GETEDITCONTROL"},
        {WM_SETREDRAW, 0, "WM_SETREDRAW"},
        {WM_SIZE, 0, "WM_SIZE"},
        {WM_ERASEBKGND, 0, "WM_ERASEBKGND"},
        {WM_WINDOWPOSCHANGING, 0, "WM_WINDOWPOSCHANGING"},
        {WM_WINDOWPOSCHANGED, 0, "WM_WINDOWPOSCHANGED"},
        {WM_NCCALCSIZE, 0, "WM_NCCALCSIZE"},
        {WM_NCPAINT, 0, "WM_NCPAINT"},
        {TVM_GETNEXTITEM, TVGN_ROOT, "TVM_GETNEXTITEM root"},
        {TVM_GETNEXTITEM, TVGN_CHILD, "TVM_GETNEXTITEM child"},
        {TVM_GETNEXTITEM, TVGN_NEXT, "TVM_GETNEXTITEM next"},
        {TVM_GETNEXTITEM, TVGN_PARENT, "TVM_GETNEXTITEM parent"},
        {TVM_GETNEXTITEM, TVGN_PREVIOUS, "TVM_GETNEXTITEM previous"},
        {TVM_GETNEXTITEM, TVGN_CARET, "TVM_GETNEXTITEM caret"},
        {TVM_EXPAND, TVE_EXPAND, "TVM_EXPAND"},
        {WM_REFLECTED_NOTIFY, TVN_DELETEITEMW, "reflected TVN_DELETEITEM"},
        {WM_REFLECTED_NOTIFY, TVN_ITEMEXPANDINGW, "reflected TVN_ITEMEXPANDING"},
        {WM_REFLECTED_NOTIFY, TVN_ITEMEXPANDEDW, "reflected TVN_ITEMEXPANDED"},
        {WM_REFLECTED_NOTIFY, TVN_SELCHANGINGW, "reflected TVN_SELCHANGING"},
        {WM_REFLECTED_NOTIFY, TVN_SELCHANGEDW, "reflected TVN_SELCHANGED"},
    };
    for (const Name& name : kNames) {
        if (name.message == kind.first && name.detail == kind.second) return name.text;
    }
    char text[48];
    std::snprintf(text, sizeof(text), "message 0x%04X (0x%X)", kind.first, kind.second);
    return text;
}

void PrintTallyDetail(const char* figure, const MessageTally& plugin, const MessageTally& bare) {
    std::map<MessageKind, std::pair<size_t, size_t>> rows;
    for (const auto& entry : plugin.byKind) rows[entry.first].first = entry.second;
    for (const auto& entry : bare.byKind) rows[entry.first].second = entry.second;
    std::printf("  %s\n", figure);
    for (const auto& row : rows) {
        std::printf("    %-30s %8zu %8zu%s\n", KindName(row.first).c_str(), row.second.first, row.second.second,
                    row.second.first == row.second.second ? "" : "  <>");
    }
}

// ---------------------------------------------------------------------------
// Workloads.

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

// A top-level folder of folderItems items first, then the other favourites.
std::vector<StoredRecord> MakeTreeWithBigFolder(int total, int folderItems) {
    std::vector<StoredRecord> records = {{L"Big", L"", 1, true, true}};
    for (StoredRecord r : MakeFavorites(folderItems - 1)) {
        r.depth = std::min(r.depth + 1, 4);
        records.push_back(r);
    }
    for (const StoredRecord& r : MakeFavorites(total - folderItems)) records.push_back(r);
    return records;
}

// The favourites of one figure: as records for the bare control and as the
// stored value the plug-in reads.
struct Workload {
    std::vector<StoredRecord> records;
    std::vector<BYTE> value;
};

Workload MakeWorkload(std::vector<StoredRecord> records) {
    Workload w;
    w.value = StoredValue(records);
    w.records = std::move(records);
    return w;
}

HTREEITEM LastTopLevel(HWND tree) {
    HTREEITEM last = TreeView_GetRoot(tree);
    for (HTREEITEM next = last; next; next = TreeView_GetNextSibling(tree, next)) last = next;
    return last;
}

// ---------------------------------------------------------------------------
// The registry.

class Registry {
public:
    explicit Registry(std::wstring keyPath) : m_keyPath(std::move(keyPath)) {}
    ~Registry() { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_keyPath.c_str()); }

    void Write(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, m_keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr);
        ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(key);
    }
    void WriteFavorites(const std::vector<BYTE>& value) const {
        Write(kValueFavorites, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
    }
    void DeleteFavorites() const {
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, m_keyPath.c_str(), kValueFavorites);
    }
    // The stored favourites whole: one query for the size, one for the data.
    std::vector<BYTE> ReadFavorites() const {
        std::vector<BYTE> bytes;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return bytes;
        DWORD size = 0;
        if (::RegQueryValueExW(key, kValueFavorites, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            bytes.resize(size);
            ::RegQueryValueExW(key, kValueFavorites, nullptr, nullptr, bytes.data(), &size);
        }
        ::RegCloseKey(key);
        return bytes;
    }

private:
    std::wstring m_keyPath;
};

// ---------------------------------------------------------------------------
// The bare control: the work each figure needs, done directly on a tree view.

// A tree view with the bar's style and images, docked in the host's custom
// bar as the plug-in docks its own, so the host reflects its notifications
// too and the two sides differ only in what the plug-in adds.
class BareBar {
public:
    explicit BareBar(hostsim::MainWindow& window) : m_window(window) {
        m_tree = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr, kTreeStyle, 0, 0, 0, 0, window.Main(),
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(100)), nullptr, nullptr);
        BAR_OPEN_INFO info = {sizeof(BAR_OPEN_INFO), 0, m_tree, L"bare", 0};
        ::SendMessageW(window.Main(), HM_OPEN_CUSTOM_BAR, 0, reinterpret_cast<LPARAM>(&info));
        m_images = ::ImageList_LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDB_TREE_IMAGES), 16, 0, RGB(255, 0, 255),
                                          IMAGE_BITMAP, 0);
        ::ImageList_SetBkColor(m_images, CLR_NONE);
        TreeView_SetImageList(m_tree, m_images, TVSIL_NORMAL);
    }
    ~BareBar() { Close(); }
    void Close() {
        if (!m_tree) return;
        m_window.UserCloseBar();
        if (::IsWindow(m_tree)) ::DestroyWindow(m_tree);
        ::ImageList_Destroy(m_images);
        m_tree = nullptr;
        m_images = nullptr;
    }
    BareBar(const BareBar&) = delete;
    BareBar& operator=(const BareBar&) = delete;
    HWND Tree() const { return m_tree; }

private:
    hostsim::MainWindow& m_window;
    HWND m_tree = nullptr;
    HIMAGELIST m_images = nullptr;
};

// Inserts the items with redraw off; a folder saved open opens once its
// first child is in.
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
        HTREEITEM item = TreeView_InsertItem(tree, &insert);
        if (expandPrevious && insert.hParent == previous) TreeView_Expand(tree, previous, TVE_EXPAND);
        expandPrevious = r.expanded;
        previous = item;
        for (int d = r.depth; d <= 100; ++d) parents[d] = item;
    }
    ::SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
}

// A load at its least: one read of the stored value, then the insertion.
void BareLoad(HWND tree, const Registry& registry, const std::vector<StoredRecord>& records) {
    const std::vector<BYTE> value = registry.ReadFavorites();
    if (value.empty()) return;
    BareInsert(tree, records);
}

struct BareItem {
    std::wstring label;
    int image;
    bool expanded;
    int depth;
};

// Reads an item and everything below it in pre-order: text, image and state.
void BareRead(HWND tree, HTREEITEM first, int depth, bool siblingsToo, std::vector<BareItem>& items) {
    for (HTREEITEM item = first; item; item = siblingsToo ? TreeView_GetNextSibling(tree, item) : nullptr) {
        wchar_t text[260];
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 260;
        tv.stateMask = TVIS_EXPANDED;
        TreeView_GetItem(tree, &tv);
        items.push_back({text, tv.iImage, (tv.state & TVIS_EXPANDED) != 0, depth});
        BareRead(tree, TreeView_GetChild(tree, item), depth + 1, true, items);
    }
}

// A save at its least: every item read back, then one write of a value of the
// stored size.
void BareSave(HWND tree, const Registry& registry, const std::vector<BYTE>& value) {
    std::vector<BareItem> items;
    BareRead(tree, TreeView_GetRoot(tree), 1, true, items);
    registry.Write(kScratchValue, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

// The control work of moving a subtree after a top-level item: read the
// subtree, delete it, insert its items after the target, open every parent
// that receives an item (at its first child), select the moved item.
void BareMove(HWND tree, HTREEITEM source, HTREEITEM target) {
    std::vector<BareItem> items;
    BareRead(tree, source, 1, false, items);
    TreeView_DeleteItem(tree, source);
    ::SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    HTREEITEM parents[102] = {};
    HTREEITEM after = target;
    HTREEITEM first = nullptr;
    for (const BareItem& e : items) {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parents[e.depth - 1];
        insert.hInsertAfter = after;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<wchar_t*>(e.label.c_str());
        insert.item.iImage = insert.item.iSelectedImage = e.image;
        HTREEITEM item = TreeView_InsertItem(tree, &insert);
        if (insert.hParent && insert.hParent == after) TreeView_Expand(tree, insert.hParent, TVE_EXPAND);
        after = item;
        if (!first) first = item;
        for (int d = e.depth; d <= 100; ++d) parents[d] = item;
    }
    ::SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(tree, nullptr, TRUE);
    TreeView_SelectItem(tree, first);
}

// ---------------------------------------------------------------------------
// The plug-in.

// The plug-in's frame of one host main window, registered in this process as
// the DLL registers its own: the tree's procedure finds it and the host's
// reflected notifications reach it, as in the DLL.
class PluginSide {
public:
    PluginSide(hostsim::MainWindow& window, const Registry& registry) : m_window(window), m_registry(registry) {
        DispatchEvents(window.View(), EV_LOAD, 0);
        DispatchEvents(window.View(), EV_WINDOW_CREATED, 0);
        m_frame = GetFrame(window.Main());
    }
    ~PluginSide() {
        CloseBar();
        DispatchEvents(nullptr, EV_UNLOAD, 0);
    }
    PluginSide(const PluginSide&) = delete;
    PluginSide& operator=(const PluginSide&) = delete;

    CMyFrame& Frame() { return *m_frame; }
    HWND Tree() const { return m_frame->m_hwndTree; }

    // Opens the bar as the plug-in's command does, loading what is stored.
    void OpenBar() {
        CloseBar();
        m_frame->OnCommand(nullptr);
    }
    // Opens the bar on nothing stored, then stores the value for a load.
    void OpenEmptyBar(const std::vector<BYTE>& value) {
        m_registry.DeleteFavorites();
        OpenBar();
        m_registry.WriteFavorites(value);
    }
    void CloseBar() {
        if (!m_frame->IsBarOpen()) return;
        m_frame->ReleaseBar();
        m_window.UserCloseBar();  // the host removes its empty bar
    }

    // The load of the bar's opening: on the docked tree, before the bar's
    // procedure goes in.
    void Load() {
        m_frame->m_subclass.Restore();
        TreeView tree = m_frame->Tree();
        LoadFavorites(tree, m_frame->m_mapItems, m_frame->m_keeper);
        m_frame->m_subclass.Install(tree.Window(), &CMyFrame::TreeWndProc);
    }
    // The host's save event, as the DLL's export passes it on.
    void Save() {
        BAR_EVENT_INFO info = {static_cast<UINT>(m_frame->m_nBarID), 0, 0};
        DispatchEvents(m_window.View(), EV_BAR_SAVE, reinterpret_cast<LPARAM>(&info));
    }
    // The host's idle event.
    void Flush() { DispatchEvents(m_window.View(), EV_FLUSH, 0); }
    // Drops the item after the target, as a drag does.
    void MoveAfter(HTREEITEM source, HTREEITEM target) { m_frame->MoveSubtree(source, target, true, false); }
    // What deleting an item does once its question is answered Yes.
    void Delete(HTREEITEM item) {
        if (!m_frame->m_bTreeReportsDeletions) m_frame->m_mapItems.RemoveItem(m_frame->Tree(), item);
        m_frame->Tree().DeleteItem(item);
    }

private:
    hostsim::MainWindow& m_window;
    const Registry& m_registry;
    CMyFrame* m_frame = nullptr;
};

// ---------------------------------------------------------------------------
// The figures.

struct Bench {
    hostsim::Host& host;
    hostsim::MainWindow& bareWindow;  // the plug-in's bar is docked in a window of its own
    const Registry& registry;
    PluginSide& plugin;
    int pairs;
};

// One timed step: what must be ready just before it, untimed, then the work.
struct Step {
    std::function<void()> prepare;
    std::function<void()> work;
};

// One side of a round: its tree, ready for the steps, and what clears it away.
struct SideRound {
    HWND tree = nullptr;
    std::vector<Step> steps;
    std::function<void()> finish;
};

using SideSetup = SideRound (*)(Bench&, const Workload&);

// Load, save on the host's event, save after an edit (which does not read
// the stored value back first).
SideRound PluginLoadSave(Bench& b, const Workload& w) {
    PluginSide& plugin = b.plugin;
    plugin.OpenEmptyBar(w.value);
    SideRound side;
    side.tree = plugin.Tree();
    side.steps = {
        {nullptr, [&plugin] { plugin.Load(); }},
        {nullptr, [&plugin] { plugin.Save(); }},
        {[&plugin] { plugin.Frame().m_bModified = true; }, [&plugin] { plugin.Save(); }},
    };
    side.finish = [&plugin] { plugin.CloseBar(); };
    return side;
}

SideRound BareLoadSave(Bench& b, const Workload& w) {
    auto bare = std::make_shared<BareBar>(b.bareWindow);
    const HWND tree = bare->Tree();
    const Registry& registry = b.registry;
    SideRound side;
    side.tree = tree;
    side.steps = {
        {nullptr, [tree, &registry, &w] { BareLoad(tree, registry, w.records); }},
        {nullptr, [tree, &registry, &w] { BareSave(tree, registry, w.value); }},
        {nullptr, [tree, &registry, &w] { BareSave(tree, registry, w.value); }},
    };
    side.finish = [bare] { bare->Close(); };
    return side;
}

// Moving the first top-level folder after the last top-level item, then
// deleting it.
SideRound PluginMoveDelete(Bench& b, const Workload& w) {
    PluginSide& plugin = b.plugin;
    b.registry.WriteFavorites(w.value);
    plugin.OpenBar();
    const HWND tree = plugin.Tree();
    const HTREEITEM source = TreeView_GetRoot(tree);
    const HTREEITEM target = LastTopLevel(tree);
    auto moved = std::make_shared<HTREEITEM>();
    SideRound side;
    side.tree = tree;
    side.steps = {
        {nullptr, [&plugin, source, target] { plugin.MoveAfter(source, target); }},
        {[tree, moved] { *moved = LastTopLevel(tree); }, [&plugin, moved] { plugin.Delete(*moved); }},
    };
    side.finish = [&plugin] { plugin.CloseBar(); };
    return side;
}

SideRound BareMoveDelete(Bench& b, const Workload& w) {
    auto bare = std::make_shared<BareBar>(b.bareWindow);
    const HWND tree = bare->Tree();
    BareInsert(tree, w.records);
    const HTREEITEM source = TreeView_GetRoot(tree);
    const HTREEITEM target = LastTopLevel(tree);
    auto moved = std::make_shared<HTREEITEM>();
    SideRound side;
    side.tree = tree;
    side.steps = {
        {nullptr, [tree, source, target] { BareMove(tree, source, target); }},
        {[tree, moved] { *moved = LastTopLevel(tree); }, [tree, moved] { TreeView_DeleteItem(tree, *moved); }},
    };
    side.finish = [bare] { bare->Close(); };
    return side;
}

// The cost of one message that the bar's procedure passes on, against one
// sent straight to the control: a navigation that needs no item.
constexpr int kCostMessages = 20000;

void SendNavigations(HWND tree) {
    for (int i = 0; i < kCostMessages; ++i) ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
}

SideRound PluginMessageCost(Bench& b, const Workload& w) {
    PluginSide& plugin = b.plugin;
    b.registry.WriteFavorites(w.value);
    plugin.OpenBar();
    const HWND tree = plugin.Tree();
    SideRound side;
    side.tree = tree;
    side.steps = {{nullptr, [tree] { SendNavigations(tree); }}};
    side.finish = [&plugin] { plugin.CloseBar(); };
    return side;
}

SideRound BareMessageCost(Bench& b, const Workload& w) {
    auto bare = std::make_shared<BareBar>(b.bareWindow);
    const HWND tree = bare->Tree();
    BareInsert(tree, w.records);
    SideRound side;
    side.tree = tree;
    side.steps = {{nullptr, [tree] { SendNavigations(tree); }}};
    side.finish = [bare] { bare->Close(); };
    return side;
}

// Runs one step of a side; with a tally, its messages are counted (and the
// time, which the hook inflates, is not used).
double RunStep(const SideRound& side, size_t step, MessageTally* tally) {
    if (side.steps[step].prepare) side.steps[step].prepare();
    return Measure(side.tree, tally, side.steps[step].work);
}

struct Figure {
    std::vector<Pairs> steps;
    std::vector<MessageTally> pluginTallies, bareTallies;
};

// Each round sets up both sides, then runs every step on the plug-in and at
// once on the bare tree, so that the two halves of a pair lie close in time.
// The first round counts the messages (and warms both sides up); the timed
// pairs follow.
Figure MeasureFigure(Bench& b, const Workload& w, SideSetup pluginSetup, SideSetup bareSetup) {
    Figure f;
    for (int round = 0; round <= b.pairs; ++round) {
        const bool counting = round == 0;
        SideRound plugin = pluginSetup(b, w);
        SideRound bare = bareSetup(b, w);
        const size_t steps = plugin.steps.size();
        f.steps.resize(steps);
        f.pluginTallies.resize(steps);
        f.bareTallies.resize(steps);
        for (size_t step = 0; step < steps; ++step) {
            const double pluginMs = RunStep(plugin, step, counting ? &f.pluginTallies[step] : nullptr);
            const double bareMs = RunStep(bare, step, counting ? &f.bareTallies[step] : nullptr);
            if (!counting) f.steps[step].Add(pluginMs, bareMs);
        }
        plugin.finish();
        bare.finish();
        b.host.Pump();
    }
    return f;
}

// The flush of an open bar of w's favourites, against the bar's own load as
// its opening does it: with nothing stored since (it looks at the key's
// last-write time only), and after another program stored the same
// favourites in other bytes (it reads the value and loads the bar again).
// Steps: 0 nothing changed, 1 reload; each paired with a load in the same
// round.
Figure MeasureFlush(Bench& b, const Workload& w) {
    PluginSide& plugin = b.plugin;
    plugin.OpenEmptyBar(w.value);
    plugin.Load();
    // Past the guard against writes within one clock tick, so that the first
    // flush settles the time it saw, as on a bar open for a while.
    ::Sleep(2200);
    plugin.Flush();
    Figure f;
    f.steps.resize(2);
    f.pluginTallies.resize(2);
    f.bareTallies.resize(2);
    std::vector<BYTE> other = w.value;
    for (int round = 0; round <= b.pairs; ++round) {
        const bool counting = round == 0;
        const HWND tree = plugin.Tree();
        const double unchanged =
            Measure(tree, counting ? &f.pluginTallies[0] : nullptr, [&plugin] { plugin.Flush(); });
        const double load0 = Measure(tree, counting ? &f.bareTallies[0] : nullptr, [&plugin] { plugin.Load(); });
        other.back() ^= 1;  // a filler byte: the same favourites, other bytes
        b.registry.WriteFavorites(other);
        const double reload =
            Measure(tree, counting ? &f.pluginTallies[1] : nullptr, [&plugin] { plugin.Flush(); });
        const double load1 = Measure(tree, counting ? &f.bareTallies[1] : nullptr, [&plugin] { plugin.Load(); });
        if (!counting) {
            f.steps[0].Add(unchanged, load0);
            f.steps[1].Add(reload, load1);
        }
        b.host.Pump();
    }
    plugin.CloseBar();
    return f;
}

// Two steps of the same pairs taken together.
Pairs Sum(const Pairs& a, const Pairs& b) {
    Pairs sum;
    for (size_t i = 0; i < a.plugin.size(); ++i) sum.Add(a.plugin[i] + b.plugin[i], a.bare[i] + b.bare[i]);
    return sum;
}

// ---------------------------------------------------------------------------
// Output.

bool PrintTimed(const std::string& name, const Pairs& pairs, double target) {
    const PairSummary s = Summarize(pairs);
    const bool met = target <= 0 || s.ratio <= target;
    std::printf("  %-24s %9.1f %9.1f   %5.2f  (%4.2f-%4.2f)", name.c_str(), s.pluginMs, s.bareMs, s.ratio,
                s.ratioMin, s.ratioMax);
    if (target > 0) std::printf("   <= %.2f %s", target, met ? "met" : "NOT met");
    std::printf("\n");
    return met;
}

void PrintMessages(const std::string& name, const MessageTally& plugin, const MessageTally& bare, int favourites) {
    auto per = [favourites](size_t n) { return static_cast<double>(n) / favourites; };
    std::printf("  %-24s %9.2f %9.2f   %9.2f %9.2f   (%zu, %zu against %zu, %zu)\n", name.c_str(), per(plugin.sent),
                per(bare.sent), per(plugin.total), per(bare.total), plugin.sent, plugin.total, bare.sent, bare.total);
}

void PrintMessageCost(const Pairs& pairs) {
    const PairSummary s = Summarize(pairs);
    const double scale = 1e6 / kCostMessages;  // ms per batch to ns per message
    std::printf("  %-24s %9.0f %9.0f   %5.2f  (%4.2f-%4.2f)   ns per message\n", "one message passed on",
                s.pluginMs * scale, s.bareMs * scale, s.ratio, s.ratioMin, s.ratioMax);
}

void PrintTimedHeader(int pairs) {
    std::printf("%d interleaved pairs per figure; medians in ms, median ratio (range of the per-pair ratios)\n",
                pairs);
    std::printf("  %-24s %9s %9s   %s\n", "", "plug-in", "bare", "ratio");
}

struct Options {
    int pairs = 21;
    bool detail = false;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--pairs") == 0 && i + 1 < argc) {
            options.pairs = std::max(kMinimumPairs, static_cast<int>(std::wcstol(argv[++i], nullptr, 10)));
        } else if (std::wcscmp(argv[i], L"--detail") == 0) {
            options.detail = true;
        } else {
            std::printf("usage: favorites_bench [--pairs N] [--detail]   (N >= %d)\n", kMinimumPairs);
            return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    ::InitCommonControls();

    // A copy of the DLL under a name of this process's own: its resources and
    // a registry key nobody else uses.
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring stem = L"FavBench" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring dll = std::wstring(temp) + stem + L".dll";
    ::CopyFileW((dir + L"Favorites.dll").c_str(), dll.c_str(), FALSE);
    g_hInstance = ::LoadLibraryW(dll.c_str());

    bool allMet = true;
    {
        const Registry registry(std::wstring(PLUGIN_KEY_ROOT) + stem);
        const DWORD currentLayout = 1;
        registry.Write(kValueCheck, REG_DWORD, &currentLayout, sizeof(currentLayout));
        hostsim::Host host;
        hostsim::MainWindow* window = host.CreateMainWindow();
        hostsim::MainWindow* bareWindow = host.CreateMainWindow();
        std::vector<std::pair<int, Figure>> loadSave;
        Figure move, messageCost, flush;
        {
            PluginSide plugin(*window, registry);
            Bench bench{host, *bareWindow, registry, plugin, options.pairs};
            for (int count : {1000, 10000}) {
                const Workload w = MakeWorkload(MakeFavorites(count));
                loadSave.emplace_back(count, MeasureFigure(bench, w, PluginLoadSave, BareLoadSave));
            }
            const Workload moveWork = MakeWorkload(MakeTreeWithBigFolder(kMoveTreeItems, kMoveFolderItems));
            move = MeasureFigure(bench, moveWork, PluginMoveDelete, BareMoveDelete);
            messageCost = MeasureFigure(bench, MakeWorkload(MakeFavorites(1000)), PluginMessageCost, BareMessageCost);
            flush = MeasureFlush(bench, MakeWorkload(MakeFavorites(10000)));
        }
        host.CloseMainWindow(bareWindow);
        host.CloseMainWindow(window);

        const char* const kLoadSaveSteps[] = {"load", "save", "save after an edit"};
        PrintTimedHeader(options.pairs);
        for (const auto& entry : loadSave) {
            for (size_t step = 0; step < entry.second.steps.size(); ++step) {
                const std::string name = std::string(kLoadSaveSteps[step]) + " " + std::to_string(entry.first);
                const bool targeted = step < 2;
                const bool met = PrintTimed(name, entry.second.steps[step], targeted ? kLoadSaveTarget : 0);
                allMet = allMet && met;
            }
        }
        PrintTimed("move 1000 in 10000", move.steps[0], 0);
        PrintTimed("delete it", move.steps[1], 0);
        allMet = PrintTimed("move + delete", Sum(move.steps[0], move.steps[1]), kMoveTarget) && allMet;
        PrintMessageCost(messageCost.steps[0]);
        std::printf("  (bare load: one read of the value + insertion; bare save: walk + one write;\n"
                    "   the plug-in's save on the host's event first reads the stored value back)\n");

        std::printf("\nthe flush of an open bar of 10000 favourites, against the bar's own load (same pairs)\n");
        std::printf("  %-24s %9s %9s   %s\n", "", "flush", "load", "ratio");
        PrintTimed("flush, nothing stored", flush.steps[0], 0);
        PrintTimed("flush that reloads", flush.steps[1], 0);
        std::printf("  messages to the tree: %zu for the flush with nothing stored, %zu for the reload, %zu for a load\n",
                    flush.pluginTallies[0].total, flush.pluginTallies[1].total, flush.bareTallies[1].total);

        std::printf("\nmessages to the tree window, per favourite (loaded, saved, moved or deleted)\n");
        std::printf("  %-24s %19s   %19s\n", "", "sent by the code", "all that arrive");
        std::printf("  %-24s %9s %9s   %9s %9s\n", "", "plug-in", "bare", "plug-in", "bare");
        for (const auto& entry : loadSave) {
            for (size_t step = 0; step < 2; ++step) {
                const std::string name = std::string(kLoadSaveSteps[step]) + " " + std::to_string(entry.first);
                PrintMessages(name, entry.second.pluginTallies[step], entry.second.bareTallies[step], entry.first);
            }
        }
        PrintMessages("move 1000 in 10000", move.pluginTallies[0], move.bareTallies[0], kMoveFolderItems);
        PrintMessages("delete it", move.pluginTallies[1], move.bareTallies[1], kMoveFolderItems);
        std::printf("  (all: also the tree's notices reflected back by the host, and what the system sends\n"
                    "   the tree while it handles a message)\n");

        if (options.detail) {
            std::printf("\nmessages by kind (plug-in, bare)\n");
            for (const auto& entry : loadSave) {
                for (size_t step = 0; step < entry.second.steps.size(); ++step) {
                    const std::string name = std::string(kLoadSaveSteps[step]) + " " + std::to_string(entry.first);
                    PrintTallyDetail(name.c_str(), entry.second.pluginTallies[step], entry.second.bareTallies[step]);
                }
            }
            PrintTallyDetail("move", move.pluginTallies[0], move.bareTallies[0]);
            PrintTallyDetail("delete", move.pluginTallies[1], move.bareTallies[1]);
        }
        std::printf("\ntargets (medians: load and save <= %.2f x bare, move + delete <= %.2f x bare): %s\n",
                    kLoadSaveTarget, kMoveTarget, allMet ? "met" : "NOT met");
    }
    ::DeleteFileW(dll.c_str());
    return 0;
}
