// What real hosts and real users do to the bar beyond everyday use: drags cut
// short, the deepest folders, stored values the bar cannot read, two windows
// sharing one stored value, frames that go without a flush, and host code
// that runs inside the bar's own requests.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

const std::vector<StoredRecord> kFlat = {{L"x.txt", L"C:\\x.txt", 1},
                                         {L"a.txt", L"C:\\a.txt", 1},
                                         {L"b.txt", L"C:\\b.txt", 1},
                                         {L"c.txt", L"C:\\c.txt", 1},
                                         {L"F", L"", 1, true}};
const wchar_t kFlatOutline[] = L"x.txt/1/2 a.txt/1/2 b.txt/1/2 c.txt/1/2 F/1/0";

}  // namespace

class HardeningTest : public BarTest {
protected:
    HTREEITEM Item(const std::wstring& label) const { return FindItem(tree, label); }
    POINT Centre(const std::wstring& label) const { return hostsim::ItemCentre(tree, Item(label)); }
    // A point in the upper quarter of a row: a drop there goes before the item.
    POINT Before(const std::wstring& label) const { return hostsim::ItemPoint(tree, Item(label), 1); }
    // Whether the bar still acts as if dragging: a pointer move to the middle
    // of the folder's row would highlight it as the place to drop into.
    bool StillDragging() {
        hostsim::DragMove(*host, tree, Centre(L"F"));
        const bool highlighted = TreeView_GetDropHilight(tree) != nullptr;
        TreeView_SelectDropTarget(tree, nullptr);
        return highlighted;
    }
};

// ---- Drags never outlive their tree or their items.

TEST_F(HardeningTest, ClosingTheBarMidDragEndsTheDragAndTheNextReleaseMovesNothing) {
    OpenOn(kFlat);
    hostsim::StartDrag(*host, tree, Centre(L"a.txt"));
    ASSERT_TRUE(StillDragging());
    hostsim::DragMove(*host, tree, Before(L"x.txt"));
    ASSERT_EQ(tree, ::GetCapture());

    window->Command();  // the host closes the bar
    host->Pump();
    EXPECT_EQ(nullptr, ::GetCapture());

    window->Command();
    host->Pump();
    UseBarOf(window);
    EXPECT_FALSE(StillDragging());
    hostsim::DragRelease(*host, tree, Before(L"x.txt"));
    EXPECT_EQ(kFlatOutline, Outline(tree));
}

TEST_F(HardeningTest, ADragThatLostTheMouseGivesWayToTheNextOne) {
    OpenOn(kFlat);
    hostsim::StartDrag(*host, tree, Centre(L"a.txt"));
    ASSERT_EQ(tree, ::GetCapture());
    ::ReleaseCapture();  // another window took the mouse
    host->Pump();

    hostsim::Drag(*host, tree, Centre(L"b.txt"), Before(L"x.txt"));
    EXPECT_EQ(L"b.txt/1/2 x.txt/1/2 a.txt/1/2 c.txt/1/2 F/1/0", Outline(tree));
}

TEST_F(HardeningTest, DeletingTheDraggedItemEndsTheDragWithoutAMove) {
    OpenOn(kFlat);
    ClickItem(L"a.txt");
    hostsim::ModalResponder responder;
    responder.AnswerBox(IDYES);
    hostsim::StartDrag(*host, tree, Centre(L"a.txt"));
    hostsim::DragMove(*host, tree, Before(L"x.txt"));
    Press(VK_DELETE);
    ASSERT_EQ(1u, responder.Boxes().size());
    EXPECT_NE(tree, ::GetCapture());
    EXPECT_FALSE(StillDragging());

    hostsim::DragRelease(*host, tree, Before(L"x.txt"));
    EXPECT_EQ(L"x.txt/1/2 b.txt/1/2 c.txt/1/2 F/1/0", Outline(tree));
}

TEST_F(HardeningTest, MovingTheDropTargetAwayLeavesNoTarget) {
    OpenOn(kFlat);
    ClickItem(L"c.txt");
    hostsim::StartDrag(*host, tree, Centre(L"x.txt"));
    hostsim::DragMove(*host, tree, Before(L"c.txt"));
    // The target moves up: its item is deleted and a new one made, which
    // may well get the old item's handle.
    Press(VK_UP, true);
    ASSERT_EQ(L"x.txt/1/2 a.txt/1/2 c.txt/1/2 b.txt/1/2 F/1/0", Outline(tree));

    hostsim::DragRelease(*host, tree, Before(L"c.txt"));
    EXPECT_EQ(L"x.txt/1/2 a.txt/1/2 c.txt/1/2 b.txt/1/2 F/1/0", Outline(tree));
}

// ---- No item is created deeper than the store loads it back.

TEST_F(HardeningTest, NothingIsAddedBelowTheDeepestLevelTheStoreReloads) {
    std::vector<StoredRecord> chain;
    for (int depth = 1; depth <= 101; ++depth) chain.push_back({L"f" + std::to_wstring(depth), L"", depth, true, true});
    OpenOn(chain);
    window->SetCurrentDocument(L"C:\\doc.txt");

    HTREEITEM deepest = Item(L"f101");
    TreeView_EnsureVisible(tree, deepest);
    TreeView_SelectItem(tree, deepest);
    Press(VK_INSERT);
    EXPECT_EQ(101u, TreeSnapshot(tree).size());

    // A shell drop on that folder adds nothing either.
    POINT drop = {4, hostsim::ItemRow(tree, deepest).top + 2};
    ::ClientToScreen(tree, &drop);
    hostsim::DropFiles(*host, window->Main(), drop, {L"C:\\dropped.txt"});
    EXPECT_EQ(101u, TreeSnapshot(tree).size());

    // One level up a favourite still fits, at the deepest level.
    TreeView_SelectItem(tree, Item(L"f100"));
    Press(VK_INSERT);
    Press(VK_RETURN);
    const std::vector<TreeItem> rows = TreeSnapshot(tree);
    ASSERT_EQ(102u, rows.size());
    EXPECT_EQ(L"doc.txt", rows.back().label);
    EXPECT_EQ(101, rows.back().depth);
}

// ---- Nothing stored is deleted without a copy, and a missing tree deletes nothing.

TEST_F(HardeningTest, AValueOfAnotherTypeIsKeptWithItsTypeBeforeItGoes) {
    const wchar_t text[] = L"C:\\kept by another program";
    WriteRaw(L"FavoriteArray", REG_SZ, text, sizeof(text));
    window = OpenBarWindow();
    EXPECT_TRUE(TreeSnapshot(TreeOf(window)).empty());
    window->UserCloseBar();  // the empty tree is saved

    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), ValueType(L"FavoriteArrayBackup"));
    const std::vector<BYTE> kept = ReadBinary(L"FavoriteArrayBackup");
    EXPECT_EQ(std::vector<BYTE>(reinterpret_cast<const BYTE*>(text), reinterpret_cast<const BYTE*>(text) + sizeof(text)),
              kept);
}

TEST_F(HardeningTest, ASaveAfterTheHostDestroyedTheTreeWritesNothing) {
    hostsim::HostOptions options;
    options.destroyBarClientBeforeSave = true;
    OpenOn(kFlat, options);
    window->UserCloseBar();
    EXPECT_EQ(StoredValue(kFlat), ReadBinary(L"FavoriteArray"));
    EXPECT_EQ(1u, ReadDword(L"check"));
}

// ---- Two windows share one stored value.

TEST_F(HardeningTest, AnUnchangedWindowDoesNotUndoAnotherWindowsSave) {
    OpenOn({{L"shared.txt", L"C:\\shared.txt", 1}});
    hostsim::MainWindow* first = window;
    hostsim::MainWindow* second = host->CreateMainWindow();
    second->Command();
    host->Pump();
    ASSERT_NE(nullptr, TreeOf(second));

    UseBarOf(first);
    AddDocumentAfter(L"shared.txt", L"C:\\new.txt");
    host->Flush();
    const std::vector<BYTE> saved = StoredValue({{L"shared.txt", L"C:\\shared.txt", 1}, {L"new.txt", L"C:\\new.txt", 1}});
    ASSERT_EQ(saved, ReadBinary(L"FavoriteArray"));

    host->CloseMainWindow(second);  // unchanged since it loaded
    EXPECT_EQ(saved, ReadBinary(L"FavoriteArray"));

    // A value another writer deleted is not brought back by a bar without
    // changes of its own.
    DeleteValue(L"FavoriteArray");
    first->UserCloseBar();
    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
}

// ---- Edits are saved when the frame or its bar goes without the save event.

enum class Departure { PluginUnloaded, WindowDestroyed, BarClosedUnsaved, ModuleFreed };

class DepartureTest : public HardeningTest, public ::testing::WithParamInterface<Departure> {};

TEST_P(DepartureTest, EditsSinceTheLastFlushAreSavedAndTheTreeGoes) {
    OpenOn(kFlat);
    ClickItem(L"a.txt");
    Press(VK_DOWN, true);
    BAR_EVENT_INFO closed = {window->BarId(), 0, 0};
    switch (GetParam()) {
    case Departure::PluginUnloaded:
        host->UnloadPlugin();
        break;
    case Departure::WindowDestroyed:
        host->SendEvent(window, EV_WINDOW_DESTROY, 0);
        break;
    case Departure::BarClosedUnsaved:
        host->SendEvent(window, EV_BAR_CLOSED, reinterpret_cast<LPARAM>(&closed));
        break;
    case Departure::ModuleFreed:
        host->FreeWithoutUnload();
        break;
    }
    host->Pump();
    EXPECT_FALSE(::IsWindow(tree));
    EXPECT_EQ(StoredValue({kFlat[0], kFlat[2], kFlat[1], kFlat[3], kFlat[4]}), ReadBinary(L"FavoriteArray"));
}

std::string DepartureName(const ::testing::TestParamInfo<Departure>& info) {
    static const char* const kNames[] = {"PluginUnloaded", "WindowDestroyed", "BarClosedUnsaved", "ModuleFreed"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Hardening, DepartureTest,
                         ::testing::Values(Departure::PluginUnloaded, Departure::WindowDestroyed,
                                           Departure::BarClosedUnsaved, Departure::ModuleFreed),
                         DepartureName);

// ---- Host code that runs inside the bar's requests.

TEST_F(HardeningTest, TheHostClosingTheWindowWhileOpeningAFolderStopsTheWalk) {
    OpenOn({{L"F", L"", 1, true, true},
            {L"1.txt", L"C:\\1.txt", 2},
            {L"2.txt", L"C:\\2.txt", 2},
            {L"3.txt", L"C:\\3.txt", 2}});
    host->OnRequest([this](hostsim::MainWindow& w, const Request& r) {
        if (r.msg == HM_OPEN_FILE) host->CloseMainWindow(&w);
    });
    hostsim::ModalResponder responder;
    responder.ChooseMenuItem(ID_OPEN_FOLDER);
    hostsim::RightClick(*host, tree, Centre(L"F"));
    EXPECT_EQ(1, RequestCount(*host, HM_OPEN_FILE));
    EXPECT_TRUE(host->Windows().empty());
}

TEST_F(HardeningTest, ANoticeWhoseRequestTookTheTreeIsAnsweredAsHandled) {
    OpenOn(kFlat);
    host->OnRequest([](hostsim::MainWindow& w, const Request& r) {
        if (r.msg == HM_OPEN_FILE) w.CloseBar(0);
    });
    ClickItem(L"a.txt");
    // "Handled" keeps the control from its own work on the freed tree.
    NMHDR notice = {tree, static_cast<UINT_PTR>(::GetDlgCtrlID(tree)), static_cast<UINT>(NM_DBLCLK)};
    EXPECT_NE(0, ::SendMessageW(tree, WM_REFLECTED_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice)));
    EXPECT_FALSE(::IsWindow(tree));
    EXPECT_EQ(1, RequestCount(*host, HM_OPEN_FILE));

    window->Command();
    host->Pump();
    tree = TreeOf(window);
    ASSERT_NE(nullptr, tree);
    host->OnRequest([this](hostsim::MainWindow& w, const Request& r) {
        if (r.msg == HM_OPEN_FILE) host->CloseMainWindow(&w);
    });
    hostsim::DoubleClick(*host, tree, Centre(L"b.txt"));
    EXPECT_EQ(2, RequestCount(*host, HM_OPEN_FILE));
    EXPECT_TRUE(host->Windows().empty());
}

TEST_F(HardeningTest, AFileOpenedWhileTheHostFlushesIsAnnouncedInThatFlush) {
    OpenOn(kFlat);
    host->OnRequest([this](hostsim::MainWindow&, const Request& r) {
        if (r.msg == HM_OPEN_FILE) host->Flush();
    });
    hostsim::DoubleClick(*host, tree, Centre(L"a.txt"));
    ASSERT_EQ(1, RequestCount(*host, HM_OPEN_FILE));
    EXPECT_EQ(1, RequestCount(*host, HM_EXEC_COMMAND));
    host->OnRequest(nullptr);
    host->Flush();
    EXPECT_EQ(1, RequestCount(*host, HM_EXEC_COMMAND));
}

TEST_F(HardeningTest, PathsLongerThanTheFixedBuffersAreKeptWholeAndTheHostsStayInsideItsBuffer) {
    hostsim::HostOptions options;
    options.trustDocPathCapacity = true;
    OpenOn(kFlat, options);
    // A host that trusts the announced capacity writes up to it, no further.
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'd') + L".txt";
    AddDocumentAfter(L"c.txt", tooLong);
    const std::wstring longDocument = L"C:\\" + std::wstring(265, L'e') + L".txt";
    AddDocumentAfter(L"x.txt", longDocument);
    RECT rc;
    ::GetWindowRect(tree, &rc);
    const std::wstring longDrop = L"C:\\" + std::wstring(150, L'p') + L"\\" + std::wstring(200, L'q') + L".txt";
    hostsim::DropFiles(*host, window->Main(), {rc.left + 20, rc.bottom - 1}, {longDrop});
    if (TreeView_GetEditControl(tree)) Press(VK_RETURN);
    host->Flush();
    const auto records = ParseStoredValue(ReadBinary(L"FavoriteArray"));
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(8u, records->size());
    EXPECT_EQ(longDocument, (*records)[1].path);
    EXPECT_EQ(tooLong.substr(0, HOST_DOC_PATH_PARAM - 1), (*records)[5].path);
    EXPECT_EQ(longDrop, records->back().path);
    EXPECT_EQ(std::wstring(200, L'q') + L".txt", records->back().label);
}

// ---- A rename being typed, and open-at-start-up, survive the bar's own closes.

TEST_F(HardeningTest, ClosingTheBarWithTheCommandDuringARenameSavesTheTypedLabel) {
    OpenOn(kFlat);
    ASSERT_NE(nullptr, TypeOverLabel(L"b.txt", L"renamed"));
    window->Command();
    host->Pump();
    EXPECT_EQ(nullptr, TreeOf(window));
    EXPECT_EQ(StoredValue({kFlat[0], kFlat[1], {L"renamed", L"C:\\b.txt", 1}, kFlat[3], kFlat[4]}),
              ReadBinary(L"FavoriteArray"));
}

TEST_F(HardeningTest, MovingTheBarToAnotherSideKeepsOpenAtStartUp) {
    WriteDword(L"OpenStartup", 1);
    OpenOn(kFlat);
    ASSERT_EQ(0, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));  // opened at start-up
    hostsim::ModalResponder responder;
    ChooseSide(responder, BAR_POS_RIGHT);
    host->PlugInProc(window, PP_SHOW_PROPERTIES, 0, 0);
    host->Pump();
    EXPECT_EQ(BAR_POS_RIGHT, window->BarPos());
    EXPECT_EQ(1u, ReadDword(L"OpenStartup"));
    EXPECT_EQ(static_cast<DWORD>(BAR_POS_RIGHT), ReadDword(L"CustomBarPos"));
}
