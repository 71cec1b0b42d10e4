// Point, Size and Rect: the value types of the window framework. Each derives
// from its Win32 structure, so one can be passed wherever a POINT, SIZE or RECT
// (or a pointer to one) is expected.
#pragma once

#include <vesk/config.h>

namespace vesk {

struct Point : POINT {
    Point() : POINT{0, 0} {}
    Point(long x_, long y_) : POINT{x_, y_} {}
    Point(const POINT& p) : POINT(p) {}

    bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
    bool operator!=(const POINT& o) const { return !(*this == o); }
};

struct Size : SIZE {
    Size() : SIZE{0, 0} {}
    Size(int cx_, int cy_) : SIZE{cx_, cy_} {}
    Size(const SIZE& s) : SIZE(s) {}
    // The distance from one point to another.
    Size(const POINT& from, const POINT& to) : SIZE{to.x - from.x, to.y - from.y} {}

    bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
    bool operator!=(const SIZE& o) const { return !(*this == o); }
};

// Right and bottom are exclusive: Rect(0, 0, 10, 10) holds x = 0..9.
struct Rect : RECT {
    Rect() : RECT{0, 0, 0, 0} {}
    Rect(long l, long t, long r, long b) : RECT{l, t, r, b} {}
    Rect(const POINT& topLeft, const SIZE& size)
        : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    Rect(const POINT& topLeft, const POINT& bottomRight)
        : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}
    Rect(const RECT& r) : RECT(r) {}

    long getWidth() const { return right - left; }
    long getHeight() const { return bottom - top; }
    Size getSize() const { return Size(int(getWidth()), int(getHeight())); }

    Point getTopLeft() const { return Point(left, top); }
    Point getPosition() const { return getTopLeft(); }
    Point getTopRight() const { return Point(right, top); }
    Point getBottomLeft() const { return Point(left, bottom); }
    Point getBottomRight() const { return Point(right, bottom); }
    // Halves truncate toward zero; the sums are taken in 64 bits so that
    // rectangles near the ends of the coordinate range do not overflow.
    Point getCenter() const {
        return Point(long((static_cast<long long>(left) + right) / 2),
                     long((static_cast<long long>(top) + bottom) / 2));
    }

    bool contains(const POINT& p) const { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
    // A copy shifted by d; this rectangle is unchanged.
    Rect move(const POINT& d) const { return Rect(left + d.x, top + d.y, right + d.x, bottom + d.y); }

    bool operator==(const RECT& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const RECT& o) const { return !(*this == o); }
};

} // namespace vesk
