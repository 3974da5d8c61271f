// Editing the tree through keys, the context menu, drags and shell drops.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

const std::vector<StoredRecord> kTree = {
    {L"F", L"", 1, true, true},
    {L"f1", L"C:\\f1", 2},
    {L"f2", L"C:\\f2", 2},
    {L"G", L"", 1, true, false},
    {L"g1", L"C:\\g1", 2},
    {L"E", L"", 1, true, false},
    {L"t1", L"C:\\t1", 1},
    {L"t2", L"C:\\t2", 1},
};

std::wstring TempDir() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

}  // namespace

class EditTest : public BarTest {
protected:
    void EndEdit() {
        if (TreeView_GetEditControl(tree)) Press(VK_RETURN);
    }
    void SaveNow() { host->Flush(); }
};

TEST_F(EditTest, InsertAddsTheCurrentDocumentNextToTheSelection) {
    OpenOn(kTree);
    window->SetCurrentDocument(L"D:\\docs\\report.txt");
    ClickItem(L"t1");
    Press(VK_INSERT, false, true);
    ASSERT_NE(nullptr, TreeView_GetEditControl(tree));
    EXPECT_EQ(L"report.txt", SelectedLabel());
    EndEdit();
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 G/1/0 g1/2/2 E/1/0 t1/1/2 report.txt/1/2 t2/1/2", Outline(tree));

    ClickItem(L"G");  // into a folder: its last child, and the folder opens
    Press(VK_INSERT);
    EndEdit();
    EXPECT_EQ(L"G/1/0+", Outline(tree).substr(Outline(tree).find(L"G/"), 6));
    SaveNow();
    window->UserCloseBar();
    window->Command();
    host->Pump();
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 G/1/0+ g1/2/2 report.txt/2/2 E/1/0 t1/1/2 report.txt/1/2 t2/1/2",
              Outline(TreeOf(window)));
    // The new favourites carry the document's full path.
    host->ClearRequests();
    tree = TreeOf(window);
    hostsim::Focus(tree);
    hostsim::DoubleClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"report.txt")));
    ASSERT_EQ(1u, Opened().size());
    EXPECT_EQ(L"D:\\docs\\report.txt", Opened()[0].text);
}

TEST_F(EditTest, InsertWithoutACurrentDocumentAddsNothing) {
    OpenOn(kTree);
    ClickItem(L"t1");
    const std::wstring before = Outline(tree);
    Press(VK_INSERT);
    EXPECT_EQ(before, Outline(tree));
    EXPECT_EQ(nullptr, TreeView_GetEditControl(tree));
    EXPECT_EQ(L"t1", SelectedLabel());
    ASSERT_EQ(1, RequestCount(*host, HM_GET_DOC_PATH));
}

TEST_F(EditTest, NewFolderStopsAtTheDeepestFolderLevel) {
    std::vector<StoredRecord> chain;
    for (int depth = 1; depth <= 99; ++depth) chain.push_back({L"L" + std::to_wstring(depth), L"", depth, true, true});
    OpenOn(chain);
    hostsim::ModalResponder responder;
    responder.ChooseMenuItem(ID_NEW_FOLDER);
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(FindItem(tree, L"L99")));
    PressKey(*host, tree, VK_APPS);
    ::SendMessageW(tree, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), MAKELPARAM(-1, -1));
    host->Pump();
    // The command was there to choose: the depth rule refused it, not the menu.
    ASSERT_EQ(1u, responder.Menus().size());
    EXPECT_TRUE(responder.Menus()[0].IsEnabled(ID_NEW_FOLDER));
    EXPECT_EQ(99u, TreeSnapshot(tree).size());

    responder.ChooseMenuItem(ID_NEW_FOLDER);
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(FindItem(tree, L"L98")));
    ::SendMessageW(tree, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), MAKELPARAM(-1, -1));
    host->Pump();
    ASSERT_EQ(2u, responder.Menus().size());
    EndEdit();
    const std::vector<TreeItem> rows = TreeSnapshot(tree);
    ASSERT_EQ(100u, rows.size());
    EXPECT_EQ(L"New Folder", rows.back().label);
    EXPECT_EQ(99, rows.back().depth);
    EXPECT_EQ(0, rows.back().image);

    // A text item may still go below level 99.
    window->SetCurrentDocument(L"C:\\deep.txt");
    ClickItem(L"L99");
    Press(VK_INSERT);
    EndEdit();
    bool found = false;
    for (const TreeItem& row : TreeSnapshot(tree)) {
        if (row.label == L"deep.txt") found = row.depth == 100;
    }
    EXPECT_TRUE(found);
}

TEST_F(EditTest, DeleteAsksWithTheRightQuestionAndNoKeepsEverything) {
    OpenOn(kTree);
    hostsim::ModalResponder responder;
    ClickItem(L"G");
    Press(VK_DELETE);  // the default answer is No
    ASSERT_EQ(1u, responder.Boxes().size());
    EXPECT_EQ(L"本当に選択されたフォルダとその中身を削除してよろしいですか?", responder.Boxes()[0].text);
    EXPECT_EQ(L"お気に入り", responder.Boxes()[0].caption);
    EXPECT_EQ(IDNO, responder.Boxes()[0].defaultButton);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), responder.Boxes()[0].buttons);
    EXPECT_NE(nullptr, FindItem(tree, L"g1"));
    SaveNow();
    EXPECT_EQ(StoredValue(kTree), ReadBinary(L"FavoriteArray"));  // No changed nothing to save

    responder.AnswerBox(IDYES);
    Press(VK_DELETE);
    EXPECT_EQ(nullptr, FindItem(tree, L"G"));
    EXPECT_EQ(nullptr, FindItem(tree, L"g1"));

    responder.AnswerBox(IDYES);
    ClickItem(L"E");  // an empty folder gets the plain question
    Press(VK_DELETE);
    EXPECT_EQ(L"本当に選択された項目を削除してよろしいですか?", responder.Boxes().back().text);
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 t1/1/2 t2/1/2", Outline(tree));
    SaveNow();
    const std::vector<StoredRecord> expected = {kTree[0], kTree[1], kTree[2], kTree[6], kTree[7]};
    EXPECT_EQ(StoredValue(expected), ReadBinary(L"FavoriteArray"));
}

TEST_F(EditTest, AltArrowsMoveItemsAsTheTableSays) {
    OpenOn(kTree);
    ClickItem(L"t1");
    Press(VK_UP, true);  // previous sibling E is collapsed: swap
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 G/1/0 g1/2/2 t1/1/2 E/1/0 t2/1/2", Outline(tree));
    Press(VK_UP, true);
    Press(VK_UP, true);  // above F's subtree end: after f2 inside F
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 t1/2/2 G/1/0 g1/2/2 E/1/0 t2/1/2", Outline(tree));
    EXPECT_EQ(L"t1", SelectedLabel());

    ClickItem(L"f1");
    Press(VK_UP, true);  // first child: leaves the folder, above it
    EXPECT_EQ(L"f1/1/2 F/1/0+ f2/2/2 t1/2/2 G/1/0 g1/2/2 E/1/0 t2/1/2", Outline(tree));
    Press(VK_UP, true);  // the first item: nothing
    EXPECT_EQ(L"f1/1/2 F/1/0+ f2/2/2 t1/2/2 G/1/0 g1/2/2 E/1/0 t2/1/2", Outline(tree));

    Press(VK_DOWN, true);  // next sibling F is an expanded folder: first child
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 t1/2/2 G/1/0 g1/2/2 E/1/0 t2/1/2", Outline(tree));
    ClickItem(L"t1");
    Press(VK_DOWN, true);  // last child, G follows with more after it: before G
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 t1/1/2 G/1/0 g1/2/2 E/1/0 t2/1/2", Outline(tree));
    ClickItem(L"t2");
    Press(VK_DOWN, true);  // the last visible item: nothing moves
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 t1/1/2 G/1/0 g1/2/2 E/1/0 t2/1/2", Outline(tree));
}

TEST_F(EditTest, ContextMenuGreysWhatDoesNotApplyAndActsOnTheClickedItem) {
    OpenOn(kTree);
    hostsim::ModalResponder responder;
    ClickItem(L"t2");
    responder.ChooseMenuItem(ID_DELETE);
    responder.AnswerBox(IDYES);
    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"t1")));
    EXPECT_EQ(nullptr, FindItem(tree, L"t1"));  // the clicked item, not the selection
    EXPECT_NE(nullptr, FindItem(tree, L"t2"));

    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"G")));
    RECT rc;
    ::GetClientRect(tree, &rc);
    hostsim::RightClick(*host, tree, {rc.right / 2, rc.bottom - 5});
    ASSERT_EQ(3u, responder.Menus().size());
    const auto& onFile = responder.Menus()[0];
    const auto& onFolder = responder.Menus()[1];
    const auto& onNothing = responder.Menus()[2];
    for (const auto* menu : {&onFile, &onFolder, &onNothing}) EXPECT_EQ(13u, menu->items.size());
    for (UINT id : {ID_OPEN_FOLDER, ID_OPEN_FOLDER_ALL}) EXPECT_TRUE(onFile.IsGrayed(id));
    EXPECT_TRUE(onFile.IsEnabled(ID_RUN_MACRO));
    EXPECT_TRUE(onFolder.IsGrayed(ID_RUN_MACRO));
    for (UINT id : {ID_OPEN_FOLDER, ID_OPEN_FOLDER_ALL}) EXPECT_TRUE(onFolder.IsEnabled(id));
    for (UINT id : {ID_OPEN_FOLDER, ID_OPEN_FOLDER_ALL, ID_RUN_MACRO}) EXPECT_TRUE(onNothing.IsGrayed(id));
    for (UINT id : {ID_NEW_TEXT, ID_NEW_FOLDER, ID_DELETE, ID_RENAME, ID_MOVE_UP, ID_MOVE_DOWN}) {
        EXPECT_TRUE(onNothing.IsEnabled(id)) << id;
    }
    EXPECT_EQ(L"テキストの新規追加(&N)\tInsert", onNothing.items[0].text);
    EXPECT_EQ(L"マクロ実行(&M)\tF5", onNothing.items.back().text);
}

TEST_F(EditTest, DraggingMovesTheItemWithItsSubtree) {
    OpenOn(kTree);
    HTREEITEM t1 = FindItem(tree, L"t1");
    HTREEITEM g = FindItem(tree, L"G");
    const int h = TreeView_GetItemHeight(tree);
    // Middle of a collapsed folder's row: into it, as its last child.
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, t1), hostsim::ItemPoint(tree, g, h / 2));
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 G/1/0+ g1/2/2 t1/2/2 E/1/0 t2/1/2", Outline(tree));
    EXPECT_EQ(L"t1", SelectedLabel());

    // The upper quarter of a row: before that item.
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"F")),
                  hostsim::ItemPoint(tree, FindItem(tree, L"t2"), 1));
    EXPECT_EQ(L"G/1/0+ g1/2/2 t1/2/2 E/1/0 F/1/0+ f1/2/2 f2/2/2 t2/1/2", Outline(tree));
    SaveNow();
    const std::vector<StoredRecord> moved = {{L"G", L"", 1, true, true}, kTree[4], {L"t1", L"C:\\t1", 2}, kTree[5],
                                             kTree[0], kTree[1], kTree[2], kTree[7]};
    EXPECT_EQ(StoredValue(moved), ReadBinary(L"FavoriteArray"));
}

TEST_F(EditTest, DropOnItselfOrIntoItsOwnSubtreeChangesNothing) {
    OpenOn(kTree);
    const std::wstring before = Outline(tree);
    HTREEITEM f = FindItem(tree, L"F");
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, f), hostsim::ItemPoint(tree, f, 2));
    hostsim::Drag(*host, tree, hostsim::ItemCentre(tree, f),
                  hostsim::ItemPoint(tree, FindItem(tree, L"f2"), TreeView_GetItemHeight(tree) - 2));
    EXPECT_EQ(before, Outline(tree));
    SaveNow();
    EXPECT_EQ(StoredValue(kTree), ReadBinary(L"FavoriteArray"));  // not rewritten differently
}

TEST_F(EditTest, ShellDropsBecomeFavouritesInTheFolderUnderThePointer) {
    OpenOn(kTree);
    const std::wstring dir = TempDir() + L"DroppedDir" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(dir.c_str(), nullptr);
    POINT onF2 = hostsim::ItemCentre(tree, FindItem(tree, L"f2"));
    ::ClientToScreen(tree, &onF2);
    hostsim::DropFiles(*host, window->Main(), onF2, {L"C:\\in\\one.txt", L"C:\\in\\two.txt", dir});
    const std::wstring dirName = dir.substr(dir.find_last_of(L'\\') + 1);
    EXPECT_EQ(L"F/1/0+ f1/2/2 f2/2/2 one.txt/2/2 two.txt/2/2 " + dirName + L"/2/0 G/1/0 g1/2/2 E/1/0 t1/1/2 t2/1/2",
              Outline(tree));
    EXPECT_NE(nullptr, TreeView_GetEditControl(tree));
    EXPECT_EQ(dirName, SelectedLabel());
    EndEdit();
    EXPECT_TRUE(host->RequestsOf(WM_DROPFILES).empty());

    // Empty space: the end of the top level. Outside the tree: the host's.
    RECT rc;
    ::GetWindowRect(tree, &rc);
    hostsim::DropFiles(*host, window->Main(), {rc.left + 20, rc.bottom - 1}, {L"C:\\end.txt"});
    EndEdit();
    EXPECT_EQ(L"end.txt/1/2", Outline(tree).substr(Outline(tree).rfind(L' ') + 1));
    hostsim::DropFiles(*host, window->Main(), {rc.right + 30, rc.top + 30}, {L"C:\\host.txt"});
    ASSERT_EQ(1u, host->RequestsOf(WM_DROPFILES).size());
    EXPECT_EQ(L"C:\\host.txt", host->RequestsOf(WM_DROPFILES)[0].text);
    ::RemoveDirectoryW(dir.c_str());
}

TEST_F(EditTest, MovesThatWouldGoDeeperThanTheStoreKeepsAreRefused) {
    std::vector<StoredRecord> chain;
    for (int depth = 1; depth <= 99; ++depth) chain.push_back({L"L" + std::to_wstring(depth), L"", depth, true, true});
    chain.push_back({L"leaf", L"C:\\leaf", 100});
    chain.push_back({L"P", L"", 1, true, false});
    chain.push_back({L"P1", L"", 2, true, false});
    chain.push_back({L"P2", L"C:\\p2", 3});
    OpenOn(chain);
    const std::wstring before = Outline(tree);
    // P holds two more levels: into L99 (level 99) it would reach level 102.
    ClickItem(L"P");
    Press(VK_UP, true);  // after leaf, inside L99: levels 100 to 102
    EXPECT_EQ(before, Outline(tree));
    EXPECT_EQ(L"P", SelectedLabel());
}
