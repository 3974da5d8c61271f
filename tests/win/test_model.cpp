// Long random sequences of edits made through input in the stand-in host,
// mirrored on a plain reference model of the favourites tree. After every
// step the tree view, the saved favourites and the model must agree.
//
// What the model knows on its own: which items exist, their labels, paths
// and kinds, and the order edits leave them in. Where an edit lands and what
// it refuses are the bar's rules, restated here and marked as such; a fault
// in those rules shows only where the restatement differs. The saved value
// is read with the test's own reader, and the reloaded tree is compared with
// the model, never with what the plug-in wrote or decoded.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <random>
#include <sstream>

#include "res/resource.h"
#include "store/favorites_history.h"
#include "tests/win/sizing.h"

namespace {

struct Node {
    std::wstring label;
    std::wstring path;
    bool folder = false;
    bool expanded = false;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> kids;
};

class Model {
public:
    Model() = default;
    Node root;
    unsigned moves = 0;
    unsigned refusedMoves = 0;

    std::vector<Node*> PreOrder() {
        std::vector<Node*> out;
        Walk(&root, out, false);
        return out;
    }
    std::vector<Node*> Visible() {
        std::vector<Node*> out;
        Walk(&root, out, true);
        return out;
    }
    static int Level(const Node* n) {
        int level = 0;
        for (; n && n->parent; n = n->parent) ++level;
        return level;
    }
    static int Height(const Node* n) {
        int deepest = 0;
        for (const auto& k : n->kids) deepest = std::max(deepest, Height(k.get()));
        return deepest + 1;
    }
    static bool Within(const Node* n, const Node* ancestor) {
        for (; n; n = n->parent) {
            if (n == ancestor) return true;
        }
        return false;
    }
    static size_t IndexOf(const Node* n) {
        const auto& siblings = n->parent->kids;
        for (size_t i = 0; i < siblings.size(); ++i) {
            if (siblings[i].get() == n) return i;
        }
        return 0;
    }
    static Node* PrevSibling(const Node* n) {
        const size_t i = IndexOf(n);
        return i ? n->parent->kids[i - 1].get() : nullptr;
    }
    static Node* NextSibling(const Node* n) {
        const size_t i = IndexOf(n);
        return i + 1 < n->parent->kids.size() ? n->parent->kids[i + 1].get() : nullptr;
    }

    Node* Add(Node* parent, size_t index, std::unique_ptr<Node> node) {
        node->parent = parent;
        Node* raw = node.get();
        parent->kids.insert(parent->kids.begin() + static_cast<long>(index), std::move(node));
        return raw;
    }
    std::unique_ptr<Node> Remove(Node* n) {
        auto& siblings = n->parent->kids;
        const size_t i = IndexOf(n);
        std::unique_ptr<Node> owned = std::move(siblings[i]);
        siblings.erase(siblings.begin() + static_cast<long>(i));
        return owned;
    }

    // A new item next to or into the target; null when refused. Restates the
    // bar's rules: next to a favourite, as the last child of a folder (which
    // opens), at the end of the top level without a target; no folder below
    // level 99.
    Node* Insert(Node* target, bool folder, const std::wstring& label, const std::wstring& path) {
        Node* parent = !target ? &root : (target->folder ? target : target->parent);
        if (folder && Level(parent) + 1 > 99) return nullptr;
        auto node = std::make_unique<Node>();
        node->label = label;
        node->path = path;
        node->folder = folder;
        const size_t index = (!target || target->folder) ? parent->kids.size() : IndexOf(target) + 1;
        Node* added = Add(parent, index, std::move(node));
        if (parent != &root) parent->expanded = true;
        return added;
    }

    // Restates the bar's rules: nothing moves onto itself or into its own
    // subtree, nor deeper than the 101 levels the store loads back; the
    // destination folder opens, and so does every moved folder with children
    // (the bar rebuilds the moved subtree that way).
    bool MoveSubtree(Node* source, Node* target, bool after, bool into) {
        if (source == target || Within(target, source)) return false;
        Node* destination = into ? target : target->parent;
        if (Level(destination) + Height(source) > 101) {
            ++refusedMoves;
            return false;
        }
        std::unique_ptr<Node> owned = Remove(source);
        if (into) {
            Add(target, target->kids.size(), std::move(owned));
        } else {
            Add(target->parent, IndexOf(target) + (after ? 1 : 0), std::move(owned));
        }
        if (destination != &root) destination->expanded = true;
        ExpandFoldersWithChildren(source);
        ++moves;
        return true;
    }

    // Alt+Up and Alt+Down: restates the bar's table of where one step up or
    // down leads, over the visible items.
    bool MoveUpDown(Node* item, bool down) {
        if (!down) {
            auto vis = Visible();
            const size_t i = Position(vis, item);
            if (i == 0) return false;
            Node* above = vis[i - 1];
            Node* previous = PrevSibling(item);
            return MoveSubtree(item, above, previous && previous != above, false);
        }
        item->expanded = false;
        auto vis = Visible();
        const size_t i = Position(vis, item);
        if (i + 1 >= vis.size()) return false;
        Node* a = vis[i + 1];
        Node* b = i + 2 < vis.size() ? vis[i + 2] : nullptr;
        if (b && (NextSibling(a) || (!a->kids.empty() && a->kids.front().get() == b))) {
            return MoveSubtree(item, NextSibling(item) == a ? b : a, false, false);
        }
        return MoveSubtree(item, a, true, false);
    }

private:
    static size_t Position(const std::vector<Node*>& list, const Node* n) {
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i] == n) return i;
        }
        return list.size();
    }
    void ExpandFoldersWithChildren(Node* n) {
        if (!n->kids.empty()) n->expanded = true;
        for (auto& k : n->kids) ExpandFoldersWithChildren(k.get());
    }
    void Walk(Node* n, std::vector<Node*>& out, bool visibleOnly) {
        for (auto& k : n->kids) {
            out.push_back(k.get());
            if (!visibleOnly || k->expanded) Walk(k.get(), out, visibleOnly);
        }
    }
};

std::wstring Describe(Model& model) {
    std::wostringstream out;
    for (Node* n : model.PreOrder()) {
        out << n->label << L"/" << Model::Level(n) << L"/" << (n->folder ? 0 : 2);
        if (n->folder && n->expanded && !n->kids.empty()) out << L"+";
        out << L" ";
    }
    return out.str();
}

std::wstring DescribeTree(HWND tree) {
    std::wostringstream out;
    const std::vector<TreeItem> rows = TreeSnapshot(tree);
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool hasKids = i + 1 < rows.size() && rows[i + 1].depth > rows[i].depth;
        out << rows[i].label << L"/" << rows[i].depth << L"/" << rows[i].image;
        if (rows[i].image == 0 && rows[i].expanded && hasKids) out << L"+";
        out << L" ";
    }
    return out.str();
}

// What a flush saved, read with the test's own reader. Folding a folder is
// no edit, so the expanded states are compared on the tree after each step
// and in storage after the bar closes.
std::wstring DescribeStored(const std::vector<BYTE>& value) {
    if (value.empty()) return L"";  // an empty tree deletes the value
    const auto records = ParseStoredValue(value);
    if (!records) return L"(not a whole stored value)";
    std::wostringstream out;
    for (const StoredRecord& r : *records) {
        out << r.label << L"/" << r.depth << L"/" << (r.folder ? 0 : 2) << L"=" << r.path << L" ";
    }
    return out.str();
}

// The saved tree in the form of Describe(model), open folders marked.
std::wstring DescribeStoredTree(const std::vector<BYTE>& value) {
    if (value.empty()) return L"";  // an empty tree deletes the value
    const auto records = ParseStoredValue(value);
    if (!records) return L"(not a whole stored value)";
    std::wostringstream out;
    for (size_t i = 0; i < records->size(); ++i) {
        const StoredRecord& r = (*records)[i];
        const bool hasKids = i + 1 < records->size() && (*records)[i + 1].depth > r.depth;
        out << r.label << L"/" << r.depth << L"/" << (r.folder ? 0 : 2);
        if (r.folder && r.expanded && hasKids) out << L"+";
        out << L" ";
    }
    return out.str();
}

std::wstring DescribeWithPaths(Model& model) {
    std::wostringstream out;
    for (Node* n : model.PreOrder()) {
        out << n->label << L"/" << Model::Level(n) << L"/" << (n->folder ? 0 : 2);
        out << L"=" << n->path << L" ";
    }
    return out.str();
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

// The tree without which folders are open.
std::wstring Shape(std::wstring described) {
    described.erase(std::remove(described.begin(), described.end(), L'+'), described.end());
    return described;
}

std::vector<StoredRecord> Records(Model& model) {
    std::vector<StoredRecord> records;
    for (Node* n : model.PreOrder()) {
        records.push_back({n->label, n->path, Model::Level(n), n->folder, n->folder && n->expanded});
    }
    return records;
}

size_t RecordCount(const std::vector<BYTE>& value) {
    if (value.empty()) return 0;
    const auto records = ParseStoredValue(value);
    return records ? records->size() : 0;
}

class ModelTest : public BarTest {
protected:
    std::mt19937 rng;
    Model model;
    hostsim::ModalResponder* responder = nullptr;
    int counter = 0;
    // Two windows edit the one stored value in turn; another program writes it too.
    hostsim::MainWindow* windows[2] = {};
    int active = 0;
    unsigned outsideWrites = 0;

    int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }
    std::wstring NewName() { return L"n" + std::to_wstring(++counter); }

    // The item of a model node: both list the tree in the same pre-order.
    HTREEITEM ItemOf(Node* node) {
        const auto order = model.PreOrder();
        const auto rows = TreeSnapshot(tree);
        for (size_t i = 0; i < order.size() && i < rows.size(); ++i) {
            if (order[i] == node) return rows[i].handle;
        }
        return nullptr;
    }
    Node* RandomVisible() {
        auto vis = model.Visible();
        return vis.empty() ? nullptr : vis[static_cast<size_t>(Pick(static_cast<int>(vis.size())))];
    }
    bool OnScreen(HTREEITEM item) {
        RECT row = hostsim::ItemRow(tree, item);
        RECT client;
        ::GetClientRect(tree, &client);
        return row.top >= 0 && row.bottom <= client.bottom;
    }
    void Select(Node* node) {
        HTREEITEM item = ItemOf(node);
        TreeView_EnsureVisible(tree, item);
        if (TreeView_GetSelection(tree) != item) hostsim::Click(*host, tree, hostsim::ItemCentre(tree, item));
        Press(VK_ESCAPE);  // nothing to cancel; keeps a click from starting an edit later
    }
    void FinishEdit(Node* edited, bool rename) {
        HWND edit = TreeView_GetEditControl(tree);
        ASSERT_NE(nullptr, edit);
        if (rename && Chance(60)) {
            const std::wstring name = NewName();
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            hostsim::TypeText(*host, edit, name);
            if (Chance(75)) {
                Press(VK_RETURN);
                edited->label = name;
            } else {
                Press(VK_ESCAPE);
            }
        } else {
            Press(VK_RETURN);
        }
    }

    void StepInsert() {
        Node* target = model.root.kids.empty() ? nullptr : RandomVisible();
        if (target) Select(target);
        const std::wstring name = NewName() + L".txt";
        const std::wstring path = L"C:\\docs\\" + name;
        window->SetCurrentDocument(path);
        if (!target) {
            // Nothing to select: the context menu over empty space.
            RECT client;
            ::GetClientRect(tree, &client);
            responder->ChooseMenuItem(ID_NEW_TEXT);
            hostsim::RightClick(*host, tree, {client.right / 2, client.bottom - 4});
        } else {
            Press(VK_INSERT);
        }
        Node* added = model.Insert(target, false, name, path);
        FinishEdit(added, true);
    }
    void StepNewFolder() {
        Node* target = RandomVisible();
        HTREEITEM item = target ? ItemOf(target) : nullptr;
        if (item) TreeView_EnsureVisible(tree, item);
        responder->ChooseMenuItem(ID_NEW_FOLDER);
        RECT client;
        ::GetClientRect(tree, &client);
        POINT at = item ? hostsim::ItemCentre(tree, item) : POINT{client.right / 2, client.bottom - 4};
        if (!item || OnScreen(item)) {
            hostsim::RightClick(*host, tree, at);
            if (Node* added = model.Insert(item ? target : nullptr, true, L"New Folder", L"")) FinishEdit(added, true);
        } else {
            responder->DismissMenu();
        }
    }
    void StepRename() {
        Node* target = RandomVisible();
        if (!target) return;
        Select(target);
        Press(VK_F2);
        FinishEdit(target, true);
        if (TreeView_GetEditControl(tree)) Press(VK_RETURN);
    }
    void StepDelete() {
        Node* target = RandomVisible();
        if (!target) return;
        Select(target);
        const bool yes = Chance(70);
        responder->AnswerBox(yes ? IDYES : IDNO);
        Press(VK_DELETE);
        if (yes) model.Remove(target);
    }
    void StepMove(bool down) {
        Node* target = RandomVisible();
        if (!target) return;
        Select(target);
        Press(down ? VK_DOWN : VK_UP, true);
        model.MoveUpDown(target, down);
    }
    void StepDrag() {
        Node* source = RandomVisible();
        Node* target = RandomVisible();
        if (!source || !target) return;
        HTREEITEM from = ItemOf(source);
        HTREEITEM to = ItemOf(target);
        if (!OnScreen(from) || !OnScreen(to)) return;
        const int h = TreeView_GetItemHeight(tree);
        const int zone = Pick(3);
        const int y = zone == 0 ? 1 : zone == 1 ? h / 2 : h - 2;
        // Restates the bar's drop zones: the middle half of a folder's row drops
        // into it, the lower half of a row without children after it, the rest before.
        const bool after = y > h / 2 && target->kids.empty();
        const bool into = y >= h / 4 && y < 3 * h / 4 && target->folder;
        hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, from), hostsim::ItemPoint(tree, to, y));
        model.MoveSubtree(source, target, after, into);
    }
    void StepShellDrop() {
        Node* target = RandomVisible();
        HTREEITEM item = target ? ItemOf(target) : nullptr;
        if (item && !OnScreen(item)) return;
        RECT bounds;
        ::GetWindowRect(tree, &bounds);
        POINT at = {bounds.left + 30, bounds.bottom - 3};
        if (item) {
            at = hostsim::ItemCentre(tree, item);
            ::ClientToScreen(tree, &at);
        }
        // A point over empty space is only empty when it is below the items.
        if (!item && hostsim::ItemRow(tree, ItemOf(model.Visible().back())).bottom + 20 >
                         bounds.bottom - bounds.top - 6) {
            return;
        }
        // Restates the bar's rule: files land in the folder under the pointer, or
        // in the folder of the favourite under it, each added after the last.
        Node* folder = !target ? nullptr : (target->folder ? target : target->parent);
        if (folder == &model.root) folder = nullptr;
        std::vector<std::wstring> paths;
        const int count = 1 + Pick(2);
        for (int i = 0; i < count; ++i) paths.push_back(L"E:\\dropped\\" + NewName() + L".log");
        hostsim::DropFiles(*host, window->Main(), at, paths);
        for (const std::wstring& p : paths) model.Insert(folder, false, p.substr(p.rfind(L'\\') + 1), p);
        Press(VK_RETURN);
    }

    // The other window's bar takes the input from now on, with the folders
    // it shows open.
    void StepSwitchWindow() {
        active = 1 - active;
        UseBarOf(windows[active]);
        const auto order = model.PreOrder();
        const auto rows = TreeSnapshot(tree);
        for (size_t i = 0; i < order.size() && i < rows.size(); ++i) order[i]->expanded = rows[i].expanded;
    }
    // Another program adds a favourite at the end, or deletes the last one.
    void StepOutsideWrite() {
        if (!model.root.kids.empty() && Chance(30)) {
            model.Remove(model.root.kids.back().get());
        } else {
            const std::wstring name = L"out" + NewName() + L".txt";
            model.Insert(nullptr, false, name, L"D:\\outside\\" + name);
        }
        WriteBinary(L"FavoriteArray", StoredValue(Records(model)));
        ++outsideWrites;
    }

    // prev: the stored value before the step; outside: the test wrote it.
    void Check(const char* step, int index, const std::vector<BYTE>& prev, bool outside) {
        ASSERT_EQ(nullptr, TreeView_GetEditControl(tree)) << step << " #" << index;
        if (!outside) {
            ASSERT_EQ(Narrow(Describe(model)), Narrow(DescribeTree(tree))) << step << " #" << index;
        }
        host->Flush();
        ASSERT_EQ(Narrow(DescribeWithPaths(model)), Narrow(DescribeStored(ReadBinary(L"FavoriteArray"))))
            << step << " #" << index;
        // Windows flush in turn: by the second flush both show what was saved.
        host->Flush();
        for (hostsim::MainWindow* w : windows) {
            ASSERT_EQ(Narrow(Shape(Describe(model))), Narrow(Shape(DescribeTree(TreeOf(w)))))
                << step << " #" << index << " in window " << (w == windows[0] ? 1 : 2);
        }
        ASSERT_EQ(Narrow(DescribeWithPaths(model)), Narrow(DescribeStored(ReadBinary(L"FavoriteArray"))))
            << step << " #" << index << ": a window without edits rewrote the value";
        // A save that left fewer favourites kept what it replaced.
        const std::vector<BYTE> now = ReadBinary(L"FavoriteArray");
        if (!outside && now != prev && RecordCount(now) < RecordCount(prev)) {
            ASSERT_TRUE(InHistory(prev)) << step << " #" << index << ": replaced without a history entry";
        }
        // Within the history's bounds: the newest entries and each recent day's first.
        ASSERT_LE(History().size(), favstore::kHistoryRecentEntries + favstore::kHistoryDays);
    }

    void Run(unsigned seed, int steps) {
        rng.seed(seed);
        OpenOn({{L"Start", L"", 1, true, true}, {L"first.txt", L"C:\\first.txt", 2}, {L"top.txt", L"C:\\top.txt", 1}});
        model.Insert(nullptr, true, L"Start", L"");
        model.Insert(model.root.kids[0].get(), false, L"first.txt", L"C:\\first.txt");
        model.Insert(nullptr, false, L"top.txt", L"C:\\top.txt");
        windows[0] = window;
        windows[1] = host->CreateMainWindow();
        windows[1]->Command();
        host->Pump();
        ASSERT_NE(nullptr, TreeOf(windows[1]));
        hostsim::Focus(tree);
        host->Pump();
        hostsim::ModalResponder modal;
        responder = &modal;
        for (int i = 0; i < steps; ++i) {
            const size_t size = model.PreOrder().size();
            const std::vector<BYTE> prev = ReadBinary(L"FavoriteArray");
            const int writer = Pick(100);
            const int roll = Pick(100);
            const char* step = "";
            if (writer < 3) {
                step = "outside write";
                StepOutsideWrite();
            } else if (writer < 9) {
                step = "switch window";
                StepSwitchWindow();
            } else if (size > 16 && roll < 30) {
                step = "delete";
                StepDelete();
            } else if (roll < 14 || size < 3) {
                step = "insert";
                StepInsert();
            } else if (roll < 24) {
                step = "new folder";
                StepNewFolder();
            } else if (roll < 34) {
                step = "rename";
                StepRename();
            } else if (roll < 44) {
                step = "delete";
                StepDelete();
            } else if (roll < 58) {
                step = "move up";
                StepMove(false);
            } else if (roll < 72) {
                step = "move down";
                StepMove(true);
            } else if (roll < 92) {
                step = "drag";
                StepDrag();
            } else {
                step = "shell drop";
                StepShellDrop();
            }
            Check(step, i, prev, writer < 3);
            if (HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed << " failed at step " << i << " (" << step << ")";
                return;
            }
        }
        // Saved and loaded again: the model's favourites, open folders included.
        window->UserCloseBar();
        EXPECT_EQ(Narrow(Describe(model)), Narrow(DescribeStoredTree(ReadBinary(L"FavoriteArray"))));
        window->Command();
        host->Pump();
        tree = TreeOf(window);
        EXPECT_EQ(Narrow(Describe(model)), Narrow(DescribeTree(tree)));
        EXPECT_GT(model.moves, static_cast<unsigned>(steps) / 100);  // about 40% of the steps move
        EXPECT_GT(outsideWrites, static_cast<unsigned>(steps) / 100);
    }
};

// Each seed reproduces its sequence exactly. Seeds 1 to FAV_MODEL_SEEDS (3 by
// default) run FAV_MODEL_STEPS steps each (1,000 by default).
class ModelSeedTest : public ModelTest, public ::testing::WithParamInterface<unsigned> {};

namespace {
std::vector<unsigned> ModelSeeds() {
    std::vector<unsigned> seeds;
    for (unsigned seed = 1; seed <= SizeFromEnvironment("FAV_MODEL_SEEDS", 3); ++seed) seeds.push_back(seed);
    return seeds;
}
}  // namespace

TEST_P(ModelSeedTest, Edits) { Run(GetParam(), static_cast<int>(SizeFromEnvironment("FAV_MODEL_STEPS", 1000))); }

INSTANTIATE_TEST_SUITE_P(Random, ModelSeedTest, ::testing::ValuesIn(ModelSeeds()),
                         [](const ::testing::TestParamInfo<unsigned>& seed) {
                             return "Seed" + std::to_string(seed.param);
                         });
