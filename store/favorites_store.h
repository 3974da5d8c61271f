// The stored favourites of one window's bar (layout in
// store/favorites_format.h): loaded into and saved from any FavoriteTree.
#pragma once

#include <windows.h>


#include "common/handles.h"
#include "store/favorites_keeper.h"
#include "store/item_model.h"

// What the look at the stored value found another writer stored: handed to
// the reload as it is, so a reload reads the value once.
struct StoredChange {
    favstore::ReadOutcome read = favstore::ReadOutcome::Missing;
    favstore::StoredValue value;
};

// Per bar: the item records beside its tree, the keeper that decides whether
// a save may replace or delete the stored value, whether the bar has edits
// still to save, and the plug-in key. The key is opened at its first use and
// kept open while the bar is: each save and each idle look at what is stored
// would otherwise open and close it, two trips to the system. A key deleted
// meanwhile (by favtool, or by hand) is opened afresh.
class BarStore {
public:
    // Replaces the tree's items and the records with the stored favourites.
    // A complete value in an older layout is rewritten at once in the
    // current one.
    void Load(FavoriteTree& tree) { LoadRead(tree, nullptr); }

    // Replaces the stored value with the tree, or deletes it when the tree
    // is empty, as far as the keeper allows. False when nothing could be
    // secured: the edits stay to save. One the keeper skipped had nothing to
    // save (the edits changed no favourite, and another writer's value is
    // newer), and counts as saved.
    bool Save(const FavoriteTree& tree);
    void MarkModified() { m_bModified = true; }
    bool Modified() const { return m_bModified; }

    // A bar without edits of its own follows the stored value: whether
    // another window or program changed it since this bar last loaded or
    // saved, with what the look read in change, once what the bar owes the
    // backup is secured; false while the bar has edits, or nothing changed. Reads no value data while the key's
    // last-write time says nothing was written.
    bool ChangeToFollow(StoredChange& change);
    // Loads the change the look found into the tree, as Load does; the
    // change is used up.
    void Follow(FavoriteTree& tree, StoredChange& change) { LoadRead(tree, &change); }

    // The bar is released: the key closes (also under a piece of work that
    // is still running), and the next tree is loaded from the store (or from
    // the favourites kept unsaved, KeepUnsaved) and owes it nothing.
    void Forget() {
        m_key.reset();
        m_bKeyForgotten = true;
        m_bModified = false;
    }

    // The bar closes (or its frame goes) with edits its save could not
    // write: the tree's favourites are kept, encoded before the tree goes,
    // to be written at a later flush whether the bar is open or not; the
    // bar's next opening shows them, still to save. False when the tree
    // could not be read.
    bool KeepUnsaved(const FavoriteTree& tree);
    bool HoldsUnsaved() const { return m_bPending; }
    // Writes the kept favourites as far as the keeper allows; true when
    // none are left to write.
    bool SavePending();
    // The frame goes with favourites still kept: they become a history
    // entry of their own ("unsaved"), which favtool lists and restores; a
    // history entry needs no writers' lock.
    void KeepUnsavedInHistory();

    // Whether a load is filling a tree: the host hears the tree's notices
    // meanwhile and may answer with its events.
    bool Loading() const { return m_nLoads > 0; }

    // Whether the last load opened the folder: its stored value has it open.
    bool LoadedOpen(HTREEITEM hFolder) const {
        const FavoriteItem* record = m_items.FindItem(hFolder);
        return record && record->bLoadedOpen;
    }

    FavoriteItemMap& Records() { return m_items; }
    const FavoriteItemMap& Records() const { return m_items; }

private:
    // The key for one piece of work, opened when it is not open yet; null
    // when it can neither be opened nor created.
    UniqueRegKey LendKey();
    // After the work: kept open unless the bar forgot it meanwhile.
    void ReturnKey(UniqueRegKey key) {
        if (!m_bKeyForgotten) m_key = std::move(key);
    }
    template <class Result, class Work>
    Result WithStoredValues(Result noKey, Work&& work);
    // change: what a look read already; without it the value is read here.
    void LoadRead(FavoriteTree& tree, StoredChange* change);
    // The favourites kept unsaved into the tree, which owes them the store.
    void LoadPending(FavoriteTree& tree);
    // The kept favourites into FavoriteArray by the keeper's rules, or into
    // a history entry; true when written.
    bool WritePending(bool intoHistory);

    FavoriteItemMap m_items;
    favstore::FavoritesKeeper m_keeper;
    bool m_bModified = false;
    UniqueRegKey m_key;
    bool m_bKeyForgotten = false;
    // KeepUnsaved's favourites, in the stored layout (empty for none), while
    // m_bPending says there are some.
    std::vector<BYTE> m_pending;
    bool m_bPending = false;
    int m_nLoads = 0;
};
