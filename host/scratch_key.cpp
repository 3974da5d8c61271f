#include "host/scratch_key.h"

#include <algorithm>

namespace hostsim {

ScratchKey::ScratchKey(std::wstring path) : m_path(std::move(path)) {
    Clear();
}

ScratchKey::~ScratchKey() {
    Clear();
}

bool ScratchKey::Create() const {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

void ScratchKey::Clear() const {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
}

bool ScratchKey::Exists() const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

bool ScratchKey::ValueExists(const wchar_t* name) const {
    return ::RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

DWORD ScratchKey::ValueType(const wchar_t* name) const {
    // Under Wine the type reads as garbage when there is no such value.
    DWORD type = REG_NONE;
    if (::RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                       nullptr) != ERROR_SUCCESS) {
        return REG_NONE;
    }
    return type;
}

std::vector<BYTE> ScratchKey::ReadBytes(const wchar_t* name) const {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), name, RRF_RT_ANY, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::vector<BYTE> data(size);
    if (size) ::RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), name, RRF_RT_ANY, nullptr, data.data(), &size);
    data.resize(size);
    return data;
}

DWORD ScratchKey::ReadDword(const wchar_t* name, DWORD fallback) const {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, m_path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    return value;
}

std::wstring ScratchKey::ReadString(const wchar_t* name) const {
    const std::vector<BYTE> bytes = ReadBytes(name);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy_n(bytes.begin(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(&text[0]));
    return text.substr(0, text.find(L'\0'));
}

bool ScratchKey::Write(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, m_path.c_str(), name, type, data, size) == ERROR_SUCCESS;
}

bool ScratchKey::WriteString(const wchar_t* name, const std::wstring& text) const {
    return Write(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void ScratchKey::DeleteValue(const wchar_t* name) const {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, m_path.c_str(), name);
}

}  // namespace hostsim
