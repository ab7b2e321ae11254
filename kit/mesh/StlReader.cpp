#include "kit/mesh/StlReader.h"

#include "kit/WorkSharing.h"
#include "kit/mesh/MeshReading.h"
#include "kit/mesh/VertexWelder.h"

#include <cstdint>
#include <cstring>

namespace kvhlr {
namespace {

constexpr std::size_t kHeaderBytes = 84; // 80 bytes of text, then the triangle count
constexpr std::size_t kRecordBytes = 50; // normal, three corners, attribute word
constexpr std::size_t kCornerOffset = 12;
// Welding is the reading's work; below this many triangles a thread would not pay for its start.
constexpr std::size_t kTrianglesPerThread = 100000;

} // namespace

std::optional<std::vector<MeshPart>> readBinaryStlFile(const std::string& path, bool bodies,
                                                       const std::function<void(double)>& progress,
                                                       unsigned threads) {
    const MappedFile file(path);
    if (file.size() < kHeaderBytes)
        return std::nullopt;
    std::uint32_t count = 0;
    std::memcpy(&count, file.data() + 80, sizeof count);
    if (count == 0 || file.size() != kHeaderBytes + kRecordBytes * std::uint64_t(count))
        return std::nullopt;

    // Every corner is a vertex of its own until welded.
    const FloatVertices corners{file.data() + kHeaderBytes + kCornerOffset, kRecordBytes,
                                3 * std::size_t(count)};
    std::optional<WeldedTriangles> welded =
        weldInParallel(corners, nullptr, count, count / 2, // a closed mesh has about half as many vertices
                       threadsFor(threads, count, kTrianglesPerThread), progress);
    for (std::size_t corner = 0; !welded && corner < corners.count; ++corner) {
        float xyz[3];
        std::memcpy(xyz, corners.base + corner / 3 * kRecordBytes + corner % 3 * sizeof xyz, sizeof xyz);
        checkSinglePrecisionVertex(xyz[0], xyz[1], xyz[2], path,
                                   "triangle " + std::to_string(corner / 3 + 1) + ": ");
    }
    progress(1.0);
    std::vector<MeshPart> parts(1);
    parts[0].body = bodies;
    parts[0].points = std::move(welded->points);
    parts[0].fileVertices = std::move(welded->firstVertices);
    parts[0].faces.push_back(std::move(welded->triangles));
    return parts;
}

} // namespace kvhlr
