#include <gtest/gtest.h>

#include "store/parent_table.h"

namespace {

// Handles are plain numbers here; 0 stands for the root.
ParentTable<int> TableUnder(int parent) {
    ParentTable<int> table;
    table.Reset(parent);
    return table;
}

}  // namespace

TEST(ParentTable, ADeeperJumpHangsUnderTheLatestShallowerItem) {
    ParentTable<int> table = TableUnder(0);
    EXPECT_EQ(0, table.ParentFor(101));
    table.Inserted(1, 10);
    EXPECT_EQ(10, table.ParentFor(3));  // depths 1, 3: under the depth-1 item
    table.Inserted(3, 30);
    EXPECT_EQ(10, table.ParentFor(2));
    EXPECT_EQ(30, table.ParentFor(4));
    EXPECT_EQ(0, table.ParentFor(1));
    // A new sibling at depth 2 replaces the whole deeper chain.
    table.Inserted(2, 20);
    EXPECT_EQ(20, table.ParentFor(3));
    EXPECT_EQ(20, table.ParentFor(101));
    EXPECT_EQ(10, table.ParentFor(2));
}

TEST(ParentTable, DepthsBeyondTheTableUseItsLastSlot) {
    ParentTable<int> table = TableUnder(7);
    EXPECT_EQ(7, table.ParentFor(150));
    table.Inserted(99, 990);
    table.Inserted(100, 1000);
    EXPECT_EQ(990, table.ParentFor(100));
    EXPECT_EQ(1000, table.ParentFor(101));
    EXPECT_EQ(1000, table.ParentFor(150));
    EXPECT_EQ(1000, table.ParentFor(255));
    EXPECT_EQ(1000, table.ParentFor(100000));
}

TEST(ParentTable, InsertingAtTheDeepestLevelsChangesNoSlot) {
    ParentTable<int> table = TableUnder(0);
    table.Inserted(1, 10);
    table.Inserted(101, 1010);
    table.Inserted(150, 1500);
    EXPECT_EQ(0, table.ParentFor(1));
    for (unsigned depth = 2; depth <= 255; ++depth) EXPECT_EQ(10, table.ParentFor(depth)) << depth;
}
