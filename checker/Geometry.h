#pragma once

// Double-precision 2D/3D vectors and 4x4 matrices. The checker carries its own small algebra so that
// nothing it computes passes through the code it is checking.

#include <algorithm>
#include <array>
#include <cmath>

namespace kvcheck {

struct Vec2 {
    double x = 0, y = 0;
};

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(double s, Vec2 a) {
    return {s * a.x, s * a.y};
}
inline double dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}
inline double cross(Vec2 a, Vec2 b) {
    return a.x * b.y - a.y * b.x;
}
inline double length(Vec2 a) {
    return std::hypot(a.x, a.y);
}

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double s, const Vec3& a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3& a) {
    return std::sqrt(dot(a, a));
}

// Distance from p to the segment ab; `at` receives the parameter of the closest point (0 at a, 1 at b).
inline double distanceToSegment(Vec2 p, Vec2 a, Vec2 b, double& at) {
    const Vec2 ab = b - a;
    const double lengthSquared = dot(ab, ab);
    at = lengthSquared > 0 ? std::clamp(dot(p - a, ab) / lengthSquared, 0.0, 1.0) : 0.0;
    return length(p - (a + at * ab));
}

using Vec4 = std::array<double, 4>;

// Row-major: element (r, c) is m[4 * r + c]; matrices act on column vectors.
struct Mat4 {
    std::array<double, 16> m{};
    double operator()(int r, int c) const { return m[4 * r + c]; }
    double& operator()(int r, int c) { return m[4 * r + c]; }
};

Mat4 operator*(const Mat4& a, const Mat4& b);
Vec4 operator*(const Mat4& a, const Vec4& v);

// The inverse by Gauss-Jordan elimination with partial pivoting; false when a pivot vanishes.
bool invert(const Mat4& a, Mat4& inverse);

// A vector orthogonal to the three given ones (their generalised cross product): the null vector of the
// 3x4 matrix they form, zero when they are dependent.
Vec4 orthogonalTo(const Vec4& a, const Vec4& b, const Vec4& c);

} // namespace kvcheck
