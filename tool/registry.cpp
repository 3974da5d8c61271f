#include "tool/registry.h"

#include <algorithm>

#include "store/value_names.h"
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

ModuleKey::ModuleKey(const std::wstring& module, KeyAccess access) : m_path(PlugInKeyPath(module)) {
    LSTATUS rc = ERROR_SUCCESS;
    if (access == KeyAccess::Create) {
        m_key = RegKey::Create(HKEY_CURRENT_USER, m_path.c_str(), KEY_READ | KEY_WRITE, &rc);
    } else {
        m_key = RegKey::Open(HKEY_CURRENT_USER, m_path.c_str(),
                             access == KeyAccess::Write ? KEY_READ | KEY_WRITE : KEY_READ, &rc);
        if (rc == ERROR_FILE_NOT_FOUND) {
            if (access == KeyAccess::Read) return;
            throw ToolError(MissingKeyMessage(module));
        }
    }
    if (rc != ERROR_SUCCESS) {
        throw ToolError("cannot open HKCU\\" + ToUtf8(m_path) + " (" + SystemMessage(rc) + ")", kExitFailed);
    }
}

std::vector<std::wstring> ModulesWithFavorites() {
    std::wstring root = PlugInKeyPath(L"");
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    std::vector<std::wstring> modules;
    const RegKey plugins = RegKey::Open(HKEY_CURRENT_USER, root.c_str(), KEY_READ);
    if (!plugins) return modules;
    std::wstring name;
    for (DWORD i = 0;; ++i) {
        const LSTATUS rc = plugins.SubkeyName(i, name);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        const RegKey module = plugins.OpenSubkey(name.c_str(), KEY_READ);
        if (module && module.HasValue(kValueFavorites)) modules.push_back(name);
    }
    std::sort(modules.begin(), modules.end());
    return modules;
}

std::string MissingKeyMessage(const std::wstring& module) {
    std::string message = "HKCU\\" + ToUtf8(PlugInKeyPath(module)) +
                          " does not exist: no module named " + ToUtf8(module) + " has kept anything there";
    const std::vector<std::wstring> modules = ModulesWithFavorites();
    if (modules.empty()) return message + "; no module's key holds favourites";
    std::string names;
    for (const std::wstring& name : modules) names += (names.empty() ? "" : ", ") + ToUtf8(name);
    return message + "; keys that hold favourites: " + names + " (choose one with --module NAME)";
}

std::optional<favstore::StoredValue> ModuleKey::Read(const wchar_t* name) const {
    if (!m_key) return std::nullopt;
    favstore::StoredValue value;
    LSTATUS rc = ERROR_SUCCESS;
    switch (m_key.Read(name, value, &rc)) {
    case favstore::ReadOutcome::Missing:
        return std::nullopt;
    case favstore::ReadOutcome::Read:
        return value;
    case favstore::ReadOutcome::Unreadable:
        break;
    }
    throw ToolError("cannot read " + ToUtf8(name) + " (" + SystemMessage(static_cast<DWORD>(rc)) + ")", kExitFailed);
}

std::optional<favstore::StoredValue> ModuleKey::ReadHistoryEntry(const std::string& name) const {
    const RegKey history = m_key.OpenSubkey(kKeyHistory, KEY_READ);
    favstore::StoredValue value;
    if (!history || history.Read(FromUtf8(name).c_str(), value) != favstore::ReadOutcome::Read) return std::nullopt;
    return value;
}
