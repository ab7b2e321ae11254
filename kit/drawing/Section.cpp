#include "kit/drawing/Section.h"

#include "kit/InputError.h"
#include "kit/NumberText.h"
#include "kit/drawing/Geometry.h"
#include "kit/drawing/SectionShared.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvhlr {
namespace {

bool finite(const ON_3dVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

ON_3dVector upVector(UpAxis upAxis) {
    return upAxis == UpAxis::Y ? ON_3dVector(0, 1, 0) : ON_3dVector(0, 0, 1);
}

const char* const kPrincipalViews[] = {"front", "back", "left", "right", "top", "bottom"};

const std::string kNamedForms = "expected x=NUMBER, y=NUMBER, z=NUMBER, or front, back, left, right, top or "
                                "bottom (through the model's centre)";

// "x=1.5" as the axis (0, 1, 2) and the coordinate.
std::optional<std::pair<int, double>> axisPlane(const std::string& text) {
    if (text.size() < 3 || text[1] != '=' || text[0] < 'x' || text[0] > 'z')
        return std::nullopt;
    const std::optional<double> at = parseNumber<double>(text.substr(2));
    if (!at || !std::isfinite(*at))
        return std::nullopt;
    return std::pair<int, double>{text[0] - 'x', *at};
}

bool isPrincipalView(const std::string& name) {
    return std::find(std::begin(kPrincipalViews), std::end(kPrincipalViews), name) != std::end(kPrincipalViews);
}

} // namespace

std::pair<ON_3dPoint, ON_3dPoint> boundsOf(const std::vector<MeshPart>& parts) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    ON_3dPoint low(inf, inf, inf), high(-inf, -inf, -inf);
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    });
    return {low, high};
}

void checkSectionChoice(const SectionChoice& choice) {
    if (!choice.named.empty() && !axisPlane(choice.named) && !isPrincipalView(choice.named))
        throw InputError::ofParameter("section", kNamedForms + ", got '" + choice.named + "'");
    if (choice.normal && (!finite(*choice.normal) || dot(*choice.normal, *choice.normal) == 0.0))
        throw InputError::ofParameter("section_normal", "the cutting plane's normal must be a vector that is not zero");
    if (choice.point && !finite(ON_3dVector(choice.point->x, choice.point->y, choice.point->z)))
        throw InputError::ofParameter("section_point", "the point must be three finite numbers");
    if (choice.point.has_value() != choice.normal.has_value())
        throw InputError::ofParameter(choice.point ? "section_normal" : "section_point",
                                      "a cutting plane needs both a point and a normal");
    if (choice.planHeight && !std::isfinite(*choice.planHeight))
        throw InputError::ofParameter("plan", "the height must be a finite number");
    const int given = !choice.named.empty() + choice.point.has_value() + choice.planHeight.has_value();
    if (given > 1)
        throw InputError::ofParameter("section", "give one cutting plane: a named one, a point and a normal, or a plan");
}

SectionPlane sectionPlane(const SectionChoice& choice, UpAxis upAxis, const std::vector<MeshPart>& parts) {
    checkSectionChoice(choice);
    const auto [low, high] = boundsOf(parts);
    const ON_3dPoint centre((low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2);
    if (choice.point)
        return {*choice.point, *choice.normal};
    if (choice.planHeight) {
        const ON_3dVector up = upVector(upAxis);
        const double floor = dot(up, ON_3dVector(low.x, low.y, low.z)) + *choice.planHeight;
        ON_3dPoint at = centre;
        (upAxis == UpAxis::Y ? at.y : at.z) = floor;
        return {at, up};
    }
    if (const auto axis = axisPlane(choice.named)) {
        ON_3dPoint at(0, 0, 0);
        ON_3dVector normal(0, 0, 0);
        (axis->first == 0 ? at.x : axis->first == 1 ? at.y : at.z) = axis->second;
        (axis->first == 0 ? normal.x : axis->first == 1 ? normal.y : normal.z) = 1.0;
        return {at, normal};
    }
    return {centre, namedViewDirection(choice.named, upAxis).towardEye};
}

ViewDirection sectionViewDirection(const SectionPlane& plane, UpAxis upAxis) {
    const ON_3dVector n = unit(plane.normal);
    for (const char* name : kPrincipalViews) {
        const ViewDirection view = namedViewDirection(name, upAxis);
        if (dot(unit(view.towardEye), n) > 1.0 - 1e-12)
            return view;
    }
    // Upright where the plane allows: the model's up axis, else the top view's.
    const ON_3dVector up = upVector(upAxis);
    return {n, std::fabs(dot(n, up)) < 0.99 ? up : namedViewDirection("top", upAxis).up};
}

} // namespace kvhlr
