#pragma once

// Value types of the geometry kernel that the host hands across the library boundary: points,
// vectors and 4x4 homogeneous transforms acting on column vectors.

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

struct ON_2dPoint {
    double x = 0.0;
    double y = 0.0;

    ON_2dPoint() = default;
    ON_2dPoint(double xIn, double yIn) : x(xIn), y(yIn) {}
};

struct ON_3dVector {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    ON_3dVector() = default;
    ON_3dVector(double xIn, double yIn, double zIn) : x(xIn), y(yIn), z(zIn) {}

    // hypot scales internally, so vectors with huge or tiny components neither overflow nor vanish.
    double Length() const { return std::hypot(x, y, z); }
};

struct ON_3dPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    ON_3dPoint() = default;
    ON_3dPoint(double xIn, double yIn, double zIn) : x(xIn), y(yIn), z(zIn) {}
};

struct ON_4dPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double w = 0.0;

    ON_4dPoint() = default;
    ON_4dPoint(double xIn, double yIn, double zIn, double wIn) : x(xIn), y(yIn), z(zIn), w(wIn) {}
};

inline ON_3dVector operator-(const ON_3dPoint& a, const ON_3dPoint& b) {
    return ON_3dVector(a.x - b.x, a.y - b.y, a.z - b.z);
}

inline ON_3dPoint operator+(const ON_3dPoint& p, const ON_3dVector& v) {
    return ON_3dPoint(p.x + v.x, p.y + v.y, p.z + v.z);
}

inline bool operator==(const ON_3dPoint& a, const ON_3dPoint& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

inline bool operator!=(const ON_3dPoint& a, const ON_3dPoint& b) {
    return !(a == b);
}

class ON_Xform {
public:
    // Row-major: m_xform[row][column]; points are column vectors (x, y, z, w).
    double m_xform[4][4];

    // The identity.
    ON_Xform() : ON_Xform(1.0) {}

    // Diagonal (d, d, d, 1): a uniform scale about the origin; ON_Xform(1) is the identity.
    explicit ON_Xform(double d) {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                m_xform[row][column] = row == column ? d : 0.0;
            }
        }
        m_xform[3][3] = 1.0;
    }

    double* operator[](int row) { return m_xform[row]; }
    const double* operator[](int row) const { return m_xform[row]; }

    // Composition: (A * B) applied to a point applies B first, then A.
    ON_Xform operator*(const ON_Xform& rhs) const {
        ON_Xform product(0.0);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                double sum = 0.0;
                for (int k = 0; k < 4; ++k) {
                    sum += m_xform[row][k] * rhs.m_xform[k][column];
                }
                product.m_xform[row][column] = sum;
            }
        }
        return product;
    }

    // Transforms (x, y, z, 1) and divides by the resulting weight; a zero weight is left undivided,
    // which keeps points at infinity finite instead of turning them into NaNs.
    ON_3dPoint operator*(const ON_3dPoint& p) const {
        const ON_4dPoint h = (*this) * ON_4dPoint(p.x, p.y, p.z, 1.0);
        const double scale = h.w != 0.0 ? 1.0 / h.w : 1.0;
        return ON_3dPoint(h.x * scale, h.y * scale, h.z * scale);
    }

    // Homogeneous transform, no division.
    ON_4dPoint operator*(const ON_4dPoint& p) const {
        double out[4];
        for (int row = 0; row < 4; ++row) {
            const double* r = m_xform[row];
            out[row] = r[0] * p.x + r[1] * p.y + r[2] * p.z + r[3] * p.w;
        }
        return ON_4dPoint(out[0], out[1], out[2], out[3]);
    }

    // Replaces the transform by its inverse (Gauss-Jordan elimination with partial pivoting).
    // Returns false and leaves the transform unchanged when it is singular. When `pivot` is given it
    // receives the smallest absolute pivot met, a cheap measure of how close to singular it is.
    bool Invert(double* pivot = nullptr);
};

namespace ON_XformDetail {

// A pivot this small relative to the largest entry of its original row means the rows are
// linearly dependent up to rounding.
constexpr double kSingularRatio = 64.0 * std::numeric_limits<double>::epsilon();

struct Augmented {
    double rows[4][8];
    double rowScale[4]; // largest magnitude of each row of the input, indexed by original row
    int original[4];    // original row now stored at each position
};

inline Augmented augment(const double m[4][4]) {
    Augmented a{};
    for (int row = 0; row < 4; ++row) {
        a.original[row] = row;
        a.rowScale[row] = 0.0;
        for (int column = 0; column < 4; ++column) {
            a.rows[row][column] = m[row][column];
            a.rows[row][column + 4] = row == column ? 1.0 : 0.0;
            a.rowScale[row] = std::max(a.rowScale[row], std::fabs(m[row][column]));
        }
    }
    return a;
}

// Moves the largest candidate of `column` onto the diagonal and returns it.
inline double choosePivot(Augmented& a, int column) {
    int best = column;
    for (int row = column + 1; row < 4; ++row) {
        if (std::fabs(a.rows[row][column]) > std::fabs(a.rows[best][column])) {
            best = row;
        }
    }
    if (best != column) {
        std::swap(a.rows[best], a.rows[column]);
        std::swap(a.original[best], a.original[column]);
    }
    return a.rows[column][column];
}

inline void eliminate(Augmented& a, int column, double pivotValue) {
    for (int k = 0; k < 8; ++k) {
        a.rows[column][k] /= pivotValue;
    }
    for (int row = 0; row < 4; ++row) {
        const double factor = a.rows[row][column];
        if (row == column || factor == 0.0) {
            continue;
        }
        for (int k = 0; k < 8; ++k) {
            a.rows[row][k] -= factor * a.rows[column][k];
        }
    }
}

} // namespace ON_XformDetail

inline bool ON_Xform::Invert(double* pivot) {
    using namespace ON_XformDetail;
    Augmented a = augment(m_xform);
    double smallest = std::numeric_limits<double>::infinity();
    bool singular = false;
    for (int column = 0; column < 4 && !singular; ++column) {
        const double p = choosePivot(a, column);
        smallest = std::min(smallest, std::fabs(p));
        singular = !(std::fabs(p) > kSingularRatio * a.rowScale[a.original[column]]);
        if (!singular) {
            eliminate(a, column, p);
        }
    }
    if (pivot != nullptr) {
        *pivot = smallest;
    }
    if (singular) {
        return false;
    }
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            m_xform[row][column] = a.rows[row][column + 4];
        }
    }
    return true;
}
