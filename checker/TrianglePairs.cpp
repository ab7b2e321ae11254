#include "checker/TrianglePairs.h"

#include <algorithm>
#include <cmath>

namespace kvcheck {
namespace {

struct Box3 {
    Vec3 lo, hi;
};

Vec3 lowest(const Vec3& a, const Vec3& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}
Vec3 highest(const Vec3& a, const Vec3& b) {
    return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}
double largestSide(const Box3& box) {
    const Vec3 d = box.hi - box.lo;
    return std::max({d.x, d.y, d.z});
}

// Cell indices along each axis stay below 2^21, so that three of them make one key.
constexpr double kMaxCellsAlong = 1 << 20;

struct Grid {
    Vec3 origin;
    double cell = 1;

    std::array<std::uint64_t, 3> index(const Vec3& p) const {
        return {static_cast<std::uint64_t>(std::floor((p.x - origin.x) / cell)),
                static_cast<std::uint64_t>(std::floor((p.y - origin.y) / cell)),
                static_cast<std::uint64_t>(std::floor((p.z - origin.z) / cell))};
    }
    static std::uint64_t key(std::uint64_t x, std::uint64_t y, std::uint64_t z) {
        return x << 42 | y << 21 | z;
    }
    std::uint64_t key(const Vec3& p) const {
        const auto i = index(p);
        return key(i[0], i[1], i[2]);
    }
    double cellsOf(const Box3& box) const {
        const auto lo = index(box.lo), hi = index(box.hi);
        return double(hi[0] - lo[0] + 1) * double(hi[1] - lo[1] + 1) * double(hi[2] - lo[2] + 1);
    }
};

} // namespace

std::vector<std::pair<std::uint32_t, std::uint32_t>> overlappingBoxes(const Mesh& mesh, double margin) {
    const std::size_t count = mesh.triangles.size();
    if (count == 0)
        return {};
    std::vector<Box3> boxes;
    boxes.reserve(count);
    double sizes = 0;
    for (const Triangle& t : mesh.triangles) {
        const Vec3 &a = mesh.points[t[0]], &b = mesh.points[t[1]], &c = mesh.points[t[2]];
        const Vec3 grow{margin, margin, margin};
        boxes.push_back({lowest(a, lowest(b, c)) - grow, highest(a, highest(b, c)) + grow});
        sizes += largestSide(boxes.back());
    }
    Box3 all = boxes.front();
    for (const Box3& box : boxes)
        all = {lowest(all.lo, box.lo), highest(all.hi, box.hi)};

    Grid grid{all.lo, std::max(sizes / count, largestSide(all) / kMaxCellsAlong)};
    if (!(grid.cell > 0))
        grid.cell = 1;
    const double budget = 8.0 * count + 1024;
    for (;;) {
        double cells = 0;
        for (const Box3& box : boxes)
            cells += grid.cellsOf(box);
        if (cells <= budget)
            break;
        grid.cell *= 2;
    }

    std::vector<std::pair<std::uint64_t, std::uint32_t>> entries; // (cell key, triangle)
    for (std::uint32_t t = 0; t < count; ++t) {
        const auto lo = grid.index(boxes[t].lo), hi = grid.index(boxes[t].hi);
        for (std::uint64_t x = lo[0]; x <= hi[0]; ++x)
            for (std::uint64_t y = lo[1]; y <= hi[1]; ++y)
                for (std::uint64_t z = lo[2]; z <= hi[2]; ++z)
                    entries.emplace_back(Grid::key(x, y, z), t);
    }
    std::sort(entries.begin(), entries.end());

    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (std::size_t first = 0, last = 0; first < entries.size(); first = last) {
        while (last < entries.size() && entries[last].first == entries[first].first)
            ++last;
        for (std::size_t i = first; i < last; ++i)
            for (std::size_t j = i + 1; j < last; ++j) {
                const Box3 &a = boxes[entries[i].second], &b = boxes[entries[j].second];
                const Vec3 lo = highest(a.lo, b.lo), hi = lowest(a.hi, b.hi);
                if (lo.x <= hi.x && lo.y <= hi.y && lo.z <= hi.z && grid.key(lo) == entries[first].first)
                    pairs.emplace_back(entries[i].second, entries[j].second);
            }
    }
    return pairs;
}

} // namespace kvcheck
