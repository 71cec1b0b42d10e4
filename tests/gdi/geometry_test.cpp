// Point, Size and Rect: every derived value of a table of rectangles (ordinary,
// negative, empty, inverted and at the ends of the coordinate range) against
// the value worked out by hand, membership at the edges, shifting, and the
// layout that lets them stand in for POINT, SIZE and RECT.
#include <vesk/gdi/geometry.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>

using namespace vesk;

static_assert(sizeof(Point) == sizeof(POINT) && sizeof(Size) == sizeof(SIZE) && sizeof(Rect) == sizeof(RECT),
              "the value types add nothing to the Win32 layout");
static_assert(offsetof(RECT, right) == 8, "right follows left and top");

TEST(Geometry, DerivedValuesAndMembership) {
    struct Row { Rect r; long width, height, cx, cy; } const rows[] = {
        {Rect(0, 0, 10, 10), 10, 10, 5, 5},       {Rect(-3, -3, 0, 0), 3, 3, -1, -1},
        {Rect(-10, -20, -4, -6), 6, 14, -7, -13}, {Rect(5, 5, 5, 5), 0, 0, 5, 5},
        {Rect(4, 2, 1, -1), -3, -3, 2, 0},        {Rect(-5, -5, 4, 4), 9, 9, 0, 0},
        {Rect(LONG_MAX - 2, LONG_MAX - 2, LONG_MAX, LONG_MAX), 2, 2, LONG_MAX - 1, LONG_MAX - 1},
        {Rect(LONG_MIN, LONG_MIN, LONG_MIN + 3, LONG_MIN + 1), 3, 1, LONG_MIN + 2, LONG_MIN + 1},
    };
    for (const Row& row : rows) {
        const Rect& r = row.r;
        const Point expected[] = {Point(row.width, row.height), Point(row.cx, row.cy), Point(r.left, r.top), Point(r.left, r.top),
                                  Point(r.right, r.top), Point(r.left, r.bottom), Point(r.right, r.bottom)};
        const Point got[] = {Point(r.getWidth(), r.getHeight()), r.getCenter(), r.getTopLeft(), r.getPosition(),
                             r.getTopRight(), r.getBottomLeft(), r.getBottomRight()};
        for (int i = 0; i < 7; ++i) EXPECT_EQ(expected[i], got[i]) << r.left << "," << r.top << " value " << i;
        EXPECT_EQ(Size(int(row.width), int(row.height)), r.getSize());
    }
    // Membership is half open.
    const Rect square(0, 0, 10, 10), negative(-3, -3, 0, 0);
    const struct { Rect r; Point p; bool inside; } points[] = {
        {square, Point(0, 0), true}, {square, Point(10, 5), false}, {square, Point(5, 10), false}, {square, Point(9, 9), true},
        {square, Point(-1, 0), false}, {negative, Point(-3, -1), true}, {negative, Point(0, -1), false},
        {Rect(5, 5, 5, 5), Point(5, 5), false}, {Rect(4, 2, 1, -1), Point(2, 0), false},
    };
    for (const auto& row : points) EXPECT_EQ(row.inside, row.r.contains(row.p)) << row.p.x << "," << row.p.y;
}

TEST(Geometry, ConstructorsAndMove) {
    EXPECT_EQ(Rect(2, 3, 7, 11), Rect(Point(2, 3), Size(5, 8)));
    EXPECT_EQ(Rect(-2, -3, -7, 1), Rect(Point(-2, -3), Size(-5, 4)));
    EXPECT_EQ(Rect(1, 2, 3, 4), Rect(Point(1, 2), Point(3, 4)));
    EXPECT_EQ(Size(-7, 9), Size(Point(10, -4), Point(3, 5)));
    EXPECT_EQ(Rect(0, 0, 0, 0), Rect());
    EXPECT_EQ(Point(0, 0), Point());
    const Rect r(1, 2, 3, 4);
    EXPECT_EQ(Rect(-4, 12, -2, 14), r.move(Point(-5, 10)));
    EXPECT_EQ(Rect(1, 2, 3, 4), r) << "move returns a copy";
    // Stands in for the Win32 structures, in both directions.
    const RECT raw{-1, -2, 3, 4};
    const Rect wrapped(raw);
    EXPECT_TRUE(EqualRect(&raw, &wrapped));
}
