// Draws a mesh file with the drawing kit: read it, fit an isometric camera, draw the visible and
// hidden lines with exact hiding, save the drawing.
//
//   draw_mesh MESH_FILE OUTPUT.svg|.dxf|.json
#include "kit/camera/CameraFit.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/MeshFile.h"
#include "kit/output/DrawingFile.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_mesh MESH_FILE OUTPUT.svg|.dxf|.json\n");
        return 2;
    }
    try {
        std::vector<kvhlr::MeshPart> parts = kvhlr::readMeshFile(argv[1], false, [](double) {});
        kvhlr::CameraRequest request;
        request.direction = kvhlr::namedViewDirection("iso", kvhlr::UpAxis::Y);
        const KvHLR::ViewInfoCriteria camera = kvhlr::fitCamera(request, parts);
        kvhlr::DrawOptions options;
        options.hidden = true;
        const kvhlr::Drawing drawing = kvhlr::drawParts(std::move(parts), camera, options);
        kvhlr::saveDrawing(drawing, argv[2]);
        std::printf("%zu lines\n", drawing.lines.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "draw_mesh: %s\n", error.what());
        return 1;
    }
    return 0;
}
