// Loading the favourites tree from the registry and saving it back, for one
// bar. Whether a save may replace or delete the stored value is the keeper's
// decision.
#include "store/favorites_store.h"

#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "common/handles.h"
#include "store/favorites_format.h"
#include "store/favorites_history.h"
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
        if (bExpandPrevious && hParent && hParent == hPrevious) {
            tree.ExpandItem(hParent);
            items.GetItem(hParent).bLoadedOpen = true;
        }
        bExpandPrevious = record.expanded;
        hPrevious = hNew;
        parents.Inserted(record.depth, hNew);
        items.AddItem(hNew, std::move(label), favfmt::ReadText<std::wstring>(record.path, record.pathLen),
                      record.folder);
    }
    return complete && reader.Complete();
}

const std::wstring kNoPath;

// The tree in the stored layout, built in one walk: each item is read once and
// its record written at once, into a buffer that grows as it goes (taken from
// the keeper, it mostly has the room already).
class TreeEncoder {
public:
    TreeEncoder(const FavoriteTree& tree, const FavoriteItemMap& items, std::vector<BYTE>& encoded)
        : m_tree(tree), m_items(items), m_encoded(encoded) {}

    // encoded: empty when the tree has no items. False when, short of
    // memory, nothing could be built: nothing is written then.
    bool Encode() {
        m_encoded.clear();
        if (!Grow(favfmt::kHeaderSize) || !EncodeLevel(m_tree.FirstChild(nullptr), 1)) return false;
        if (m_count == 0) {
            m_encoded.clear();
            return true;
        }
        return favfmt::Writer(m_encoded.data(), favfmt::kHeaderSize).WriteHeader(m_count);
    }

private:
    // The items from hFirst on and everything below them, in pre-order.
    bool EncodeLevel(HTREEITEM hFirst, unsigned depth) {
        for (HTREEITEM hItem = hFirst; hItem; hItem = m_tree.NextSibling(hItem)) {
            bool folder = false;
            bool expanded = false;
            if (m_tree.ReadItem(hItem, m_label, folder, expanded) && !Append(hItem, depth, folder, expanded)) {
                return false;
            }
            if (!EncodeLevel(m_tree.FirstChild(hItem), depth + 1)) return false;
        }
        return true;
    }

    bool Append(HTREEITEM hItem, unsigned depth, bool folder, bool expanded) {
        const FavoriteItem* item = m_items.FindItem(hItem);
        const std::wstring& path = item ? item->strPath : kNoPath;
        const size_t at = m_encoded.size();
        const size_t size = favfmt::RecordSize(m_label.size(), path.size(), folder);
        if (!Grow(size)) return false;
        // Past the byte's range a depth stays at its last value, which loads
        // at the deepest level as every depth beyond the parent table does.
        const auto storedDepth = static_cast<std::uint8_t>(depth < 255 ? depth : 255);
        favfmt::Writer writer(m_encoded.data() + at, size);
        writer.WriteRecord(m_label.data(), m_label.size(), path.data(), path.size(), storedDepth, folder,
                           folder && expanded);
        ++m_count;
        return true;
    }

    bool Grow(size_t size) {
        try {
            m_encoded.resize(m_encoded.size() + size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    const FavoriteTree& m_tree;
    const FavoriteItemMap& m_items;
    std::vector<BYTE>& m_encoded;
    std::wstring m_label;  // each item's, in the room of the ones before
    std::int32_t m_count = 0;
};

favstore::SaveOutcome SaveTo(favstore::StoredValues& values, const FavoriteTree& tree, const FavoriteItemMap& items,
                             favstore::FavoritesKeeper& keeper) {
    // Without its window the tree reads as empty, which is no reason to
    // delete anything: the host may have closed the bar during a load.
    if (!tree.Exists()) return favstore::SaveOutcome::Failed;
    std::vector<BYTE> encoded = keeper.TakeBuffer();
    if (!TreeEncoder(tree, items, encoded).Encode()) return favstore::SaveOutcome::Failed;
    return keeper.Save(values, std::move(encoded));
}

// The writers' lock of this module's key, shared with every other writer of
// it; the module's file, and so its key, stays the same while it is loaded.
const std::wstring& PlugInLockName() {
    static const std::wstring name = [] {
        wchar_t path[kTextBufferChars] = {};
        return GetPlugInKeyPath(path) ? favstore::WritersLockName(path) : std::wstring();
    }();
    return name;
}

// read: the stored value as the keeper read it, the key's time noted first.
void LoadFrom(favstore::RegistryValues& values, FavoriteTree& tree, FavoriteItemMap& items,
              favstore::FavoritesKeeper& keeper, StoredChange read) {
    // Value and marker are read before the tree is touched: the host hears
    // the tree's notices from here on.
    favstore::StoredValue& value = read.value;
    const bool currentLayout = keeper.ReadMarkerWith(values, read.read, value);
    tree.DeleteAllItems();
    items.ClearItems();
    const bool loadable = read.read == favstore::ReadOutcome::Read && value.type == REG_BINARY && !value.bytes.empty();
    const bool loadedWhole = loadable && LoadFromValue(tree, items, value.bytes, currentLayout);
    keeper.Loaded(read.read, std::move(value), loadedWhole, currentLayout);
    if (loadedWhole && !currentLayout) {
        // Rewritten at once in the current layout; an emptied value is
        // gone, which converts it too.
        if (SaveTo(values, tree, items, keeper) == favstore::SaveOutcome::Deleted) values.MarkCurrentLayout();
    }
}

}  // namespace

// Runs work on the values of the plug-in key. Every look at what is stored
// asks the key's time first, so a key deleted since it was opened shows at
// once: it is opened afresh (created again) and the work done once more.
// noKey: the result when the key cannot be had.
template <class Result, class Work>
Result BarStore::WithStoredValues(Result noKey, Work&& work) {
    for (int attempt = 0;; ++attempt) {
        UniqueRegKey lent = LendKey();
        if (!lent) return noKey;
        favstore::RegistryValues values(lent.get(), PlugInLockName());
        Result result = work(values);
        if (!values.KeyGone() || attempt > 0) {
            ReturnKey(std::move(lent));
            return result;
        }
    }
}

UniqueRegKey BarStore::LendKey() {
    if (!m_key) m_key.reset(OpenPlugInKey());
    m_bKeyForgotten = false;
    return std::move(m_key);
}

// Counts the loads running on a store: one may start inside another's
// notice.
class LoadCount {
public:
    explicit LoadCount(int& count) : m_count(count) { ++m_count; }
    ~LoadCount() { --m_count; }
    LoadCount(const LoadCount&) = delete;
    LoadCount& operator=(const LoadCount&) = delete;

private:
    int& m_count;
};

void BarStore::LoadPending(FavoriteTree& tree) {
    tree.DeleteAllItems();
    m_items.ClearItems();
    LoadFromValue(tree, m_items, m_pending, true);
    m_bModified = true;
    m_bPending = false;
    std::vector<BYTE>().swap(m_pending);
}

void BarStore::LoadRead(FavoriteTree& tree, StoredChange* change) {
    if (!tree.Exists()) return;
    const LoadCount loading(m_nLoads);
    tree.SetRedraw(false);
    if (m_bPending && !change) {
        LoadPending(tree);
        tree.SetRedraw(true);
        return;
    }
    const bool opened = WithStoredValues(false, [&](favstore::RegistryValues& values) {
        // A second attempt, on a key opened afresh, reads what is there now.
        StoredChange read;
        if (change) {
            read = std::move(*change);
            change = nullptr;
        } else {
            read.read = m_keeper.Read(values, read.value);
        }
        LoadFrom(values, tree, m_items, m_keeper, std::move(read));
        return true;
    });
    if (!opened) {
        tree.DeleteAllItems();
        m_items.ClearItems();
        // Nothing is known about what is stored: no save may replace it.
        m_keeper.Loaded(favstore::ReadOutcome::Unreadable, {}, false);
    }
    tree.SetRedraw(true);
}

bool BarStore::Save(const FavoriteTree& tree) {
    const favstore::SaveOutcome saved =
        WithStoredValues(favstore::SaveOutcome::Failed,
                         [&](favstore::RegistryValues& values) { return SaveTo(values, tree, m_items, m_keeper); });
    if (saved == favstore::SaveOutcome::Failed) return false;
    m_bModified = false;
    return true;
}

bool BarStore::ChangeToFollow(StoredChange& change) {
    if (m_bModified || m_bPending) return false;
    // What this bar still owes the backup is written before a reload forgets
    // it; until then the bar keeps showing what it has.
    return WithStoredValues(false, [&](favstore::RegistryValues& values) {
        return m_keeper.StoredValueChanged(values, change.read, change.value) &&
               m_keeper.SecureUnloadedValue(values);
    });
}

bool BarStore::KeepUnsaved(const FavoriteTree& tree) {
    m_bModified = false;
    if (!tree.Exists() || !TreeEncoder(tree, m_items, m_pending).Encode()) return false;
    m_bPending = true;
    return true;
}

bool BarStore::SavePending() {
    return !m_bPending || WritePending(false);
}

void BarStore::KeepUnsavedInHistory() {
    // All deleted: no favourites to keep.
    if (m_bPending && !m_pending.empty()) WritePending(true);
    m_bPending = false;
}

bool BarStore::WritePending(bool intoHistory) {
    const bool written = WithStoredValues(false, [&](favstore::RegistryValues& values) {
        if (intoHistory) {
            return favstore::FavoritesHistory(values).Add(m_pending, "unsaved") !=
                   favstore::FavoritesHistory::AddOutcome::Failed;
        }
        // The keeper takes the bytes it writes; these stay until written.
        return m_keeper.Save(values, m_pending) != favstore::SaveOutcome::Failed;
    });
    // Kept only while the bar is closed, or its frame goes: the key closes
    // again.
    m_key.reset();
    m_bKeyForgotten = true;
    if (written) {
        m_bPending = false;
        std::vector<BYTE>().swap(m_pending);
    }
    return written;
}
