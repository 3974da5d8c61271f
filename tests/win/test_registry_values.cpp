// Reading a stored value while another writer replaces it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "store/registry_key.h"

TEST(RegistryValuesTest, AValueAnotherWriterReplacesMeanwhileIsReadWhole) {
    const std::wstring path = L"Software\\FavoritesTests\\ReadRace" + std::to_wstring(::GetCurrentProcessId());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                               KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    const std::vector<BYTE> small(64, 'a');
    const std::vector<BYTE> large(64 * 1024, 'b');
    auto store = [key](const std::vector<BYTE>& bytes, DWORD type) {
        ::RegSetValueExW(key, L"FavoriteArray", 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    };
    store(small, REG_BINARY);
    // Sizes and types change under the reader about every millisecond for
    // as long as it reads.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (unsigned i = 0; !stop; ++i) {
            store(i % 2 ? large : small, i % 3 ? REG_BINARY : REG_NONE);
            ::Sleep(1);
        }
    });
    int unread = 0;
    int mixed = 0;
    for (int i = 0; i < 3000; ++i) {
        favstore::StoredValue value;
        if (RegKey::Borrow(key).Read(L"FavoriteArray", value) != favstore::ReadOutcome::Read) {
            ++unread;
        } else if (value.bytes != small && value.bytes != large) {
            ++mixed;
        }
    }
    stop = true;
    writer.join();
    ::RegCloseKey(key);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    EXPECT_EQ(0, unread);
    EXPECT_EQ(0, mixed);
}
