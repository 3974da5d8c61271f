#include "tests/win/fixture.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "res/resource.h"
#include "store/registry_key.h"

namespace {

std::wstring ModuleDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    return path;
}

std::wstring Widen(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return out;
}

}  // namespace

const wchar_t* FavoritesDllPath() {
    static const std::wstring path = ModuleDirectory() + L"\\Favorites.dll";
    return path.c_str();
}

void PluginTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name = Widen(info->test_suite_name()) + L"_" + Widen(info->name());
    for (wchar_t& c : name) {
        if (!iswalnum(c)) c = L'_';
    }
    m_stem = L"FavTest_" + name + L"_" + std::to_wstring(::GetCurrentProcessId());
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_dllCopy = std::wstring(temp) + m_stem + L".dll";
    ASSERT_TRUE(::CopyFileW(FavoritesDllPath(), m_dllCopy.c_str(), FALSE)) << "cannot copy the plug-in";
    m_key = std::make_unique<hostsim::ScratchKey>(PlugInKeyPath(m_stem));
}

void PluginTest::TearDown() {
    host.reset();
    m_key.reset();
    ::DeleteFileW(m_dllCopy.c_str());
}

hostsim::MainWindow* PluginTest::StartHost(hostsim::HostOptions options) {
    host = std::make_unique<hostsim::Host>(options);
    hostsim::MainWindow* window = host->CreateMainWindow();
    EXPECT_TRUE(host->LoadPlugin(m_dllCopy, window));
    return window;
}

hostsim::MainWindow* PluginTest::OpenBarWindow(hostsim::HostOptions options) {
    hostsim::MainWindow* window = StartHost(options);
    // A window that closed with its bar open reopens it at start-up.
    if (!TreeOf(window)) window->Command();
    host->Pump();
    EXPECT_NE(nullptr, TreeOf(window));
    return window;
}

void PluginTest::WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
    ASSERT_TRUE(m_key->Write(name, type, data, size)) << "cannot write to the plug-in's key";
}

HWND TreeOf(hostsim::MainWindow* window) {
    return window ? window->BarClient() : nullptr;
}

int RequestCount(const hostsim::Host& host, UINT msg) {
    return static_cast<int>(host.RequestsOf(msg).size());
}

std::wstring Outline(HWND tree) {
    std::wstring out;
    for (const TreeItem& row : TreeSnapshot(tree)) {
        if (!out.empty()) out += L" ";
        out += row.label + L"/" + std::to_wstring(row.depth) + L"/" + std::to_wstring(row.image);
        if (row.expanded) out += L"+";
    }
    return out;
}


void BarTest::OpenOn(const std::vector<StoredRecord>& records, hostsim::HostOptions options) {
    WriteBinary(L"FavoriteArray", StoredValue(records));
    WriteDword(L"check", 1);
    window = OpenBarWindow(options);
    tree = TreeOf(window);
    hostsim::Focus(tree);
    host->Pump();
}

void BarTest::ClickItem(const std::wstring& label) {
    HTREEITEM item = FindItem(tree, label);
    ASSERT_NE(nullptr, item) << "no item " << std::string(label.begin(), label.end());
    TreeView_EnsureVisible(tree, item);
    hostsim::Click(*host, tree, hostsim::ItemCentre(tree, item));
    ASSERT_EQ(item, TreeView_GetSelection(tree));
}

void BarTest::Press(UINT vk, bool alt, bool ctrl, bool shift) {
    // A closed message box or menu may leave the focus elsewhere; a person
    // would click back into the bar.
    HWND focus = ::GetFocus();
    if (focus != tree && !::IsChild(tree, focus)) hostsim::Focus(tree);
    hostsim::PressKey(*host, nullptr, vk, alt, ctrl, shift);
}

HWND BarTest::TypeOverLabel(const std::wstring& label, const std::wstring& text) {
    ClickItem(label);
    Press(VK_F2);
    HWND edit = TreeView_GetEditControl(tree);
    if (!edit) {
        ADD_FAILURE() << "F2 opened no label edit";
        return nullptr;
    }
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    hostsim::TypeText(*host, edit, text);
    return edit;
}

std::wstring BarTest::SelectedLabel() const {
    HTREEITEM item = TreeView_GetSelection(tree);
    for (const TreeItem& row : TreeSnapshot(tree)) {
        if (row.handle == item) return row.label;
    }
    return L"(none)";
}

std::map<std::wstring, std::vector<BYTE>> PluginTest::History() const {
    std::map<std::wstring, std::vector<BYTE>> entries;
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, (KeyPath() + L"\\History").c_str(), KEY_READ);
    if (!key) return entries;
    std::wstring name;
    DWORD size = 0;
    for (DWORD i = 0; key.ValueName(i, name, size) == ERROR_SUCCESS; ++i) {
        favstore::StoredValue value;
        if (key.Read(name.c_str(), value) != favstore::ReadOutcome::Read) break;
        entries[name] = std::move(value.bytes);
    }
    return entries;
}

bool PluginTest::InHistory(const std::vector<BYTE>& bytes) const {
    for (const auto& entry : History()) {
        if (entry.second == bytes) return true;
    }
    return false;
}

void BarTest::UseBarOf(hostsim::MainWindow* w) {
    window = w;
    tree = TreeOf(w);
    hostsim::Focus(tree);
    host->Pump();
}

void BarTest::AddDocumentAfter(const std::wstring& label, const std::wstring& path) {
    window->SetCurrentDocument(path);
    ClickItem(label);
    Press(VK_INSERT);
    Press(VK_RETURN);
}

void ChooseSide(hostsim::ModalResponder& responder, int side) {
    responder.HandleDialog([side](HWND dialog) {
        ::SendDlgItemMessageW(dialog, IDC_BAR_POS, CB_SETCURSEL, static_cast<WPARAM>(side), 0);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
}
