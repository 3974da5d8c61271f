// Opening favourites, running macros and the bar's keys, driven by input
// posted into the host's message loop.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

const std::vector<StoredRecord> kFolderTree = {
    {L"Work", L"", 1, true, true},
    {L"A.txt", L"C:\\work\\A.txt", 2},
    {L"Sub", L"", 2, true, false},
    {L"B.txt", L"C:\\work\\sub\\B.txt", 3},
    {L"C.txt", L"C:\\work\\C.txt", 2},
    {L"Empty", L"", 2, true, false},
    {L"top.txt", L"C:\\top.txt", 1},
};

std::vector<std::wstring> Paths(const std::vector<Request>& requests) {
    std::vector<std::wstring> paths;
    for (const Request& r : requests) paths.push_back(r.text);
    return paths;
}

}  // namespace

TEST_F(BarTest, EnterAndDoubleClickOpenTheSelectedFileOnly) {
    OpenOn(kFolderTree);
    ClickItem(L"C.txt");
    Press(VK_RETURN);
    ASSERT_EQ(1u, Opened().size());
    EXPECT_EQ(L"C:\\work\\C.txt", Opened()[0].text);
    EXPECT_EQ((std::vector<UINT>{28, 0, 1, 0, 1, 1, 1}), Opened()[0].record);

    hostsim::DoubleClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"top.txt")));
    ASSERT_EQ(2u, Opened().size());
    EXPECT_EQ(L"C:\\top.txt", Opened()[1].text);

    ClickItem(L"Work");
    Press(VK_RETURN);
    hostsim::DoubleClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"Sub")));
    EXPECT_EQ(2u, Opened().size());
}

TEST_F(BarTest, OpenedFilesAreFollowedByOneAfterOpenCommandAtTheNextFlush) {
    OpenOn(kFolderTree);
    ClickItem(L"A.txt");
    Press(VK_RETURN);
    Press(VK_RETURN);
    EXPECT_TRUE(host->RequestsOf(HM_EXEC_COMMAND).empty());
    host->Flush();
    auto commands = host->RequestsOf(HM_EXEC_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(CMD_AFTER_OPEN, commands[0].wParam);
    host->Flush();
    EXPECT_EQ(1u, host->RequestsOf(HM_EXEC_COMMAND).size());

    // Opened, then the bar closed before the flush: nothing is sent later.
    Press(VK_RETURN);
    window->UserCloseBar();
    host->Flush();
    window->Command();
    host->Pump();
    host->Flush();
    EXPECT_EQ(1u, host->RequestsOf(HM_EXEC_COMMAND).size());
}

TEST_F(BarTest, F5RunsAFileAsTheFirstMacro) {
    hostsim::ScratchKey macros(HOST_MACRO_KEY);
    ASSERT_TRUE(macros.Create());
    OpenOn(kFolderTree);
    ClickItem(L"B.txt");
    Press(VK_F5, false, true, true);  // modifiers do not matter
    auto commands = host->RequestsOf(HM_EXEC_COMMAND);
    ASSERT_EQ(1u, commands.size());
    EXPECT_EQ(CMD_RUN_FIRST_MACRO, commands[0].wParam);
    EXPECT_EQ(L"C:\\work\\sub\\B.txt", commands[0].text);  // in the slot when the host ran it
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), macros.ValueType(HOST_FIRST_MACRO_VALUE));
    EXPECT_EQ(L"C:\\work\\sub\\B.txt", macros.ReadString(HOST_FIRST_MACRO_VALUE));
    EXPECT_TRUE(Opened().empty());
    host->Flush();
    EXPECT_EQ(1u, host->RequestsOf(HM_EXEC_COMMAND).size());  // a macro run is not an opening

    ClickItem(L"Sub");
    Press(VK_F5);
    EXPECT_EQ(1u, host->RequestsOf(HM_EXEC_COMMAND).size());
}

TEST_F(BarTest, F5WithoutTheHostsMacroKeyStillAsksTheHostToRun) {
    hostsim::ScratchKey macros(HOST_MACRO_KEY);
    OpenOn(kFolderTree);
    ClickItem(L"A.txt");
    Press(VK_F5);
    EXPECT_EQ(1u, host->RequestsOf(HM_EXEC_COMMAND).size());
    EXPECT_FALSE(macros.Exists());  // the plug-in does not create the host's key
}

TEST_F(BarTest, OpenAllCommandsOpenTheFolderInTreeOrder) {
    OpenOn(kFolderTree);
    HTREEITEM work = FindItem(tree, L"Work");
    hostsim::ModalResponder responder;
    responder.ChooseMenuItem(ID_OPEN_FOLDER);
    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, work));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\work\\A.txt", L"C:\\work\\C.txt"}), Paths(Opened()));

    host->ClearRequests();
    responder.ChooseMenuItem(ID_OPEN_FOLDER_ALL);
    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, work));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\work\\A.txt", L"C:\\work\\sub\\B.txt", L"C:\\work\\C.txt"}),
              Paths(Opened()));

    host->Flush();
    host->ClearRequests();
    responder.ChooseMenuItem(ID_OPEN_FOLDER_ALL);
    hostsim::RightClick(*host, tree, hostsim::ItemCentre(tree, FindItem(tree, L"Empty")));
    // The command was offered and chosen; the empty folder had nothing to open.
    ASSERT_EQ(3u, responder.Menus().size());
    EXPECT_TRUE(responder.Menus().back().IsEnabled(ID_OPEN_FOLDER_ALL));
    EXPECT_TRUE(Opened().empty());
    host->Flush();
    EXPECT_TRUE(host->RequestsOf(HM_EXEC_COMMAND).empty());
}

TEST_F(BarTest, F2EditsTheLabelAndEnterOrEscapeEndTheEditNotTheHost) {
    OpenOn(kFolderTree);
    ASSERT_NE(nullptr, TypeOverLabel(L"top.txt", L"renamed"));
    Press(VK_RETURN);
    EXPECT_EQ(nullptr, TreeView_GetEditControl(tree));
    EXPECT_NE(nullptr, FindItem(tree, L"renamed"));
    EXPECT_TRUE(Opened().empty());  // Enter ended the edit, it did not open the file

    Press(VK_F2);  // the renamed item is still selected
    HWND edit = TreeView_GetEditControl(tree);
    ASSERT_NE(nullptr, edit);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    hostsim::TypeText(*host, edit, L"discarded");
    Press(VK_ESCAPE);
    EXPECT_EQ(nullptr, TreeView_GetEditControl(tree));
    EXPECT_NE(nullptr, FindItem(tree, L"renamed"));
    EXPECT_EQ(nullptr, FindItem(tree, L"discarded"));

    // Both edits count as changes, saved at the next flush.
    host->Flush();
    EXPECT_NE(std::string::npos, [&] {
        std::vector<BYTE> v = ReadBinary(L"FavoriteArray");
        return std::string(v.begin(), v.end()).find(std::string("r\0e\0n\0a\0m\0e\0d", 13));
    }());
}
