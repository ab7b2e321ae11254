#include "cli/Tool.h"

#include "cli/Options.h"
#include "cli/Progress.h"
#include "host/KvCore.h"
#include "kit/AtomicFile.h"
#include "kit/CameraFile.h"
#include "kit/CameraFit.h"
#include "kit/DemoPart.h"
#include "kit/DrawMesh.h"
#include "kit/DrawingFile.h"
#include "kit/InputError.h"
#include "kit/MeshFile.h"

#include <omp.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
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

bool allFinite(const std::vector<KvHLR::StrokeLine>& lines) {
    for (const KvHLR::StrokeLine& line : lines)
        for (const ON_2dPoint& p : line.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                return false;
    return true;
}

Drawing draw(const Options& options, std::vector<MeshPart>&& parts, const KvHLR::ViewInfoCriteria& camera) {
    if (options.threads > 0) {
        omp_set_num_threads(options.threads);   // the parallel hide loop
        Kv::SetProcessorLimit(options.threads); // the window-query tree's builders
    }
    DrawOptions drawOptions;
    drawOptions.hidden = options.hidden;
    drawOptions.silhouettes = options.silhouettes;
    drawOptions.sharp = options.sharp;
    drawOptions.sharpAngle = options.sharpAngle;
    drawOptions.separateBodyFaces = options.separateFaces;
    drawOptions.exact = options.exactHiding;
    drawOptions.progress = [](double share) {
        showFraction(share);
        return true;
    };
    showStage("drawing", StageMeasure::Share);
    Drawing drawing = drawParts(std::move(parts), camera, drawOptions);
    if (!allFinite(drawing.lines))
        throw std::runtime_error("the drawing holds coordinates that are not finite numbers");
    return drawing;
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
    const KvHLR::ViewInfoCriteria view = camera(*options, parts);
    const Drawing drawing = draw(*options, std::move(parts), view);
    showStage("writing " + options->output, StageMeasure::TimeOnly);
    writeDrawing(file.stream(), drawing, options->format, options->dashes);
    file.commit();
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
