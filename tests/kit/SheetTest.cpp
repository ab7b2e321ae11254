// Sheets: views at a true scale on real paper, the scale chosen to fit, principal views lined up as the
// projection method arranges them, free views in a corner, the fitted page, and layer names.

#include "kit/InputError.h"
#include "kit/sheet/Sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>

namespace {

using namespace kvhlr;

// A view whose outline is a w x h rectangle about the drawing plane's origin.
SheetView box(const std::string& name, double w, double h) {
    KvHLR::StrokeLine outline;
    outline.kind = VisibleSilhouette;
    outline.points = {{-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}, {-w / 2, -h / 2}};
    SheetView view{name, {}, {}, {}};
    view.drawing.lines = {outline};
    return view;
}

Box2 boundsOf(const PageLayer& layer) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    Box2 b{inf, inf, -inf, -inf};
    for (const auto& polyline : layer.polylines)
        for (const PagePoint& p : polyline)
            b = {std::min(b.minX, p.x), std::min(b.minY, p.y), std::max(b.maxX, p.x), std::max(b.maxY, p.y)};
    return b;
}

// Where the outline of a view went on the page.
Box2 placed(const Page& page, const std::string& view) {
    for (const PageLayer& layer : page.layers)
        if (layer.view == view && layer.name.find("silhouettes") != std::string::npos)
            return boundsOf(layer);
    ADD_FAILURE() << "no view " << view;
    return {};
}

std::string scaleOnTitle(const Page& page) {
    for (const PageText& text : page.texts)
        if (text.text.rfind("Scale ", 0) == 0)
            return text.text.substr(6);
    return "";
}

// The title block shows the true scale whole, rounded to three digits, or to whole numbers from 100 on.
TEST(Sheet, ScalesAndPaper) {
    const std::tuple<const char*, double, const char*> scales[] = {
        {"1:2", 0.5, "1:2"},       {"2:1", 2.0, "2:1"},     {"1:2.5", 0.4, "1:2.5"},
        {"0.25", 0.25, "1:4"},     {"0.37", 0.37, "1:2.7"}, {"1.5:2.5", 0.6, "1:1.67"},
        {"1234.5", 1234.5, "1235:1"}, {"1:1000000000", 1e-9, "1:1000000000"}};
    for (const auto& [text, scale, shown] : scales) {
        EXPECT_DOUBLE_EQ(parseScale(text), scale) << text;
        SheetOptions options;
        options.scale = scale;
        EXPECT_EQ(scaleOnTitle(layoutSheet({box("front", 1, 1)}, options)), shown) << text;
    }
    for (const char* bad : {"", "1:0", "0", "-1:2", "1:", "a:b", "1:2:3", "inf", "1:2e9", "2e9"})
        EXPECT_THROW(parseScale(bad), InputError) << bad;
    EXPECT_EQ(paperNamed("Letter").widthMm, 215.9);
}

TEST(Sheet, DrawsAtTrueScaleOnAPageAroundTheViews) {
    SheetOptions options;
    options.scale = 0.5;
    const Page page = layoutSheet({box("front", 100, 60)}, options);
    const Box2 outline = placed(page, "front");
    EXPECT_NEAR(outline.width(), 50.0, 1e-9) << "100 model units at 1:2";
    EXPECT_NEAR(outline.height(), 30.0, 1e-9);
    EXPECT_EQ(scaleOnTitle(page), "1:2");
    // The title block (120 mm) sets the width; margins 10, frame padding 5, title 17 + 5 the height.
    EXPECT_DOUBLE_EQ(page.widthMm, 140.0);
    EXPECT_DOUBLE_EQ(page.heightMm, 30.0 + 30.0 + 22.0);
    EXPECT_GE(outline.minY, 10 + 5 + 17 + 5 - 1e-9) << "above the title block";

    // A model in centimetres: 100 units are a metre, 10 mm at 1:100, and the title block says 1:100.
    options.unitMm = 10.0;
    options.scale = 0.01;
    const Page metre = layoutSheet({box("front", 100, 60)}, options);
    EXPECT_NEAR(placed(metre, "front").width(), 10.0, 1e-9);
    EXPECT_EQ(scaleOnTitle(metre), "1:100");
    EXPECT_THROW(unitNamed("furlong"), InputError);
}

TEST(Sheet, PaperTakesTheLargestStandardScaleThatFits) {
    SheetOptions options;
    options.paper = paperNamed("A4");
    // 1000 x 400: landscape leaves 267 x 158 mm for the views, so 1:5 fits (200 x 80) and 1:2 does not.
    Page page = layoutSheet({box("front", 1000, 400)}, options);
    EXPECT_EQ(page.widthMm, 297.0) << "the wide view chooses landscape";
    EXPECT_EQ(scaleOnTitle(page), "1:5");
    EXPECT_NEAR(placed(page, "front").width(), 200.0, 1e-9);

    options.orientation = Orientation::Portrait;
    page = layoutSheet({box("front", 1000, 400)}, options);
    EXPECT_EQ(page.widthMm, 210.0);
    EXPECT_EQ(scaleOnTitle(page), "1:10") << "180 mm across leaves 1:5 out";
    // In inches the model is 25.4 times as large, and the scale chosen for its true size.
    options.unitMm = unitNamed("in");
    page = layoutSheet({box("front", 1000, 400)}, options);
    EXPECT_EQ(scaleOnTitle(page), "1:200") << "25.4 m across 180 mm";
    EXPECT_NEAR(placed(page, "front").width(), 127.0, 1e-9);
    options.unitMm = 1.0;

    EXPECT_THROW(layoutSheet({box("front", 1e12, 1e12)}, options), InputError) << "no scale below 1:1000000000";
    options.orientation = Orientation::Auto;
    options.scale = 1.0;
    EXPECT_THROW(layoutSheet({box("front", 1000, 400)}, options), InputError);
    options.scale = 0.2;
    EXPECT_EQ(layoutSheet({box("front", 400, 1000)}, options).widthMm, 210.0) << "fits only upright";
}

TEST(Sheet, PrincipalViewsLineUpAsTheProjectionArrangesThem) {
    // The front view 100 wide and 60 high; the top view as wide, the side view as high.
    const std::vector<SheetView> views{box("front", 100, 60), box("top", 100, 40), box("right", 40, 60),
                                       box("iso", 90, 80)};
    for (const Projection projection : {Projection::Third, Projection::First}) {
        SCOPED_TRACE(projection == Projection::Third ? "third angle" : "first angle");
        SheetOptions options;
        options.paper = paperNamed("A3");
        options.scale = 1.0;
        options.projection = projection;
        const Page page = layoutSheet(views, options);
        const Box2 front = placed(page, "front"), top = placed(page, "top"), right = placed(page, "right"),
                   iso = placed(page, "iso");
        EXPECT_NEAR(top.minX, front.minX, 1e-9) << "front and top share x";
        EXPECT_NEAR(top.maxX, front.maxX, 1e-9);
        EXPECT_NEAR(right.minY, front.minY, 1e-9) << "front and side share y";
        EXPECT_NEAR(right.maxY, front.maxY, 1e-9);
        const int s = projection == Projection::Third ? 1 : -1;
        EXPECT_NEAR(s > 0 ? top.minY - front.maxY : front.minY - top.maxY, options.gapMm, 1e-9);
        EXPECT_NEAR(s > 0 ? right.minX - front.maxX : front.minX - right.maxX, options.gapMm, 1e-9);
        // The free view goes to the upper right, clear of the others.
        EXPECT_GE(iso.minX, std::max(front.maxX, top.maxX) + options.gapMm - 1e-9);
        EXPECT_GE(iso.minY, std::max(front.maxY, right.maxY) + options.gapMm - 1e-9);
        // The title block's symbol: the cone's end view (its circles, many-cornered) lies on the side the
        // method puts a view from the left: left of the cone's side view (its four corners) in third angle.
        const auto title = std::find_if(page.layers.begin(), page.layers.end(), [](const PageLayer& layer) {
            return layer.name.find("title") != std::string::npos;
        });
        ASSERT_NE(title, page.layers.end());
        double circlesX = 0.0, coneX = 0.0;
        for (const auto& line : title->polylines) {
            if (line.size() > 5)
                circlesX = line[0].x;
            else if (line.size() == 5 && line[0].x == line[1].x) // the frame's first side runs along x
                coneX = line[0].x;
        }
        ASSERT_GT(circlesX * coneX, 0.0) << "both views of the cone are drawn";
        EXPECT_GT(s * (coneX - circlesX), 0.0);
    }
}

} // namespace
