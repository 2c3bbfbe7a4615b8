#include "base/bitset.h"

#include <gtest/gtest.h>

#include "support/capture_shell.h"

using namespace ordena;

TEST(BitSet, RangesAndPositions) {
    test::ScopedCapture cap;
    BitSet b;
    EXPECT_EQ(b.length(), 0);
    ASSERT_EQ(b.resize(10), 1);
    EXPECT_EQ(b.length(), 2);
    b.set(16);
    b.set(8);
    b.set(1);
    EXPECT_TRUE(b.test(16));
    EXPECT_TRUE(b.test(8));
    EXPECT_TRUE(b.test(1));
    for (int k : {2, 7, 9, 15}) EXPECT_FALSE(b.test(k)) << k;
    EXPECT_TRUE(cap.shell.errors.empty());

    b.set(17);
    b.set(0);
    EXPECT_FALSE(b.test(17));
    EXPECT_FALSE(b.test(-3));
    EXPECT_EQ(cap.shell.errors,
              (std::vector<std::string>{"Set bit out of range. Bit is: 17", "Set bit out of range. Bit is: 0",
                                        "Test bit out of range. Bit is: 17", "Test bit out of range. Bit is: -3"}));
}

TEST(BitSet, ResizeClearsAndRejectsBadSizes) {
    test::ScopedCapture cap;
    BitSet b;
    b.resize(9);
    b.set(9);
    EXPECT_EQ(b.resize(0), -1);
    EXPECT_EQ(b.resize(-3, -4), -1);  // two negatives do not make a size
    EXPECT_EQ(b.resize(4, 0), -1);
    EXPECT_EQ(cap.shell.errors, (std::vector<std::string>(3, "error in bitset size- resize failed")));
    EXPECT_TRUE(b.test(9));  // unchanged by the failures
    EXPECT_EQ(b.resize(9), 1);
    EXPECT_FALSE(b.test(9));
}

TEST(BitSet, MatrixAddressing) {
    test::ScopedCapture cap;
    BitSet b;
    ASSERT_EQ(b.resize(3, 4), 1);
    EXPECT_EQ(b.rowCount(), 3);
    EXPECT_EQ(b.length(), 2);
    b.set(2, 3);  // bit 2 + 2 * 3 = 8
    EXPECT_TRUE(b.test(8));
    EXPECT_TRUE(b.test(2, 3));
    EXPECT_FALSE(b.test(3, 2));
    b.set(3, 4);  // bit 12, the last one
    EXPECT_TRUE(b.test(12));
    EXPECT_TRUE(cap.shell.errors.empty());

    BitSet copy = b;
    copy.set(1, 1);
    EXPECT_FALSE(b.test(1));
    EXPECT_TRUE(copy.test(12));
}
