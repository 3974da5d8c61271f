// Several writers of the one stored value: two host windows, and another
// program writing the key, as a person meets them. Nobody's favourites are
// lost, and what a save replaced can be found in the history.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include "tests/win/held_writers_lock.h"

namespace {

const std::vector<StoredRecord> kOne = {{L"a.txt", L"C:\\a.txt", 1}};

}  // namespace

class WritersTest : public BarTest {
protected:
    hostsim::MainWindow* first = nullptr;
    hostsim::MainWindow* second = nullptr;

    // Both windows with their bars open on records.
    void OpenTwo(const std::vector<StoredRecord>& records) {
        OpenOn(records);
        first = window;
        second = host->CreateMainWindow();
        second->Command();
        host->Pump();
        ASSERT_NE(nullptr, TreeOf(second));
    }
};

// An ended label edit marks the bar as edited; that alone must not make it
// save over a favourite another window added meanwhile.
TEST_F(WritersTest, ARenameThatChangedNothingDoesNotEraseAnotherWindowsFavourite) {
    OpenTwo(kOne);
    UseBarOf(second);
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    host->Flush();  // the first window flushes, then the second saves
    const auto withNew = StoredValue({{L"a.txt", L"C:\\a.txt", 1}, {L"new.txt", L"C:\\new.txt", 1}});
    ASSERT_EQ(withNew, ReadBinary(L"FavoriteArray"));

    UseBarOf(first);
    ClickItem(L"a.txt");
    Press(VK_F2);
    Press(VK_ESCAPE);  // cancelled
    ASSERT_EQ(nullptr, TreeView_GetEditControl(tree));
    host->Flush();
    EXPECT_EQ(withNew, ReadBinary(L"FavoriteArray"));
    EXPECT_EQ(L"a.txt/1/2 new.txt/1/2", Outline(TreeOf(first)));

    // Enter without typing, and the window closes before it flushes again.
    UseBarOf(second);
    AddDocumentAfter(L"new.txt", L"C:\\new2.txt");
    host->Flush();
    const auto withNew2 = StoredValue(
        {{L"a.txt", L"C:\\a.txt", 1}, {L"new.txt", L"C:\\new.txt", 1}, {L"new2.txt", L"C:\\new2.txt", 1}});
    ASSERT_EQ(withNew2, ReadBinary(L"FavoriteArray"));
    UseBarOf(first);
    ClickItem(L"a.txt");
    Press(VK_F2);
    Press(VK_RETURN);
    host->CloseMainWindow(first);
    EXPECT_EQ(withNew2, ReadBinary(L"FavoriteArray"));
    host->CloseMainWindow(second);
    EXPECT_EQ(withNew2, ReadBinary(L"FavoriteArray"));
}

TEST_F(WritersTest, AFavouriteDeletedInOneWindowDoesNotComeBackFromTheOther) {
    OpenTwo(kOne);
    UseBarOf(second);
    hostsim::ModalResponder responder;
    responder.AnswerBox(IDYES);
    ClickItem(L"a.txt");
    Press(VK_DELETE);
    host->Flush();
    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
    // The deleted last favourite can be had back.
    EXPECT_TRUE(InHistory(StoredValue(kOne)));

    host->CloseMainWindow(first);  // unchanged, never flushed since
    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
}

TEST_F(WritersTest, AnotherProgramsValueIsShownAtTheNextFlushAndNotRewritten) {
    OpenOn({{L"F", L"", 1, true, true}, {L"x.txt", L"C:\\x.txt", 2}, {L"y.txt", L"C:\\y.txt", 1}});
    ClickItem(L"y.txt");
    // A value the bar would save differently: a level skipped, an item
    // below a text item, a closed folder.
    auto written = StoredValue({{L"F", L"", 1, true, false},
                                {L"x.txt", L"C:\\x.txt", 3},
                                {L"y.txt", L"C:\\y.txt", 1},
                                {L"z.txt", L"C:\\z.txt", 1}});
    WriteBinary(L"FavoriteArray", written);
    host->Flush();
    EXPECT_EQ(L"F/1/0 x.txt/2/2 y.txt/1/2 z.txt/1/2", Outline(tree));
    EXPECT_EQ(L"y.txt", SelectedLabel());
    EXPECT_EQ(written, ReadBinary(L"FavoriteArray"));
    host->Flush();
    EXPECT_EQ(written, ReadBinary(L"FavoriteArray")) << "rewritten by a bar that only showed it";

    // Deleted by the other program: the bar follows to an empty tree.
    DeleteValue(L"FavoriteArray");
    host->Flush();
    EXPECT_EQ(L"", Outline(tree));
    EXPECT_FALSE(ValueExists(L"FavoriteArray"));
}

// favtool, or an editor of another process, holds the writers' lock of the
// key while it reads and writes; the bar's save waits for it, and gives up
// on one kept too long with its edits still to save.
TEST_F(WritersTest, ASaveWaitsForTheWritersLockAndKeepsItsEditsWhenItCannotHaveIt) {
    OpenOn(kOne);
    HeldWritersLock other(KeyPath());
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    host->Flush();
    EXPECT_EQ(StoredValue(kOne), ReadBinary(L"FavoriteArray"));
    other.Release();
    host->Flush();
    EXPECT_EQ(StoredValue({kOne[0], {L"new.txt", L"C:\\new.txt", 1}}), ReadBinary(L"FavoriteArray"));
}

// Moving the bar to another side closes it: edits that cannot be saved
// while another writer keeps the lock stay with the bar, which stays where
// it is, and are saved once the lock is free.
TEST_F(WritersTest, ASideChangeWhileAnotherWriterKeepsTheLockKeepsTheBarAndItsEdits) {
    OpenOn(kOne);
    HeldWritersLock other(KeyPath());
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    hostsim::ModalResponder responder;
    ChooseSide(responder, BAR_POS_RIGHT);
    host->PlugInProc(window, PP_SHOW_PROPERTIES, 0, 0);
    host->Pump();
    EXPECT_EQ(L"a.txt/1/2 new.txt/1/2", Outline(TreeOf(window)));
    EXPECT_EQ(BAR_POS_LEFT, window->BarPos());
    EXPECT_EQ(static_cast<DWORD>(BAR_POS_RIGHT), ReadDword(L"CustomBarPos"));

    other.Release();
    host->Flush();
    EXPECT_EQ(StoredValue({kOne[0], {L"new.txt", L"C:\\new.txt", 1}}), ReadBinary(L"FavoriteArray"));
    // The side chosen applies at the next opening.
    window->UserCloseBar();
    window->Command();
    host->Pump();
    EXPECT_EQ(BAR_POS_RIGHT, window->BarPos());
}

TEST_F(WritersTest, AFlushDuringALabelEditLeavesTheEditAloneAndTheOtherValueIsKept) {
    OpenOn(kOne);
    HWND edit = TypeOverLabel(L"a.txt", L"renamed");
    ASSERT_NE(nullptr, edit);
    const auto other = StoredValue({{L"b.txt", L"C:\\b.txt", 1}});
    WriteBinary(L"FavoriteArray", other);
    host->Flush();
    EXPECT_EQ(edit, TreeView_GetEditControl(tree));
    wchar_t text[64] = {};
    ::GetWindowTextW(edit, text, 64);
    EXPECT_STREQ(L"renamed", text);

    // The rename is this window's change: the last save wins, and the value
    // it replaced is in the history.
    Press(VK_RETURN);
    host->Flush();
    EXPECT_EQ(StoredValue({{L"renamed", L"C:\\a.txt", 1}}), ReadBinary(L"FavoriteArray"));
    EXPECT_TRUE(InHistory(other));
}

TEST_F(WritersTest, ADeleteThroughTheBarKeepsWhatItReplacedInTheHistory) {
    OpenOn({{L"a.txt", L"C:\\a.txt", 1}, {L"b.txt", L"C:\\b.txt", 1}});
    const auto before = ReadBinary(L"FavoriteArray");
    hostsim::ModalResponder responder;
    responder.AnswerBox(IDYES);
    ClickItem(L"b.txt");
    Press(VK_DELETE);
    host->Flush();
    EXPECT_EQ(StoredValue(kOne), ReadBinary(L"FavoriteArray"));
    const auto history = History();
    ASSERT_EQ(1u, history.size());
    EXPECT_EQ(before, history.begin()->second);
    EXPECT_NE(std::wstring::npos, history.begin()->first.find(L"delete"));

    // Adding a favourite the same day keeps no further copy.
    AddDocumentAfter(L"a.txt", L"C:\\c.txt");
    host->Flush();
    EXPECT_EQ(1u, History().size());
}

// The bar keeps its key open. Another program that deletes the whole key and
// writes a new one (a reset, then an import) is followed all the same, and
// the bar's next edits go to the key that is there now.
TEST_F(WritersTest, AKeyDeletedAndWrittenAnewByAnotherProgramIsFollowedAndSavedInto) {
    OpenTwo(kOne);
    host->Flush();
    ClearKey();
    const std::vector<StoredRecord> imported = {{L"b.txt", L"C:\\b.txt", 1}};
    WriteBinary(L"FavoriteArray", StoredValue(imported));
    host->Flush();
    EXPECT_EQ(L"b.txt/1/2", Outline(TreeOf(first)));
    EXPECT_EQ(L"b.txt/1/2", Outline(TreeOf(second)));

    // Deleted with nothing written after: an edit creates the key again.
    ClearKey();
    UseBarOf(second);
    AddDocumentAfter(L"b.txt", L"C:\\new.txt");
    host->Flush();
    const auto saved = StoredValue({imported[0], {L"new.txt", L"C:\\new.txt", 1}});
    EXPECT_EQ(saved, ReadBinary(L"FavoriteArray"));
    host->Flush();
    EXPECT_EQ(L"b.txt/1/2 new.txt/1/2", Outline(TreeOf(first)));
}
