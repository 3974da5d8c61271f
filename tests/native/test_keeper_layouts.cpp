// What a writer that shows the stored value reads as one value, and what a
// save that changed no favourite writes: the layout marker belongs to the
// bytes it was read with, and bytes the tree cannot hold stay as stored.
#include <gtest/gtest.h>

#include <vector>

#include "store/favorites_format.h"
#include "store/favorites_keeper.h"
#include "tests/native/fake_stored_values.h"

namespace {

using favfmt::Record;
using favstore::FavoritesKeeper;
using favstore::ReadOutcome;
using favstore::SaveOutcome;
using favstore::StoredValue;
using favtest::Bytes;
using favtest::FakeValues;
using favtest::kBinary;
using favtest::kSecond;

const std::vector<Record> kFolderAndItem = {{u"F", u"", 1, true, false}, {u"x", u"C:\\x", 2, false, false}};

// The records in the layout before folders carried their expanded byte.
Bytes OldLayout(const std::vector<Record>& records) {
    Bytes out = {8, 15, 239, 0};
    auto put32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto putText = [&out](const std::u16string& text) {
        for (const char16_t unit : text) {
            out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            out.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    };
    put32(static_cast<std::uint32_t>(records.size()));
    for (const Record& r : records) {
        put32(static_cast<std::uint32_t>(r.label.size()));
        putText(r.label);
        put32(static_cast<std::uint32_t>(r.path.size()));
        putText(r.path);
        out.insert(out.end(), {r.depth, static_cast<std::uint8_t>(r.folder ? 1 : 0), 0, 0});
    }
    return out;
}

// A keeper that has loaded what the key holds now, marker and all.
FavoritesKeeper Loaded(FakeValues& key) {
    FavoritesKeeper keeper;
    StoredValue value;
    ReadOutcome read = keeper.Read(key, value);
    const bool current = keeper.ReadMarkerWith(key, read, value);
    keeper.Loaded(read, value, true, current);
    return keeper;
}

}  // namespace

// Another writer writes its value, then the marker that goes with it (a
// restore of an old-layout value does). A look between the two shows the
// bytes in the wrong layout; the marker that follows is a change of its own.
TEST(KeeperLayouts, AMarkerThatNoLongerMatchesTheLayoutShownCountsAsAChange) {
    FakeValues key;
    key.Store(kBinary, favfmt::Encode(kFolderAndItem));
    key.SetMarked(true);
    FavoritesKeeper keeper = Loaded(key);

    key.now += 10 * kSecond;
    const Bytes oldLayout = OldLayout(kFolderAndItem);
    key.Store(kBinary, oldLayout);
    key.now += 10 * kSecond;
    ReadOutcome read = ReadOutcome::Missing;
    StoredValue seen;
    ASSERT_TRUE(keeper.StoredValueChanged(key, read, seen));
    const bool shownCurrent = keeper.ReadMarkerWith(key, read, seen);
    EXPECT_TRUE(shownCurrent) << "the marker was not written yet";
    keeper.Loaded(read, seen, false, shownCurrent);

    key.SetMarked(false);
    key.written = key.now;
    key.now += 10 * kSecond;
    EXPECT_TRUE(keeper.StoredValueChanged(key, read, seen)) << "the same bytes under another marker";
    keeper.Loaded(read, seen, true, keeper.ReadMarkerWith(key, read, seen));
    key.now += 10 * kSecond;
    EXPECT_FALSE(keeper.StoredValueChanged(key, read, seen));
    EXPECT_FALSE(keeper.StoredValueChanged(key, read, seen));
}

// Value and marker are one pair: a write between the read of the one and of
// the other has both read again.
TEST(KeeperLayouts, AValueAndItsMarkerAreReadAsOnePair) {
    FakeValues key;
    key.Store(kBinary, favfmt::Encode(kFolderAndItem));
    key.SetMarked(true);
    key.now += 10 * kSecond;
    FavoritesKeeper keeper;
    StoredValue value;
    ReadOutcome read = keeper.Read(key, value);
    // Another writer puts back an old-layout value and its marker now.
    const Bytes oldLayout = OldLayout({{u"G", u"", 1, true, false}});
    key.Store(kBinary, oldLayout);
    key.SetMarked(false);
    EXPECT_FALSE(keeper.ReadMarkerWith(key, read, value));
    EXPECT_EQ(oldLayout, value.bytes);
}

// The tree keeps labels up to 259 units and up to a NUL: a bar that loaded
// longer ones and changed nothing stores the bytes as they are; opening a
// folder changes its expanded byte and nothing else.
TEST(KeeperLayouts, ASaveThatChangedNoFavouriteWritesAtMostTheExpandedStates) {
    const std::u16string longLabel(300, u'L');
    const std::u16string withNul(u"ab\0cd", 5);
    std::vector<Record> stored = {{longLabel, u"C:\\long", 1, false, false},
                                  {withNul, u"C:\\nul", 1, false, false},
                                  {u"F", u"", 1, true, false},
                                  {u"x", u"C:\\x", 2, false, false}};
    std::vector<Record> shown = stored;
    shown[0].label = longLabel.substr(0, 259);
    shown[1].label = u"ab";
    FakeValues key;
    key.Store(kBinary, favfmt::Encode(stored));
    key.SetMarked(true);
    key.now += 10 * kSecond;
    FavoritesKeeper keeper = Loaded(key);

    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, favfmt::Encode(shown)));
    EXPECT_TRUE(key.log.empty()) << "the favourites as stored were rewritten as the tree holds them";

    shown[2].expanded = true;
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, favfmt::Encode(shown)));
    stored[2].expanded = true;
    EXPECT_EQ(favfmt::Encode(stored), key.favorites.bytes);

    // A favourite changed: the tree is what is stored.
    shown.push_back({u"new", u"C:\\new", 1, false, false});
    EXPECT_EQ(SaveOutcome::Written, keeper.Save(key, favfmt::Encode(shown)));
    EXPECT_EQ(favfmt::Encode(shown), key.favorites.bytes);
}

TEST(KeeperLayouts, ExpandedStatesGoIntoTheStoredBytesOnlyForTheSameFavourites) {
    const Bytes stored = favfmt::Encode({{u"F", u"", 1, true, false}, {u"G", u"", 2, true, true}});
    Bytes patched;
    ASSERT_TRUE(favstore::WithExpandedStatesOf(
        stored, favfmt::Encode({{u"F", u"", 1, true, true}, {u"G", u"", 2, true, false}}), patched));
    EXPECT_EQ(favfmt::Encode({{u"F", u"", 1, true, true}, {u"G", u"", 2, true, false}}), patched);
    EXPECT_FALSE(favstore::WithExpandedStatesOf(stored, favfmt::Encode({{u"F", u"", 1, true, true}}), patched));
    EXPECT_FALSE(favstore::WithExpandedStatesOf(
        stored, favfmt::Encode({{u"F", u"", 1, true, true}, {u"H", u"", 2, true, false}}), patched));
}
