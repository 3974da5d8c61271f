// The rules for replacing or deleting the stored favourites, against a fake
// key whose reads and writes can be made to fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/favorites_keeper.h"

namespace {

using favstore::FavoritesKeeper;
using favstore::ReadOutcome;
using favstore::SaveOutcome;
using favstore::StoredValue;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBinary = 3;  // REG_BINARY
constexpr std::uint32_t kText = 1;    // REG_SZ

class FakeValues final : public favstore::StoredValues {
public:
    // The key's state.
    bool hasFavorites = false;
    StoredValue favorites;
    bool hasBackup = false;
    StoredValue backup;
    bool marked = false;
    // Faults to inject.
    bool unreadable = false;
    bool failBackup = false;
    bool failWrite = false;
    bool failDelete = false;
    // Every change, in order.
    std::vector<std::string> log;

    void Store(std::uint32_t type, Bytes bytes) {
        hasFavorites = true;
        favorites = StoredValue{type, std::move(bytes)};
    }
    ReadOutcome ReadFavorites(StoredValue& value) override {
        if (!hasFavorites) return ReadOutcome::Missing;
        if (unreadable) return ReadOutcome::Unreadable;
        value = favorites;
        return ReadOutcome::Read;
    }
    bool WriteFavorites(const Bytes& bytes) override {
        if (failWrite) return false;
        Store(kBinary, bytes);
        log.push_back("write");
        return true;
    }
    bool DeleteFavorites() override {
        if (failDelete) return false;
        hasFavorites = false;
        log.push_back("delete");
        return true;
    }
    bool WriteBackup(const StoredValue& value) override {
        if (failBackup) return false;
        hasBackup = true;
        backup = value;
        log.push_back("backup");
        return true;
    }
    bool MarkCurrentLayout() override {
        marked = true;
        log.push_back("mark");
        return true;
    }
};

const Bytes kDamaged = {8, 15, 239, 0, 9, 0, 0, 0, 1};
const Bytes kTree = {8, 15, 239, 0, 0, 0, 0, 0};
const Bytes kOtherTree = {8, 15, 239, 0, 0, 0, 0, 0, 0};

// A keeper that has loaded what the key holds now.
FavoritesKeeper LoadedFrom(FakeValues& key, bool loadedWhole) {
    FavoritesKeeper keeper;
    StoredValue value;
    const ReadOutcome read = key.ReadFavorites(value);
    keeper.Loaded(read, value, loadedWhole);
    return keeper;
}

}  // namespace

TEST(FavoritesKeeper, AValueThatDidNotLoadGoesToTheBackupFirstWithItsType) {
    FakeValues key;
    key.Store(kText, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kTree, false));
    EXPECT_EQ((std::vector<std::string>{"backup", "write", "mark"}), key.log);
    EXPECT_EQ(kText, key.backup.type);
    EXPECT_EQ(kDamaged, key.backup.bytes);
    EXPECT_EQ(kTree, key.favorites.bytes);

    // Once kept, it is not written over again by the next save.
    key.log.clear();
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kOtherTree, true));
    EXPECT_EQ((std::vector<std::string>{"write", "mark"}), key.log);
}

TEST(FavoritesKeeper, AFailedBackupLeavesTheValueAndKeepsTheBytesForTheNextSave) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    key.failBackup = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kTree, true));
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, {}, true));  // nor deleted
    EXPECT_TRUE(key.log.empty());
    EXPECT_EQ(kDamaged, key.favorites.bytes);
    EXPECT_FALSE(key.marked);
    EXPECT_TRUE(keeper.HoldsUnloadedValue());

    key.failBackup = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kTree, true));
    EXPECT_EQ(kDamaged, key.backup.bytes);
    EXPECT_FALSE(keeper.HoldsUnloadedValue());
}

TEST(FavoritesKeeper, TheLayoutIsMarkedOnlyAfterTheValueWasWritten) {
    FakeValues key;
    key.Store(kBinary, kTree);
    FavoritesKeeper keeper = LoadedFrom(key, true);
    key.failWrite = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kOtherTree, true));
    EXPECT_FALSE(key.marked);

    // An emptied tree deletes the value and leaves the marker as it was.
    key.failWrite = false;
    EXPECT_EQ(SaveOutcome::Deleted, keeper.Save(key, {}, true));
    EXPECT_FALSE(key.hasFavorites);
    EXPECT_FALSE(key.marked);
    key.Store(kBinary, kTree);
    key.failDelete = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, {}, true));
    EXPECT_TRUE(key.hasFavorites);
}

TEST(FavoritesKeeper, AValueThatCouldNotBeReadIsReadAgainBeforeItIsReplaced) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    key.unreadable = true;
    FavoritesKeeper keeper = LoadedFrom(key, false);
    EXPECT_TRUE(keeper.HoldsUnloadedValue());
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kTree, true));
    EXPECT_TRUE(key.log.empty());

    key.unreadable = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kTree, true));
    EXPECT_EQ((std::vector<std::string>{"backup", "write", "mark"}), key.log);
    EXPECT_EQ(kDamaged, key.backup.bytes);
}

TEST(FavoritesKeeper, AnEmptyValueHoldsNothingToKeep) {
    FakeValues key;
    key.Store(kBinary, {});
    FavoritesKeeper keeper = LoadedFrom(key, false);
    EXPECT_FALSE(keeper.HoldsUnloadedValue());
    EXPECT_EQ(SaveOutcome::Deleted, keeper.Save(key, {}, false));
    EXPECT_FALSE(key.hasBackup);
}

TEST(FavoritesKeeper, AnUnchangedWindowSkipsOnlyWhenSomeoneElseRewroteTheValue) {
    FakeValues key;
    key.Store(kBinary, kTree);
    FavoritesKeeper unchanged = LoadedFrom(key, true);
    FavoritesKeeper edited = LoadedFrom(key, true);

    // Same value as loaded: saved again (it records which folders are open).
    EXPECT_EQ(SaveOutcome::Written, unchanged.Save(key, kTree, false));

    // Another window saves its edits; the unchanged one no longer writes...
    EXPECT_EQ(SaveOutcome::Written, edited.Save(key, kOtherTree, true));
    key.log.clear();
    EXPECT_EQ(SaveOutcome::Skipped, unchanged.Save(key, kTree, false));
    EXPECT_EQ(SaveOutcome::Skipped, unchanged.Save(key, {}, false));
    EXPECT_TRUE(key.log.empty());
    EXPECT_EQ(kOtherTree, key.favorites.bytes);

    // ...unless it has edits of its own: then the last save wins.
    EXPECT_EQ(SaveOutcome::Written, unchanged.Save(key, kTree, true));
    EXPECT_EQ(kTree, key.favorites.bytes);

    // A value that has gone is written again.
    key.hasFavorites = false;
    EXPECT_EQ(SaveOutcome::Written, edited.Save(key, kOtherTree, false));
    EXPECT_EQ(kOtherTree, key.favorites.bytes);
}

TEST(FavoritesKeeper, AWindowThatLoadedNothingDoesNotDeleteWhatAnotherWindowSaved) {
    FakeValues key;
    FavoritesKeeper empty = LoadedFrom(key, true);
    FavoritesKeeper other = LoadedFrom(key, true);
    EXPECT_EQ(SaveOutcome::Written, other.Save(key, kTree, true));
    EXPECT_EQ(SaveOutcome::Skipped, empty.Save(key, {}, false));
    EXPECT_TRUE(key.hasFavorites);
}
