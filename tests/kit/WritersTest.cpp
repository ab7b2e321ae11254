// The output formats read back: what a whole sheet cannot show (exact numbers, escaped texts, dots, line
// types shared by equal patterns), and the JSON drawing with its camera. kvhlr's sheets are read back
// whole by cli/check_sheet.py.

#include "DxfReader.h"
#include "TempDir.h"
#include "kit/output/DrawingFile.h"
#include "kit/output/DrawingJson.h"
#include "kit/output/DxfWriter.h"
#include "kit/output/SvgWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <map>
#include <random>
#include <sstream>

namespace {

using namespace kvhlr;

// One line of every kind, with numbers that only read back exactly when written with full precision.
Drawing sampleDrawing() {
    Drawing drawing;
    drawing.camera.modelViewXform[0][3] = 0.1;
    drawing.camera.modelViewXform[2][3] = -1.0 / 3.0;
    drawing.camera.projectionXform[0][0] = 2.0 / 7.0;
    drawing.camera.nearPlaneDepth = 1e-300;
    drawing.camera.farPlaneDepth = 12345.678901234567;
    drawing.lines = {{{{0.1, 0.2}, {1.0 / 3, -2.5e17 / 1e17}}, VisibleSilhouette},
                     {{{-1, -1}, {1, -1}, {1, 1}}, Hidden},
                     {{{0, 0}, {0.30000000000000004, 0}}, VisibleConcaveSharp},
                     {{{-0.0, 1e-7}, {2, 2}}, VisibleConvexSharp},
                     {{{4, 4}, {5, 5}}, OtherVisible},
                     {{{2, -2}, {3, -3}}, Hidden}};
    drawing.curves = {{1, {0.1, 0.2}, 0.5, 1.0 / 3, 0.25, -M_PI / 2, M_PI}};
    return drawing;
}

// A4 landscape: a dashed layer and a solid one of a front view, a solid one of a top view, a title.
Page samplePage() {
    Page page;
    page.widthMm = 297;
    page.heightMm = 210;
    // Curves: a quarter of a circle from (60, 50) to (50, 60), a whole circle, half an ellipse turned by
    // 30 degrees.
    page.layers = {{"1-front-hidden", "front", {0.25, {3, 0.75}, "#606060"}, {{{10, 10}, {20, 10}, {20, 20}}},
                    {{{50, 50}, 10, 10, 0, 0, M_PI / 2}}},
                   {"2-front-silhouettes", "front", {0.5, {}, "#000000"}, {{{1.0 / 3, 50}, {60, 50}}, {{70, 70}}},
                    {{{100, 100}, 5, 5, 0, 1, 1 + 2 * M_PI}}},
                   {"2-top-silhouettes", "top", {0.5, {}, "#000000"}, {{{5, 150}, {25, 150}}},
                    {{{150, 150}, 20, 10, M_PI / 6, 0, M_PI}}},
                   {"3-title", "", {0.35, {}, "#000000"}, {}, {}}};
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
    ASSERT_EQ(doc["curves"].size(), 1u);
    const auto& curve = doc["curves"][0];
    EXPECT_EQ(curve["line"].get<std::size_t>(), 1u);
    EXPECT_EQ(curve["centre"][0].get<double>(), 0.1);
    EXPECT_EQ(curve["radii"][1].get<double>(), 1.0 / 3);
    EXPECT_EQ(curve["end"].get<double>(), M_PI);
    const auto empty =
        nlohmann::json::parse(written([](std::ostream& out) { writeDrawingJson(out, Drawing()); }));
    EXPECT_TRUE(empty["lines"].is_array() && empty["lines"].empty());
    EXPECT_FALSE(empty.contains("curves")) << "drawings without curves are written as they always were";
}

// Lines beyond one block of the writer's are formatted on several threads: each comes out once, in
// order, with its own provenance, and the progress is told as the blocks go.
TEST(DrawingJson, ManyLinesInOrder) {
    constexpr std::uint32_t kLines = 70001;
    Drawing drawing;
    drawing.provenance = true;
    drawing.partNames = {"a", "b"};
    for (std::uint32_t i = 0; i < kLines; ++i)
        drawing.lines.push_back({{{double(i), -1.0 / (i + 1)}, {i + 0.5, 0}},
                                 static_cast<std::int32_t>(i % 4),
                                 0,
                                 {{i % 2, {i, i + 1}, KvHLR::LineSource::kNone}}});
    double told = 0;
    const auto doc = nlohmann::json::parse(written(
        [&](std::ostream& out) { writeDrawingJson(out, drawing, [&](double share) { told = share; }); }));
    EXPECT_GT(told, 0.9);
    ASSERT_EQ(doc["lines"].size(), kLines);
    for (std::uint32_t i = 0; i < kLines; ++i) {
        const auto& line = doc["lines"][i];
        ASSERT_EQ(line["points"][0][0].get<double>(), i);
        ASSERT_EQ(line["points"][0][1].get<double>(), -1.0 / (i + 1));
        ASSERT_EQ(line["kind"].get<std::uint32_t>(), i % 4);
        ASSERT_EQ(line["body"].get<std::uint32_t>(), i % 2);
        ASSERT_EQ(line["edges"][0][1].get<std::uint32_t>(), i + 1);
    }
    EXPECT_EQ(doc["bodies"], (std::vector<std::string>{"a", "b"}));
}

TEST(DxfWriter, ExactPointsDotsTextsAndOneLineTypePerDashPattern) {
    Page page = samplePage();
    page.layers[2].pen.dashMm = {3, 0.75};
    const kvhlrtest::DxfDocument doc = kvhlrtest::readDxf(written([&](std::ostream& out) { writeDxf(out, page); }));
    EXPECT_EQ(doc.sections, (std::vector<std::string>{"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"}));
    EXPECT_TRUE(doc.endsWithEof);
    // LibreCAD knows line types by name only: the 3.75 mm pattern is named after its 3 mm HIDDEN2, and
    // the table holds the pen's own pattern for every other program.
    EXPECT_EQ(doc.layers.at("1-front-hidden").lineType, "HIDDEN2");
    EXPECT_EQ(doc.layers.at("2-top-silhouettes").lineType, "HIDDEN2") << "the same pattern, the same type";
    EXPECT_EQ(doc.lineTypePatterns.size(), 1u);
    EXPECT_EQ(doc.lineTypePatterns.at("HIDDEN2"), (std::vector<double>{3, -0.75}));
    ASSERT_EQ(doc.polylines.size(), 4u);
    EXPECT_EQ(doc.polylines[1].points, (std::vector<std::pair<double, double>>{{1.0 / 3, 50}, {60, 50}}));
    EXPECT_EQ(doc.polylines[2].points, (std::vector<std::pair<double, double>>{{70, 70}, {70, 70}}))
        << "a dot is a polyline of two equal points";
    ASSERT_EQ(doc.texts.size(), 1u);
    EXPECT_EQ(doc.texts[0].text, "Part <A> & \"B\" ^  \\U+00FCber");
}

// Arcs run counter-clockwise from their start angle in DXF, as on the page; a circle needs no angles, an
// ellipse gives its major axis and the minor's share of it.
TEST(DxfWriter, CurvesAsCircleArcAndEllipse) {
    const kvhlrtest::DxfDocument doc =
        kvhlrtest::readDxf(written([&](std::ostream& out) { writeDxf(out, samplePage()); }));
    ASSERT_EQ(doc.curves.size(), 3u);
    const auto& arc = doc.curves[0];
    EXPECT_EQ(arc.type, "ARC");
    EXPECT_EQ(arc.layer, "1-front-hidden");
    EXPECT_EQ(arc.values, (std::map<int, double>{{10, 50}, {20, 50}, {30, 0}, {40, 10}, {50, 0}, {51, 90}}));
    EXPECT_EQ(doc.curves[1].type, "CIRCLE");
    EXPECT_EQ(doc.curves[1].values.count(50), 0u);
    const auto& ellipse = doc.curves[2];
    EXPECT_EQ(ellipse.type, "ELLIPSE");
    EXPECT_NEAR(ellipse.values.at(11), 20 * std::cos(M_PI / 6), 1e-12);
    EXPECT_NEAR(ellipse.values.at(21), 10.0, 1e-12);
    EXPECT_EQ(ellipse.values.at(40), 0.5);
    EXPECT_EQ(ellipse.values.at(42), M_PI);
}

// Colours take the nearest of the palette's 255 indexes (orange is not yellow, navy not black), and a
// dash-dot pattern a dash-dot line type's name.
TEST(DxfWriter, NearestColourIndexAndLineTypeOfTheSameShape) {
    Page page = samplePage();
    page.layers[0].pen.dashMm = {6, 1.5, 0.5, 1.5};
    const std::pair<const char*, int> colors[] = {
        {"#ff8000", 30}, {"#000080", 174}, {"#a55252", 13}, {"#606060", 251}, {"#000000", 7}, {"#00ff00", 3}};
    for (const auto& [color, index] : colors) {
        page.layers[1].pen.color = color;
        const auto doc = kvhlrtest::readDxf(written([&](std::ostream& out) { writeDxf(out, page); }));
        EXPECT_EQ(doc.layers.at("2-front-silhouettes").color, index) << color;
        EXPECT_EQ(doc.layers.at("1-front-hidden").lineType, "DASHDOT2");
    }
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

TEST(SvgWriter, PointsWithYDownAndEscapedTexts) {
    const std::string svg = written([&](std::ostream& out) { writeSvg(out, samplePage()); });
    // y is measured from the top: (20, 20) on a page 210 high is written 20,190.
    EXPECT_NE(svgGroup(svg, "front-hidden").find("points=\"10,200 20,200 20,190\""), std::string::npos);
    EXPECT_EQ(count(svg, "<polyline"), 4u);
    // The quarter circle from (60, 50) to (50, 60) turns counter-clockwise on the page: with y down, a
    // negative sweep. A whole circle is two half turns.
    EXPECT_NE(svgGroup(svg, "front-hidden").find("d=\"M60,160 A10,10 -0 0,0 50,150\""), std::string::npos) << svg;
    EXPECT_EQ(count(svgGroup(svg, "front-silhouettes"), " A5,5 "), 2u);
    EXPECT_NE(svgGroup(svg, "title").find(">Part &lt;A&gt; &amp; &quot;B&quot; ^ über</text>"), std::string::npos);
}

// Saving a large drawing tells its progress often, in shares that never go back, and a hook that throws
// stops it at once in every format and step (dash cutting, plotter order, writing, a PDF's compression),
// leaving the existing file as it was and nothing else.
TEST(SaveDrawing, ProgressNeverGoesBackAndAThrowStopsEveryStep) {
    Drawing drawing;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> at(-1.0, 1.0), step(-0.003, 0.003); // dashes of about 1 mm
    for (int i = 0; i < 40000; ++i) {
        const double x = at(random), y = at(random);
        drawing.lines.push_back({{{x, y}, {x + step(random), y + step(random)}}, i % 3 ? Hidden : OtherVisible});
    }
    struct Stop {};
    kvhlrtest::TempDir dir;
    for (const char* name : {"d.svg", "d.dxf", "d.pdf", "d.json"}) {
        const std::string path = dir.path(name);
        std::vector<double> shares;
        saveDrawing(drawing, path, HiddenDashes::Segments, [&](double share) { shares.push_back(share); });
        dir.write(name, "old");
        ASSERT_GE(shares.size(), 8u) << name;
        EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end())) << name;
        EXPECT_LE(shares.back(), 1.0) << name;
        // The last reports of a PDF come from its compression.
        const std::size_t last = shares.size() - 1;
        for (std::size_t stopAt : {std::size_t{0}, last / 4, last / 2, 3 * last / 4, last}) {
            std::size_t told = 0;
            EXPECT_THROW(saveDrawing(drawing, path, HiddenDashes::Segments,
                                     [&](double) {
                                         if (told++ == stopAt)
                                             throw Stop();
                                     }),
                         Stop)
                << name << " " << stopAt;
            EXPECT_EQ(told, stopAt + 1) << name << ": no report after the stop";
            EXPECT_TRUE(kvhlrtest::readFile(path) == "old") << name << " " << stopAt;
        }
        EXPECT_EQ(dir.entries().size(), 1u) << name;
        std::filesystem::remove(path);
    }
}

} // namespace
