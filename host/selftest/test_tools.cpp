// The screenshot writer and the object counts used for leak checks.
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
