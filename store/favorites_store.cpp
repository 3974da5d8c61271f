// Loading the favourites tree from the registry and saving it back. Whether
// a save may replace or delete the stored value is the keeper's decision.
#include "store/favorites_store.h"

#include <new>
#include <utility>

#include "common/handles.h"
#include "store/favorites_format.h"
#include "store/parent_table.h"
#include "store/settings.h"

namespace {

constexpr DWORD kCurrentLayout = 1;

// Reads a value whole, of any type: one query for type and size, one for the
// data. A value that changes size between the two, or does not fit in
// memory, is unreadable rather than missing.
favstore::ReadOutcome ReadWholeValue(HKEY hKey, const wchar_t* pszName, favstore::StoredValue& value) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(hKey, pszName, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return favstore::ReadOutcome::Missing;
    if (status != ERROR_SUCCESS) return favstore::ReadOutcome::Unreadable;
    value.type = type;
    try {
        value.bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return favstore::ReadOutcome::Unreadable;
    }
    if (size != 0) {
        status = ::RegQueryValueExW(hKey, pszName, nullptr, &type, value.bytes.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND) return favstore::ReadOutcome::Missing;
        if (status != ERROR_SUCCESS || type != value.type) return favstore::ReadOutcome::Unreadable;
        value.bytes.resize(size);
    }
    return favstore::ReadOutcome::Read;
}

// The plug-in key's favourites values, as the keeper sees them.
class RegistryValues final : public favstore::StoredValues {
public:
    explicit RegistryValues(HKEY hKey) : m_hKey(hKey) {}

    favstore::ReadOutcome ReadFavorites(favstore::StoredValue& value) override {
        return ReadWholeValue(m_hKey, kValueFavorites, value);
    }
    bool WriteFavorites(const std::vector<std::uint8_t>& bytes) override {
        return Write(kValueFavorites, REG_BINARY, bytes);
    }
    bool DeleteFavorites() override {
        const LSTATUS status = ::RegDeleteValueW(m_hKey, kValueFavorites);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    bool WriteBackup(const favstore::StoredValue& value) override {
        return Write(kValueFavoritesBackup, value.type, value.bytes);
    }
    bool MarkCurrentLayout() override {
        const DWORD layout = kCurrentLayout;
        return ::RegSetValueExW(m_hKey, kValueCheck, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&layout),
                                sizeof(layout)) == ERROR_SUCCESS;
    }

private:
    bool Write(const wchar_t* pszName, DWORD type, const std::vector<std::uint8_t>& bytes) {
        return ::RegSetValueExW(m_hKey, pszName, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())) ==
               ERROR_SUCCESS;
    }

    HKEY m_hKey;
};

// Inserts the stored records; returns true when every one of them loaded.
bool LoadFromValue(FavoriteTree& tree, FavoriteItemMap& items, const std::vector<BYTE>& value,
                   bool withExpandedByte) {
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
        HTREEITEM hNew = tree.InsertItem(hParent, TVI_LAST, label, record.folder);
        if (!hNew) {
            complete = false;
            continue;
        }
        // A folder saved as expanded opens once its first child is in place;
        // only that child, the record right after it, may open it.
        if (bExpandPrevious && hParent && hParent == hPrevious) tree.ExpandItem(hParent);
        bExpandPrevious = record.expanded;
        hPrevious = hNew;
        parents.Inserted(record.depth, hNew);
        items.AddItem(hNew, std::move(label), favfmt::ReadText<std::wstring>(record.path, record.pathLen),
                      record.folder);
    }
    return complete && reader.Complete();
}

// The tree in the stored layout; empty when the tree has no items. False
// when, short of memory, nothing could be built: nothing is written then.
bool EncodeTree(const FavoriteTree& tree, const FavoriteItemMap& items, std::vector<BYTE>& encoded) {
    FlatList list;
    list.reserve(items.size());  // a record per item, as a rule
    CollectTree(tree, list);
    encoded.clear();
    if (list.empty()) return true;

    // Each path is looked up once: for the value's size, then for writing it.
    std::vector<const std::wstring*> paths;
    paths.reserve(list.size());
    size_t size = favfmt::kHeaderSize;
    for (const FlatEntry& entry : list) {
        paths.push_back(&items.PathOf(entry.hItem));
        size += favfmt::RecordSize(entry.strLabel.size(), paths.back()->size(), entry.bFolder != 0);
    }
    try {
        encoded.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    favfmt::Writer writer(encoded.data(), encoded.size());
    writer.WriteHeader(static_cast<int32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        const FlatEntry& entry = list[i];
        const std::wstring& path = *paths[i];
        const bool expanded = entry.bFolder && entry.bExpanded;
        writer.WriteRecord(entry.strLabel.data(), entry.strLabel.size(), path.data(), path.size(), entry.nDepth,
                           entry.bFolder != 0, expanded);
    }
    return true;
}

favstore::SaveOutcome SaveTo(favstore::StoredValues& values, const FavoriteTree& tree, const FavoriteItemMap& items,
                             favstore::FavoritesKeeper& keeper, bool bEdited) {
    std::vector<BYTE> encoded;
    if (!EncodeTree(tree, items, encoded)) return favstore::SaveOutcome::Failed;
    return keeper.Save(values, std::move(encoded), bEdited);
}

}  // namespace

void LoadFavorites(FavoriteTree& tree, FavoriteItemMap& items, favstore::FavoritesKeeper& keeper) {
    if (!tree.Exists()) return;
    tree.SetRedraw(false);
    tree.DeleteAllItems();
    items.ClearItems();

    UniqueRegKey key(OpenPlugInKey());
    if (!key) {
        // Nothing is known about what is stored: no save may replace it.
        keeper.Loaded(favstore::ReadOutcome::Unreadable, {}, false);
    } else {
        favstore::StoredValue value;
        const favstore::ReadOutcome read = ReadWholeValue(key.get(), kValueFavorites, value);
        const bool currentLayout = ReadDwordValue(key.get(), kValueCheck) == kCurrentLayout;
        const bool loadable = read == favstore::ReadOutcome::Read && value.type == REG_BINARY && !value.bytes.empty();
        const bool loadedWhole = loadable && LoadFromValue(tree, items, value.bytes, currentLayout);
        keeper.Loaded(read, std::move(value), loadedWhole);
        if (loadedWhole && !currentLayout) {
            // Rewritten at once in the current layout; an emptied value is
            // gone, which converts it too.
            RegistryValues values(key.get());
            if (SaveTo(values, tree, items, keeper, true) == favstore::SaveOutcome::Deleted) {
                values.MarkCurrentLayout();
            }
        }
    }
    tree.SetRedraw(true);
}

bool SaveFavorites(const FavoriteTree& tree, const FavoriteItemMap& items, favstore::FavoritesKeeper& keeper,
                   bool bEdited) {
    // Without its window the tree reads as empty, which is no reason to
    // delete anything.
    if (!tree.Exists()) return false;
    UniqueRegKey key(OpenPlugInKey());
    if (!key) return false;
    RegistryValues values(key.get());
    const favstore::SaveOutcome outcome = SaveTo(values, tree, items, keeper, bEdited);
    return outcome == favstore::SaveOutcome::Written || outcome == favstore::SaveOutcome::Deleted;
}
