// The favourites tree in the registry value FavoriteArray (layout in
// store/favorites_format.h), loaded into and saved from any FavoriteTree.
#pragma once

#include <windows.h>

#include "common/handles.h"
#include "store/favorites_keeper.h"
#include "store/item_model.h"

// The plug-in key of one window's bar, opened at its first use and kept open
// while the bar is: each save and each idle look at what is stored would
// otherwise open and close it, two trips to the system. A key deleted
// meanwhile (by favtool, or by hand) is opened afresh.
class PlugInKey {
public:
    // The key for one piece of work, opened when it is not open yet; null
    // when it can neither be opened nor created.
    UniqueRegKey Lend();
    // After the work: kept open unless the bar forgot it meanwhile (the host
    // may close the bar in answer to a notice of the tree during a load).
    void Return(UniqueRegKey key);
    void Forget() {
        m_key.reset();
        m_bForgotten = true;
    }

private:
    UniqueRegKey m_key;
    bool m_bForgotten = false;
};

// Replaces the tree's items and the records with the stored favourites. A
// complete value in an older layout is rewritten at once in the current one.
void LoadFavorites(FavoriteTree& tree, FavoriteItemMap& items, favstore::FavoritesKeeper& keeper, PlugInKey& key);

// Replaces the stored value with the tree, or deletes it when the tree is
// empty, as far as the keeper allows.
favstore::SaveOutcome SaveFavorites(const FavoriteTree& tree, const FavoriteItemMap& items,
                                    favstore::FavoritesKeeper& keeper, PlugInKey& key);

// Whether another window or program has rewritten or deleted the stored
// value since the keeper last loaded or saved it, and the window may load it
// again: what it owes the backup is secured first. Reads no value data while
// the key's last-write time says nothing was written.
bool StoredFavoritesChanged(favstore::FavoritesKeeper& keeper, PlugInKey& key);
