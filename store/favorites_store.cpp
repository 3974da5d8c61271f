// Loading the favourites tree from the registry and saving it back. Whether
// a save may replace or delete the stored value is the keeper's decision.
#include "store/favorites_store.h"

#include <new>
#include <utility>

#include "common/handles.h"
#include "store/favorites_format.h"
#include "store/layout_marker.h"
#include "store/parent_table.h"
#include "store/registry_values.h"
#include "store/settings.h"

namespace {

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
// encoded: empty, maybe with room to spare.
bool EncodeTree(const FavoriteTree& tree, const FavoriteItemMap& items, std::vector<BYTE>& encoded) {
    FlatList list;
    list.reserve(items.size());  // a record per item, as a rule
    CollectTree(tree, list);
    if (list.empty()) return true;

    // Each path is looked up once: for the value's size, then for writing it.
    std::vector<const std::wstring*> paths;
    paths.reserve(list.size());
    items.PathsOf(list, paths);
    size_t size = favfmt::kHeaderSize;
    for (size_t i = 0; i < list.size(); ++i) {
        size += favfmt::RecordSize(list[i].strLabel.size(), paths[i]->size(), list[i].bFolder != 0);
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
                             favstore::FavoritesKeeper& keeper) {
    std::vector<BYTE> encoded = keeper.TakeBuffer();
    if (!EncodeTree(tree, items, encoded)) return favstore::SaveOutcome::Failed;
    return keeper.Save(values, std::move(encoded));
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
        favstore::RegistryValues values(key.get());
        favstore::StoredValue value;
        const favstore::ReadOutcome read = keeper.Read(values, value);
        const bool currentLayout = ReadLayoutMarker(key.get()) == kMarkerCurrentLayout;
        const bool loadable = read == favstore::ReadOutcome::Read && value.type == REG_BINARY && !value.bytes.empty();
        const bool loadedWhole = loadable && LoadFromValue(tree, items, value.bytes, currentLayout);
        keeper.Loaded(read, std::move(value), loadedWhole, currentLayout);
        if (loadedWhole && !currentLayout) {
            // Rewritten at once in the current layout; an emptied value is
            // gone, which converts it too.
            if (SaveTo(values, tree, items, keeper) == favstore::SaveOutcome::Deleted) {
                values.MarkCurrentLayout();
            }
        }
    }
    tree.SetRedraw(true);
}

favstore::SaveOutcome SaveFavorites(const FavoriteTree& tree, const FavoriteItemMap& items,
                                    favstore::FavoritesKeeper& keeper) {
    // Without its window the tree reads as empty, which is no reason to
    // delete anything.
    if (!tree.Exists()) return favstore::SaveOutcome::Failed;
    UniqueRegKey key(OpenPlugInKey());
    if (!key) return favstore::SaveOutcome::Failed;
    favstore::RegistryValues values(key.get());
    return SaveTo(values, tree, items, keeper);
}

bool StoredFavoritesChanged(favstore::FavoritesKeeper& keeper) {
    UniqueRegKey key(OpenPlugInKey());
    if (!key) return false;
    favstore::RegistryValues values(key.get());
    // What this window still owes the backup is written before a reload
    // forgets it; until then the bar keeps showing what it has.
    return keeper.StoredValueChanged(values) && keeper.SecureUnloadedValue(values);
}
