#include "kit/mesh/StlReader.h"

#include "kit/mesh/MeshReading.h"
#include "kit/mesh/VertexWelder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kvhlr {
namespace {

constexpr std::size_t kHeaderBytes = 84; // 80 bytes of text, then the triangle count
constexpr std::size_t kRecordBytes = 50; // normal, three corners, attribute word
constexpr std::size_t kCornerOffset = 12;

// Triangles [first, first + count) of the file, their corners numbered 3 t, 3 t + 1 and 3 t + 2 from
// the first one: every corner of an STL file is a vertex of its own until welded.
struct Records {
    std::size_t count;
    std::size_t size() const { return count; }
    std::array<std::uint32_t, 3> operator[](std::size_t t) const {
        const auto corner = static_cast<std::uint32_t>(3 * t);
        return {corner, corner + 1, corner + 2};
    }
};

} // namespace

std::optional<std::vector<MeshPart>> readBinaryStlFile(const std::string& path, bool bodies,
                                                       const std::function<void(double)>& progress) {
    const MappedFile file(path);
    if (file.size() < kHeaderBytes)
        return std::nullopt;
    std::uint32_t count = 0;
    std::memcpy(&count, file.data() + 80, sizeof count);
    if (count == 0 || file.size() != kHeaderBytes + kRecordBytes * std::uint64_t(count))
        return std::nullopt;

    // Welded in runs of triangles, to tell the progress as the file is read; the welder carries over.
    constexpr std::size_t kRun = 1 << 16;
    VertexWelder welder(count / 2); // a closed mesh has about half as many vertices as triangles
    Kv::KvTriangleList triangles;
    triangles.reserve(count);
    for (std::size_t first = 0; first < count; first += kRun) {
        progress(static_cast<double>(first) / count);
        const char* records = file.data() + kHeaderBytes + first * kRecordBytes;
        auto positionOf = [&](std::uint32_t corner) {
            float xyz[3];
            std::memcpy(xyz, records + corner / 3 * kRecordBytes + kCornerOffset + corner % 3 * sizeof xyz,
                        sizeof xyz);
            if (!(std::isfinite(xyz[0]) && std::isfinite(xyz[1]) && std::isfinite(xyz[2])))
                checkSinglePrecisionVertex(xyz[0], xyz[1], xyz[2], path,
                                           "triangle " + std::to_string(first + corner / 3 + 1) + ": ");
            return ON_3dPoint(xyz[0], xyz[1], xyz[2]);
        };
        const Records run{std::min(kRun, count - first)};
        const Kv::KvTriangleList welded = weldTriangles(welder, 3 * run.count, positionOf, run);
        triangles.insert(triangles.end(), welded.begin(), welded.end());
    }
    progress(1.0);
    std::vector<MeshPart> parts(1);
    parts[0].body = bodies;
    parts[0].points = welder.takePoints();
    parts[0].faces.push_back(std::move(triangles));
    return parts;
}

} // namespace kvhlr
