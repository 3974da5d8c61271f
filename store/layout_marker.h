// The layout marker `check` beside FavoriteArray, shared by the plug-in and
// the console tool so that both read it alike.
#pragma once

#include <windows.h>

#include <optional>

#include "store/settings.h"

// The layout marker `check` that FavoriteArray's current layout carries;
// any other marker, or none, means the old layout without expanded bytes.
constexpr DWORD kMarkerCurrentLayout = 1;
constexpr DWORD kMarkerOldLayout = 0;

// The marker as the plug-in reads it: up to 4 bytes of any type, shorter data
// as its own bytes with zeros above them; nullopt when absent, longer or
// unreadable. Inline, so the console tool reads it exactly as the bar does.
inline std::optional<DWORD> ReadLayoutMarker(HKEY hKey) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!hKey || ::RegQueryValueExW(hKey, kValueCheck, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
                     ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}
