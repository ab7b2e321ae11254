#include "cli/Tool.h"

#include "Hlr/HLRPolyAlgo.h"
#include "api/CalcSilhouette.h"
#include "cli/AtomicFile.h"
#include "cli/CameraFile.h"
#include "cli/CameraFit.h"
#include "cli/DemoPart.h"
#include "cli/DrawingJson.h"
#include "cli/DxfWriter.h"
#include "cli/InputError.h"
#include "cli/MeshFile.h"
#include "cli/Options.h"
#include "cli/Progress.h"
#include "cli/SvgWriter.h"
#include "host/KvCore.h"

#include <omp.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <new>
#include <stdexcept>

namespace kvhlr {
namespace {

void say(const std::string& message) {
    std::fprintf(stderr, "kvhlr: %s\n", message.c_str());
}

std::vector<MeshPart> loadModel(const Options& options) {
    if (options.demo)
        return demoPart();
    showStage("reading " + options.input, StageMeasure::ShareAndEstimate);
    std::vector<MeshPart> parts = readMeshFile(options.input, options.bodies, showFraction);
    if (triangleCount(parts) == 0)
        say("warning: " + options.input + ": the file holds no triangles; the drawing is empty");
    return parts;
}

CameraRequest cameraRequest(const Options& options) {
    CameraRequest request;
    if (options.eye)
        request.direction =
            lookDirection(*options.eye, *options.target,
                          options.up ? *options.up : namedViewDirection("front", options.upAxis).up);
    else
        request.direction = namedViewDirection(options.view, options.upAxis);
    request.perspectiveFovDegrees = options.perspectiveFov;
    return request;
}

KvHLR::ViewInfoCriteria camera(const Options& options, const std::vector<MeshPart>& parts) {
    if (!options.cameraFile.empty()) {
        KvHLR::ViewInfoCriteria given = readCameraFile(options.cameraFile);
        checkCamera(given, parts, options.cameraFile);
        return given;
    }
    const KvHLR::ViewInfoCriteria fitted = fitCamera(cameraRequest(options), parts);
    // Fitting puts the whole model in front of the camera; the check keeps a fitting slip from ever
    // reaching the library as a broken drawing.
    checkCamera(fitted, parts, options.demo ? "--demo" : options.input);
    return fitted;
}

KvHLR::ProjectorCriteria criteria(const Options& options) {
    KvHLR::ProjectorCriteria criteria;
    criteria.showSilhouette = options.silhouettes;
    criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = options.sharp;
    criteria.showHiddenLine = options.hidden;
    criteria.separateBodyFaces = options.separateFaces;
    criteria.sharpEdgeAngle = options.sharpAngle;
    return criteria;
}

bool allFinite(const std::vector<KvHLR::StrokeLine>& lines) {
    for (const KvHLR::StrokeLine& line : lines)
        for (const ON_2dPoint& p : line.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                return false;
    return true;
}

// Runs the library.
void draw(const Options& options, std::vector<MeshPart>&& parts, Drawing& drawing) {
    if (options.threads > 0) {
        omp_set_num_threads(options.threads);   // the parallel hide loop
        Kv::SetProcessorLimit(options.threads); // the window-query tree's builders
    }
    KvHLR::HLRPolyAlgo::setExactHiding(options.exactHiding);
    const KvHLR::MeshList meshes = toMeshList(std::move(parts));
    showStage("drawing", StageMeasure::Share);
    if (!KvHLR::CalcSilhouette(criteria(options), drawing.camera, meshes, {}, drawing.lines, reportProgress))
        throw std::runtime_error("the library stopped the drawing");
    if (!allFinite(drawing.lines))
        throw std::runtime_error("the drawing holds coordinates that are not finite numbers");
}

void write(const Options& options, const Drawing& drawing, AtomicFile& file) {
    showStage("writing " + options.output, StageMeasure::TimeOnly);
    switch (options.format) {
    case OutputFormat::Svg:
        writeSvg(file.stream(), drawing, options.dashes);
        break;
    case OutputFormat::Dxf:
        writeDxf(file.stream(), drawing);
        break;
    case OutputFormat::Json:
        writeDrawingJson(file.stream(), drawing);
        break;
    }
    file.commit();
}

// Refuses an output that would replace the input, also when a link or a second name leads to it.
void checkOutputIsNotInput(const Options& options) {
    std::error_code error;
    if (!options.demo && std::filesystem::equivalent(options.input, options.output, error))
        throw InputError(options.output, "is the input file; give the drawing another name");
}

int run(int argc, const char* const* argv) {
    const std::optional<Options> options = parseOptions(argc, argv, std::cout);
    if (!options)
        return kExitOk;
    checkOutputIsNotInput(*options);
    // Created before the work, so that an output that cannot be written is reported at once; a stop
    // removes it.
    AtomicFile file(options->output);
    removeOnStop(file.temporaryPath());
    if (!options->quiet && (options->forceProgress || isatty(STDERR_FILENO)))
        startProgressDisplay();
    std::vector<MeshPart> parts = loadModel(*options);
    Drawing drawing;
    drawing.camera = camera(*options, parts);
    draw(*options, std::move(parts), drawing);
    write(*options, drawing, file);
    removeOnStop("");
    stopProgressDisplay();
    return kExitOk;
}

} // namespace

int runTool(int argc, const char* const* argv) {
    try {
        return run(argc, argv);
    } catch (const InputError& error) {
        stopProgressDisplay();
        say(error.what());
        return kExitBadInput;
    } catch (const std::bad_alloc&) {
        stopProgressDisplay();
        say("out of memory");
        return kExitFailure;
    } catch (const std::exception& error) {
        stopProgressDisplay();
        say(std::string("failed: ") + error.what());
        return kExitFailure;
    }
}

} // namespace kvhlr
