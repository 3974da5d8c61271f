#include "host/demo_favorites.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "store/favorites_format.h"
#include "store/registry_key.h"
#include "store/value_names.h"

namespace hostsim {
namespace {

struct SampleItem {
    const wchar_t* label;
    const wchar_t* path;  // empty for a folder
    std::uint8_t depth;
    bool expanded;
};

const SampleItem kSamples[] = {
    {L"Projects", L"", 1, true},
    {L"Website", L"", 2, true},
    {L"index.html", L"C:\\Users\\demo\\Projects\\Website\\index.html", 3, false},
    {L"style.css", L"C:\\Users\\demo\\Projects\\Website\\css\\style.css", 3, false},
    {L"Reports", L"", 2, false},
    {L"2024-q2.txt", L"C:\\Users\\demo\\Documents\\Reports\\2024-q2.txt", 3, false},
    {L"2024-q3.txt", L"C:\\Users\\demo\\Documents\\Reports\\2024-q3.txt", 3, false},
    {L"build.bat", L"C:\\Users\\demo\\Projects\\build.bat", 2, false},
    {L"Macros", L"", 1, true},
    {L"tidy-whitespace.mac", L"C:\\Users\\demo\\Macros\\tidy-whitespace.mac", 2, false},
    {L"todo.txt", L"C:\\Users\\demo\\Documents\\todo.txt", 1, false},
    {L"hosts", L"C:\\Windows\\System32\\drivers\\etc\\hosts", 1, false},
};

bool IsFolder(const SampleItem& item) {
    return item.path[0] == L'\0';
}

std::vector<std::uint8_t> EncodeSamples() {
    size_t size = favfmt::kHeaderSize;
    for (const SampleItem& item : kSamples) {
        size += favfmt::RecordSize(std::wcslen(item.label), std::wcslen(item.path), IsFolder(item));
    }
    std::vector<std::uint8_t> value(size);
    favfmt::Writer writer(value.data(), value.size());
    writer.WriteHeader(static_cast<std::int32_t>(sizeof(kSamples) / sizeof(kSamples[0])));
    for (const SampleItem& item : kSamples) {
        // Windows wide characters are the format's UTF-16 code units.
        writer.WriteRecord(reinterpret_cast<const char16_t*>(item.label), std::wcslen(item.label),
                           reinterpret_cast<const char16_t*>(item.path), std::wcslen(item.path), item.depth,
                           IsFolder(item), item.expanded);
    }
    value.resize(writer.Written());
    return value;
}

}  // namespace

std::wstring PluginKeyPath(const std::wstring& pluginPath) {
    const std::wstring name = pluginPath.substr(pluginPath.find_last_of(L"\\/") + 1);
    return PlugInKeyPath(name.substr(0, name.find(L'.')));
}

bool SeedDemoFavorites(const std::wstring& pluginPath) {
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, PluginKeyPath(pluginPath).c_str(), KEY_WRITE);
    return key && key.Write(kValueFavorites, favstore::StoredValue{REG_BINARY, EncodeSamples()}) == ERROR_SUCCESS &&
           key.WriteDword(kValueCheck, kMarkerCurrentLayout) == ERROR_SUCCESS;
}

}  // namespace hostsim
