#include "host/scratch_key.h"

#include <algorithm>

#include "store/registry_key.h"

namespace hostsim {

namespace {

// The key for one look or write; null when it is not there (or, for
// writing, cannot be made).
RegKey Opened(const std::wstring& path) { return RegKey::Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ); }

std::vector<BYTE> BytesOf(const std::wstring& path, const wchar_t* name, DWORD* type) {
    favstore::StoredValue value;
    if (Opened(path).Read(name, value) != favstore::ReadOutcome::Read) return {};
    if (type) *type = value.type;
    return std::move(value.bytes);
}

}  // namespace

ScratchKey::ScratchKey(std::wstring path) : m_path(std::move(path)) {
    Clear();
}

ScratchKey::~ScratchKey() {
    Clear();
}

bool ScratchKey::Create() const {
    return static_cast<bool>(RegKey::Create(HKEY_CURRENT_USER, m_path.c_str(), KEY_ALL_ACCESS));
}

void ScratchKey::Clear() const {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
}

bool ScratchKey::Exists() const {
    return static_cast<bool>(Opened(m_path));
}

bool ScratchKey::ValueExists(const wchar_t* name) const {
    const RegKey key = Opened(m_path);
    return key && key.HasValue(name);
}

DWORD ScratchKey::ValueType(const wchar_t* name) const {
    DWORD type = REG_NONE;
    BytesOf(m_path, name, &type);
    return type;
}

std::vector<BYTE> ScratchKey::ReadBytes(const wchar_t* name) const {
    return BytesOf(m_path, name, nullptr);
}

DWORD ScratchKey::ReadDword(const wchar_t* name, DWORD fallback) const {
    DWORD type = REG_NONE;
    const std::vector<BYTE> bytes = BytesOf(m_path, name, &type);
    if (type != REG_DWORD || bytes.size() != sizeof(DWORD)) return fallback;
    DWORD value = 0;
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<BYTE*>(&value));
    return value;
}

std::wstring ScratchKey::ReadString(const wchar_t* name) const {
    const std::vector<BYTE> bytes = ReadBytes(name);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy_n(bytes.begin(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(&text[0]));
    return text.substr(0, text.find(L'\0'));
}

bool ScratchKey::Write(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, m_path.c_str(), KEY_WRITE);
    return key && key.Write(name, type, data, size) == ERROR_SUCCESS;
}

bool ScratchKey::WriteString(const wchar_t* name, const std::wstring& text) const {
    return Write(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void ScratchKey::DeleteValue(const wchar_t* name) const {
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, m_path.c_str(), KEY_WRITE);
    if (key) key.Delete(name);
}

}  // namespace hostsim
