#pragma once

// Included before every source of the WebAssembly module (-include): std::hypot of three numbers
// computed as the native build's C++ library computes it (scaled by the largest, then the square root
// of the sum of squares), where emscripten's takes the plain square root of the sum. Vector lengths
// then round alike, and the module draws the lines the native kvhlr draws.

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
} // namespace kvhlr_web

namespace std {
inline double kvhlr_hypot(double x, double y) { return ::hypot(x, y); }
inline double kvhlr_hypot(double x, double y, double z) { return kvhlr_web::hypot3(x, y, z); }
} // namespace std
#define hypot kvhlr_hypot
