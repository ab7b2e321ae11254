#include "FuzzCamera.h"

#include "Cameras.h"

#include <algorithm>
#include <cmath>

namespace KvHLRFuzz {
namespace {

using KvHLR::ViewInfoCriteria;

// A sphere around the model's finite points; the unit sphere when there are none.
struct Bounds {
    ON_3dPoint centre;
    double radius = 1.0;
};

Bounds finiteBounds(const KvHLR::Polygon3D& model) {
    ON_3dPoint lo(HUGE_VAL, HUGE_VAL, HUGE_VAL);
    ON_3dPoint hi(-HUGE_VAL, -HUGE_VAL, -HUGE_VAL);
    for (const ON_3dPoint& p : model.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            continue;
        lo = ON_3dPoint(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = ON_3dPoint(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    Bounds bounds;
    if (lo.x > hi.x)
        return bounds;
    bounds.centre = ON_3dPoint(lo.x / 2 + hi.x / 2, lo.y / 2 + hi.y / 2, lo.z / 2 + hi.z / 2);
    const double radius = ON_3dVector(hi.x / 2 - lo.x / 2, hi.y / 2 - lo.y / 2, hi.z / 2 - lo.z / 2).Length();
    if (std::isfinite(radius) && radius > 0.0)
        bounds.radius = radius;
    return bounds;
}

ON_3dVector direction(FuzzBytes& bytes) {
    const double x = static_cast<std::int8_t>(bytes.byte());
    const double y = static_cast<std::int8_t>(bytes.byte());
    const double z = static_cast<std::int8_t>(bytes.byte());
    return x == 0.0 && y == 0.0 && z == 0.0 ? ON_3dVector(1, 1, 1) : ON_3dVector(x, y, z);
}

// Looks at the model from `distance` radii away along a direction the bytes choose.
ViewInfoCriteria fitted(const Bounds& bounds, bool perspective, double distance, FuzzBytes& bytes) {
    const ON_3dVector d = direction(bytes);
    const double scale = distance * bounds.radius / d.Length();
    const ON_3dPoint eye = bounds.centre + ON_3dVector(d.x * scale, d.y * scale, d.z * scale);
    const ON_3dVector up = std::fabs(d.z) > 0.9 * d.Length() ? ON_3dVector(0, 1, 0) : ON_3dVector(0, 0, 1);
    ViewInfoCriteria view;
    view.modelViewXform = KvHLRTest::lookAt(eye, bounds.centre, up);
    view.nearPlaneDepth = 0.5 * bounds.radius;
    view.farPlaneDepth = (distance + 2.0) * bounds.radius;
    const double r = bounds.radius * (1.0 + bytes.byte() % 4 / 4.0);
    if (!perspective) {
        view.projectionXform = KvHLRTest::orthographic(-r, r, -r, r, view.nearPlaneDepth, view.farPlaneDepth);
        return view;
    }
    const double fieldOfView = 10.0 + bytes.byte() % 150;
    const double aspect = 1.0 + bytes.byte() % 4 / 2.0;
    view.projectionXform =
        KvHLRTest::perspective(fieldOfView, aspect, view.nearPlaneDepth, view.farPlaneDepth);
    return view;
}

// Zeroes a row or a column, collapses the matrix onto one row, or zeroes it entirely.
void makeSingular(ON_Xform& xform, FuzzBytes& bytes) {
    const int k = bytes.byte() % 4;
    switch (bytes.byte() % 4) {
    case 0:
        for (int c = 0; c < 4; ++c)
            xform[k][c] = 0.0;
        break;
    case 1:
        for (int r = 0; r < 4; ++r)
            xform[r][k] = 0.0;
        break;
    case 2:
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                xform[r][c] = xform[k][c];
        break;
    default:
        xform = ON_Xform(0.0);
        xform[3][3] = 0.0;
        break;
    }
}

// Overwrites up to four entries of either transform, or the depths, with extreme values.
void poison(ViewInfoCriteria& view, FuzzBytes& bytes) {
    const int count = 1 + bytes.byte() % 4;
    for (int i = 0; i < count; ++i) {
        const int target = bytes.byte() % 9;
        if (target == 8) {
            const double value = bytes.extreme();
            (bytes.flag() ? view.nearPlaneDepth : view.farPlaneDepth) = value;
            continue;
        }
        ON_Xform& xform = target < 4 ? view.modelViewXform : view.projectionXform;
        const double value = bytes.extreme();
        xform[target % 4][bytes.byte() % 4] = value;
    }
}

// A perspective camera that looks away from the model, or an orthographic one whose near plane
// lies beyond it.
ViewInfoCriteria behind(const Bounds& bounds, FuzzBytes& bytes) {
    const bool perspective = bytes.flag();
    ViewInfoCriteria view = fitted(bounds, perspective, 3.0, bytes);
    if (perspective)
        view.modelViewXform = ON_Xform(-1.0) * view.modelViewXform;
    else
        view.nearPlaneDepth = 10.0 * bounds.radius;
    return view;
}

ViewInfoCriteria arbitrary(FuzzBytes& bytes) {
    ViewInfoCriteria view;
    for (ON_Xform* xform : {&view.modelViewXform, &view.projectionXform})
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                (*xform)[r][c] = bytes.coordinate();
    view.nearPlaneDepth = bytes.coordinate();
    view.farPlaneDepth = bytes.coordinate();
    return view;
}

ViewInfoCriteria family(const Bounds& bounds, FuzzBytes& bytes) {
    switch (bytes.byte() % 6) {
    case 0:
        return fitted(bounds, false, 3.0, bytes);
    case 1:
        return fitted(bounds, true, 3.0, bytes);
    case 2: {
        ViewInfoCriteria view = fitted(bounds, bytes.flag(), 3.0, bytes);
        makeSingular(bytes.flag() ? view.modelViewXform : view.projectionXform, bytes);
        return view;
    }
    case 3: {
        ViewInfoCriteria view = fitted(bounds, bytes.flag(), 3.0, bytes);
        poison(view, bytes);
        return view;
    }
    case 4:
        return behind(bounds, bytes);
    default:
        return arbitrary(bytes);
    }
}

CRect clientRect(FuzzBytes& bytes) {
    switch (bytes.byte() % 3) {
    case 0:
        return CRect();
    case 1: {
        const std::uint16_t width = bytes.u16();
        return CRect(0, 0, width, bytes.u16());
    }
    default: {
        const auto left = static_cast<std::int32_t>(bytes.u32());
        const auto top = static_cast<std::int32_t>(bytes.u32());
        const auto right = static_cast<std::int32_t>(bytes.u32());
        return CRect(left, top, right, static_cast<std::int32_t>(bytes.u32()));
    }
    }
}

} // namespace

ViewInfoCriteria decodeCamera(const KvHLR::Polygon3D& model, FuzzBytes& bytes) {
    ViewInfoCriteria view = family(finiteBounds(model), bytes);
    view.clientRect = clientRect(bytes);
    return view;
}

} // namespace KvHLRFuzz
