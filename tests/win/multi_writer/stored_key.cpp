#include "tests/win/multi_writer/stored_key.h"

#include "common/handles.h"

namespace multiwriter {

namespace {

std::wstring FileNameOf(const std::wstring& entry) {
    std::wstring name = entry;
    for (wchar_t& c : name) {
        if (c == L':' || c == L'\\' || c == L'/' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
            c == L'>' || c == L'|') {
            c = L'_';
        }
    }
    return name + L".bin";
}

std::vector<std::wstring> ValueNames(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace

std::vector<BYTE> ReadFavoriteArray(const std::wstring& keyPath) {
    std::vector<BYTE> bytes;
    for (;;) {
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), L"FavoriteArray", RRF_RT_ANY, nullptr, nullptr,
                           &size) != ERROR_SUCCESS) {
            return {};
        }
        bytes.resize(size);
        const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), L"FavoriteArray", RRF_RT_ANY,
                                              nullptr, bytes.data(), &size);
        // Another writer may have stored a longer value in between.
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return {};
        bytes.resize(size);
        return bytes;
    }
}

Entries ReadHistory(const std::wstring& keyPath) {
    Entries entries;
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, (keyPath + L"\\History").c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return entries;
    }
    const UniqueRegKey key(raw);
    // By name, not by index: a writer may add and drop entries meanwhile.
    for (const std::wstring& name : ValueNames(key.get())) {
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) continue;
        std::vector<BYTE> bytes(size);
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS) {
            continue;
        }
        bytes.resize(size);
        entries[FileNameOf(name)] = std::move(bytes);
    }
    return entries;
}

}  // namespace multiwriter
