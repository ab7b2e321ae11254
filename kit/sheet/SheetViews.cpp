#include "kit/sheet/SheetViews.h"

#include "kit/camera/CameraFile.h"

#include <algorithm>

namespace kvhlr {
namespace {

KvHLR::ViewInfoCriteria viewCamera(const ViewsChoice& choice, const std::string& name, bool cut,
                                   const std::vector<MeshPart>& parts, const std::string& subject) {
    if (cut && (choice.sectionFacing || !choice.views.empty())) {
        CameraRequest request = cameraRequest(choice.camera);
        request.direction = sectionViewDirection(*choice.section, choice.camera.upAxis);
        return fitCamera(request, parts);
    }
    if (choice.given)
        return *choice.given;
    CameraChoice camera = choice.camera;
    camera.view = name;
    const KvHLR::ViewInfoCriteria placed = placeCamera(camera, parts);
    // Fitting puts the whole model in front of the camera, and a perspective eye inside the model has
    // it cut at the near plane; the check keeps a slip in either from ever reaching the library as a
    // broken drawing.
    checkCamera(placed, parts, subject);
    return placed;
}

// The bounds of the model's points in the camera's drawing plane: no line of its drawing reaches
// further, and its outline reaches that far.
Box2 outlineBounds(const KvHLR::ViewInfoCriteria& camera, const std::vector<MeshPart>& parts) {
    const ON_Xform toScreen = camera.projectionXform * camera.modelViewXform;
    const Box2 frame = cameraFrame(camera);
    Box2 box = frame;
    bool first = true;
    forEachPoint(parts, [&](const ON_3dPoint& point) {
        const ON_3dPoint screen = toScreen * point;
        const double x = screen.x * frame.maxX, y = screen.y * frame.maxY;
        box = first ? Box2{x, y, x, y}
                    : Box2{std::min(box.minX, x), std::min(box.minY, y), std::max(box.maxX, x),
                           std::max(box.maxY, y)};
        first = false;
    });
    return box;
}

} // namespace

std::vector<PlannedView> planViews(const ViewsChoice& choice, const std::vector<MeshPart>& parts,
                                   const std::string& subject) {
    checkSheetViews(choice.views, choice.section.has_value());
    const bool unnamed = choice.given || choice.camera.eye;
    const std::vector<std::string> names =
        choice.views.empty() ? std::vector<std::string>{unnamed ? "view" : choice.camera.view} : choice.views;
    std::vector<PlannedView> views;
    for (const std::string& name : names) {
        PlannedView& view = views.emplace_back();
        view.cut = choice.section && (choice.views.empty() || sectionLetter(name));
        view.camera = viewCamera(choice, name, view.cut, parts, subject);
        if (view.cut)
            checkSection(parts, *choice.section, view.camera);
        view.name = name;
        if (sectionLetter(name))
            view.name[7] = '-';
    }
    return views;
}

void checkViewsFit(const std::vector<PlannedView>& views, const ViewsChoice& choice, const SheetOptions& sheet,
                   const std::vector<MeshPart>& parts) {
    if (!(sheet.paper || sheet.scale))
        return;
    std::vector<SheetView> outlines;
    for (const PlannedView& view : views) {
        const Box2 box = outlineBounds(view.camera, parts);
        KvHLR::StrokeLine diagonal;
        diagonal.points = {{box.minX, box.minY}, {box.maxX, box.maxY}};
        outlines.push_back({view.name, {view.camera, {diagonal}, {}, {}, {}, {}}, {}, {}});
    }
    // Marked as the drawn views will be, so that their marks and labels take their room here too.
    markPlannedSection(outlines, choice);
    layoutSheet(outlines, sheet);
}

void markPlannedSection(std::vector<SheetView>& views, const ViewsChoice& choice) {
    if (choice.section && views.size() > 1)
        markSection(views, *choice.section, choice.camera.upAxis);
}

} // namespace kvhlr
