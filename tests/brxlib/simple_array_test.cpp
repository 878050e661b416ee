#include <gtest/gtest.h>

#include "brxlib/simple_array.h"
#include "support/test_allocator.h"

namespace {

struct Record {
    int value;
    char padding[12];
};

// Counts the virtual copies, to show they go through the table.
class CountingArray : public brxlib::simple_array<Record> {
public:
    int copies = 0;
    void copy_element(Record* destination, const Record* source) override
    {
        ++copies;
        brxlib::simple_array<Record>::copy_element(destination, source);
    }
};

Record Make(int value)
{
    Record r = {};
    r.value = value;
    return r;
}

TEST(SimpleArray, AppendsGrowByHalfAgainWithOneSpare)
{
    brxlib::simple_array<Record> array;
    EXPECT_EQ(array.data, nullptr);
    std::vector<int> capacities;
    for (int i = 0; i < 40; ++i) {
        const int before = array.capacity;
        ASSERT_TRUE(array.append(Make(i)));
        if (array.capacity != before)
            capacities.push_back(array.capacity);
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 3, 6, 10, 16, 25, 39, 60}));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(array.data[i].value, i);
}

TEST(SimpleArray, StorageHoldsOneElementBeyondTheCapacity)
{
    test_alloc::Reset();
    brxlib::simple_array<Record> array;
    ASSERT_TRUE(array.reserve(5));
    EXPECT_EQ(array.capacity, 7);
    EXPECT_EQ(array.count, 0);
    // Writing the spare element is allowed (and under guard pages would crash past it).
    array.data[7] = Make(7);
    const long allocations = test_alloc::Allocations();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(array.append(Make(i)));
    EXPECT_EQ(test_alloc::Allocations(), allocations);
}

TEST(SimpleArray, ReserveZeroAllocatesNothing)
{
    test_alloc::Reset();
    brxlib::simple_array<Record> array;
    EXPECT_TRUE(array.reserve(0));
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(test_alloc::Allocations(), 0);
}

TEST(SimpleArray, AssignAtPositionZeroShortensTheArray)
{
    brxlib::simple_array<Record> array;
    for (int i = 0; i < 5; ++i)
        array.append(Make(i));
    const Record replacement = Make(99);
    ASSERT_TRUE(array.assign_range(&replacement, 1, 0));
    EXPECT_EQ(array.count, 1);
    EXPECT_EQ(array.data[0].value, 99);
    ASSERT_TRUE(array.assign_range(&replacement, 0, array.count));
    EXPECT_EQ(array.count, 1);
}

TEST(SimpleArray, GrowthCopiesThroughTheVirtualCopy)
{
    CountingArray array;
    for (int i = 0; i < 4; ++i)
        array.append(Make(i));
    // 4 appends, plus moves of 1 (cap 1 -> 3) and 3 (cap 3 -> 6) elements.
    EXPECT_EQ(array.copies, 8);
}

TEST(SimpleArray, ClearFreesAndEmpties)
{
    const long live = test_alloc::LiveBlocks();
    brxlib::simple_array<Record> array;
    array.clear();
    EXPECT_EQ(test_alloc::LiveBlocks(), live);
    array.append(Make(1));
    EXPECT_EQ(test_alloc::LiveBlocks(), live + 1);
    array.clear();
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.capacity, 0);
    EXPECT_EQ(test_alloc::LiveBlocks(), live);
}

TEST(SimpleArray, FailedAllocationReportsAndKeepsTheArray)
{
    brxlib::simple_array<Record> array;
    array.append(Make(1));
    array.append(Make(2));  // capacity 3
    array.append(Make(3));
    test_alloc::FailAt(1);
    EXPECT_FALSE(array.append(Make(4)));
    test_alloc::Reset();
    EXPECT_EQ(array.count, 3);
    EXPECT_EQ(array.capacity, 3);
    EXPECT_EQ(array.data[2].value, 3);
    EXPECT_TRUE(array.append(Make(4)));
    EXPECT_EQ(array.data[3].value, 4);
}

TEST(SimpleArray, SizesThatOverflowAreRefused)
{
    brxlib::simple_array<Record> array;
    EXPECT_FALSE(array.reserve(0x7FFFFFF0));
    Record r = Make(1);
    EXPECT_FALSE(array.assign_range(&r, 1, 0x7FFFFFFF));
    EXPECT_FALSE(array.assign_range(&r, -1, 0));
    EXPECT_EQ(array.count, 0);
}

}  // namespace
