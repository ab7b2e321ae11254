#pragma once

#include "api/KvHLRExport.h"

#include <cmath>

namespace KvHLR {

// Plain three-component value, used for view-space positions.
struct KVHLR_API HLRVector3D {
    double x;
    double y;
    double z;

    constexpr HLRVector3D() : x(0.0), y(0.0), z(0.0) {}
    constexpr HLRVector3D(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    constexpr HLRVector3D operator+(const HLRVector3D& o) const {
        return HLRVector3D(x + o.x, y + o.y, z + o.z);
    }
    constexpr HLRVector3D operator-(const HLRVector3D& o) const {
        return HLRVector3D(x - o.x, y - o.y, z - o.z);
    }
    constexpr HLRVector3D operator*(double f) const { return HLRVector3D(x * f, y * f, z * f); }
    constexpr HLRVector3D operator/(double d) const { return HLRVector3D(x / d, y / d, z / d); }
};

constexpr double dot(const HLRVector3D& a, const HLRVector3D& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr HLRVector3D cross(const HLRVector3D& a, const HLRVector3D& b) {
    return HLRVector3D(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline double length(const HLRVector3D& v) {
    return std::sqrt(dot(v, v));
}

} // namespace KvHLR
