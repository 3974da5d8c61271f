// The resources of the built plug-in, read back from the DLL: the Japanese
// string table, the context menu, the properties dialog template and the
// bitmaps the host and the tree view load.
#include "tests/win/fixture.h"

#include <commctrl.h>

#include <cstring>
#include <cwctype>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = ::LoadLibraryExW(FavoritesDllPath(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << "cannot load the plug-in as a data file";
    }
    void TearDown() override {
        if (module) ::FreeLibrary(module);
    }

    // The raw bytes of a resource in Japanese, or an empty vector.
    std::vector<BYTE> Raw(LPCWSTR type, UINT id) const {
        HRSRC info = ::FindResourceExW(module, type, MAKEINTRESOURCEW(id), kJapanese);
        if (!info) return {};
        const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, info)));
        return std::vector<BYTE>(data, data + ::SizeofResource(module, info));
    }

    HMODULE module = nullptr;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

// Reads a resource's data as a sequence of little-endian fields.
class Reader {
public:
    explicit Reader(const std::vector<BYTE>& data) : m_data(data) {}

    BYTE Byte() {
        if (m_pos >= m_data.size()) {
            m_overrun = true;
            return 0;
        }
        return m_data[m_pos++];
    }
    WORD Word() {
        const BYTE low = Byte();
        return static_cast<WORD>(low | (Byte() << 8));
    }
    DWORD Dword() {
        const WORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    std::wstring Chars(size_t count) {
        std::wstring text;
        for (size_t i = 0; i < count; ++i) text += static_cast<wchar_t>(Word());
        return text;
    }
    std::wstring Sz() {
        std::wstring text;
        for (wchar_t c = static_cast<wchar_t>(Word()); c != 0 && !m_overrun; c = static_cast<wchar_t>(Word())) {
            text += c;
        }
        return text;
    }
    // A string or an ordinal; an ordinal comes back as "#<number>".
    std::wstring SzOrOrdinal() {
        const WORD first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        return static_cast<wchar_t>(first) + Sz();
    }
    void AlignToDword() { m_pos = (m_pos + 3) & ~size_t{3}; }
    void Skip(size_t count) { m_pos += count; }
    bool Overrun() const { return m_overrun || m_pos > m_data.size(); }

private:
    const std::vector<BYTE>& m_data;
    size_t m_pos = 0;
    bool m_overrun = false;
};

// ---------------------------------------------------------------------------
// String table

const std::vector<std::pair<UINT, std::wstring>> kStrings = {
    {IDS_UNINSTALL_CONFIRM, L"アンインストールを実行します。よろしいですか?"},
    {IDS_VERSION, L"6.00"},
    {IDS_NAME, L"お気に入り"},
    {IDS_STATUS, L"お気に入り"},
    {IDS_DELETE_ITEM, L"本当に選択された項目を削除してよろしいですか?"},
    {IDS_DELETE_FOLDER, L"本当に選択されたフォルダとその中身を削除してよろしいですか?"},
    {IDS_HOST_TOO_OLD, L"Zorvex Version 6.00 以上が必要です。"},
    {IDS_POS_LEFT, L"左"},
    {IDS_POS_TOP, L"上"},
    {IDS_POS_RIGHT, L"右"},
    {IDS_POS_BOTTOM, L"下"},
};

// The 16 strings of the first string block (ids 0 to 15), in Japanese.
std::vector<std::wstring> FirstStringBlock(const std::vector<BYTE>& block) {
    Reader reader(block);
    std::vector<std::wstring> strings;
    for (int i = 0; i < 16; ++i) strings.push_back(reader.Chars(reader.Word()));
    EXPECT_FALSE(reader.Overrun());
    return strings;
}

TEST_F(ResourceTest, StringTableHoldsExactlyTheJapaneseTexts) {
    const std::vector<BYTE> block = Raw(RT_STRING, 1);
    ASSERT_FALSE(block.empty()) << "no Japanese string block for ids 0 to 15";
    const std::vector<std::wstring> strings = FirstStringBlock(block);
    for (const auto& [id, text] : kStrings) EXPECT_EQ(text, strings[id]) << "string " << id;
    for (UINT absent : {0u, 8u, 9u, 10u, 15u}) EXPECT_EQ(L"", strings[absent]) << "string " << absent;
}

TEST_F(ResourceTest, StringsExistOnlyInJapaneseSoAnyUiLanguageFindsThem) {
    std::vector<ULONG_PTR> blocks;
    ::EnumResourceNamesW(module, RT_STRING, CollectName, reinterpret_cast<LONG_PTR>(&blocks));
    EXPECT_EQ(std::vector<ULONG_PTR>{1}, blocks);
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(1), CollectLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::vector<WORD>{kJapanese}, languages);
}

TEST_F(ResourceTest, LoadStringReturnsEachTextInFull) {
    for (const auto& [id, text] : kStrings) {
        wchar_t buffer[80] = {};
        EXPECT_EQ(static_cast<int>(text.size()), ::LoadStringW(module, id, buffer, 80)) << "string " << id;
        EXPECT_EQ(text, buffer) << "string " << id;
    }
    wchar_t buffer[80] = {};
    for (UINT absent : {8u, 9u, 10u}) EXPECT_EQ(0, ::LoadStringW(module, absent, buffer, 80)) << absent;
}

// ---------------------------------------------------------------------------
// Context menu

struct MenuEntry {
    UINT id;            // 0 for a separator
    std::wstring text;
};

const std::vector<MenuEntry> kContextMenu = {
    {ID_NEW_TEXT, L"テキストの新規追加(&N)\tInsert"},
    {ID_NEW_FOLDER, L"フォルダの新規作成(&F)"},
    {0, L""},
    {ID_DELETE, L"削除(&L)\tDelete"},
    {ID_RENAME, L"名前の変更(&R)\tF2"},
    {0, L""},
    {ID_MOVE_UP, L"上へ移動(&U)\tAlt+Up"},
    {ID_MOVE_DOWN, L"下へ移動(&D)\tAlt+Down"},
    {0, L""},
    {ID_OPEN_FOLDER, L"指定フォルダ内を全て開く(&O)"},
    {ID_OPEN_FOLDER_ALL, L"指定フォルダ以降を全て開く(&A)"},
    {0, L""},
    {ID_RUN_MACRO, L"マクロ実行(&M)\tF5"},
};

TEST_F(ResourceTest, ContextMenuIsOneJapanesePopupWithEveryItemInOrder) {
    ASSERT_FALSE(Raw(RT_MENU, IDR_CONTEXT_MENU).empty()) << "no Japanese menu 118";
    HMENU menu = ::LoadMenuW(module, MAKEINTRESOURCEW(IDR_CONTEXT_MENU));
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(1, ::GetMenuItemCount(menu));
    HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    ASSERT_EQ(static_cast<int>(kContextMenu.size()), ::GetMenuItemCount(popup));
    for (UINT i = 0; i < kContextMenu.size(); ++i) {
        SCOPED_TRACE("menu position " + std::to_string(i));
        wchar_t text[128] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = 128;
        ASSERT_TRUE(::GetMenuItemInfoW(popup, i, TRUE, &item));
        const bool separator = kContextMenu[i].id == 0;
        EXPECT_EQ(separator, (item.fType & MFT_SEPARATOR) != 0);
        EXPECT_EQ(nullptr, item.hSubMenu);
        if (separator) continue;
        EXPECT_EQ(kContextMenu[i].id, item.wID);
        EXPECT_EQ(kContextMenu[i].text, text);
        EXPECT_EQ(0u, item.fState & (MFS_GRAYED | MFS_CHECKED | MFS_DEFAULT));
    }
    ::DestroyMenu(menu);
}

// ---------------------------------------------------------------------------
// Properties dialog

struct DialogItem {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::wstring className;  // lower case
    std::wstring text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, className, caption;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<DialogItem> items;
};

std::wstring ClassName(const std::wstring& name) {
    if (name == L"#128") return L"button";
    if (name == L"#129") return L"edit";
    if (name == L"#130") return L"static";
    if (name == L"#131") return L"listbox";
    if (name == L"#132") return L"scrollbar";
    if (name == L"#133") return L"combobox";
    std::wstring lower = name;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

// Reads both template forms, so the resource may be written as DIALOG or DIALOGEX.
DialogTemplate ParseDialog(const std::vector<BYTE>& data) {
    Reader in(data);
    DialogTemplate dialog;
    const bool extended = data.size() > 4 && data[2] == 0xFF && data[3] == 0xFF;
    WORD count = 0;
    if (extended) {
        in.Skip(8);  // version, signature, help id
        dialog.exStyle = in.Dword();
        dialog.style = in.Dword();
    } else {
        dialog.style = in.Dword();
        dialog.exStyle = in.Dword();
    }
    count = in.Word();
    dialog.x = in.Short();
    dialog.y = in.Short();
    dialog.cx = in.Short();
    dialog.cy = in.Short();
    dialog.menu = in.SzOrOrdinal();
    dialog.className = in.SzOrOrdinal();
    dialog.caption = in.Sz();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Word();
        if (extended) in.Skip(4);  // weight, italic, character set
        dialog.face = in.Sz();
    }
    for (WORD i = 0; i < count && !in.Overrun(); ++i) {
        in.AlignToDword();
        DialogItem item = {};
        if (extended) {
            in.Skip(8);  // help id, extended style
            item.style = in.Dword();
        } else {
            item.style = in.Dword();
            in.Skip(4);
        }
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = static_cast<WORD>(extended ? in.Dword() : in.Word());
        item.className = ClassName(in.SzOrOrdinal());
        item.text = in.SzOrOrdinal();
        in.Skip(in.Word());  // creation data
        dialog.items.push_back(item);
    }
    EXPECT_FALSE(in.Overrun()) << "dialog template is truncated";
    return dialog;
}

TEST_F(ResourceTest, PropertiesDialogTemplateIsExactlyAsDesigned) {
    const std::vector<BYTE> data = Raw(RT_DIALOG, IDD_PROPERTIES);
    ASSERT_FALSE(data.empty()) << "no Japanese dialog 116";
    const DialogTemplate dialog = ParseDialog(data);

    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT), dialog.style);
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(164, dialog.cx);
    EXPECT_EQ(49, dialog.cy);
    EXPECT_EQ(L"", dialog.menu);
    EXPECT_EQ(L"", dialog.className);
    EXPECT_EQ(L"", dialog.caption);
    EXPECT_EQ(9, dialog.pointSize);
    EXPECT_EQ(L"MS UI Gothic", dialog.face);

    // In tab order: the label, the position list, OK, Cancel.
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const WORD staticId = 0xFFFF;
    const std::vector<DialogItem> expected = {
        {child | WS_GROUP | SS_LEFTNOWORDWRAP, 8, 8, 84, 8, staticId, L"static", L"カスタム バーの位置(&C):"},
        {child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 8, 20, 80, 30, IDC_BAR_POS, L"combobox", L""},
        {child | BS_DEFPUSHBUTTON | WS_TABSTOP, 104, 8, 50, 14, IDOK, L"button", L"OK"},
        {child | BS_PUSHBUTTON | WS_TABSTOP, 104, 24, 50, 14, IDCANCEL, L"button", L"キャンセル"},
    };
    ASSERT_EQ(expected.size(), dialog.items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const DialogItem& want = expected[i];
        const DialogItem& got = dialog.items[i];
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.className, got.className);
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.style, got.style) << std::hex << "style 0x" << got.style;
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
    }
}

INT_PTR CALLBACK IgnoreDialogMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(ResourceTest, PropertiesDialogTemplateBuildsADialogWithTheTabOrder) {
    const std::vector<BYTE> data = Raw(RT_DIALOG, IDD_PROPERTIES);
    ASSERT_FALSE(data.empty());
    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                               reinterpret_cast<LPCDLGTEMPLATEW>(data.data()), nullptr,
                                               IgnoreDialogMessages, 0);
    ASSERT_NE(nullptr, dialog);
    HWND combo = ::GetDlgItem(dialog, IDC_BAR_POS);
    HWND ok = ::GetDlgItem(dialog, IDOK);
    HWND cancel = ::GetDlgItem(dialog, IDCANCEL);
    ASSERT_TRUE(combo && ok && cancel);
    EXPECT_EQ(ok, ::GetNextDlgTabItem(dialog, combo, FALSE));
    EXPECT_EQ(cancel, ::GetNextDlgTabItem(dialog, ok, FALSE));
    EXPECT_EQ(combo, ::GetNextDlgTabItem(dialog, cancel, FALSE));
    EXPECT_EQ(0, ::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, ::GetWindowLongW(combo, GWL_STYLE) & CBS_SORT);
    ::DestroyWindow(dialog);
}

// ---------------------------------------------------------------------------
// Bitmaps

struct Rgb {
    BYTE r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

const Rgb kLightGrey = {192, 192, 192};
const Rgb kBlack = {0, 0, 0};
const Rgb kMagenta = {255, 0, 255};

// A packed DIB as stored in a bitmap resource: header, palette, bottom-up rows.
class Dib {
public:
    explicit Dib(std::vector<BYTE> data) : m_data(std::move(data)) {
        if (m_data.size() >= sizeof(BITMAPINFOHEADER)) std::memcpy(&m_header, m_data.data(), sizeof(m_header));
    }
    const BITMAPINFOHEADER& Header() const { return m_header; }
    int Width() const { return m_header.biWidth; }
    int Height() const { return m_header.biHeight; }
    size_t PaletteSize() const {
        if (m_header.biBitCount > 8) return 0;
        return m_header.biClrUsed ? m_header.biClrUsed : size_t{1} << m_header.biBitCount;
    }
    size_t RowBytes() const { return ((static_cast<size_t>(Width()) * m_header.biBitCount + 31) / 32) * 4; }
    size_t ExpectedSize() const { return m_header.biSize + PaletteSize() * 4 + RowBytes() * Height(); }
    // Pixels may be read only from a DIB whose data is all there.
    bool Complete() const {
        return m_header.biSize == sizeof(BITMAPINFOHEADER) && Width() > 0 && Height() > 0 &&
               (m_header.biBitCount == 4 || m_header.biBitCount == 24) && m_data.size() >= ExpectedSize();
    }
    Rgb PaletteEntry(size_t i) const {
        const BYTE* quad = m_data.data() + m_header.biSize + i * 4;
        return {quad[2], quad[1], quad[0]};
    }
    // (0, 0) is the top left corner.
    Rgb Pixel(int x, int y) const {
        const BYTE* row = m_data.data() + m_header.biSize + PaletteSize() * 4 + RowBytes() * (Height() - 1 - y);
        if (m_header.biBitCount == 4) {
            const BYTE pair = row[x / 2];
            return PaletteEntry(x % 2 ? pair & 0x0F : pair >> 4);
        }
        return {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
    }
    template <typename Predicate>
    int Count(Predicate predicate) const {
        int n = 0;
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x) n += predicate(Pixel(x, y)) ? 1 : 0;
        return n;
    }

private:
    std::vector<BYTE> m_data;
    BITMAPINFOHEADER m_header = {};
};

struct ExpectedBitmap {
    UINT id;
    int width, height, bits;
    Rgb background;
};

const std::vector<ExpectedBitmap> kBitmaps = {
    {IDB_TOOLBAR_16, 16, 16, 4, kLightGrey},      {IDB_TOOLBAR_24, 24, 24, 4, kLightGrey},
    {IDB_TOOLBAR_16_GREY, 16, 16, 24, kBlack},    {IDB_TOOLBAR_16_COLOR, 16, 16, 24, kBlack},
    {IDB_TOOLBAR_16_COLOR2, 16, 16, 24, kBlack},  {IDB_TOOLBAR_24_GREY, 24, 24, 24, kBlack},
    {IDB_TOOLBAR_24_COLOR, 24, 24, 24, kBlack},   {IDB_TOOLBAR_24_COLOR2, 24, 24, 24, kBlack},
    {IDB_TREE_IMAGES, 48, 16, 4, kMagenta},
};

bool IsRed(const Rgb& c) { return c.r >= 160 && c.g < 80 && c.b < 80; }
bool IsWhite(const Rgb& c) { return c.r >= 224 && c.g >= 224 && c.b >= 224; }
bool IsGrey(const Rgb& c) { return c.r == c.g && c.g == c.b; }

TEST_F(ResourceTest, BitmapsAreUncompressedBottomUpDibsOfTheirSizeAndDepth) {
    for (const ExpectedBitmap& bitmap : kBitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(bitmap.id));
        const Dib dib(Raw(RT_BITMAP, bitmap.id));
        const BITMAPINFOHEADER& h = dib.Header();
        ASSERT_EQ(sizeof(BITMAPINFOHEADER), h.biSize) << "missing, or not a BITMAPINFOHEADER";
        EXPECT_EQ(bitmap.width, h.biWidth);
        EXPECT_EQ(bitmap.height, h.biHeight) << "a negative height would be top-down";
        EXPECT_EQ(1, h.biPlanes);
        EXPECT_EQ(bitmap.bits, h.biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression);
        if (bitmap.bits == 4) {
            EXPECT_EQ(16u, dib.PaletteSize());
        }
        EXPECT_EQ(dib.ExpectedSize(), Raw(RT_BITMAP, bitmap.id).size());
    }
}

TEST_F(ResourceTest, BitmapsLoadThroughTheSystemWithTheirSizeAndDepth) {
    for (const ExpectedBitmap& bitmap : kBitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(bitmap.id));
        HANDLE image = ::LoadImageW(module, MAKEINTRESOURCEW(bitmap.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(nullptr, image);
        DIBSECTION section = {};
        ASSERT_EQ(static_cast<int>(sizeof(section)), ::GetObjectW(image, sizeof(section), &section));
        EXPECT_EQ(bitmap.width, section.dsBm.bmWidth);
        EXPECT_EQ(bitmap.height, section.dsBm.bmHeight);
        EXPECT_EQ(bitmap.bits, section.dsBm.bmBitsPixel);
        ::DeleteObject(image);
    }
}

TEST_F(ResourceTest, ToolbarImagesShowAWhitePageWithARedLetterOnTheirBackground) {
    for (const ExpectedBitmap& bitmap : kBitmaps) {
        if (bitmap.id == IDB_TREE_IMAGES) continue;
        SCOPED_TRACE("bitmap " + std::to_string(bitmap.id));
        const Dib dib(Raw(RT_BITMAP, bitmap.id));
        ASSERT_TRUE(dib.Complete());
        ASSERT_EQ(bitmap.width, dib.Width());
        const int last = bitmap.width - 1;
        const std::pair<int, int> corners[] = {{0, 0}, {last, 0}, {0, last}, {last, last}};
        for (const auto& [x, y] : corners) {
            EXPECT_EQ(bitmap.background, dib.Pixel(x, y)) << "corner " << x << "," << y;
        }
        const int area = bitmap.width * bitmap.height;
        EXPECT_GT(dib.Count(IsWhite), area / 5) << "the page";
        const bool greyImage = bitmap.id == IDB_TOOLBAR_16_GREY || bitmap.id == IDB_TOOLBAR_24_GREY;
        if (greyImage) {
            EXPECT_EQ(area, dib.Count(IsGrey));
        } else {
            EXPECT_GT(dib.Count(IsRed), area / 10) << "the letter";
        }
    }
}

TEST_F(ResourceTest, SecondColourToolbarImagesAreShadedDifferently) {
    EXPECT_NE(Raw(RT_BITMAP, IDB_TOOLBAR_16_COLOR), Raw(RT_BITMAP, IDB_TOOLBAR_16_COLOR2));
    EXPECT_NE(Raw(RT_BITMAP, IDB_TOOLBAR_24_COLOR), Raw(RT_BITMAP, IDB_TOOLBAR_24_COLOR2));
}

// Loaded as the bar loads it: three 16-pixel images with magenta masked out,
// drawn over a background that must show through at the corners.
TEST_F(ResourceTest, TreeImagesSplitIntoThreeMaskedImages) {
    HIMAGELIST images = ::ImageList_LoadImageW(module, MAKEINTRESOURCEW(IDB_TREE_IMAGES), 16, 0,
                                               RGB(255, 0, 255), IMAGE_BITMAP, 0);
    ASSERT_NE(nullptr, images);
    ::ImageList_SetBkColor(images, CLR_NONE);
    EXPECT_EQ(3, ::ImageList_GetImageCount(images));
    const COLORREF background = RGB(1, 2, 3);
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, 16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, target);
    HBRUSH brush = ::CreateSolidBrush(background);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const RECT all = {0, 0, 16, 16};
        ::FillRect(dc, &all, brush);
        ASSERT_TRUE(::ImageList_Draw(images, i, dc, 0, 0, ILD_NORMAL));
        EXPECT_EQ(background, ::GetPixel(dc, 0, 0)) << "corner shows through";
        EXPECT_EQ(background, ::GetPixel(dc, 15, 15)) << "corner shows through";
        EXPECT_NE(background, ::GetPixel(dc, 8, 8)) << "middle is drawn";
    }
    ::DeleteObject(brush);
    ::SelectObject(dc, old);
    ::DeleteObject(target);
    ::DeleteDC(dc);
    ::ImageList_Destroy(images);
}

TEST_F(ResourceTest, TreeImagesAreTwoYellowFoldersAndAWhitePage) {
    const Dib dib(Raw(RT_BITMAP, IDB_TREE_IMAGES));
    ASSERT_TRUE(dib.Complete());
    ASSERT_EQ(48, dib.Width());
    auto count_in = [&](int image, bool (*predicate)(const Rgb&)) {
        int n = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 16 * image; x < 16 * image + 16; ++x) n += predicate(dib.Pixel(x, y)) ? 1 : 0;
        return n;
    };
    auto yellow = [](const Rgb& c) { return c.r >= 128 && c.r == c.g && c.b == 0; };
    EXPECT_GT(count_in(0, yellow), 64) << "closed folder";
    EXPECT_GT(count_in(1, yellow), 64) << "open folder";
    EXPECT_GT(count_in(2, IsWhite), 48) << "document";
    EXPECT_EQ(0, count_in(2, yellow)) << "document";
    EXPECT_NE(count_in(0, yellow), count_in(1, yellow)) << "open and closed folders differ";
}

}  // namespace
