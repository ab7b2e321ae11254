#include "checker/Weld.h"

#include <cstring>
#include <unordered_map>

namespace kvcheck {
namespace {

struct PositionKey {
    std::uint64_t bits[3];
    bool operator==(const PositionKey& other) const {
        return std::memcmp(bits, other.bits, sizeof bits) == 0;
    }
};

PositionKey keyOf(const Vec3& p) {
    PositionKey key;
    const double coordinates[3] = {p.x == 0 ? 0.0 : p.x, p.y == 0 ? 0.0 : p.y, p.z == 0 ? 0.0 : p.z};
    std::memcpy(key.bits, coordinates, sizeof key.bits);
    return key;
}

struct PositionHash {
    std::size_t operator()(const PositionKey& key) const {
        std::uint64_t h = 0x9e3779b97f4a7c15ULL;
        for (std::uint64_t bits : key.bits) {
            h ^= bits + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
            h *= 0xbf58476d1ce4e5b9ULL;
        }
        return static_cast<std::size_t>(h ^ (h >> 31));
    }
};

bool samePosition(const Vec3& a, const Vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

} // namespace

Mesh weld(const Mesh& mesh) {
    constexpr std::uint32_t unset = UINT32_MAX;
    std::vector<std::uint32_t> welded(mesh.points.size(), unset);
    std::unordered_map<PositionKey, std::uint32_t, PositionHash> indexOf;
    Mesh result;
    auto weldedIndex = [&](std::uint32_t i) {
        if (welded[i] == unset) {
            const auto [it, added] =
                indexOf.emplace(keyOf(mesh.points[i]), static_cast<std::uint32_t>(result.points.size()));
            if (added)
                result.points.push_back(mesh.points[i]);
            welded[i] = it->second;
        }
        return welded[i];
    };
    result.triangles.reserve(mesh.triangles.size());
    for (const Triangle& t : mesh.triangles) {
        const Vec3 &a = mesh.points[t[0]], &b = mesh.points[t[1]], &c = mesh.points[t[2]];
        if (samePosition(a, b) || samePosition(b, c) || samePosition(c, a))
            continue;
        result.triangles.push_back({weldedIndex(t[0]), weldedIndex(t[1]), weldedIndex(t[2])});
    }
    for (const auto& side : mesh.tangentSides)
        if (!samePosition(mesh.points[side[0]], mesh.points[side[1]]))
            result.tangentSides.push_back({weldedIndex(side[0]), weldedIndex(side[1])});
    return result;
}

} // namespace kvcheck
