#include "checker/Geometry.h"

#include <algorithm>
#include <utility>

namespace kvcheck {

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 product;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k)
                product(r, c) += a(r, k) * b(k, c);
    return product;
}

Vec4 operator*(const Mat4& a, const Vec4& v) {
    Vec4 result{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result[r] += a(r, c) * v[c];
    return result;
}

bool invert(const Mat4& a, Mat4& inverse) {
    Mat4 work = a;
    inverse = Mat4{};
    for (int i = 0; i < 4; ++i)
        inverse(i, i) = 1.0;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::abs(work(r, col)) > std::abs(work(pivot, col)))
                pivot = r;
        if (work(pivot, col) == 0.0)
            return false;
        for (int c = 0; c < 4; ++c) {
            std::swap(work(col, c), work(pivot, c));
            std::swap(inverse(col, c), inverse(pivot, c));
        }
        const double scale = 1.0 / work(col, col);
        for (int c = 0; c < 4; ++c) {
            work(col, c) *= scale;
            inverse(col, c) *= scale;
        }
        for (int r = 0; r < 4; ++r) {
            const double factor = work(r, col);
            if (r == col || factor == 0.0)
                continue;
            for (int c = 0; c < 4; ++c) {
                work(r, c) -= factor * work(col, c);
                inverse(r, c) -= factor * inverse(col, c);
            }
        }
    }
    return true;
}

namespace {

// Determinant of the 3x3 matrix formed by columns i, j, k of the rows a, b, c.
double minor3(const Vec4& a, const Vec4& b, const Vec4& c, int i, int j, int k) {
    return a[i] * (b[j] * c[k] - b[k] * c[j]) - a[j] * (b[i] * c[k] - b[k] * c[i]) +
           a[k] * (b[i] * c[j] - b[j] * c[i]);
}

} // namespace

Vec4 orthogonalTo(const Vec4& a, const Vec4& b, const Vec4& c) {
    // Cofactor expansion of det[x; a; b; c] along its first row x: dotting the result with any of a, b, c
    // gives a determinant with two equal rows, hence zero.
    return {minor3(a, b, c, 1, 2, 3), -minor3(a, b, c, 0, 2, 3), minor3(a, b, c, 0, 1, 3),
            -minor3(a, b, c, 0, 1, 2)};
}

} // namespace kvcheck
