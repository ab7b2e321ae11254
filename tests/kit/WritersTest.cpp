// The output formats read back: a page in SVG and DXF (size, layers, pens, points, texts), dashes cut
// into pieces, and the JSON drawing with its camera.

#include "DxfReader.h"
#include "kit/Dashes.h"
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

// A4 landscape: a dashed layer and a solid one of a front view, a solid one of a top view, a title.
Page samplePage() {
    Page page;
    page.widthMm = 297;
    page.heightMm = 210;
    page.layers = {{"1-front-hidden", "front", {0.25, {3, 0.75}, "#606060"}, {{{10, 10}, {20, 10}, {20, 20}}}},
                   {"2-front-silhouettes", "front", {0.5, {}, "#000000"}, {{{1.0 / 3, 50}, {60, 50}}, {{70, 70}}}},
                   {"2-top-silhouettes", "top", {0.5, {}, "#000000"}, {{{5, 150}, {25, 150}}}},
                   {"3-title", "", {0.35, {}, "#000000"}, {}}};
    page.texts = {{{200, 12}, 5, "Part <A> & \"B\" ^ über", "3-title"}};
    return page;
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

TEST(DxfWriter, MillimetrePageWithPensOnLayersAndExactPoints) {
    const Page page = samplePage();
    const kvhlrtest::DxfDocument doc = kvhlrtest::readDxf(written([&](std::ostream& out) { writeDxf(out, page); }));
    EXPECT_EQ(doc.sections, (std::vector<std::string>{"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"}));
    EXPECT_TRUE(doc.endsWithEof);
    EXPECT_EQ(doc.header.at("$ACADVER"), "AC1015");
    EXPECT_EQ(doc.header.at("$INSUNITS"), "4");
    EXPECT_EQ(doc.header.at("$MEASUREMENT"), "1");
    // LibreCAD knows line types by name only: the 3.75 mm pattern is named after its 3 mm HIDDEN2, and
    // the table holds the pen's own pattern for every other program.
    const kvhlrtest::DxfLayer hidden = doc.layers.at("1-front-hidden");
    EXPECT_EQ(hidden.lineType, "HIDDEN2");
    EXPECT_EQ(doc.lineTypePatterns.at("HIDDEN2"), (std::vector<double>{3, -0.75}));
    EXPECT_EQ(hidden.lineweight, 25);
    EXPECT_EQ(hidden.color, 8) << "grey";
    EXPECT_EQ(doc.layers.at("2-front-silhouettes").lineType, "Continuous");
    EXPECT_EQ(doc.layers.at("2-front-silhouettes").lineweight, 50);
    EXPECT_EQ(doc.layers.at("3-title").lineweight, 35);
    ASSERT_EQ(doc.polylines.size(), 4u);
    EXPECT_EQ(doc.polylines[0].layer, "1-front-hidden");
    EXPECT_EQ(doc.polylines[1].points, (std::vector<std::pair<double, double>>{{1.0 / 3, 50}, {60, 50}}));
    EXPECT_EQ(doc.polylines[2].points, (std::vector<std::pair<double, double>>{{70, 70}, {70, 70}}))
        << "a dot is a polyline of two equal points";
    ASSERT_EQ(doc.texts.size(), 1u);
    EXPECT_EQ(doc.texts[0].text, "Part <A> & \"B\" ^  \\U+00FCber");
    EXPECT_EQ(doc.texts[0].height, 5);
}

TEST(DxfWriter, EachDashPatternGetsItsOwnLineType) {
    Page page = samplePage();
    page.layers[1].pen.dashMm = {12, 6};
    page.layers[2].pen.dashMm = {3, 0.75};
    const kvhlrtest::DxfDocument doc = kvhlrtest::readDxf(written([&](std::ostream& out) { writeDxf(out, page); }));
    EXPECT_EQ(doc.layers.at("2-front-silhouettes").lineType, "DASHED");
    EXPECT_EQ(doc.layers.at("2-top-silhouettes").lineType, "HIDDEN2") << "the same pattern, the same type";
    EXPECT_EQ(doc.lineTypePatterns.size(), 2u);
}

// The elements of one group of an SVG text, up to its first closing tag.
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

TEST(SvgWriter, PaperSizeInMillimetresWithYUpAndPensOnLayers) {
    const std::string svg = written([&](std::ostream& out) { writeSvg(out, samplePage()); });
    EXPECT_NE(svg.find("width=\"297mm\" height=\"210mm\" viewBox=\"0 0 297 210\""), std::string::npos);
    // Views are layers holding a sublayer per kind; ids drop the pen number, labels keep it.
    const std::string front = svgGroup(svg, "view-front");
    EXPECT_NE(front.find("inkscape:groupmode=\"layer\" inkscape:label=\"front\""), std::string::npos);
    const std::string hidden = svgGroup(svg, "front-hidden");
    EXPECT_NE(hidden.find("inkscape:label=\"1-front-hidden\""), std::string::npos);
    EXPECT_NE(hidden.find("stroke=\"#606060\" stroke-width=\"0.25\" stroke-linecap=\"butt\""), std::string::npos);
    EXPECT_NE(hidden.find("stroke-dasharray=\"3 0.75\""), std::string::npos);
    // y is measured from the top: (20, 20) on a page 210 high is written 20,190.
    EXPECT_NE(hidden.find("points=\"10,200 20,200 20,190\""), std::string::npos);
    EXPECT_NE(svgGroup(svg, "front-silhouettes").find("stroke-width=\"0.5\" stroke-linecap=\"round\""),
              std::string::npos);
    EXPECT_EQ(count(svg, "<polyline"), 4u);
    EXPECT_EQ(count(svg, "stroke-dasharray"), 1u);
    EXPECT_NE(svgGroup(svg, "title").find(">Part &lt;A&gt; &amp; &quot;B&quot; ^ über</text>"), std::string::npos);
}

TEST(SvgWriter, OneViewNeedsNoViewLayers) {
    Page page = samplePage();
    page.layers.erase(page.layers.begin() + 2);
    const std::string svg = written([&](std::ostream& out) { writeSvg(out, page); });
    EXPECT_EQ(count(svg, "id=\"view-"), 0u);
    EXPECT_EQ(count(svg, "inkscape:groupmode=\"layer\""), 3u);
}

TEST(Dashes, CutPagesDrawDashedLayersSolidInPieces) {
    Page page = samplePage();
    cutDashes(page);
    const PageLayer& hidden = page.layers[0];
    EXPECT_TRUE(hidden.pen.dashMm.empty());
    // 20 mm with dashes of 3 every 3.75: 6 pieces, the third turning the corner.
    ASSERT_EQ(hidden.polylines.size(), 6u);
    EXPECT_DOUBLE_EQ(hidden.polylines[1].front().x, 13.75);
    EXPECT_EQ(hidden.polylines[2].size(), 3u);
    EXPECT_EQ(page.layers[1].polylines.size(), 2u) << "solid layers stay whole";
}

} // namespace
