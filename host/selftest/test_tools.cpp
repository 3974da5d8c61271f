// The screenshot writer, the object counts used for leak checks, and the
// scratch registry keys tests own.
#include "host/selftest/probe_fixture.h"

#include <fstream>
#include <iterator>
#include <set>

#include "host/screenshot.h"

namespace {

std::vector<unsigned char> ReadFile(const std::wstring& path) {
    std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class T>
T At(const std::vector<unsigned char>& data, size_t offset) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(data[offset + i]) << (8 * i));
    return value;
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

}  // namespace

TEST_F(ProbeTest, TheScreenshotIsABitmapOfTheWholeWindow) {
    hostsim::MainWindow* window = Start();
    OpenBar(window);
    host->Pump(100);
    const std::wstring path = TempFile(L"hostsim_selftest.bmp");
    ASSERT_TRUE(hostsim::SaveWindowBitmap(window->Main(), path));
    const auto data = ReadFile(path);
    ::DeleteFileW(path.c_str());
    RECT rc = {};
    ::GetWindowRect(window->Main(), &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    ASSERT_GE(data.size(), 54u);
    EXPECT_EQ('B', data[0]);
    EXPECT_EQ('M', data[1]);
    EXPECT_EQ(data.size(), At<uint32_t>(data, 2));
    EXPECT_EQ(54u, At<uint32_t>(data, 10));
    EXPECT_EQ(width, static_cast<int>(At<uint32_t>(data, 18)));
    EXPECT_EQ(height, static_cast<int>(At<uint32_t>(data, 22)));
    EXPECT_EQ(24u, At<uint16_t>(data, 28));
    EXPECT_EQ(54 + rowBytes * height, data.size());
    // Something was drawn: the frame, the bar and the view differ in colour.
    std::set<uint32_t> colours;
    for (size_t i = 54; i + 3 <= data.size() && colours.size() < 4; i += 3 * 97) {
        colours.insert(At<uint32_t>(data, i) & 0xFFFFFF);
    }
    EXPECT_GE(colours.size(), 3u);
}

TEST(ObjectCounts, SeeEveryWindowMenuAndGdiObjectOfTheProcess) {
    // The thread's first window brings a window of the input method along.
    ::DestroyWindow(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    const DWORD user = hostsim::UserObjects();
    const DWORD gdi = hostsim::GdiObjects();
    HMENU menu = ::CreatePopupMenu();
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, window, nullptr, nullptr, nullptr);
    HWND message = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    HBITMAP bitmap = ::CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_TRUE(menu && window && child && message && brush && bitmap);
    EXPECT_EQ(user + 4, hostsim::UserObjects());
    EXPECT_EQ(gdi + 2, hostsim::GdiObjects());
    ::DestroyWindow(message);
    ::DestroyWindow(window);
    ::DestroyMenu(menu);
    ::DeleteObject(brush);
    ::DeleteObject(bitmap);
    EXPECT_EQ(user, hostsim::UserObjects());
    EXPECT_EQ(gdi, hostsim::GdiObjects());
}

TEST_F(ProbeTest, AHostThatComesAndGoesLeavesNoUserOrGdiObjects) {
    auto hostWithBars = [this](int side) {
        hostsim::MainWindow* window = Start();
        host->CreateMainWindow();
        OpenBar(window, side);
        host->Pump(50);
        host.reset();
    };
    // The first run creates what the process keeps: classes, fonts, caches.
    hostWithBars(BAR_POS_LEFT);
    const DWORD user = hostsim::UserObjects();
    const DWORD gdi = hostsim::GdiObjects();
    EXPECT_GT(gdi, 0u);
    for (int side : {BAR_POS_TOP, BAR_POS_RIGHT, BAR_POS_BOTTOM}) hostWithBars(side);
    EXPECT_EQ(user, hostsim::UserObjects());
    EXPECT_EQ(gdi, hostsim::GdiObjects());
}

TEST(ScratchKeys, StartEmptyAndTakeEverythingBelowThemWhenTheyGo) {
    const std::wstring path = L"Software\\HostSimSelftest\\Scratch" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring below = path + L"\\below";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, below.c_str(), L"left over", REG_SZ, L"x", 4);
    {
        hostsim::ScratchKey key(path);
        EXPECT_FALSE(key.Exists());  // what an earlier run left is gone
        const DWORD number = 7;
        ASSERT_TRUE(key.Write(L"number", REG_DWORD, &number, sizeof(number)));
        ASSERT_TRUE(key.WriteString(L"text", L"a\\b"));
        ::RegSetKeyValueW(HKEY_CURRENT_USER, below.c_str(), L"child", REG_SZ, L"x", 4);

        EXPECT_EQ(7u, key.ReadDword(L"number", 0));
        EXPECT_EQ(99u, key.ReadDword(L"text", 99));  // not a number
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), key.ValueType(L"text"));
        EXPECT_EQ(L"a\\b", key.ReadString(L"text"));
        EXPECT_EQ((std::vector<BYTE>{'a', 0, '\\', 0, 'b', 0, 0, 0}), key.ReadBytes(L"text"));
        key.DeleteValue(L"text");
        EXPECT_FALSE(key.ValueExists(L"text"));
        EXPECT_EQ(static_cast<DWORD>(REG_NONE), key.ValueType(L"text"));
        EXPECT_TRUE(key.ReadBytes(L"text").empty());
    }
    HKEY gone = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &gone));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\HostSimSelftest");
}
