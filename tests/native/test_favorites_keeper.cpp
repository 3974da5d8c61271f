// The rules for replacing or deleting the stored favourites, against a fake
// key whose reads and writes can be made to fail, with a clock the tests set.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "store/favorites_format.h"
#include "store/favorites_history.h"
#include "store/favorites_keeper.h"
#include "tests/native/fake_stored_values.h"

namespace {

using favfmt::Record;
using favstore::FavoritesKeeper;
using favstore::ReadOutcome;
using favstore::SaveOutcome;
using favstore::StoredValue;
using favstore::Ticks;
using Bytes = std::vector<std::uint8_t>;
using favtest::FakeValues;
using favtest::kBinary;
using favtest::kDay;
using favtest::kMorning;
using favtest::kSecond;
using favtest::kText;


Record Item(const char16_t* label, int depth = 1) { return {label, std::u16string(u"C:\\") + label, static_cast<std::uint8_t>(depth), false, false}; }
Record Folder(const char16_t* label, int depth = 1, bool expanded = false) {
    return {label, u"", static_cast<std::uint8_t>(depth), true, expanded};
}

const Bytes kA = favfmt::Encode({Item(u"a")});
const Bytes kAB = favfmt::Encode({Item(u"a"), Item(u"b")});
const Bytes kABC = favfmt::Encode({Item(u"a"), Item(u"b"), Item(u"c")});
const Bytes kDamaged = {8, 15, 239, 0, 9, 0, 0, 0, 1};
const Bytes kNoItems = {8, 15, 239, 0, 0, 0, 0, 0};

// A keeper that has loaded what the key holds now.
FavoritesKeeper LoadedFrom(FakeValues& key, bool loadedWhole = true) {
    FavoritesKeeper keeper;
    StoredValue value;
    const ReadOutcome read = keeper.Read(key, value);
    keeper.Loaded(read, value, loadedWhole);
    return keeper;
}

}  // namespace

// ---- what did not load is kept

TEST(FavoritesKeeper, AValueThatDidNotLoadGoesToTheBackupFirstWithItsType) {
    FakeValues key;
    key.Store(kText, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    EXPECT_EQ((std::vector<std::string>{"backup", "write", "mark"}), key.log);
    EXPECT_EQ(kText, key.backup.type);
    EXPECT_EQ(kDamaged, key.backup.bytes);
    EXPECT_EQ(kA, key.favorites.bytes);

    // Once kept, it is not written over again by the next save (which, the
    // day's first change, keeps what it replaces in the history).
    key.log.clear();
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ((std::vector<std::string>{"history", "write", "mark"}), key.log);
}

TEST(FavoritesKeeper, AFailedBackupLeavesTheValueAndKeepsTheBytesForTheNextSave) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    key.failBackup = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kA));
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, {}));  // nor deleted
    EXPECT_TRUE(key.log.empty());
    EXPECT_EQ(kDamaged, key.favorites.bytes);
    EXPECT_FALSE(key.Marked());
    EXPECT_TRUE(keeper.HoldsUnloadedValue());

    key.failBackup = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    EXPECT_EQ(kDamaged, key.backup.bytes);
    EXPECT_FALSE(keeper.HoldsUnloadedValue());
}

TEST(FavoritesKeeper, AnEarlierRescueGoesToTheHistoryBeforeTheBackupIsWrittenOver) {
    FakeValues key;
    key.hasBackup = true;
    key.backup = StoredValue{kBinary, kABC};
    key.Store(kBinary, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    key.failHistory = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kA));
    EXPECT_EQ(kABC, key.backup.bytes);
    key.failHistory = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    EXPECT_EQ(kDamaged, key.backup.bytes);
    // The damaged value itself is in the backup now: no second copy.
    ASSERT_EQ(1u, key.history.size());
    EXPECT_EQ(kABC, key.Newest());
    EXPECT_NE(std::string::npos, key.history.begin()->first.find("backup"));
}

TEST(FavoritesKeeper, TheLayoutIsMarkedOnlyAfterTheValueWasWritten) {
    FakeValues key;
    key.Store(kBinary, kA);
    FavoritesKeeper keeper = LoadedFrom(key);
    key.failWrite = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kAB));
    EXPECT_FALSE(key.Marked());

    // An emptied tree deletes the value and leaves the marker as it was.
    key.failWrite = false;
    EXPECT_EQ(SaveOutcome::Deleted, keeper.Save(key, {}));
    EXPECT_FALSE(key.hasFavorites);
    EXPECT_FALSE(key.Marked());
    key.Store(kBinary, kA);
    key.failDelete = true;
    EXPECT_EQ(SaveOutcome::Failed, LoadedFrom(key).Save(key, {}));
    EXPECT_TRUE(key.hasFavorites);
}

TEST(FavoritesKeeper, AValueThatCouldNotBeReadIsNeitherReplacedNorForgotten) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    key.unreadable = true;
    FavoritesKeeper keeper = LoadedFrom(key, false);
    EXPECT_TRUE(keeper.HoldsUnloadedValue());
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kA));
    EXPECT_TRUE(key.log.empty());

    key.unreadable = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    EXPECT_EQ((std::vector<std::string>{"backup", "write", "mark"}), key.log);
    EXPECT_EQ(kDamaged, key.backup.bytes);

    // One that became unreadable after it loaded cannot be kept either.
    FavoritesKeeper other = LoadedFrom(key);
    key.unreadable = true;
    key.log.clear();
    EXPECT_EQ(SaveOutcome::Failed, other.Save(key, kAB));
    EXPECT_TRUE(key.log.empty());
}

TEST(FavoritesKeeper, AnEmptyValueHoldsNothingToKeep) {
    FakeValues key;
    key.Store(kBinary, {});
    FavoritesKeeper keeper = LoadedFrom(key, false);
    EXPECT_FALSE(keeper.HoldsUnloadedValue());
    EXPECT_EQ(SaveOutcome::Deleted, keeper.Save(key, {}));
    EXPECT_FALSE(key.hasBackup);
    EXPECT_TRUE(key.history.empty());
}

// ---- several writers

TEST(FavoritesKeeper, AWriterWithoutChangesNeverUndoesAnotherWritersValueOrDelete) {
    FakeValues key;
    key.Store(kBinary, kA);
    FavoritesKeeper unchanged = LoadedFrom(key);
    FavoritesKeeper other = LoadedFrom(key);

    // Nobody else wrote: saved again (it records which folders are open).
    EXPECT_EQ(SaveOutcome::Written, unchanged.Save(key, kA));

    // Another window adds a favourite; the unchanged one writes nothing.
    EXPECT_EQ(SaveOutcome::Written, other.Save(key, kAB));
    key.log.clear();
    EXPECT_EQ(SaveOutcome::Skipped, unchanged.Save(key, kA));
    EXPECT_TRUE(key.log.empty());
    EXPECT_EQ(kAB, key.favorites.bytes);

    // Another window deletes the value: an unchanged window does not bring
    // it back.
    FavoritesKeeper reloaded = LoadedFrom(key);
    EXPECT_EQ(SaveOutcome::Deleted, other.Save(key, {}));
    EXPECT_EQ(SaveOutcome::Skipped, reloaded.Save(key, kAB));
    EXPECT_FALSE(key.hasFavorites);
}

TEST(FavoritesKeeper, WithChangesOfItsOwnTheLastSaveWinsAndTheOtherValueIsInTheHistory) {
    FakeValues key;
    key.Store(kBinary, kA);
    FavoritesKeeper first = LoadedFrom(key);
    FavoritesKeeper second = LoadedFrom(key);
    key.now += kSecond;
    EXPECT_EQ(SaveOutcome::Written, second.Save(key, kAB));
    key.history.clear();
    key.now += kSecond;
    EXPECT_EQ(SaveOutcome::Written, first.Save(key, favfmt::Encode({Item(u"a"), Item(u"z")})));
    ASSERT_EQ(1u, key.history.size());
    EXPECT_EQ(kAB, key.Newest());
    EXPECT_NE(std::string::npos, key.history.begin()->first.find("other writer"));

    // A writer that loaded nothing does not delete what another saved.
    FakeValues empty;
    FavoritesKeeper nothing = LoadedFrom(empty);
    EXPECT_EQ(SaveOutcome::Written, LoadedFrom(empty).Save(empty, kA));
    EXPECT_EQ(SaveOutcome::Skipped, nothing.Save(empty, {}));
    EXPECT_TRUE(empty.hasFavorites);
}

TEST(FavoritesKeeper, AnotherWritersValueWhoseHeaderCountsNothingIsKeptBeforeItIsReplaced) {
    for (const std::uint8_t countByte : {std::uint8_t{0}, std::uint8_t{0xFF}}) {
        FakeValues key;
        key.Store(kBinary, kA);
        FavoritesKeeper keeper = LoadedFrom(key);
        // Records after a header counting none, or less than none.
        Bytes odd = kAB;
        std::fill(odd.begin() + 4, odd.begin() + 8, countByte);
        key.now += kSecond;
        key.Store(kBinary, odd);
        key.now += kSecond;
        EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
        EXPECT_EQ(odd, key.Newest()) << "count byte " << int{countByte};
    }
}

TEST(FavoritesKeeper, OnlyOtherFavouritesCountAsAChange) {
    const std::vector<Record> tree = {Folder(u"F", 1, true), Item(u"x", 2), Item(u"y", 1)};
    FakeValues key;
    key.Store(kBinary, favfmt::Encode(tree));
    const FavoritesKeeper keeper = LoadedFrom(key);

    // Folders opened or closed, and what the bar reads back of odd values.
    std::vector<Record> collapsed = tree;
    collapsed[0].expanded = false;
    EXPECT_FALSE(keeper.ChangedHere(favfmt::Encode(tree)));
    EXPECT_FALSE(keeper.ChangedHere(favfmt::Encode(collapsed)));

    auto changed = [&](void (*edit)(std::vector<Record>&)) {
        std::vector<Record> records = tree;
        edit(records);
        return keeper.ChangedHere(favfmt::Encode(records));
    };
    EXPECT_TRUE(changed([](std::vector<Record>& r) { r[1].label = u"x2"; }));
    EXPECT_TRUE(changed([](std::vector<Record>& r) { r[1].path = u"C:\\other"; }));
    EXPECT_TRUE(changed([](std::vector<Record>& r) { r[2].folder = true; r[2].path.clear(); }));
    EXPECT_TRUE(changed([](std::vector<Record>& r) { r[2].depth = 2; }));          // nesting
    EXPECT_TRUE(changed([](std::vector<Record>& r) { std::swap(r[0], r[2]); }));  // order
    EXPECT_TRUE(changed([](std::vector<Record>& r) { r.pop_back(); }));
    EXPECT_TRUE(keeper.ChangedHere({}));

    // A stored jump of levels, a folder flag of 2 and a label longer than
    // the tree keeps read back as the bar saves them.
    FakeValues odd;
    std::vector<Record> stored = {Folder(u"F"), Item(u"x", 4)};
    stored[0].label = std::u16string(300, u'L');
    Bytes bytes = favfmt::Encode(stored);
    bytes[8 + 4 + 600 + 4 + 1] = 2;  // the folder flag
    odd.Store(kBinary, bytes);
    std::vector<Record> asSaved = {Folder(u"F"), Item(u"x", 2)};
    asSaved[0].label = std::u16string(259, u'L');
    EXPECT_FALSE(LoadedFrom(odd).ChangedHere(favfmt::Encode(asSaved)));
}

TEST(FavoritesKeeper, EveryLookThatLeadsToAWriteAndTheWriteHoldTheWritersLock) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    key.now += kSecond;
    FavoritesKeeper keeper = LoadedFrom(key, false);
    key.now += kSecond;
    key.Store(kBinary, kA);  // another writer's, since
    key.now += kSecond;
    key.unlockedReads = 0;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ((std::vector<std::string>{"backup", "history", "write", "mark"}), key.log);
    EXPECT_EQ(0, key.unlockedWrites);
    EXPECT_EQ(0, key.unlockedReads);
    EXPECT_EQ(0, key.lockDepth);

    // Nothing to write, nothing that could be lost: no lock.
    key.now += 10 * kSecond;
    FavoritesKeeper settled = LoadedFrom(key);
    key.now += kSecond;
    const int locks = key.locksTaken;
    EXPECT_EQ(SaveOutcome::Written, settled.Save(key, kAB));
    EXPECT_EQ(locks, key.locksTaken);
}

TEST(FavoritesKeeper, ALockAnotherWriterKeepsFailsTheSaveAndTheNextOneWrites) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    key.lockRefused = true;
    EXPECT_FALSE(keeper.SecureUnloadedValue(key));
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kAB));
    EXPECT_TRUE(key.log.empty());
    EXPECT_TRUE(keeper.HoldsUnloadedValue());
    key.lockRefused = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(kDamaged, key.backup.bytes);
    EXPECT_EQ(kAB, key.favorites.bytes);
}

// A lock no process of this user may open (its name taken by another kind
// of object) costs no edit: the save goes ahead under the same rules, the
// key's time and bytes standing in for the lock.
TEST(FavoritesKeeper, ALockThatCannotBeOpenedHoldsBackNoSaveAndNoRule) {
    FakeValues key;
    key.Store(kBinary, kDamaged);
    FavoritesKeeper keeper = LoadedFrom(key, false);
    key.lockUnavailable = true;
    EXPECT_TRUE(keeper.SecureUnloadedValue(key));
    EXPECT_EQ(kDamaged, key.backup.bytes);
    key.now += kSecond;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(kAB, key.favorites.bytes);

    key.now += kSecond;
    key.Store(kBinary, kABC);  // another writer's, since
    key.now += kSecond;
    key.history.clear();
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    ASSERT_EQ(1u, key.history.size());
    EXPECT_EQ(kABC, key.history.begin()->second);
    EXPECT_EQ(0, key.locksTaken);
}

// ---- the history

TEST(FavoritesKeeper, ADeleteKeepsWhatItReplacedAndTheLastItemsValueToo) {
    FakeValues key;
    key.Store(kBinary, kABC);
    FavoritesKeeper keeper = LoadedFrom(key);
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));  // the day's first change
    key.history.clear();
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    ASSERT_EQ(1u, key.history.size());
    EXPECT_EQ(kAB, key.Newest());
    EXPECT_EQ(SaveOutcome::Deleted, keeper.Save(key, {}));
    ASSERT_EQ(2u, key.history.size());
    EXPECT_EQ(kA, key.Newest());
    EXPECT_NE(std::string::npos, key.HistoryNames().back().find("delete"));

    // Adding favourites the same day keeps nothing more; a value without
    // items is never kept.
    key.Store(kBinary, kNoItems);
    FavoritesKeeper fresh = LoadedFrom(key);
    key.history.clear();
    EXPECT_EQ(SaveOutcome::Written, fresh.Save(key, kA));
    EXPECT_TRUE(key.history.empty());
}

TEST(FavoritesKeeper, TheFirstChangeOfALocalDayIsKeptOnceThatDay) {
    FakeValues key;
    key.Store(kBinary, kA);
    FavoritesKeeper keeper = LoadedFrom(key);
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(1u, key.history.size());
    EXPECT_EQ(kA, key.Newest());
    key.now += 3600 * kSecond;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    EXPECT_EQ(1u, key.history.size());
    // A save that changes nothing keeps nothing, on a new day too.
    key.now += kDay;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    EXPECT_EQ(1u, key.history.size());
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, favfmt::Encode({Item(u"a"), Item(u"b"), Item(u"d")})));
    EXPECT_EQ(2u, key.history.size());
    EXPECT_EQ(kABC, key.Newest());
    EXPECT_NE(std::string::npos, key.HistoryNames().back().find("daily"));
}

TEST(FavoritesKeeper, AnEntryDatedAheadByAWrongClockStandsForNoOtherDay) {
    FakeValues key;
    key.now = kMorning + 30 * kDay;  // the clock a month ahead
    key.Store(kBinary, kA);
    EXPECT_EQ(SaveOutcome::Written, LoadedFrom(key).Save(key, kAB));
    ASSERT_EQ(1u, key.history.size());
    // Set right, the next day's first change is kept although the newest
    // entry's date has not come yet.
    key.now = kMorning + kDay;
    FavoritesKeeper keeper = LoadedFrom(key);
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, favfmt::Encode({Item(u"a"), Item(u"c")})));
    EXPECT_EQ(2u, key.history.size());
    EXPECT_EQ(kAB, key.Newest());
}

TEST(FavoritesKeeper, TheDayIsAskedOncePerQuarterHourAndANewDayStillShows) {
    FakeValues key;
    key.now = kMorning - kMorning % kDay + kDay - 60 * kSecond;  // a minute before midnight
    key.Store(kBinary, kA);
    FavoritesKeeper keeper = LoadedFrom(key);
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));  // the day's first change
    const int asks = key.localDayAsks;
    key.now += 10 * kSecond;
    const Bytes kABD = favfmt::Encode({Item(u"a"), Item(u"b"), Item(u"d")});
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABD));
    EXPECT_EQ(asks, key.localDayAsks);
    EXPECT_EQ(1u, key.history.size());
    // Past midnight, the next change is the new day's first.
    key.now += 60 * kSecond;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    EXPECT_EQ(2u, key.history.size());
    EXPECT_EQ(kABD, key.Newest());
}

TEST(FavoritesKeeper, AFailedHistoryWriteReplacesNothing) {
    FakeValues key;
    key.Store(kBinary, kAB);
    FavoritesKeeper keeper = LoadedFrom(key);
    key.failHistory = true;
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, kA));
    EXPECT_EQ(SaveOutcome::Failed, keeper.Save(key, {}));
    EXPECT_EQ(kAB, key.favorites.bytes);
    key.failHistory = false;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    EXPECT_EQ(kAB, key.Newest());
}

TEST(FavoritesKeeper, AWriterThatAsksKeepsEveryReplacedValueButNoCopyOfTheNewest) {
    FakeValues key;
    key.Store(kBinary, kA);
    const favstore::SaveOptions tool{true, "import"};
    EXPECT_EQ(SaveOutcome::Written, LoadedFrom(key).Save(key, kAB, tool));
    EXPECT_EQ(SaveOutcome::Written, LoadedFrom(key).Save(key, kABC, tool));
    ASSERT_EQ(2u, key.history.size());
    EXPECT_NE(std::string::npos, key.HistoryNames().back().find("import"));
    EXPECT_EQ(kAB, key.Newest());
    // The newest entry's bytes stored again and replaced: kept once only.
    key.Store(kBinary, kAB);
    EXPECT_EQ(SaveOutcome::Written, LoadedFrom(key).Save(key, kA, tool));
    EXPECT_EQ(2u, key.history.size());
}

TEST(FavoritesHistory, KeepsTheNewestFifteenAndTheDaysFirstInTheOrderMade) {
    FakeValues key;
    favstore::FavoritesHistory history(key);
    // Twenty entries within one millisecond, and one after the clock went back.
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(favstore::FavoritesHistory::AddOutcome::Added,
                  history.Add(favfmt::Encode({Item(std::u16string(1, char16_t(u'a' + i)).c_str())}), "t"));
    }
    key.now -= kDay;
    ASSERT_EQ(favstore::FavoritesHistory::AddOutcome::Added, history.Add(kABC, "late"));
    std::vector<favstore::HistoryEntry> entries;
    ASSERT_TRUE(history.List(entries));
    ASSERT_EQ(16u, entries.size());
    Bytes newest;
    ASSERT_TRUE(key.ReadHistory(entries.back().name, newest));
    EXPECT_EQ(kABC, newest);
    Bytes oldest;
    ASSERT_TRUE(key.ReadHistory(entries[0].name, oldest));
    EXPECT_EQ(favfmt::Encode({Item(u"a")}), oldest) << "the day's first";
    ASSERT_TRUE(key.ReadHistory(entries[1].name, oldest));
    EXPECT_EQ(favfmt::Encode({Item(u"g")}), oldest);  // b to f dropped
    EXPECT_EQ(favstore::FavoritesHistory::AddOutcome::AlreadyNewest, history.Add(kABC, "again"));
}

namespace {

// Entries made by writes the user asked for (favtool's imports): count of
// them, a minute apart from the time given on, each replacing a value of
// its own.
void Imports(FakeValues& key, Ticks from, int count, std::vector<Bytes>* made = nullptr) {
    static int madeSoFar = 0;
    const favstore::SaveOptions tool{true, "import"};
    for (int i = 0; i < count; ++i) {
        key.now = from + static_cast<Ticks>(i) * 60 * kSecond;
        const std::string number = std::to_string(++madeSoFar);
        const Bytes value = favfmt::Encode({Item(u"x"), Item(std::u16string(number.begin(), number.end()).c_str())});
        key.Store(kBinary, value);
        if (made) made->push_back(value);
        ASSERT_EQ(SaveOutcome::Written, LoadedFrom(key).Save(key, kA, tool));
    }
}

bool Kept(const FakeValues& key, const Bytes& bytes) {
    for (const auto& entry : key.history) {
        if (entry.second == bytes) return true;
    }
    return false;
}

}  // namespace

TEST(FavoritesHistory, ABurstOfWritesOnOneDayKeepsEachEarlierDaysFirstEntry) {
    FakeValues key;
    std::vector<Bytes> firsts;
    for (int day = 0; day < 6; ++day) {
        std::vector<Bytes> made;
        Imports(key, kMorning + static_cast<Ticks>(day) * kDay, 3, &made);
        firsts.push_back(made.front());
    }
    std::vector<Bytes> burst;
    Imports(key, kMorning + 6 * kDay, 20, &burst);
    for (std::size_t day = 0; day < firsts.size(); ++day) EXPECT_TRUE(Kept(key, firsts[day])) << "day " << day;
    for (std::size_t i = 5; i < burst.size(); ++i) EXPECT_TRUE(Kept(key, burst[i])) << "burst write " << i;
    EXPECT_TRUE(Kept(key, burst.front())) << "the burst day's first";
    EXPECT_EQ(15u + 6 + 1, key.history.size());

    // Which ones stand for their days, as favtool history marks them.
    favstore::FavoritesHistory history(key);
    std::vector<favstore::HistoryEntry> entries;
    ASSERT_TRUE(history.List(entries));
    std::vector<std::size_t> daily;
    EXPECT_TRUE(history.Beyond(entries, &daily).empty());
    EXPECT_EQ((std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6}), daily);
}

TEST(FavoritesHistory, OnlyTheLastFifteenDaysThatHaveEntriesAreKeptForTheirDay) {
    FakeValues key;
    std::vector<Bytes> firsts;
    // Twenty days with entries, every other calendar day: the days between
    // hold none and count for nothing.
    for (int day = 0; day < 20; ++day) {
        std::vector<Bytes> made;
        Imports(key, kMorning + static_cast<Ticks>(2 * day) * kDay, 2, &made);
        firsts.push_back(made.front());
    }
    Imports(key, kMorning + 40 * kDay, 16);
    for (std::size_t day = 0; day < 6; ++day) EXPECT_FALSE(Kept(key, firsts[day])) << "day " << day;
    for (std::size_t day = 6; day < 20; ++day) EXPECT_TRUE(Kept(key, firsts[day])) << "day " << day;
    EXPECT_EQ(15u + 15, key.history.size());
    // What a write would drop now is what the next one drops.
    favstore::FavoritesHistory history(key);
    const std::vector<std::string> planned = history.WouldDrop(kABC);
    ASSERT_EQ(1u, planned.size());
    ASSERT_EQ(favstore::FavoritesHistory::AddOutcome::Added, history.Add(kABC, "import"));
    EXPECT_EQ(0u, key.history.count(planned[0]));
    EXPECT_TRUE(history.WouldDrop(kABC).empty()) << "the newest holds it already";
}

TEST(FavoritesHistory, TheCapDropsTheRecentTierFirstThenTheOldestDaysButNeverTheNewest) {
    FakeValues key;
    favstore::FavoritesHistory history(key);
    constexpr std::size_t kMiB = 1024 * 1024;
    const auto add = [&](Ticks at, std::size_t size, std::uint8_t fill, const char* reason) {
        key.now = at;
        ASSERT_NE(favstore::FavoritesHistory::AddOutcome::Failed, history.Add(Bytes(size, fill), reason));
    };
    const auto reasons = [&] {
        std::vector<std::string> out;
        for (const std::string& name : key.HistoryNames()) out.push_back(name.substr(name.find(' ') + 1));
        return out;
    };
    using Names = std::vector<std::string>;
    add(kMorning, 2 * kMiB, 1, "day1");
    add(kMorning + kDay, 2 * kMiB, 2, "day2");
    add(kMorning + 2 * kDay, 2 * kMiB, 3, "day3");
    add(kMorning + 2 * kDay + kSecond, kMiB, 4, "r1");
    add(kMorning + 2 * kDay + 2 * kSecond, kMiB, 5, "r2");
    EXPECT_EQ((Names{"day1", "day2", "day3", "r1", "r2"}), reasons());  // 8 MiB
    add(kMorning + 2 * kDay + 3 * kSecond, kMiB, 6, "r3");
    EXPECT_EQ((Names{"day1", "day2", "day3", "r2", "r3"}), reasons());
    // A newest entry bigger than the rest: every other recent one goes, then
    // the days from the oldest, but not the newest day's first.
    add(kMorning + 2 * kDay + 4 * kSecond, 7 * kMiB, 7, "huge");
    EXPECT_EQ((Names{"day3", "huge"}), reasons());
    add(kMorning + 3 * kDay, 9 * kMiB, 8, "huger");
    EXPECT_EQ((Names{"huger"}), reasons()) << "the newest day's first and the newest are one";
}

TEST(FavoritesHistory, NamesCarryTheUtcTimeToTheMillisecondAndReadBack) {
    const favstore::HistoryName name{kMorning + 123 * 10'000, 42, "delete"};
    const std::string text = favstore::FormatHistoryName(name);
    EXPECT_EQ("2026-12-08T10:00:00.123Z-0042 delete", text);
    favstore::HistoryName back;
    ASSERT_TRUE(favstore::ParseHistoryName(text, back));
    EXPECT_EQ(name.utc, back.utc);
    EXPECT_EQ(42u, back.sequence);
    EXPECT_EQ("delete", back.reason);
    EXPECT_FALSE(favstore::ParseHistoryName("my own copy", back));
    EXPECT_TRUE(favstore::ParseHistoryName("2024-02-29T23:59:59.999Z-0000", back));
    EXPECT_EQ("", back.reason);
}

// ---- the cheap look at the stored value

TEST(FavoritesKeeper, ALookAtAnUnwrittenKeyReadsNoValueData) {
    FakeValues key;
    key.Store(kBinary, kA);
    key.now += 10 * kSecond;
    FavoritesKeeper keeper = LoadedFrom(key);
    key.favoritesReads = 0;
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(0, key.favoritesReads);
    // Nor does a save when nothing was written since.
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kA));
    EXPECT_EQ(0, key.favoritesReads);

    // Another setting written: the bytes are compared once, then settled.
    key.now += 10 * kSecond;
    key.written = key.now - 5 * kSecond;
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(1, key.favoritesReads);
    key.Store(kBinary, kAB);
    EXPECT_TRUE(keeper.StoredValueChanged(key));
}

TEST(FavoritesKeeper, ASaveOfWhatIsStoredWritesNothingButAnOldLayoutIsRewritten) {
    FakeValues key;
    key.Store(kBinary, kAB);
    FavoritesKeeper keeper = LoadedFrom(key);
    const Ticks stamp = key.written;
    key.now += 10 * kSecond;
    // Unchanged, and again right after the look that read the bytes: the
    // key's time stays, so no other writer has a reason to read the value.
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_TRUE(key.log.empty());
    EXPECT_EQ(stamp, key.written);
    // An edit is written, and so is the value it came from once edited back.
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(kAB, key.favorites.bytes);
    // Nothing stored and an empty tree: nothing to delete.
    FakeValues empty;
    key.log.clear();
    EXPECT_EQ(SaveOutcome::Deleted, LoadedFrom(empty).Save(empty, {}));
    EXPECT_TRUE(empty.log.empty());

    // The same bytes loaded in the old layout still get the current marker.
    FakeValues old;
    old.Store(kBinary, kAB);
    FavoritesKeeper oldKeeper;
    StoredValue value;
    oldKeeper.Loaded(oldKeeper.Read(old, value), value, true, false);
    EXPECT_EQ(SaveOutcome::Written, oldKeeper.Save(old, kAB));
    EXPECT_EQ((std::vector<std::string>{"write", "mark"}), old.log);
}

TEST(FavoritesKeeper, TheNextEncodingGetsTheRoomOfAValueNoLongerHeld) {
    FakeValues key;
    key.Store(kBinary, kA);
    FavoritesKeeper keeper = LoadedFrom(key);
    // Room for what was loaded, so the first encoding need not grow.
    EXPECT_GE(keeper.TakeBuffer().capacity(), kA.size());
    // The loaded value is replaced: its room is kept for the next encoding.
    ASSERT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    std::vector<std::uint8_t> buffer = keeper.TakeBuffer();
    EXPECT_TRUE(buffer.empty());
    EXPECT_GE(buffer.capacity(), kA.size());
    // An encoding that needed no write gives its room back too.
    buffer.assign(kABC.begin(), kABC.end());
    ASSERT_EQ(SaveOutcome::Written, keeper.Save(key, std::move(buffer)));
    EXPECT_GE(keeper.TakeBuffer().capacity(), kABC.size());
    EXPECT_EQ(kABC, key.favorites.bytes);
}

TEST(FavoritesKeeper, AWriteInTheSameClockTickAsItsOwnStillShows) {
    FakeValues key;
    key.Store(kBinary, kA);
    FavoritesKeeper keeper = LoadedFrom(key);
    FavoritesKeeper other = LoadedFrom(key);
    key.now += 10 * kSecond;
    ASSERT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    // The other writer's save lands in the same tick: the time stays.
    const Ticks tick = key.written;
    ASSERT_EQ(SaveOutcome::Written, other.Save(key, kABC));
    key.written = tick;
    // Within the guard the look waits, and a save reads the bytes; after
    // the guard the look reads them too.
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(SaveOutcome::Skipped, keeper.Save(key, kAB));
    key.now += 3 * kSecond;
    EXPECT_TRUE(keeper.StoredValueChanged(key));
}

// A bar that follows the stored value loads what its look read: the reload
// reads the value no second time, and the key's time the look noted counts
// as the load's.
TEST(FavoritesKeeper, ALookThatSeesAChangeHandsOnWhatItReadForTheReload) {
    FakeValues key;
    key.Store(kBinary, kA);
    key.now += 10 * kSecond;
    FavoritesKeeper keeper = LoadedFrom(key);
    key.Store(kText, kAB);
    key.now += 3 * kSecond;
    key.favoritesReads = 0;
    key.timeAsks = 0;
    ReadOutcome read = ReadOutcome::Missing;
    StoredValue value;
    ASSERT_TRUE(keeper.StoredValueChanged(key, read, value));
    EXPECT_EQ(ReadOutcome::Read, read);
    EXPECT_EQ(key.favorites, value);
    EXPECT_EQ(1, key.favoritesReads);
    EXPECT_EQ(1, key.timeAsks);
    keeper.Loaded(read, value, false);
    // Settled at the look's time: looks and a save of what is stored read
    // nothing more, and the value that did not load still goes to the backup.
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(1, key.favoritesReads);
    EXPECT_TRUE(keeper.HoldsUnloadedValue());

    // Deleted meanwhile: the look says so, and the reload loads nothing.
    FakeValues gone;
    gone.Store(kBinary, kA);
    gone.now += 10 * kSecond;
    FavoritesKeeper follower = LoadedFrom(gone);
    gone.Remove();
    gone.now += 3 * kSecond;
    ASSERT_TRUE(follower.StoredValueChanged(gone, read, value));
    EXPECT_EQ(ReadOutcome::Missing, read);
    follower.Loaded(read, {}, true);
    EXPECT_FALSE(follower.StoredValueChanged(gone));
    EXPECT_EQ(SaveOutcome::Deleted, follower.Save(gone, {}));
    EXPECT_TRUE(gone.log.empty());
}

TEST(FavoritesKeeper, AWritingSaveAsksTheKeysTimeOnceAndTheNextLookTellsItsOwnWriteFromAnothers) {
    FakeValues key;
    key.Store(kBinary, kA);
    key.now += 10 * kSecond;
    FavoritesKeeper keeper = LoadedFrom(key);
    key.timeAsks = 0;
    key.favoritesReads = 0;
    ASSERT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(1, key.timeAsks);
    EXPECT_EQ(0, key.favoritesReads);
    // The time of its own write: no bytes until the guard has passed, then
    // one comparison, and none after.
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(0, key.favoritesReads);
    key.now += 3 * kSecond;
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(1, key.favoritesReads);

    // Another writer's value stored just after this writer's write, before
    // this writer looked: it shows at once.
    ASSERT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    key.now += kSecond / 20;
    key.Store(kBinary, kA);
    EXPECT_TRUE(keeper.StoredValueChanged(key));
}

TEST(FavoritesKeeper, TheMarkerIsWrittenUnlessSeenCurrentInAKeyNobodyWroteSince) {
    const Bytes kXYZ = favfmt::Encode({Item(u"x"), Item(u"y"), Item(u"z")});
    const auto marks = [](const FakeValues& k) { return std::count(k.log.begin(), k.log.end(), "mark"); };
    FakeValues key;
    key.Store(kBinary, kA);
    key.SetMarked(true);
    key.now += 10 * kSecond;
    FavoritesKeeper keeper = LoadedFrom(key);  // the marker read as current, the key's time settled
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kAB));
    EXPECT_EQ(0, marks(key));

    // Another writer's old-layout marker lands in the tick of this writer's
    // own write: the look that settles the key's time reads the marker too.
    key.SetMarked(false);
    key.now += 10 * kSecond;
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kABC));
    EXPECT_EQ(1, marks(key));
    EXPECT_TRUE(key.Marked());

    // Set apart from any write of this writer, it shows in the key's time:
    // the save reads the value and writes the marker.
    key.now += 10 * kSecond;
    EXPECT_FALSE(keeper.StoredValueChanged(key));
    key.SetMarked(false);
    key.written = key.now;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, kXYZ));
    EXPECT_EQ(2, marks(key));
    EXPECT_TRUE(key.Marked());
}
