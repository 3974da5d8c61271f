// The favourites tree in the registry value FavoriteArray (layout in
// store/favorites_format.h), loaded into and saved from any FavoriteTree.
#pragma once

#include "store/favorites_keeper.h"
#include "store/item_model.h"

// Replaces the tree's items and the records with the stored favourites. A
// complete value in an older layout is rewritten at once in the current one.
void LoadFavorites(FavoriteTree& tree, FavoriteItemMap& items, favstore::FavoritesKeeper& keeper);

// Replaces the stored value with the tree, or deletes it when the tree is
// empty, as far as the keeper allows.
favstore::SaveOutcome SaveFavorites(const FavoriteTree& tree, const FavoriteItemMap& items,
                                    favstore::FavoritesKeeper& keeper);

// Whether another window or program has rewritten or deleted the stored
// value since the keeper last loaded or saved it, and the window may load it
// again: what it owes the backup is secured first. Reads no value data while
// the key's last-write time says nothing was written.
bool StoredFavoritesChanged(favstore::FavoritesKeeper& keeper);
