#include "tool/value_writes.h"

#include <utility>

#include "store/value_names.h"
#include "tool/tool_error.h"

namespace {

constexpr std::uint32_t kDwordType = 4;  // REG_DWORD

// The values written here have ASCII names.
std::string NameOf(const wchar_t* name) {
    std::string out;
    for (; *name; ++name) out += *name < 0x80 ? static_cast<char>(*name) : '?';
    return out;
}

}  // namespace

RegValue DwordValue(std::uint32_t value) {
    RegValue out{kDwordType, std::vector<std::uint8_t>(sizeof(value))};
    for (std::size_t i = 0; i < sizeof(value); ++i) out.data[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return out;
}

void ValueWrites::Set(const wchar_t* name, const RegValue& value) { Apply(name, value); }

void ValueWrites::Remove(const wchar_t* name) { Apply(name, std::nullopt); }

void ValueWrites::Apply(const wchar_t* name, const std::optional<RegValue>& value) {
    Earlier earlier{name, std::nullopt};
    try {
        earlier.value = m_key.Read(name);
    } catch (const ToolError& e) {
        Fail(e.what());
    }
    const std::string failure = value ? m_key.Write(name, *value) : m_key.Remove(name);
    if (!failure.empty()) Fail("could not write " + NameOf(name) + " (" + failure + ")");
    m_done.push_back(std::move(earlier));
}

std::string ValueWrites::Restore(const Earlier& earlier) {
    return earlier.value ? m_key.Write(earlier.name, *earlier.value) : m_key.Remove(earlier.name);
}

void ValueWrites::Fail(const std::string& message) {
    std::string notUndone;
    for (auto it = m_done.rbegin(); it != m_done.rend(); ++it) {
        if (!Restore(*it).empty()) notUndone += (notUndone.empty() ? "" : ", ") + NameOf(it->name);
    }
    m_done.clear();
    if (notUndone.empty()) throw ToolError(message + "; nothing was changed");
    throw ToolError(message + "; could not put back the earlier " + notUndone);
}

void SwapInBackup(NamedValues& key, const RegValue& backup, const std::optional<RegValue>& replaced,
                  std::optional<std::uint32_t> marker) {
    ValueWrites writes(key);
    writes.Set(kValueFavorites, backup);
    if (marker) writes.Set(kValueCheck, DwordValue(*marker));
    if (replaced) {
        writes.Set(kValueFavoritesBackup, *replaced);
    } else {
        writes.Remove(kValueFavoritesBackup);
    }
}
