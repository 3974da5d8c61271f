// favtool's writes of several values, against a fake key whose reads and
// writes fail on cue: a failed command leaves the key as it found it, and
// restore's swap never holds a value only in memory.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "store/value_names.h"
#include "tool/tool_error.h"
#include "tool/value_writes.h"

namespace {

constexpr std::uint32_t kBinary = 3;  // REG_BINARY

RegValue Binary(std::vector<std::uint8_t> bytes) { return RegValue{kBinary, std::move(bytes)}; }

class FakeKey final : public NamedValues {
public:
    std::map<std::wstring, RegValue> values;
    // The writes (and removals) that fail, counted from 1; a read that fails.
    std::vector<int> failingWrites;
    std::wstring unreadable;
    // Called after every write that took, with the key as it then is.
    std::function<void(const FakeKey&)> afterEachWrite;

    std::optional<RegValue> Read(const wchar_t* name) const override {
        if (unreadable == name) throw ToolError("cannot read it");
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    std::string Write(const wchar_t* name, const RegValue& value) override {
        if (Fails()) return "access denied";
        values[name] = value;
        if (afterEachWrite) afterEachWrite(*this);
        return {};
    }
    std::string Remove(const wchar_t* name) override {
        if (Fails()) return "access denied";
        values.erase(name);
        if (afterEachWrite) afterEachWrite(*this);
        return {};
    }
    bool Holds(const RegValue& value) const {
        for (const auto& entry : values) {
            if (entry.second == value) return true;
        }
        return false;
    }

private:
    bool Fails() {
        ++m_writes;
        for (int n : failingWrites) {
            if (n == m_writes) return true;
        }
        return false;
    }
    int m_writes = 0;
};

std::string FailureOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const ToolError& e) {
        return e.what();
    }
    return {};
}

TEST(ValueWritesTest, AFailedWritePutsBackEveryValueWrittenBeforeIt) {
    FakeKey key;
    key.values[L"A"] = Binary({1});
    key.failingWrites = {3};
    const std::map<std::wstring, RegValue> before = key.values;
    const std::string failure = FailureOf([&key] {
        ValueWrites writes(key);
        writes.Set(L"A", Binary({2}));  // replaced, then put back
        writes.Set(L"B", Binary({3}));  // created, then removed again
        writes.Set(L"C", Binary({4}));  // fails
    });
    EXPECT_NE(failure.find("could not write C (access denied)"), std::string::npos) << failure;
    EXPECT_NE(failure.find("nothing was changed"), std::string::npos) << failure;
    EXPECT_EQ(key.values, before);
}

TEST(ValueWritesTest, AFailedRemovalPutsBackAndARemovedValueComesBack) {
    FakeKey key;
    key.values[L"A"] = Binary({1});
    key.values[L"B"] = Binary({2});
    key.failingWrites = {2};
    const std::map<std::wstring, RegValue> before = key.values;
    const std::string failure = FailureOf([&key] {
        ValueWrites writes(key);
        writes.Remove(L"A");
        writes.Remove(L"B");
    });
    EXPECT_NE(failure.find("could not write B"), std::string::npos) << failure;
    EXPECT_EQ(key.values, before);
}

TEST(ValueWritesTest, AnUnreadableValueStopsTheWritesBeforeItAndUndoesThose) {
    FakeKey key;
    key.values[L"A"] = Binary({1});
    key.unreadable = L"B";
    const std::map<std::wstring, RegValue> before = key.values;
    const std::string failure = FailureOf([&key] {
        ValueWrites writes(key);
        writes.Set(L"A", Binary({2}));
        writes.Set(L"B", Binary({3}));  // its earlier value is unknown: not written
    });
    EXPECT_NE(failure.find("cannot read it"), std::string::npos) << failure;
    EXPECT_EQ(key.values, before);
}

TEST(ValueWritesTest, WhatCouldNotBePutBackIsNamed) {
    FakeKey key;
    key.values[L"A"] = Binary({1});
    key.failingWrites = {3, 4};  // B fails, and so does putting back A
    const std::string failure = FailureOf([&key] {
        ValueWrites writes(key);
        writes.Set(L"A", Binary({2}));
        writes.Set(L"C", Binary({5}));
        writes.Set(L"B", Binary({3}));
    });
    EXPECT_NE(failure.find("could not put back the earlier C"), std::string::npos) << failure;
    EXPECT_EQ(failure.find("nothing was changed"), std::string::npos) << failure;
    // Undone last first: C's undo failed, A's took.
    EXPECT_EQ(key.values.at(L"A"), Binary({1}));
}

// restore's swap, with each of its writes failing in turn, and with none.
class SwapInBackupTest : public ::testing::TestWithParam<int> {};

TEST_P(SwapInBackupTest, EachMomentKeepsBothValuesAndAFailureChangesNothing) {
    const RegValue value = Binary({'v', 'a', 'l'});
    const RegValue backup = Binary({'b', 'a', 'k'});
    FakeKey key;
    key.values[kValueFavorites] = value;
    key.values[kValueFavoritesBackup] = backup;
    key.values[kValueCheck] = DwordValue(1);
    const std::map<std::wstring, RegValue> before = key.values;
    const int failing = GetParam();
    if (failing > 0) key.failingWrites = {failing};
    int moments = 0;
    key.afterEachWrite = [&](const FakeKey& now) {
        ++moments;
        EXPECT_TRUE(now.Holds(backup)) << "after write " << moments;
        // The replaced value is in the history before the swap begins; in
        // the key it is missing only between the value's write and the
        // backup's.
        if (failing == 0 && moments == 3) {
            EXPECT_TRUE(now.Holds(value));
        }
    };
    const std::string failure = FailureOf([&] { SwapInBackup(key, backup, value, 0u); });
    if (failing == 0) {
        EXPECT_EQ(failure, "");
        EXPECT_EQ(key.values.at(kValueFavorites), backup);
        EXPECT_EQ(key.values.at(kValueFavoritesBackup), value);
        EXPECT_EQ(key.values.at(kValueCheck), DwordValue(0));
    } else {
        EXPECT_NE(failure.find("nothing was changed"), std::string::npos) << failure;
        EXPECT_EQ(key.values, before);
    }
}

INSTANTIATE_TEST_SUITE_P(FailingWrite, SwapInBackupTest, ::testing::Values(0, 1, 2, 3));

TEST(SwapInBackupTest, WithoutAValueTheBackupGoesOnlyOnceItIsTheValue) {
    const RegValue backup = Binary({'b'});
    FakeKey key;
    key.values[kValueFavoritesBackup] = backup;
    std::vector<std::map<std::wstring, RegValue>> moments;
    key.afterEachWrite = [&moments](const FakeKey& now) { moments.push_back(now.values); };
    SwapInBackup(key, backup, std::nullopt, std::nullopt);
    ASSERT_EQ(moments.size(), 2u);
    EXPECT_EQ(moments[0].at(kValueFavorites), backup);
    EXPECT_EQ(moments[0].at(kValueFavoritesBackup), backup);
    EXPECT_EQ(moments[1].count(kValueFavoritesBackup), 0u);
    EXPECT_EQ(moments[1].at(kValueFavorites), backup);

    // The removal failing puts the key back as it was: the backup alone.
    FakeKey failing;
    failing.values[kValueFavoritesBackup] = backup;
    failing.failingWrites = {2};
    const std::map<std::wstring, RegValue> before = failing.values;
    EXPECT_NE(FailureOf([&] { SwapInBackup(failing, backup, std::nullopt, std::nullopt); }), "");
    EXPECT_EQ(failing.values, before);
}

}  // namespace
