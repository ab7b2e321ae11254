#pragma once

// Included before every source of the WebAssembly module (-include): std::hypot computed as the native
// build computes it, where emscripten's rounds otherwise in the last bit (of two numbers, one in seven
// results). Of three numbers as the native C++ library does (scaled by the largest, then the square
// root of the sum of squares), where emscripten's takes the plain square root of the sum; of two as
// glibc does (the square root of the sum of squares, corrected by its rounding error, scaled where the
// squares would overflow or underflow). Vector lengths and tolerances then round alike, and the module
// draws the lines the native kvhlr draws.

#include <cmath>

namespace kvhlr_web {
inline double hypot3(double x, double y, double z) {
    x = std::abs(x);
    y = std::abs(y);
    z = std::abs(z);
    const double a = x < y ? (y < z ? z : y) : (x < z ? z : x);
    if (a == 0.0)
        return 0.0;
    return a * std::sqrt((x / a) * (x / a) + (y / a) * (y / a) + (z / a) * (z / a));
}

// The hypotenuse of `large` >= `small` >= 0, neither of them huge nor tiny: the square root h of the sum
// of squares, less its error, (h*h - large*large - small*small) / 2h, worked out in parts that round
// exactly.
inline double correctedHypot(double large, double small) {
    double h = std::sqrt(large * large + small * small);
    double t1, t2;
    if (h <= 2.0 * small) {
        const double delta = h - small;
        t1 = large * (2.0 * delta - large);
        t2 = (delta - 2.0 * (large - small)) * delta;
    } else {
        const double delta = h - large;
        t1 = 2.0 * delta * (large - 2.0 * small);
        t2 = (4.0 * delta - small) * small + delta * delta;
    }
    return h - (t1 + t2) / (2.0 * h);
}

inline double hypot2(double x, double y) {
    if (std::isinf(x) || std::isinf(y))
        return INFINITY;
    if (std::isnan(x) || std::isnan(y))
        return NAN;
    x = std::abs(x);
    y = std::abs(y);
    const double large = x < y ? y : x, small = x < y ? x : y;
    // The smaller one below the larger one's last bit is added; otherwise squares that would overflow or
    // underflow are scaled.
    constexpr double kScale = 0x1p-600, kEpsilon = 0x1p-54;
    if (large > 0x1p511)
        return small <= large * kEpsilon ? large + small : correctedHypot(large * kScale, small * kScale) / kScale;
    if (small < 0x1p-459)
        return large >= small / kEpsilon ? large + small : correctedHypot(large / kScale, small / kScale) * kScale;
    return small <= large * kEpsilon ? large + small : correctedHypot(large, small);
}
} // namespace kvhlr_web

namespace std {
inline double kvhlr_hypot(double x, double y) { return kvhlr_web::hypot2(x, y); }
inline double kvhlr_hypot(double x, double y, double z) { return kvhlr_web::hypot3(x, y, z); }
} // namespace std
#define hypot kvhlr_hypot
