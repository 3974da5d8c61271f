// The plug-in procedure: text and bitmap queries, requirements, uninstall
// confirmation and the properties dialog.
#include "tests/win/fixture.h"

#include "res/resource.h"

namespace {

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

}  // namespace

class PlugInProcTest : public PluginTest {
protected:
    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return host->Exports().PlugInProc(hwnd, msg, wParam, lParam);
    }
};

TEST_F(PlugInProcTest, TextQueriesReportTheNeededCapacityAndNeverOverrun) {
    StartHost();
    EXPECT_EQ(6, Proc(nullptr, PP_GET_NAME_W, 0, 0));
    wchar_t wide[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(6, Proc(nullptr, PP_GET_NAME_W, 3, reinterpret_cast<LPARAM>(wide)));
    EXPECT_EQ(std::wstring(L"お気"), std::wstring(wide));
    EXPECT_EQ(L'x', wide[3]);
    EXPECT_EQ(6, Proc(nullptr, PP_GET_NAME_W, 8, reinterpret_cast<LPARAM>(wide)));
    EXPECT_EQ(std::wstring(L"お気に入り"), std::wstring(wide));

    // A capacity of 0 writes nothing at all.
    wchar_t untouched[2] = {L'u', L'v'};
    EXPECT_EQ(6, Proc(nullptr, PP_GET_NAME_W, 0, reinterpret_cast<LPARAM>(untouched)));
    EXPECT_EQ(L'u', untouched[0]);

    char ansi[8] = {};
    EXPECT_EQ(5, Proc(nullptr, PP_GET_VERSION_A, 8, reinterpret_cast<LPARAM>(ansi)));
    EXPECT_STREQ("6.00", ansi);
    EXPECT_EQ(5, Proc(nullptr, PP_GET_VERSION_A, 2, reinterpret_cast<LPARAM>(ansi)));
    EXPECT_STREQ("6", ansi);
    EXPECT_EQ(5, Proc(nullptr, PP_GET_VERSION_W, 0, 0));
    EXPECT_GE(Proc(nullptr, PP_GET_NAME_A, 0, 0), 6);
}

TEST_F(PlugInProcTest, QueriesWithoutAFrameAndMessagesThatNeedOne) {
    hostsim::MainWindow* window = StartHost();
    EXPECT_EQ(101, Proc(nullptr, PP_GET_BITMAP_ID, 0));
    EXPECT_EQ(110, Proc(nullptr, PP_GET_BITMAP_ID, 0x20));
    EXPECT_EQ(112, Proc(nullptr, PP_GET_BITMAP_ID, 0x111));
    EXPECT_EQ(114, Proc(nullptr, PP_GET_BITMAP_ID, 0x211));
    EXPECT_EQ(115, Proc(nullptr, PP_GET_BITMAP_ID, 0x301));
    EXPECT_EQ(-1, Proc(nullptr, PP_GET_BITMAP_MODE, 0x10));
    EXPECT_EQ(0, Proc(nullptr, PP_GET_BITMAP_MODE, 0x100));
    EXPECT_EQ(6000, Proc(nullptr, PP_QUERY_REQUIREMENT, 2));
    EXPECT_EQ(1, Proc(nullptr, PP_QUERY_REQUIREMENT, 6));
    EXPECT_EQ(0, Proc(nullptr, PP_QUERY_REQUIREMENT, 7));

    hostsim::ModalResponder responder;
    for (UINT msg : {PP_QUERY_PROPERTIES, PP_SHOW_PROPERTIES, PP_QUERY_UNINSTALL, PP_UNINSTALL,
                     PP_PRETRANSLATE_MESSAGE, 2316u}) {
        EXPECT_EQ(0, Proc(nullptr, msg)) << msg;
    }
    EXPECT_TRUE(responder.Boxes().empty());
    EXPECT_EQ(1, Proc(window->View(), PP_QUERY_PROPERTIES));
    EXPECT_EQ(1, Proc(window->View(), PP_QUERY_UNINSTALL));
    EXPECT_EQ(0, Proc(window->View(), 2316));
}

TEST_F(PlugInProcTest, UninstallAsksAndAnswersWithTheUsersChoice) {
    hostsim::MainWindow* window = StartHost();
    hostsim::ModalResponder responder;
    responder.AnswerBox(IDYES);
    EXPECT_EQ(1, Proc(window->View(), PP_UNINSTALL));
    responder.AnswerBox(IDNO);
    EXPECT_EQ(0, Proc(window->View(), PP_UNINSTALL));
    ASSERT_EQ(2u, responder.Boxes().size());
    EXPECT_EQ(L"アンインストールを実行します。よろしいですか?", responder.Boxes()[0].text);
    EXPECT_EQ(L"お気に入り", responder.Boxes()[0].caption);
}

TEST_F(PlugInProcTest, PropertiesListTheFourSidesAndOkMovesAnOpenBar) {
    WriteBinary(L"FavoriteArray", StoredValue({{L"kept", L"C:\\kept.txt", 1}}));
    WriteDword(L"check", 1);
    hostsim::MainWindow* window = OpenBarWindow();
    hostsim::ModalResponder responder;
    std::vector<std::wstring> items;
    LRESULT initialSelection = -2;
    std::wstring caption;
    responder.HandleDialog([&](HWND dialog) {
        HWND combo = ::GetDlgItem(dialog, IDC_BAR_POS);
        items = ComboItems(combo);
        initialSelection = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
        wchar_t text[64] = {};
        ::GetWindowTextW(dialog, text, 64);
        caption = text;
        ::SendMessageW(combo, CB_SETCURSEL, 3, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, Proc(window->View(), PP_SHOW_PROPERTIES));
    host->Pump();
    EXPECT_EQ((std::vector<std::wstring>{L"左", L"上", L"右", L"下"}), items);
    EXPECT_EQ(0, initialSelection);
    EXPECT_EQ(L"お気に入り", caption);
    EXPECT_EQ(3u, ReadDword(L"CustomBarPos"));
    EXPECT_EQ(1, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));
    auto opens = host->RequestsOf(HM_OPEN_CUSTOM_BAR);
    ASSERT_EQ(2u, opens.size());
    EXPECT_EQ(3u, opens[1].record[4]);
    EXPECT_EQ(3, window->BarPos());
    EXPECT_EQ(L"kept/1/2", Outline(TreeOf(window)));
}

TEST_F(PlugInProcTest, OkWithoutChangeRewritesAndCancelStoresNothing) {
    hostsim::MainWindow* window = OpenBarWindow();
    hostsim::ModalResponder responder;
    responder.HandleDialog([](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(1, Proc(window->View(), PP_SHOW_PROPERTIES));
    EXPECT_EQ(0u, ReadDword(L"CustomBarPos"));
    EXPECT_EQ(0, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));

    ClearKey();
    responder.HandleDialog([](HWND dialog) {
        ::SendDlgItemMessageW(dialog, IDC_BAR_POS, CB_SETCURSEL, 2, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(1, Proc(window->View(), PP_SHOW_PROPERTIES));
    EXPECT_FALSE(ValueExists(L"CustomBarPos"));
    EXPECT_EQ(0, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));
}

TEST_F(PlugInProcTest, StoredSideOutsideTheListIsKeptByOk) {
    WriteDword(L"CustomBarPos", 7);
    hostsim::MainWindow* window = OpenBarWindow();
    hostsim::ModalResponder responder;
    LRESULT selection = 0;
    responder.HandleDialog([&](HWND dialog) {
        selection = ::SendDlgItemMessageW(dialog, IDC_BAR_POS, CB_GETCURSEL, 0, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, Proc(window->View(), PP_SHOW_PROPERTIES));
    EXPECT_EQ(CB_ERR, selection);
    EXPECT_EQ(7u, ReadDword(L"CustomBarPos"));
    EXPECT_EQ(0, RequestCount(*host, HM_CLOSE_CUSTOM_BAR));
    EXPECT_EQ(7, window->BarPos());
}

TEST_F(PlugInProcTest, NewSideChosenWhileTheBarIsClosedTakesEffectAtTheNextOpening) {
    hostsim::MainWindow* window = StartHost();
    hostsim::ModalResponder responder;
    responder.HandleDialog([](HWND dialog) {
        ::SendDlgItemMessageW(dialog, IDC_BAR_POS, CB_SETCURSEL, 1, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, Proc(window->View(), PP_SHOW_PROPERTIES));
    EXPECT_EQ(0, RequestCount(*host, HM_OPEN_CUSTOM_BAR));
    window->Command();
    host->Pump();
    EXPECT_EQ(1, window->BarPos());
}
