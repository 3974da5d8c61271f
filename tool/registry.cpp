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

namespace {

// The system's own text for the error in the language, or in the default
// language where Windows has none in that one; empty when it has none at all.
std::wstring SystemText(DWORD error, Language language) {
    const DWORD languageId = language == Language::Japanese ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
                                                             : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    for (const DWORD tried : {languageId, DWORD{0}}) {
        wchar_t* text = nullptr;
        const DWORD n = ::FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            error, tried, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring message = n ? std::wstring(text, n) : L"";
        if (text) ::LocalFree(text);
        if (!message.empty()) return message;
    }
    return {};
}

}  // namespace

std::string SystemMessage(DWORD error) { return SystemMessage(error, SpokenLanguage()); }

std::string SystemMessage(DWORD error, Language language) {
    std::wstring message = SystemText(error, language);
    // A message ends without a full stop, in either language.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.' ||
                                message.back() == L'\u3002')) {
        message.pop_back();
    }
    const std::string code = (language == Language::Japanese ? "エラー " : "error ") + std::to_string(error);
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
        const std::string key = "HKCU\\" + ToUtf8(m_path);
        const std::string why = " (" + SystemMessage(static_cast<DWORD>(rc)) + ")";
        throw ToolError(Say("cannot open " + key + why, key + " を開けません" + why), kExitFailed);
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
    const std::string key = "HKCU\\" + ToUtf8(PlugInKeyPath(module));
    const std::string name = ToUtf8(module);
    const std::string message = Say(key + " does not exist: no module named " + name + " has kept anything there",
                                    key + " がありません。" + name + " という名前のモジュールは何も保存していません");
    const std::vector<std::wstring> modules = ModulesWithFavorites();
    if (modules.empty()) {
        return message + Say("; no module's key holds favourites", "。お気に入りのあるモジュールのキーはありません");
    }
    std::string names;
    for (const std::wstring& each : modules) names += (names.empty() ? "" : ", ") + ToUtf8(each);
    return message + Say("; keys that hold favourites: " + names + " (choose one with --module NAME)",
                         "。お気に入りのあるキー: " + names + " (--module NAME で選びます)");
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
    const std::string why = " (" + SystemMessage(static_cast<DWORD>(rc)) + ")";
    throw ToolError(Say("cannot read " + ToUtf8(name) + why, ToUtf8(name) + " を読めません" + why), kExitFailed);
}

std::optional<favstore::StoredValue> ModuleKey::ReadHistoryEntry(const std::string& name) const {
    const RegKey history = m_key.OpenSubkey(kKeyHistory, KEY_READ);
    favstore::StoredValue value;
    if (!history || history.Read(FromUtf8(name).c_str(), value) != favstore::ReadOutcome::Read) return std::nullopt;
    return value;
}
