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
#include <cstdio>
#include <iostream>
#include <new>

namespace kvhlr {
namespace {

void say(const std::string& message) {
    std::fprintf(stderr, "kvhlr: %s\n", message.c_str());
}

std::vector<MeshPart> loadModel(const Options& options) {
    if (options.demo)
        return demoPart();
    std::vector<MeshPart> parts = readMeshFile(options.input, options.bodies, interruptRequested);
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

// Runs the library; false when the run was interrupted.
bool draw(const Options& options, std::vector<MeshPart>&& parts, Drawing& drawing) {
    if (options.threads > 0) {
        omp_set_num_threads(options.threads);   // the parallel hide loop
        Kv::SetProcessorLimit(options.threads); // the window-query tree's builders
    }
    KvHLR::HLRPolyAlgo::setExactHiding(options.exactHiding);
    const KvHLR::MeshList meshes = toMeshList(std::move(parts));
    enableProgressBar(!options.quiet && (options.forceProgress || isatty(STDERR_FILENO)));
    const bool completed =
        KvHLR::CalcSilhouette(criteria(options), drawing.camera, meshes, {}, drawing.lines, reportProgress);
    finishProgressBar();
    if (completed && !allFinite(drawing.lines))
        throw std::runtime_error("the drawing holds coordinates that are not finite numbers");
    return completed && !interruptRequested();
}

void write(const Options& options, const Drawing& drawing) {
    AtomicFile file(options.output);
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
    if (interruptRequested())
        throw Cancelled();
    file.commit();
}

int run(int argc, const char* const* argv) {
    const std::optional<Options> options = parseOptions(argc, argv, std::cout);
    if (!options)
        return kExitOk;
    AtomicFile::checkTarget(options->output); // before the work, not after it
    std::vector<MeshPart> parts = loadModel(*options);
    Drawing drawing;
    drawing.camera = camera(*options, parts);
    if (interruptRequested() || !draw(*options, std::move(parts), drawing))
        throw Cancelled();
    write(*options, drawing);
    return kExitOk;
}

} // namespace

int runTool(int argc, const char* const* argv) {
    try {
        return run(argc, argv);
    } catch (const InputError& error) {
        say(error.what());
        return kExitBadInput;
    } catch (const Cancelled&) {
        finishProgressBar();
        say("interrupted; nothing written");
        return kExitInterrupted;
    } catch (const std::bad_alloc&) {
        say("out of memory");
        return kExitFailure;
    } catch (const std::exception& error) {
        say(std::string("failed: ") + error.what());
        return kExitFailure;
    }
}

} // namespace kvhlr
