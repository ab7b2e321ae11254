#pragma once

namespace KvHLR {

// One hidden piece of an edge, in edge parameters (0 at the start vertex, 1 at the end vertex).
// Each end carries the half-width of its uncertainty, so that pieces found by different hiders
// can be merged when they touch within what the hide tests can resolve.
struct HLRInterval {
    double from = 0.0;
    double to = 0.0;
    double fromTolerance = 0.0;
    double toTolerance = 0.0;
};

} // namespace KvHLR
