// Points, sizes, rectangles, insets, affine transforms and colours of the ui layer, in points.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace velkora::ui {

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct EdgeInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    Rect(Point o, Size s) : origin(o), size(s) {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return {midX(), midY()}; }
    bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
    // Half-open on the far edges, like the platform: a point on maxX is outside.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    bool intersects(const Rect& r) const {
        return !isEmpty() && !r.isEmpty() && minX() < r.maxX() && r.minX() < maxX() && minY() < r.maxY() && r.minY() < maxY();
    }
    Rect intersection(const Rect& r) const {
        double x0 = std::max(minX(), r.minX()), y0 = std::max(minY(), r.minY());
        double x1 = std::min(maxX(), r.maxX()), y1 = std::min(maxY(), r.maxY());
        if (x1 <= x0 || y1 <= y0) return {};
        return {x0, y0, x1 - x0, y1 - y0};
    }
    Rect unionWith(const Rect& r) const {
        if (isEmpty()) return r;
        if (r.isEmpty()) return *this;
        double x0 = std::min(minX(), r.minX()), y0 = std::min(minY(), r.minY());
        double x1 = std::max(maxX(), r.maxX()), y1 = std::max(maxY(), r.maxY());
        return {x0, y0, x1 - x0, y1 - y0};
    }
    Rect insetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy}; }
    Rect inset(const EdgeInsets& i) const {
        return {origin.x + i.left, origin.y + i.top, size.width - i.left - i.right, size.height - i.top - i.bottom};
    }
    Rect offsetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }
    friend bool operator==(const Rect&, const Rect&) = default;
    std::string description() const;
};

// | a  b  0 |
// | c  d  0 |   a point maps to (a*x + c*y + tx, b*x + d*y + ty), as on the platform.
// | tx ty 1 |
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform rotation(double radians) {
        double cs = std::cos(radians), sn = std::sin(radians);
        return {cs, sn, -sn, cs, 0, 0};
    }
    static AffineTransform scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }

    bool isIdentity() const { return *this == AffineTransform{}; }
    // this, then t.
    AffineTransform concat(const AffineTransform& t) const {
        return {a * t.a + b * t.c,          a * t.b + b * t.d,          c * t.a + d * t.c,
                c * t.b + d * t.d,          tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
    }
    AffineTransform rotated(double radians) const { return rotation(radians).concat(*this); }
    AffineTransform scaled(double sx, double sy) const { return scale(sx, sy).concat(*this); }
    AffineTransform translated(double x, double y) const { return translation(x, y).concat(*this); }
    AffineTransform inverted() const {
        double det = a * d - b * c;
        if (det == 0) return *this;
        return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    }
    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    Size applyToSize(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
    // The bounding box of the transformed rectangle.
    Rect applyToRect(const Rect& r) const {
        Point p[4] = {apply({r.minX(), r.minY()}), apply({r.maxX(), r.minY()}), apply({r.minX(), r.maxY()}),
                      apply({r.maxX(), r.maxY()})};
        double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (auto& q : p) {
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        }
        return {x0, y0, x1 - x0, y1 - y0};
    }
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

// Colour components in 0...1, not premultiplied.
struct Color {
    double r = 0, g = 0, b = 0, a = 0;

    static Color rgba(double r, double g, double b, double a = 1) { return {r, g, b, a}; }
    static Color white(double w, double a = 1) { return {w, w, w, a}; }
    static Color clear() { return {}; }
    static Color black() { return {0, 0, 0, 1}; }
    static Color whiteColor() { return {1, 1, 1, 1}; }
    // "#RRGGBB", "RRGGBB", "#RRGGBBAA" or "0xRRGGBB"; black for anything else.
    static Color fromHex(const std::string& hex);
    Color withAlpha(double alpha) const { return {r, g, b, alpha}; }
    bool isClear() const { return a <= 0; }
    friend bool operator==(const Color&, const Color&) = default;
};

inline Color Color::fromHex(const std::string& text) {
    std::string h = text;
    if (h.starts_with("#")) h.erase(0, 1);
    else if (h.starts_with("0x") || h.starts_with("0X")) h.erase(0, 2);
    if (h.size() != 6 && h.size() != 8) return black();
    uint32_t v = 0;
    for (char ch : h) {
        int d;
        if (ch >= '0' && ch <= '9') d = ch - '0';
        else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
        else return black();
        v = v * 16 + static_cast<uint32_t>(d);
    }
    if (h.size() == 6) return {((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0, 1};
    return {((v >> 24) & 0xff) / 255.0, ((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0};
}

inline std::string Rect::description() const {
    auto n = [](double v) {
        std::string s = std::to_string(v);
        s.erase(s.find_last_not_of('0') + 1);
        if (!s.empty() && s.back() == '.') s.pop_back();
        return s;
    };
    return "{{" + n(origin.x) + ", " + n(origin.y) + "}, {" + n(size.width) + ", " + n(size.height) + "}}";
}

}  // namespace velkora::ui
