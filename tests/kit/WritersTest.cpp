// The three output formats read back: every line with its kind, layer and points, and the camera.

#include "DxfReader.h"
#include "kit/DrawingJson.h"
#include "kit/DxfWriter.h"
#include "kit/SvgWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using namespace kvhlr;

KvHLR::StrokeLine line(int kind, std::vector<ON_2dPoint> points) {
    KvHLR::StrokeLine l;
    l.kind = kind;
    l.points = std::move(points);
    return l;
}

// One line of every kind, with numbers that only read back exactly when written with full precision.
Drawing sampleDrawing() {
    Drawing drawing;
    drawing.camera.modelViewXform[0][3] = 0.1;
    drawing.camera.modelViewXform[2][3] = -1.0 / 3.0;
    drawing.camera.projectionXform[0][0] = 2.0 / 7.0;
    drawing.camera.nearPlaneDepth = 1e-300;
    drawing.camera.farPlaneDepth = 12345.678901234567;
    drawing.lines = {line(0, {{0.1, 0.2}, {1.0 / 3, -2.5e17 / 1e17}}),
                     line(1, {{-1, -1}, {1, -1}, {1, 1}}),
                     line(2, {{0, 0}, {0.30000000000000004, 0}}),
                     line(3, {{-0.0, 1e-7}, {2, 2}}),
                     line(5, {{4, 4}, {5, 5}}),
                     line(1, {{2, -2}, {3, -3}})};
    return drawing;
}

template <class Write> std::string written(Write write) {
    std::ostringstream out;
    write(out);
    return out.str();
}

TEST(DrawingJson, ReadsBackExactly) {
    const Drawing drawing = sampleDrawing();
    const auto doc =
        nlohmann::json::parse(written([&](std::ostream& out) { writeDrawingJson(out, drawing); }));
    EXPECT_EQ(doc["format"], "kvhlr-drawing-1");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(doc["modelView"][i].get<double>(), drawing.camera.modelViewXform[i / 4][i % 4]);
        EXPECT_EQ(doc["projection"][i].get<double>(), drawing.camera.projectionXform[i / 4][i % 4]);
    }
    EXPECT_EQ(doc["near"].get<double>(), 1e-300);
    EXPECT_EQ(doc["far"].get<double>(), 12345.678901234567);
    ASSERT_EQ(doc["lines"].size(), drawing.lines.size());
    for (std::size_t i = 0; i < drawing.lines.size(); ++i) {
        const auto& l = doc["lines"][i];
        EXPECT_EQ(l["kind"].get<int>(), drawing.lines[i].kind);
        ASSERT_EQ(l["points"].size(), drawing.lines[i].points.size());
        for (std::size_t k = 0; k < drawing.lines[i].points.size(); ++k) {
            EXPECT_EQ(l["points"][k][0].get<double>(), drawing.lines[i].points[k].x);
            EXPECT_EQ(l["points"][k][1].get<double>(), drawing.lines[i].points[k].y);
        }
    }
    const auto empty =
        nlohmann::json::parse(written([](std::ostream& out) { writeDrawingJson(out, Drawing()); }));
    EXPECT_TRUE(empty["lines"].is_array() && empty["lines"].empty());
}

TEST(DxfWriter, OnePolylinePerLineOnItsKindsLayer) {
    const Drawing drawing = sampleDrawing();
    const kvhlrtest::DxfDocument doc =
        kvhlrtest::readDxf(written([&](std::ostream& out) { writeDxf(out, drawing); }));
    EXPECT_EQ(doc.sections, (std::vector<std::string>{"HEADER", "TABLES", "ENTITIES"}));
    EXPECT_TRUE(doc.endsWithEof);
    EXPECT_EQ(doc.layerLineTypes.at("HIDDEN"), "DASHED");
    for (const char* visible : {"SILHOUETTES", "CONVEX_SHARP", "CONCAVE_SHARP", "OTHER_VISIBLE"})
        EXPECT_EQ(doc.layerLineTypes.at(visible), "CONTINUOUS");
    const auto& dashes = doc.lineTypePatterns.at("DASHED");
    ASSERT_EQ(dashes.size(), 2u);
    EXPECT_GT(dashes[0], 0.0);
    EXPECT_LT(dashes[1], 0.0);
    const char* expectedLayers[] = {"SILHOUETTES",  "HIDDEN",        "CONCAVE_SHARP",
                                    "CONVEX_SHARP", "OTHER_VISIBLE", "HIDDEN"};
    ASSERT_EQ(doc.polylines.size(), drawing.lines.size());
    for (std::size_t i = 0; i < drawing.lines.size(); ++i) {
        EXPECT_EQ(doc.polylines[i].layer, expectedLayers[i]);
        ASSERT_EQ(doc.polylines[i].points.size(), drawing.lines[i].points.size());
        for (std::size_t k = 0; k < drawing.lines[i].points.size(); ++k) {
            EXPECT_EQ(doc.polylines[i].points[k].first, drawing.lines[i].points[k].x);
            EXPECT_EQ(doc.polylines[i].points[k].second, drawing.lines[i].points[k].y);
        }
    }
}

// The elements of one layer group of an SVG text.
std::string svgGroup(const std::string& svg, const std::string& id) {
    const std::size_t start = svg.find("<g id=\"" + id + "\"");
    return start == std::string::npos ? "" : svg.substr(start, svg.find("</g>", start) - start);
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(SvgWriter, LayersPerKindWithYUpAndFittedViewBox) {
    const Drawing drawing = sampleDrawing();
    const std::string svg = written([&](std::ostream& out) { writeSvg(out, drawing, HiddenDashes::Style); });
    const std::pair<const char*, std::size_t> expected[] = {
        {"hidden", 2}, {"silhouettes", 1}, {"convex-sharp", 1}, {"concave-sharp", 1}, {"other-visible", 1}};
    for (const auto& [id, lines] : expected) {
        const std::string group = svgGroup(svg, id);
        EXPECT_NE(group.find("inkscape:groupmode=\"layer\""), std::string::npos) << id;
        EXPECT_EQ(count(group, "<polyline"), lines) << id;
    }
    EXPECT_NE(svgGroup(svg, "hidden").find("stroke-dasharray"), std::string::npos);
    EXPECT_EQ(count(svg, "stroke-dasharray"), 1u);
    // y is negated: the hidden square's corner (1, 1) is written as 1,-1; (1, -1) as 1,1.
    EXPECT_NE(svgGroup(svg, "hidden").find("points=\"-1,1 1,1 1,-1\""), std::string::npos);
    // Lines span x -1..5 and y -3..5; the view box adds 2% of the larger side (8) on every side.
    const std::size_t at = svg.find("viewBox=\"");
    ASSERT_NE(at, std::string::npos);
    std::istringstream box(svg.substr(at + 9));
    double x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(box >> x >> y >> width >> height);
    EXPECT_DOUBLE_EQ(x, -1 - 0.16);
    EXPECT_DOUBLE_EQ(y, -5 - 0.16);
    EXPECT_DOUBLE_EQ(width, 6 + 0.32);
    EXPECT_DOUBLE_EQ(height, 8 + 0.32);
}

TEST(SvgWriter, SegmentDashesReplaceTheDashStyle) {
    const Drawing drawing = sampleDrawing();
    const std::string svg =
        written([&](std::ostream& out) { writeSvg(out, drawing, HiddenDashes::Segments); });
    EXPECT_EQ(count(svg, "stroke-dasharray"), 0u);
    const std::string hidden = svgGroup(svg, "hidden");
    EXPECT_EQ(count(hidden, "<path"), 2u) << "one path per line";
    // The first path runs 4 units; dashes of 0.096 every 0.144 start 28 times along it.
    const std::string firstPath =
        hidden.substr(hidden.find("<path"), hidden.find("/>") - hidden.find("<path"));
    EXPECT_EQ(count(firstPath, "M"), 28u);
}

} // namespace
