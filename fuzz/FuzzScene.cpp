#include "FuzzScene.h"

#include "FuzzCamera.h"
#include "FuzzGeometry.h"

namespace KvHLRFuzz {
namespace {

KvHLR::ProjectorCriteria criteria(FuzzBytes& bytes) {
    const std::uint8_t flags = bytes.byte();
    KvHLR::ProjectorCriteria criteria;
    criteria.showSilhouette = flags & 1;
    criteria.showConcaveSharpEdge = flags & 2;
    criteria.showConvexSharpEdge = flags & 4;
    criteria.showHiddenLine = flags & 8;
    criteria.separateBodyFaces = flags & 16;
    switch (flags >> 5) {
    case 0:
        break; // the default angle
    case 1:
        criteria.sharpEdgeAngle = bytes.extreme();
        break;
    case 2:
        criteria.sharpEdgeAngle = bytes.coordinate();
        break;
    default:
        criteria.sharpEdgeAngle = bytes.byte() % 181;
        break;
    }
    return criteria;
}

std::vector<KvHLR::UserPolyline> userPolylines(FuzzBytes& bytes) {
    std::vector<KvHLR::UserPolyline> lines(bytes.byte() % 4);
    for (KvHLR::UserPolyline& line : lines) {
        line.kind = static_cast<std::int8_t>(bytes.byte());
        line.points.resize(bytes.byte() % 8);
        for (ON_3dPoint& p : line.points) {
            p.x = bytes.coordinate();
            p.y = bytes.coordinate();
            p.z = bytes.coordinate();
        }
    }
    return lines;
}

} // namespace

Scene decodeScene(FuzzBytes& bytes) {
    Scene scene;
    scene.criteria = criteria(bytes);
    scene.entryPoint = static_cast<EntryPoint>(bytes.byte() % 3);
    scene.polygon = decodeGeometry(bytes);
    if (scene.entryPoint != EntryPoint::Polygon)
        scene.meshes = decodeMeshes(scene.polygon, bytes);
    scene.view = decodeCamera(scene.polygon, bytes);
    const bool withWindow = bytes.flag();
    scene.windowWidth = withWindow ? bytes.u16() : -1;
    scene.windowHeight = withWindow ? bytes.u16() : -1;
    scene.userPolylines = userPolylines(bytes);
    const std::uint8_t cancel = bytes.byte();
    scene.cancelAtCall = cancel & 0x80 ? cancel & 0x7F : 0;
    return scene;
}

} // namespace KvHLRFuzz
