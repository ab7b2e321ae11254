// A sheet's views planned before drawing, as kvhlr and Python both plan them: one camera per view fitted
// to the whole model, only the section's view cut and looking square at the cut, refusals found before
// any view is drawn, and the section marked on the drawn views.

#include "kit/sheet/SheetViews.h"
#include "kit/InputError.h"
#include "kit/drawing/DrawMesh.h"

#include "Scenes.h"

#include <gtest/gtest.h>

namespace {

using namespace kvhlr;

std::vector<MeshPart> boxParts(ON_3dPoint lo, ON_3dPoint hi) {
    const KvHLR::Polygon3D box = KvHLRTest::box(lo, hi);
    std::vector<MeshPart> parts(1);
    parts[0].points = box.points;
    parts[0].faces.emplace_back();
    for (const auto& t : box.triangles)
        parts[0].faces[0].emplace_back(t[0], t[1], t[2]);
    return parts;
}

std::string parameterOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const InputError& error) {
        return error.parameter().empty() ? error.subject() : error.parameter();
    }
    return "nothing thrown";
}

TEST(SheetViews, OnlyTheSectionsViewIsCutRenamedAndSquareToTheCut) {
    const std::vector<MeshPart> parts = boxParts({0, 0, 0}, {4, 2, 1});
    ViewsChoice choice;
    choice.views = {"front", "top", "section:A"};
    choice.section = SectionPlane{{2, 1, 0.5}, {1, 0, 0}};
    const std::vector<PlannedView> plan = planViews(choice, parts, "box");
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[2].name, "section-A");
    EXPECT_EQ(std::vector<bool>({plan[0].cut, plan[1].cut, plan[2].cut}),
              std::vector<bool>({false, false, true}));
    // Looking along x at the cut: the model's centre projects to the drawing plane's origin in every
    // view, and the section's view sees the box's y-z side (2 x 1), not its front (4 x 2).
    const ON_3dPoint centre(2, 1, 0.5);
    for (const PlannedView& view : plan) {
        const ON_3dPoint seen = view.camera.modelViewXform * centre;
        EXPECT_NEAR(seen.x, 0.0, 1e-9) << view.name;
        EXPECT_NEAR(seen.y, 0.0, 1e-9) << view.name;
    }
    const ON_3dPoint along = plan[2].camera.modelViewXform * ON_3dPoint(3, 1, 0.5);
    EXPECT_NEAR(std::abs(along.z - (plan[2].camera.modelViewXform * centre).z), 1.0, 1e-9);

    // Drawn, the section's view is labelled and may take the right view's place, and the front and top
    // views, which see the plane edge-on, carry its cutting-plane line.
    std::vector<SheetView> views;
    for (const PlannedView& view : plan)
        views.push_back({view.name, drawParts(std::vector<MeshPart>(parts), view.camera, {}), {}, {}});
    markPlannedSection(views, choice);
    EXPECT_EQ(views[2].label, "SECTION A\u2013A");
    EXPECT_EQ(views[2].sameSightAs, "right") << "it looks along -x, as the right view does";
    EXPECT_EQ(views[0].cuttingPlanes.size(), 1u);
    EXPECT_EQ(views[1].cuttingPlanes.size(), 1u);
    EXPECT_TRUE(views[2].cuttingPlanes.empty());
}

TEST(SheetViews, TheOneViewIsNamedAsChosenAndRefusalsComeBeforeDrawing) {
    const std::vector<MeshPart> parts = boxParts({0, 0, 0}, {1, 1, 1});
    ViewsChoice choice;
    choice.camera.view = "top";
    EXPECT_EQ(planViews(choice, parts, "box").front().name, "top");
    choice.camera.eye = ON_3dPoint(5, 5, 5);
    choice.camera.target = ON_3dPoint(0, 0, 0);
    EXPECT_EQ(planViews(choice, parts, "box").front().name, "view");

    ViewsChoice sheet;
    sheet.views = {"front", "front"};
    EXPECT_EQ(parameterOf([&] { planViews(sheet, parts, "box"); }), "views");
    sheet.views = {"front", "section:A"};
    sheet.section = SectionPlane{{9, 0, 0}, {1, 0, 0}}; // beside the model
    EXPECT_EQ(parameterOf([&] { planViews(sheet, parts, "box"); }), "section");
    // A metre cube on A4 at 1:1 does not fit; at the scale chosen it does.
    SheetOptions a4;
    a4.paper = PaperSize{210, 297};
    const std::vector<MeshPart> large = boxParts({0, 0, 0}, {1000, 1000, 1000});
    sheet.section = SectionPlane{{500, 500, 500}, {1, 0, 0}};
    const std::vector<PlannedView> plan = planViews(sheet, large, "box");
    EXPECT_NO_THROW(checkViewsFit(plan, sheet, a4, large));
    a4.scale = 1.0;
    EXPECT_EQ(parameterOf([&] { checkViewsFit(plan, sheet, a4, large); }), "scale");
}

} // namespace
