// Drawings of every kind made at once on several threads, each coming out as it does alone: the
// kit's drawings take turns in the library, and what they do around it (reading a CAD file, cutting
// and hatching a section, finding parts, laying out a sheet, writing it) runs side by side. The
// ThreadSanitizer build runs it too, to find what two of them share without a lock.

#include "Scenes.h"
#include "kit/camera/CameraChoice.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/DemoPart.h"
#include "kit/mesh/MeshFile.h"
#include "kit/output/DrawingFile.h"
#include "kit/sheet/Sheet.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kvhlr;

std::string written(OutputFormat format, const Drawing& drawing, const std::vector<Page>& pages = {}) {
    std::ostringstream out;
    writeDrawingFile(out, format, drawing, pages, "drawing");
    return out.str();
}

KvHLR::ViewInfoCriteria viewOf(const std::string& name, const std::vector<MeshPart>& parts,
                               UpAxis upAxis = UpAxis::Y) {
    CameraChoice choice;
    choice.view = name;
    choice.upAxis = upAxis;
    return placeCamera(choice, parts);
}

// Every drawing reports its progress: the hook the kit forwards the library's reports to.
DrawOptions reporting(DrawOptions options) {
    options.progress = [](double share) { return share >= 0.0; };
    return options;
}

// A box pushed halfway into a sphere, as a triangle soup: hidden lines and an intersection line.
std::string plainSoup(bool exact) {
    KvHLR::Polygon3D soup = KvHLRTest::sphere(12, 24);
    KvHLRTest::append(soup, KvHLRTest::box(ON_3dPoint(0.5, -0.4, -0.4), ON_3dPoint(1.8, 0.4, 0.4)));
    DrawOptions options;
    options.hidden = true;
    options.exact = exact;
    return written(OutputFormat::Json,
                   drawMesh(std::move(soup), KvHLRTest::isometric(ON_3dPoint(0.5, 0, 0)), reporting(options)));
}

SectionPlane demoSection(const std::vector<MeshPart>& parts) {
    return sectionPlane({"x=0", {}, {}, {}}, UpAxis::Y, parts);
}

std::string section() {
    std::vector<MeshPart> parts = demoPart();
    DrawOptions options;
    options.section = demoSection(parts);
    CameraRequest request;
    request.direction = sectionViewDirection(*options.section, UpAxis::Y);
    const KvHLR::ViewInfoCriteria camera = fitCamera(request, parts);
    return written(OutputFormat::Json, drawParts(std::move(parts), camera, reporting(options)));
}

std::string cadModel() {
    std::vector<MeshPart> parts = readMeshFile(KVHLR_MODELS "/bracket.step", true, [](double) {});
    const KvHLR::ViewInfoCriteria camera = viewOf("iso", parts, UpAxis::Z);
    DrawOptions options;
    options.hidden = options.tangentEdges = options.partLayers = true;
    const Drawing drawing = drawParts(std::move(parts), camera, reporting(options));
    std::string names;
    for (const std::string& name : drawing.partNames)
        names += name + "\n";
    return names + written(OutputFormat::Svg, drawing, {drawingPage(drawing)});
}

// An A3 sheet of the demo part's front, top and section views, as a DXF in plotter order (a PDF would
// hold the time it was written).
std::string sheet() {
    const std::vector<MeshPart> parts = demoPart();
    const SectionPlane plane = demoSection(parts);
    std::vector<SheetView> views;
    for (const char* name : {"front", "top", "section-A"}) {
        DrawOptions options;
        KvHLR::ViewInfoCriteria camera;
        if (sectionLetter(name)) {
            options.section = plane;
            CameraRequest request;
            request.direction = sectionViewDirection(plane, UpAxis::Y);
            camera = fitCamera(request, parts);
        } else {
            camera = viewOf(name, parts);
        }
        views.push_back({name, drawParts(std::vector<MeshPart>(parts), camera, reporting(options)), {}, {}});
    }
    markSection(views, plane, UpAxis::Y);
    SheetOptions options;
    options.paper = paperNamed("A3");
    Page page = layoutSheet(views, options);
    finishPage(page, HiddenDashes::Segments, true, [](double) {});
    return written(OutputFormat::Dxf, views.front().drawing, {page});
}

TEST(DrawingThreads, EveryKindOfDrawingAtOnceComesOutAsAlone) {
    const std::vector<std::function<std::string()>> jobs = {
        [] { return plainSoup(true); }, [] { return plainSoup(false); }, section, sheet,
        readsCadFiles() ? cadModel : section};
    std::vector<std::string> alone;
    for (const auto& job : jobs)
        alone.push_back(job());
    std::vector<std::vector<std::string>> together(jobs.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 2; ++round)
                try {
                    together[i].push_back(jobs[i]());
                } catch (const std::exception& error) {
                    together[i].push_back(error.what());
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < jobs.size(); ++i) // not EXPECT_EQ: it would print whole files
        EXPECT_TRUE(together[i] == std::vector<std::string>(2, alone[i])) << "job " << i;
}

} // namespace
