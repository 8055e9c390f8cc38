// The extent type of the whole program: map extents, layer and shape bounds,
// view and image windows. Two different "nothing" values exist: the empty
// marker (0, 0, -1, -1: never set) and a null rectangle (zero width or height,
// which includes the extent of a single point).
#pragma once

// A point record: x then y.
struct DoublePoint {
    double x = 0;
    double y = 0;
};

class CDoubleRect {
public:
    double xmin = 0;
    double ymin = 0;
    double xmax = 0;
    double ymax = 0;

    CDoubleRect() = default;
    CDoubleRect(double x1, double y1, double x2, double y2)
        : xmin(x1), ymin(y1), xmax(x2), ymax(y2) {}

    // Stored as given, without ordering.
    void Set(double x1, double y1, double x2, double y2);
    void SetFromCenter(double cx, double cy, double width, double height);
    void GetCenter(double& x, double& y) const;
    void GetCenterPoint(DoublePoint& point) const;
    void SetEmpty();
    bool IsEmpty() const;
    void Clear();
    bool IsNull() const;
    bool Equals(const CDoubleRect& other) const;
    bool operator==(const CDoubleRect& other) const { return Equals(other); }
    // Grows or shrinks about the centre: Scale(2) doubles width and height.
    void Scale(double factor);
    void Inflate(double dx, double dy);
    void Offset(double dx, double dy);
    // Closed test: touching edges count.
    bool Intersects(const CDoubleRect& other) const;
    bool IsInside(const CDoubleRect& other) const;
    void Normalize();
    // Five points of a closed ring from the top-left corner, clockwise.
    void GetCorners(DoublePoint points[5]) const;

    // Open intersection: rectangles that only touch, or a null one, do not
    // intersect. The result is cleared then; `result` may be null.
    static bool Intersect(CDoubleRect* result, const CDoubleRect& a, const CDoubleRect& b);
    // Union skipping null rectangles and the empty marker; false (result
    // cleared) when both are skipped. `result` may be `a` or `b`.
    static bool Union(CDoubleRect& result, const CDoubleRect& a, const CDoubleRect& b);
    // `a` less `b` where `b` covers a whole side band of `a`; a hole in the
    // middle or at a corner leaves `a`. False (result cleared) when `a` is
    // null or wholly covered.
    static bool Subtract(CDoubleRect& result, const CDoubleRect& a, const CDoubleRect& b);
};
