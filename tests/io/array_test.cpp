// Array<T>: resizing keeps the elements that fit, capacity grows geometrically (so
// repeated small growth is not quadratic), copies are deep, moves steal the block.
#include <vesk/io/array.h>

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

using vesk::Array;

namespace {

static_assert(std::has_virtual_destructor<Array<char>>::value, "Array has a virtual destructor");

TEST(Array, FirstAllocationIsExact) {
    Array<char> a(37);
    EXPECT_EQ(a.getSize(), 37u);
    EXPECT_EQ(a.getCapacity(), 37u);
}

TEST(Array, ResizeKeepsTheElementsThatFit) {
    Array<int> a(5);
    for (unsigned i = 0; i < 5; ++i) a[i] = int(i * 10);
    a.resize(3);
    EXPECT_EQ(a.getSize(), 3u);
    EXPECT_EQ(a.getCapacity(), 5u) << "shrinking keeps the block";
    a.resize(500);
    EXPECT_EQ(a.getSize(), 500u);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[1], 10);
    EXPECT_EQ(a[2], 20);
}

TEST(Array, GrowingOneByOneReallocatesLogarithmicallyOften) {
    Array<unsigned> a;
    unsigned moves = 0;
    const unsigned* block = a.getData();
    for (unsigned n = 1; n <= 100000; ++n) {
        a.resize(n);
        a[n - 1] = n;
        if (a.getData() != block) {
            ++moves;
            block = a.getData();
        }
        ASSERT_GE(a.getCapacity(), a.getSize());
    }
    EXPECT_LE(moves, 18u) << "doubling from 1 needs 17 blocks for 100000 elements";
    for (unsigned i = 0; i < 100000; i += 4999) EXPECT_EQ(a[i], i + 1);
}

TEST(Array, CopiesAreDeepAndMovesSteal) {
    Array<std::string> a(2);
    a[0] = "one";
    a[1] = "two";
    Array<std::string> copy(a);
    copy[0] = "changed";
    EXPECT_EQ(a[0], "one");
    EXPECT_EQ(copy.getCapacity(), 2u);

    Array<std::string> assigned;
    assigned = a;
    assigned = assigned;
    EXPECT_EQ(assigned[1], "two");

    const std::string* block = a.getData();
    Array<std::string> moved(std::move(a));
    EXPECT_EQ(moved.getData(), block);
    EXPECT_EQ(a.getSize(), 0u);
    EXPECT_EQ(a.getData(), nullptr);

    Array<std::string> target(7);
    target = std::move(moved);
    EXPECT_EQ(target.getData(), block);
    EXPECT_EQ(target[1], "two");
}

} // namespace
