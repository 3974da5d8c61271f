// favtool's writes, which the keeper makes as its own operations: a replace
// keeps what it replaced where the keeper says, and restore's swap, against
// a key whose writes fail on cue, never holds a value only in memory and
// puts back what it wrote when a later write fails.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "store/favorites_format.h"
#include "store/favorites_keeper.h"
#include "tests/native/fake_stored_values.h"

namespace {

using favstore::FavoritesKeeper;
using favstore::RequestedWrite;
using favstore::Shown;
using favstore::StoredValue;
using favtest::Bytes;
using favtest::FakeValues;
using favtest::kBinary;
using favtest::kText;
using Value = favstore::StoredValues::Value;
using Outcome = RequestedWrite::Outcome;

favfmt::Record Item(const char16_t* label) { return {label, std::u16string(u"C:\\") + label, 1, false, false}; }

StoredValue Binary(Bytes bytes) { return StoredValue{kBinary, std::move(bytes)}; }

const Bytes kA = favfmt::Encode({Item(u"a")});
const Bytes kAB = favfmt::Encode({Item(u"a"), Item(u"b")});
const Bytes kDamaged = {8, 15, 239, 0, 9, 0, 0, 0, 1};

// A folder in the layout without expanded bytes: it loads completely only
// with check = 0.
Bytes OldLayoutFolder() {
    Bytes bytes = favfmt::Encode({{u"F", u"", 1, true, true}});
    bytes.erase(bytes.begin() + 20);  // header 8, label length 4 and 2, path length 4, depth, folder flag
    return bytes;
}

// What the key holds, for comparing before and after.
using Held = std::optional<StoredValue>;
using KeyState = std::tuple<Held, Held, Held>;  // FavoriteArray, FavoriteArrayBackup, check
KeyState StateOf(const FakeValues& key) {
    return {key.hasFavorites ? Held(key.favorites) : std::nullopt, key.hasBackup ? Held(key.backup) : std::nullopt,
            key.marker};
}
bool Holds(const FakeValues& key, const StoredValue& value) {
    return (key.hasFavorites && key.favorites == value) || (key.hasBackup && key.backup == value);
}

// A value of the current layout, and a backup that loads only in the old
// one: the swap writes all three values.
void HoldingOldLayoutBackup(FakeValues& key) {
    key.Store(kBinary, kA);
    key.hasBackup = true;
    key.backup = Binary(OldLayoutFolder());
    key.marker = favstore::DwordValue(kMarkerCurrentLayout);
}

// What favtool shows before it writes: the key as it is now.
Shown ShownOf(FakeValues& key) {
    Shown shown;
    if (key.hasFavorites) shown.favorites = key.favorites;
    if (key.hasBackup) shown.backup = key.backup;
    shown.marker = key.ReadMarker();
    return shown;
}

// A swap that fails at the write of failed, and puts back all it wrote.
void ExpectSwapFailsAndChangesNothing(FakeValues& key, Value failed) {
    const KeyState before = StateOf(key);
    const RequestedWrite done = FavoritesKeeper().SwapInBackup(key, ShownOf(key));
    EXPECT_EQ(Outcome::Failed, done.outcome);
    EXPECT_EQ(failed, done.failed);
    EXPECT_TRUE(done.notPutBack.empty());
    EXPECT_EQ(before, StateOf(key));
}

TEST(RequestedWrites, WhetherAValueLoadsCompletelyIsTheKeepersToSay) {
    EXPECT_TRUE(favstore::LoadsCompletely(Binary(kAB), true));
    EXPECT_TRUE(favstore::LoadsCompletely(Binary({}), true));
    EXPECT_FALSE(favstore::LoadsCompletely(Binary(kDamaged), true));
    EXPECT_FALSE(favstore::LoadsCompletely(StoredValue{kText, kAB}, true));
    EXPECT_FALSE(favstore::LoadsCompletely(StoredValue{kText, {}}, true));
    EXPECT_FALSE(favstore::LoadsCompletely(Binary(OldLayoutFolder()), true));
    EXPECT_TRUE(favstore::LoadsCompletely(Binary(OldLayoutFolder()), false));

    EXPECT_EQ(kMarkerCurrentLayout, favstore::MarkerThatLoads(Binary(kAB)));
    EXPECT_EQ(kMarkerOldLayout, favstore::MarkerThatLoads(Binary(OldLayoutFolder())));
    EXPECT_EQ(std::nullopt, favstore::MarkerThatLoads(Binary(kDamaged)));
    EXPECT_EQ(std::nullopt, favstore::MarkerThatLoads(Binary({})));
    EXPECT_EQ(std::nullopt, favstore::MarkerThatLoads(StoredValue{kText, kAB}));
}

TEST(RequestedWrites, AReplaceSaysWhereTheReplacedValueWent) {
    // Into the history, named by the entry that holds it.
    FakeValues key;
    key.Store(kBinary, kA);
    key.marker = favstore::DwordValue(kMarkerCurrentLayout);
    RequestedWrite done = FavoritesKeeper().Replace(key, ShownOf(key), kAB, "import");
    ASSERT_EQ(Outcome::Written, done.outcome);
    ASSERT_EQ(1u, key.history.size());
    EXPECT_EQ(key.HistoryNames().back(), done.replaced.historyEntry);
    EXPECT_NE(std::string::npos, done.replaced.historyEntry.find("import"));
    EXPECT_FALSE(done.replaced.inBackup);
    EXPECT_EQ(kAB, key.favorites.bytes);

    // A value that does not load completely goes to the backup instead.
    FakeValues damaged;
    damaged.Store(kBinary, kDamaged);
    done = FavoritesKeeper().Replace(damaged, ShownOf(damaged), kAB, "import");
    ASSERT_EQ(Outcome::Written, done.outcome);
    EXPECT_TRUE(done.replaced.inBackup);
    EXPECT_EQ("", done.replaced.historyEntry);
    EXPECT_EQ(Binary(kDamaged), damaged.backup);

    // Nothing stored: nowhere.
    FakeValues empty;
    done = FavoritesKeeper().Replace(empty, ShownOf(empty), kAB, "import");
    ASSERT_EQ(Outcome::Written, done.outcome);
    EXPECT_FALSE(done.replaced.inBackup);
    EXPECT_EQ("", done.replaced.historyEntry);
    EXPECT_EQ((std::vector<std::string>{"write", "mark"}), empty.log);
}

TEST(RequestedWrites, AReplaceWritesNothingUnlessTheKeyHoldsWhatWasShown) {
    FakeValues key;
    key.Store(kBinary, kA);
    key.marker = favstore::DwordValue(kMarkerCurrentLayout);
    Shown shown = ShownOf(key);
    key.Store(kBinary, kAB);  // another writer, after favtool looked
    EXPECT_EQ(Outcome::ValueChanged, FavoritesKeeper().Replace(key, shown, kA, "import").outcome);

    shown = ShownOf(key);
    key.marker = favstore::DwordValue(kMarkerOldLayout);
    EXPECT_EQ(Outcome::MarkerChanged, FavoritesKeeper().Replace(key, shown, kA, "import").outcome);

    shown = ShownOf(key);
    key.lockRefused = true;
    EXPECT_EQ(Outcome::LockedOut, FavoritesKeeper().Replace(key, shown, kA, "import").outcome);
    key.lockRefused = false;
    key.lockUnavailable = true;
    EXPECT_EQ(Outcome::LockUnavailable, FavoritesKeeper().Replace(key, shown, kA, "import").outcome);
    EXPECT_EQ(Outcome::LockUnavailable, FavoritesKeeper().SwapInBackup(key, shown).outcome);
    EXPECT_TRUE(key.log.empty());
    EXPECT_TRUE(key.history.empty());
}

TEST(RequestedWrites, TheSwapKeepsTheReplacedValueInTheHistoryBeforeItWrites) {
    FakeValues key;
    HoldingOldLayoutBackup(key);
    const RequestedWrite done = FavoritesKeeper().SwapInBackup(key, ShownOf(key));
    ASSERT_EQ(Outcome::Written, done.outcome);
    EXPECT_EQ((std::vector<std::string>{"history", "write", "mark", "backup"}), key.log);
    EXPECT_EQ(key.HistoryNames().back(), done.replaced.historyEntry);
    EXPECT_TRUE(done.replaced.inBackup);
    EXPECT_EQ(kMarkerOldLayout, done.markerSet);

    // The history cannot take it: nothing is written.
    FakeValues refused;
    refused.Store(kBinary, kA);
    refused.hasBackup = true;
    refused.backup = Binary(kAB);
    refused.failHistory = true;
    const KeyState before = StateOf(refused);
    EXPECT_EQ(Outcome::NotKept, FavoritesKeeper().SwapInBackup(refused, ShownOf(refused)).outcome);
    EXPECT_EQ(before, StateOf(refused));
}

// restore's swap, with each of its writes failing in turn, and with none.
class SwapInBackupTest : public ::testing::TestWithParam<int> {};

TEST_P(SwapInBackupTest, EachMomentKeepsBothValuesAndAFailureChangesNothing) {
    const StoredValue value = Binary({'v', 'a', 'l'});
    const StoredValue backup = Binary(OldLayoutFolder());
    FakeValues key;
    key.Store(value.type, value.bytes);
    key.hasBackup = true;
    key.backup = backup;
    key.marker = favstore::DwordValue(kMarkerCurrentLayout);
    const KeyState before = StateOf(key);
    const Shown shown = ShownOf(key);
    const int failing = GetParam();
    if (failing > 0) key.failingWrites = {failing};
    int moments = 0;
    key.afterEachWrite = [&](const FakeValues& now) {
        ++moments;
        EXPECT_TRUE(Holds(now, backup)) << "after write " << moments;
        // The replaced value is in the history before the swap begins; in
        // the key it is missing only between the value's write and the
        // backup's.
        if (failing == 0 && moments == 3) {
            EXPECT_TRUE(Holds(now, value));
        }
    };
    const RequestedWrite done = FavoritesKeeper().SwapInBackup(key, shown);
    if (failing == 0) {
        EXPECT_EQ(Outcome::Written, done.outcome);
        EXPECT_EQ(backup, key.favorites);
        EXPECT_EQ(value, key.backup);
        EXPECT_EQ(favstore::DwordValue(kMarkerOldLayout), key.marker);
    } else {
        EXPECT_EQ(Outcome::Failed, done.outcome);
        const Value order[] = {Value::Favorites, Value::Marker, Value::Backup};
        EXPECT_EQ(order[failing - 1], done.failed);
        EXPECT_TRUE(done.notPutBack.empty());
        EXPECT_EQ(before, StateOf(key));
    }
}

INSTANTIATE_TEST_SUITE_P(FailingWrite, SwapInBackupTest, ::testing::Values(0, 1, 2, 3));

TEST(SwapInBackupTest, WithoutAValueTheBackupGoesOnlyOnceItIsTheValue) {
    const StoredValue backup = Binary(kA);
    FakeValues key;
    key.hasBackup = true;
    key.backup = backup;
    key.marker = favstore::DwordValue(kMarkerCurrentLayout);  // as the backup loads: not written
    std::vector<KeyState> moments;
    key.afterEachWrite = [&moments](const FakeValues& now) { moments.push_back(StateOf(now)); };
    ASSERT_EQ(Outcome::Written, FavoritesKeeper().SwapInBackup(key, ShownOf(key)).outcome);
    ASSERT_EQ(moments.size(), 2u);
    EXPECT_EQ(backup, std::get<0>(moments[0]));
    EXPECT_EQ(backup, std::get<1>(moments[0]));
    EXPECT_EQ(std::nullopt, std::get<1>(moments[1]));
    EXPECT_EQ(backup, std::get<0>(moments[1]));

    // The removal failing puts the key back as it was: the backup alone.
    FakeValues failing;
    failing.hasBackup = true;
    failing.backup = backup;
    failing.marker = favstore::DwordValue(kMarkerCurrentLayout);
    failing.failingWrites = {2};
    ExpectSwapFailsAndChangesNothing(failing, Value::Backup);
}

TEST(SwapInBackupTest, AnUnreadableValueStopsTheWritesBeforeItAndUndoesThose) {
    FakeValues key;
    HoldingOldLayoutBackup(key);
    key.unreadableMarker = true;  // its earlier value is unknown: not written
    ExpectSwapFailsAndChangesNothing(key, Value::Marker);
}

TEST(SwapInBackupTest, WhatCouldNotBePutBackIsNamed) {
    FakeValues key;
    HoldingOldLayoutBackup(key);
    key.failingWrites = {3, 4};  // the backup's write fails, and so does putting back check
    const RequestedWrite done = FavoritesKeeper().SwapInBackup(key, ShownOf(key));
    EXPECT_EQ(Outcome::Failed, done.outcome);
    EXPECT_EQ(Value::Backup, done.failed);
    EXPECT_EQ(std::vector<Value>{Value::Marker}, done.notPutBack);
    // Put back last first: check's failed, FavoriteArray's took.
    EXPECT_EQ(Binary(kA), key.favorites);
}

}  // namespace
