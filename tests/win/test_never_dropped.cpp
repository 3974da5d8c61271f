// Edits are never dropped and the editor never waits on another writer:
// another program holding the writers' lock, a lock the plug-in may not
// open, a host that answers the tree's notices during a reload, and another
// writer's two writes seen half done.
#include "tests/win/fixture.h"

#include <commctrl.h>
#include <aclapi.h>
#include <sddl.h>

#include "common/handles.h"
#include "store/writers_lock.h"
#include "tests/win/held_writers_lock.h"

namespace {

const std::vector<StoredRecord> kOne = {{L"a.txt", L"C:\\a.txt", 1}};
const std::vector<StoredRecord> kOneAndNew = {{L"a.txt", L"C:\\a.txt", 1}, {L"new.txt", L"C:\\new.txt", 1}};

}  // namespace

class NeverDroppedTest : public BarTest {
protected:
    // The history entries whose name gives the reason.
    std::vector<std::vector<BYTE>> HistoryWithReason(const std::wstring& reason) const {
        std::vector<std::vector<BYTE>> found;
        for (const auto& entry : History()) {
            const std::wstring& name = entry.first;
            if (name.size() > reason.size() && name.compare(name.size() - reason.size(), reason.size(), reason) == 0) {
                found.push_back(entry.second);
            }
        }
        return found;
    }
};

// The bar closes as the user asked while another writer keeps the lock; the
// favourite added is kept by the window, shown when the bar opens again, and
// written once the lock is free, with the bar open or not.
TEST_F(NeverDroppedTest, AnEditThatCannotBeSavedAsTheBarClosesIsKeptShownAndWrittenLater) {
    OpenOn(kOne);
    {
        HeldWritersLock other(KeyPath());
        AddDocumentAfter(L"a.txt", L"C:\\new.txt");
        window->UserCloseBar();
        EXPECT_EQ(nullptr, TreeOf(window));
        EXPECT_EQ(StoredValue(kOne), ReadBinary(L"FavoriteArray"));

        window->Command();
        host->Pump();
        EXPECT_EQ(L"a.txt/1/2 new.txt/1/2", Outline(TreeOf(window))) << "opened on the older stored value";
        window->UserCloseBar();
        host->Flush();
        EXPECT_EQ(StoredValue(kOne), ReadBinary(L"FavoriteArray"));
    }
    host->Flush();
    EXPECT_EQ(StoredValue(kOneAndNew), ReadBinary(L"FavoriteArray")) << "a closed bar's edits are written at a flush";
    window->Command();
    host->Pump();
    EXPECT_EQ(L"a.txt/1/2 new.txt/1/2", Outline(TreeOf(window)));
}

enum class Leaving { WindowClosed, Unloaded, FreedWithoutUnload };

class LeavingWithEditsTest : public NeverDroppedTest, public ::testing::WithParamInterface<Leaving> {};

// A window that goes while its favourites cannot be saved keeps them as a
// history entry of their own, which needs no lock.
TEST_P(LeavingWithEditsTest, FavouritesStillUnsavedWhenTheFrameGoesAreKeptInTheHistory) {
    OpenOn(kOne);
    HeldWritersLock other(KeyPath());
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    switch (GetParam()) {
    case Leaving::WindowClosed:
        host->CloseMainWindow(window);
        break;
    case Leaving::Unloaded:
        host->UnloadPlugin();
        break;
    case Leaving::FreedWithoutUnload:
        host->FreeWithoutUnload();
        break;
    }
    other.Release();
    EXPECT_EQ(StoredValue(kOne), ReadBinary(L"FavoriteArray"));
    const auto unsaved = HistoryWithReason(L" unsaved");
    ASSERT_EQ(1u, unsaved.size()) << "the unsaved favourites are in no history entry";
    EXPECT_EQ(StoredValue(kOneAndNew), unsaved.front());
}

INSTANTIATE_TEST_SUITE_P(Leaving, LeavingWithEditsTest,
                         ::testing::Values(Leaving::WindowClosed, Leaving::Unloaded, Leaving::FreedWithoutUnload));

// No step waits for another writer's lock: each returns while the other
// writer still holds it (which lets go by itself after a while, so a step
// that waits returns only after that).
TEST_F(NeverDroppedTest, AFlushACloseAndAWindowClosingDoNotWaitForAnotherWritersLock) {
    OpenOn(kOne);
    HeldWritersLock other(KeyPath(), 4000);
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    host->Flush();
    EXPECT_TRUE(other.StillHeld()) << "the flush waited for the lock";
    host->Flush();
    EXPECT_TRUE(other.StillHeld()) << "the next flush waited for the lock";
    window->UserCloseBar();
    EXPECT_TRUE(other.StillHeld()) << "the close waited for the lock";
    host->CloseMainWindow(window);
    EXPECT_TRUE(other.StillHeld()) << "the window's closing waited for the lock";
}

class ForeignLockTest : public NeverDroppedTest, public ::testing::WithParamInterface<ForeignLock> {
protected:
    UniqueKernelHandle TakeLockName() { return TakeWritersLockName(KeyPath(), GetParam()); }
};

TEST_P(ForeignLockTest, ALockMadeElsewhereCostsNoEdit) {
    OpenOn(kOne);
    const UniqueKernelHandle taken = TakeLockName();
    ASSERT_TRUE(taken);
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    host->Flush();
    EXPECT_EQ(StoredValue(kOneAndNew), ReadBinary(L"FavoriteArray"));
    // And the window still follows another writer.
    const std::vector<StoredRecord> others = {{L"b.txt", L"C:\\b.txt", 1}};
    WriteBinary(L"FavoriteArray", StoredValue(others));
    host->Flush();
    host->Flush();
    EXPECT_EQ(L"b.txt/1/2", Outline(tree));
}

INSTANTIATE_TEST_SUITE_P(Lock, ForeignLockTest,
                         ::testing::Values(ForeignLock::WaitAndReleaseOnly, ForeignLock::NotAMutex));

namespace {

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) return L"?";
    const std::wstring copy = text;
    ::LocalFree(text);
    return copy;
}

std::wstring ThisUsersSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
    const UniqueKernelHandle owned(token);
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenUser, &info, sizeof(info), &size)) return L"";
    return SidText(info.user.User.Sid);
}

// "SID mask" for each entry of an access list, in order.
std::vector<std::wstring> Entries(PACL acl) {
    std::vector<std::wstring> entries;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace)) break;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        // Allowed and label entries share the layout: header, mask, SID.
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        wchar_t mask[16] = {};
        ::wsprintfW(mask, L" %u:%#x", header->AceType, allowed->Mask);
        entries.push_back(SidText(const_cast<DWORD*>(&allowed->SidStart)) + mask);
    }
    return entries;
}

}  // namespace

// The lock the plug-in makes lets every process of the user wait on it and
// release it, whether elevated or not and at any integrity (an editor run
// as administrator may make it first), and grants nothing more.
TEST_F(NeverDroppedTest, TheLockThePlugInMakesLetsEveryProcessOfTheUserWaitAndRelease) {
    OpenOn(kOne);
    AddDocumentAfter(L"a.txt", L"C:\\new.txt");
    host->Flush();  // the save makes the lock
    ASSERT_EQ(StoredValue(kOneAndNew), ReadBinary(L"FavoriteArray"));
    const std::wstring name = favstore::WritersLockName(KeyPath().c_str());
    const UniqueKernelHandle lock(::OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
    ASSERT_TRUE(lock) << ::GetLastError();

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ::GetSecurityInfo(lock.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor));
    const std::vector<std::wstring> wanted = {ThisUsersSid() + L" 0:0x120001", L"S-1-5-18 0:0x120001",
                                              L"S-1-5-32-544 0:0x120001"};
    EXPECT_EQ(wanted, Entries(dacl));
    ::LocalFree(descriptor);

    // The label, where the system reports one: low, so that processes of the
    // user at low integrity may use the lock too.
    PACL sacl = nullptr;
    descriptor = nullptr;
    if (::GetSecurityInfo(lock.get(), SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, &sacl,
                          &descriptor) == ERROR_SUCCESS &&
        sacl) {
        EXPECT_EQ(std::vector<std::wstring>{L"S-1-16-4096 17:0x1"}, Entries(sacl));  // no write up
    }
    ::LocalFree(descriptor);

    // What a writer asks for when it opens the lock. (Wine grants the
    // user's own processes more than the list does, so that the list is
    // what this test can hold the plug-in to.)
    EXPECT_TRUE(UniqueKernelHandle(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str())));
}

enum class HostAnswer { SaveEvent, CloseBar, CloseWindow };

class ReloadAnsweredTest : public NeverDroppedTest, public ::testing::WithParamInterface<HostAnswer> {};

// The host answers the first notice of the tree during a reload: the
// half-rebuilt tree is never stored, and nothing is torn down under the load.
TEST_P(ReloadAnsweredTest, AHostAnsweringATreeNoticeDuringAReloadLosesNothing) {
    OpenOn({{L"a.txt", L"C:\\a.txt", 1}, {L"b.txt", L"C:\\b.txt", 1}});
    const auto others = StoredValue({{L"c.txt", L"C:\\c.txt", 1}, {L"d.txt", L"C:\\d.txt", 1},
                                     {L"e.txt", L"C:\\e.txt", 1}});
    bool armed = false;
    bool answered = false;
    host->OnNotice([&](hostsim::MainWindow& w, const NMHDR&) {
        if (!armed || answered) return;
        answered = true;
        switch (GetParam()) {
        case HostAnswer::SaveEvent: {
            BAR_EVENT_INFO info = {w.BarId(), 0, 0};
            host->SendEvent(&w, EV_BAR_SAVE, reinterpret_cast<LPARAM>(&info));
            break;
        }
        case HostAnswer::CloseBar:
            w.UserCloseBar();
            break;
        case HostAnswer::CloseWindow:
            host->CloseMainWindow(&w);
            break;
        }
    });
    WriteBinary(L"FavoriteArray", others);
    armed = true;
    host->Flush();
    armed = false;
    host->Pump();
    ASSERT_TRUE(answered) << "the reload sent no notice";
    EXPECT_EQ(others, ReadBinary(L"FavoriteArray"));
    switch (GetParam()) {
    case HostAnswer::SaveEvent:
        EXPECT_EQ(L"c.txt/1/2 d.txt/1/2 e.txt/1/2", Outline(TreeOf(window)));
        break;
    case HostAnswer::CloseBar:
        EXPECT_EQ(nullptr, TreeOf(window));
        window->Command();
        host->Pump();
        EXPECT_EQ(L"c.txt/1/2 d.txt/1/2 e.txt/1/2", Outline(TreeOf(window)));
        break;
    case HostAnswer::CloseWindow:
        EXPECT_FALSE(window->IsOpen());
        break;
    }
    host->Flush();
    EXPECT_EQ(others, ReadBinary(L"FavoriteArray"));
}

INSTANTIATE_TEST_SUITE_P(Host, ReloadAnsweredTest,
                         ::testing::Values(HostAnswer::SaveEvent, HostAnswer::CloseBar, HostAnswer::CloseWindow));

// Another program writes the value, then its layout marker (a restore of an
// older value does). A look between the two is put right by the next.
TEST_F(NeverDroppedTest, AValueSeenBeforeItsMarkerIsReadAgainOnceTheMarkerFollows) {
    OpenOn({{L"F", L"", 1, true, true}, {L"x.txt", L"C:\\x.txt", 2}});
    const std::vector<StoredRecord> restored = {
        {L"G", L"", 1, true}, {L"y.txt", L"C:\\y.txt", 2}, {L"z.txt", L"C:\\z.txt", 1}};
    WriteBinary(L"FavoriteArray", StoredValue(restored, false));
    host->Flush();  // the value in the old layout, the marker still saying the current one
    WriteDword(L"check", 0);
    host->Flush();
    host->Flush();
    EXPECT_EQ(L"G/1/0 y.txt/2/2 z.txt/1/2", Outline(tree));
    // Shown whole, it is converted; nothing of it went anywhere but there.
    EXPECT_EQ(StoredValue(restored), ReadBinary(L"FavoriteArray"));
    EXPECT_EQ(1u, ReadDword(L"check"));
}

// A reload keeps what this window opened and where it stands, as long as
// the stored value did not change those folders.
TEST_F(NeverDroppedTest, AReloadKeepsTheFoldersThisWindowOpenedAndTheSelection) {
    OpenOn({{L"F", L"", 1, true, false}, {L"x.txt", L"C:\\x.txt", 2}, {L"y.txt", L"C:\\y.txt", 1}});
    ClickItem(L"F");
    Press(VK_RIGHT);  // opened by the user
    ASSERT_EQ(L"F/1/0+ x.txt/2/2 y.txt/1/2", Outline(tree));
    ClickItem(L"x.txt");
    WriteBinary(L"FavoriteArray", StoredValue({{L"F", L"", 1, true, false},
                                               {L"x.txt", L"C:\\x.txt", 2},
                                               {L"y.txt", L"C:\\y.txt", 1},
                                               {L"z.txt", L"C:\\z.txt", 1}}));
    host->Flush();
    EXPECT_EQ(L"F/1/0+ x.txt/2/2 y.txt/1/2 z.txt/1/2", Outline(tree));
    EXPECT_EQ(L"x.txt", SelectedLabel());

    // Another window closed the folder it had stored open: that is followed.
    ClickItem(L"y.txt");
    WriteBinary(L"FavoriteArray", StoredValue({{L"F", L"", 1, true, true},
                                               {L"x.txt", L"C:\\x.txt", 2},
                                               {L"y.txt", L"C:\\y.txt", 1}}));
    host->Flush();
    EXPECT_EQ(L"F/1/0+ x.txt/2/2 y.txt/1/2", Outline(tree));
    WriteBinary(L"FavoriteArray", StoredValue({{L"F", L"", 1, true, false},
                                               {L"x.txt", L"C:\\x.txt", 2},
                                               {L"y.txt", L"C:\\y.txt", 1},
                                               {L"w.txt", L"C:\\w.txt", 1}}));
    host->Flush();
    EXPECT_EQ(L"F/1/0 x.txt/2/2 y.txt/1/2 w.txt/1/2", Outline(tree));
    EXPECT_EQ(L"y.txt", SelectedLabel());
}

// What the tree cannot show (a label longer than it keeps, one with a NUL
// inside) stays as stored when a bar that changed nothing closes; opening a
// folder changes its expanded byte and nothing else.
TEST_F(NeverDroppedTest, ClosingABarThatChangedNoFavouriteKeepsTheStoredBytes) {
    const std::wstring longLabel(300, L'L');
    const std::wstring withNul(L"ab\0cd", 5);
    std::vector<StoredRecord> records = {{longLabel, L"C:\\long.txt", 1},
                                         {withNul, L"C:\\nul.txt", 1},
                                         {L"F", L"", 1, true, false},
                                         {L"x.txt", L"C:\\x.txt", 2}};
    OpenOn(records);
    const auto before = ReadBinary(L"FavoriteArray");
    window->UserCloseBar();
    EXPECT_EQ(before, ReadBinary(L"FavoriteArray"));

    window->Command();
    host->Pump();
    tree = TreeOf(window);
    TreeView_Expand(tree, FindItem(tree, L"F"), TVE_EXPAND);
    window->UserCloseBar();
    records[2].expanded = true;
    EXPECT_EQ(StoredValue(records), ReadBinary(L"FavoriteArray"));
}
