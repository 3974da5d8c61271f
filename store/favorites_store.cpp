// Loading the favourites tree from the registry and saving it back, in the
// stored layout of store/favorites_format.h.
#include "bar/frame.h"

#include <new>

#include "plugin/handles.h"
#include "store/favorites_format.h"
#include "store/parent_table.h"
#include "store/settings.h"

namespace {

constexpr DWORD kCurrentLayout = 1;

// Reads a binary value whole: one query for type and size, one for the data.
bool ReadBinaryValue(HKEY hKey, const wchar_t* pszName, std::vector<BYTE>& value) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExW(hKey, pszName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_BINARY || size == 0) return false;
    try {
        value.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (::RegQueryValueExW(hKey, pszName, nullptr, &type, value.data(), &size) != ERROR_SUCCESS) return false;
    value.resize(size);
    return type == REG_BINARY && size != 0;
}

}  // namespace

void CMyFrame::LoadFavorites() {
    if (!IsBarOpen()) return;
    ::SendMessageW(m_hwndTree, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(m_hwndTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    ClearItems();
    m_vecIncompleteValue.clear();

    UniqueRegKey key(OpenPlugInKey());
    std::vector<BYTE> value;
    if (key && ReadBinaryValue(key.get(), kValueFavorites, value)) {
        const bool complete = LoadFromValue(key.get(), value);
        if (!complete) {
            // Whatever did not load is still in these bytes.
            m_vecIncompleteValue = std::move(value);
        } else if (ReadDwordValue(key.get(), kValueCheck) != kCurrentLayout) {
            SaveFavorites();
            WriteDwordValue(key.get(), kValueCheck, kCurrentLayout);
        }
    }
    ::SendMessageW(m_hwndTree, WM_SETREDRAW, TRUE, 0);
}

// Inserts the stored records; returns true when every one of them loaded.
bool CMyFrame::LoadFromValue(HKEY hKey, const std::vector<BYTE>& value) {
    const bool withExpandedByte = ReadDwordValue(hKey, kValueCheck) == kCurrentLayout;
    favfmt::Reader reader(value.data(), value.size(), withExpandedByte);
    if (!reader.HasTag()) return false;

    bool complete = true;
    ParentTable<HTREEITEM> parents;
    parents.Reset(nullptr);
    HTREEITEM hPrevious = nullptr;
    bool bExpandPrevious = false;
    favfmt::RecordView record;
    while (reader.Next(record)) {
        if (record.depth == 0) break;
        HTREEITEM hParent = parents.ParentFor(record.depth);
        std::wstring label = favfmt::ReadText<std::wstring>(record.label, record.labelLen);
        HTREEITEM hNew = InsertTreeItem(hParent, TVI_LAST, label, record.folder);
        if (!hNew) {
            complete = false;
            continue;
        }
        // A folder saved as expanded opens once its first child is in place;
        // only that child, the record right after it, may open it.
        if (bExpandPrevious && hParent && hParent == hPrevious) {
            ::SendMessageW(m_hwndTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(hParent));
        }
        bExpandPrevious = record.expanded;
        hPrevious = hNew;
        parents.Inserted(record.depth, hNew);
        AddItem(hNew, std::move(label), favfmt::ReadText<std::wstring>(record.path, record.pathLen), record.folder);
    }
    return complete && reader.Complete();
}

void CMyFrame::KeepIncompleteValue(HKEY hKey) {
    if (m_vecIncompleteValue.empty()) return;
    ::RegSetValueExW(hKey, kValueFavoritesBackup, 0, REG_BINARY, m_vecIncompleteValue.data(),
                     static_cast<DWORD>(m_vecIncompleteValue.size()));
    m_vecIncompleteValue.clear();
}

void CMyFrame::SaveFavorites() {
    if (!IsBarOpen()) return;
    FlatList list;
    CollectTree(list);
    UniqueRegKey key(OpenPlugInKey());
    if (!key) return;
    KeepIncompleteValue(key.get());
    if (list.empty()) {
        ::RegDeleteValueW(key.get(), kValueFavorites);
        return;
    }

    size_t size = favfmt::kHeaderSize;
    for (const FlatEntry& entry : list) {
        size += favfmt::RecordSize(entry.strLabel.size(), GetItem(entry.hItem).strPath.size(), entry.bFolder != 0);
    }
    std::vector<BYTE> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return;
    }
    favfmt::Writer writer(buffer.data(), buffer.size());
    writer.WriteHeader(static_cast<int32_t>(list.size()));
    for (const FlatEntry& entry : list) {
        const std::wstring& path = GetItem(entry.hItem).strPath;
        const bool expanded = entry.bFolder && entry.bExpanded;
        writer.WriteRecord(entry.strLabel.data(), entry.strLabel.size(), path.data(), path.size(), entry.nDepth,
                           entry.bFolder != 0, expanded);
    }
    ::RegSetValueExW(key.get(), kValueFavorites, 0, REG_BINARY, buffer.data(), static_cast<DWORD>(buffer.size()));
    WriteDwordValue(key.get(), kValueCheck, kCurrentLayout);
}
