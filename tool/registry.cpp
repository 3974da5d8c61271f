#include "tool/registry.h"

#include <algorithm>

#include "common/host_interface.h"
#include "store/layout_marker.h"
#include "store/settings.h"
#include "tool/text.h"

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "type " + std::to_string(type);
    }
}

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n ? std::wstring(text, n) : L"";
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.')) {
        message.pop_back();
    }
    const std::string code = "error " + std::to_string(error);
    return message.empty() ? code : code + ": " + ToUtf8(message);
}

PluginKey::PluginKey(const std::wstring& module, KeyAccess access) : m_path(PLUGIN_KEY_ROOT + module) {
    HKEY raw = nullptr;
    LONG rc;
    if (access == KeyAccess::Create) {
        rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, &raw, nullptr);
    } else {
        rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0,
                             access == KeyAccess::Write ? KEY_READ | KEY_WRITE : KEY_READ, &raw);
        if (rc == ERROR_FILE_NOT_FOUND) {
            if (access == KeyAccess::Read) return;
            throw ToolError(MissingKeyMessage(module));
        }
    }
    if (rc != ERROR_SUCCESS) {
        throw ToolError("cannot open HKCU\\" + ToUtf8(m_path) + " (" + SystemMessage(rc) + ")");
    }
    m_key.reset(raw);
}

std::vector<std::wstring> ModulesWithFavorites() {
    std::wstring root = PLUGIN_KEY_ROOT;
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    HKEY raw = nullptr;
    std::vector<std::wstring> modules;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, root.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return modules;
    const UniqueRegKey plugins(raw);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG rc = ::RegEnumKeyExW(plugins.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        if (::RegGetValueW(plugins.get(), name, kValueFavorites, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            modules.emplace_back(name, length);
        }
    }
    std::sort(modules.begin(), modules.end());
    return modules;
}

std::string MissingKeyMessage(const std::wstring& module) {
    std::string message = "HKCU\\" + ToUtf8(PLUGIN_KEY_ROOT + module) +
                          " does not exist: no module named " + ToUtf8(module) + " has kept anything there";
    const std::vector<std::wstring> modules = ModulesWithFavorites();
    if (modules.empty()) return message + "; no module's key holds favourites";
    std::string names;
    for (const std::wstring& name : modules) names += (names.empty() ? "" : ", ") + ToUtf8(name);
    return message + "; keys that hold favourites: " + names + " (choose one with --module NAME)";
}

std::optional<RegValue> PluginKey::Read(const wchar_t* name) const {
    if (!m_key) return std::nullopt;
    // The value may change between the size query and the read: ask again then.
    for (;;) {
        RegValue value;
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExW(m_key.get(), name, nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (rc == ERROR_SUCCESS) {
            value.data.resize(size);
            rc = ::RegQueryValueExW(m_key.get(), name, nullptr, &type, value.data.data(), &size);
            if (rc == ERROR_MORE_DATA) continue;
        }
        if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (rc != ERROR_SUCCESS) throw ToolError("cannot read " + ToUtf8(name) + " (" + SystemMessage(rc) + ")");
        value.type = type;
        value.data.resize(size);
        return value;
    }
}

std::optional<DWORD> PluginKey::Marker() const { return ReadLayoutMarker(m_key.get()); }

namespace {

// Empty on success, the system's reason otherwise.
std::string WriteFailure(LONG rc) { return rc == ERROR_SUCCESS ? std::string() : SystemMessage(rc); }

}  // namespace

std::string PluginKey::Write(const wchar_t* name, const RegValue& value) {
    return WriteFailure(::RegSetValueExW(m_key.get(), name, 0, value.type, value.data.data(),
                                    static_cast<DWORD>(value.data.size())));
}

std::string PluginKey::Remove(const wchar_t* name) {
    const LONG rc = ::RegDeleteValueW(m_key.get(), name);
    return WriteFailure(rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc);
}
