#include "cli/Tool.h"

#include "cli/Options.h"
#include "cli/Progress.h"
#include "host/KvCore.h"
#include "kit/InputError.h"
#include "kit/InputFile.h"
#include "kit/camera/CameraFile.h"
#include "kit/camera/CameraFit.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/DemoPart.h"
#include "kit/mesh/MeshFile.h"
#include "kit/output/AtomicFile.h"
#include "kit/output/DrawingFile.h"
#include "kit/sheet/PenOrder.h"
#include "kit/sheet/Sheet.h"
#include "kit/sheet/SheetViews.h"

#include <omp.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>
#include <stdexcept>

namespace kvhlr {
namespace {

void say(const std::string& message) {
    std::fprintf(stderr, "kvhlr: %s\n", message.c_str());
}

// What --timings reports: the seconds spent reading models, drawing them (the drawing kit and the
// library) and laying out and writing the drawings, summed over the run.
struct Timings {
    using Clock = std::chrono::steady_clock;
    double reading = 0.0;
    double drawing = 0.0;
    double writing = 0.0;
    Clock::time_point start = Clock::now();

    // Runs work and adds its time to `total`.
    template <class Work> auto timed(double& total, Work&& work) {
        const Clock::time_point begin = Clock::now();
        struct Add {
            double& total;
            Clock::time_point begin;
            ~Add() { total += std::chrono::duration<double>(Clock::now() - begin).count(); }
        } add{total, begin};
        return work();
    }

    void report() const {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr,
                     "{\"reading_s\": %.4f, \"drawing_s\": %.4f, \"writing_s\": %.4f, \"whole_s\": %.4f, "
                     "\"peak_mb\": %.1f}\n",
                     reading, drawing, writing, std::chrono::duration<double>(Clock::now() - start).count(),
                     static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
};

// A file of our own in the temporary folder, removed when it goes out of scope or the run is stopped.
class ScratchFile {
public:
    ScratchFile(const std::string& suffix, StopFile role)
        : m_path(created(suffix)), m_removedOnStop(m_path, role) {}
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    static std::string created(const std::string& suffix) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvhlr-XXXXXX").string() + suffix;
        const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
        if (fd < 0)
            throw InputError(pattern, "cannot create a temporary file");
        close(fd);
        return pattern;
    }

    std::string m_path;
    RemovedOnStop m_removedOnStop;
};

// How CAD files are read: as the options say, with their warnings on standard error.
CadReading cadReading(const Options& options) {
    CadReading cad = options.cad;
    cad.threads = options.threads;
    cad.warning = [](const std::string& message) { say("warning: " + message); };
    return cad;
}

// Standard input, copied to a file for the mesh reader, which needs to seek; its type comes from
// --input-format or, without it, from its content.
std::vector<MeshPart> readStandardInput(const Options& options) {
    if (std::cin.peek() == std::istream::traits_type::eof())
        throw InputError("", "standard input is empty: pipe a mesh file into it");
    ScratchFile copy(options.inputFormat.empty() ? "" : "." + options.inputFormat, StopFile::Input);
    {
        std::ofstream out(copy.path(), std::ios::binary);
        out << std::cin.rdbuf();
        if (!out.flush())
            throw InputError("standard input", "cannot copy it to " + copy.path());
    }
    try {
        return readMeshFile(copy.path(), options.bodies, showFraction, cadReading(options));
    } catch (const InputError& error) {
        std::string reason = error.reason();
        for (std::size_t at; (at = reason.find(copy.path())) != std::string::npos;)
            reason.replace(at, copy.path().size(), "standard input");
        throw InputError("standard input",
                         reason +
                             (options.inputFormat.empty() ? " (give its type with --input-format)" : ""));
    }
}

std::vector<MeshPart> loadModel(const Options& options, const std::string& input) {
    if (options.demo)
        return demoPart();
    const std::string shown = input == kStandardStream ? "standard input" : input;
    showStage((isCadFile(input) ? "reading and tessellating " : "reading ") + shown,
              StageMeasure::ShareAndEstimate);
    std::vector<MeshPart> parts =
        input == kStandardStream ? readStandardInput(options)
                                 : readMeshFile(input, options.bodies, showFraction, cadReading(options));
    if (triangleCount(parts) == 0)
        say("warning: " + shown + ": the file holds no triangles; the drawing is empty");
    return parts;
}

// What the kit plans the views of a sheet (or the one view) from: the options, a camera file and the
// cutting plane placed on this model.
ViewsChoice viewsChoice(const Options& options, const std::vector<MeshPart>& parts) {
    ViewsChoice choice;
    choice.views = options.views;
    choice.camera = options.camera;
    if (!options.cameraFile.empty()) {
        choice.given = readCameraFile(options.cameraFile);
        checkCamera(*choice.given, parts, options.cameraFile);
    }
    if (options.section)
        choice.section = sectionPlane(*options.section, options.camera.upAxis, parts);
    choice.sectionFacing = options.sectionFacing;
    return choice;
}

bool allFinite(const std::vector<KvHLR::StrokeLine>& lines) {
    for (const KvHLR::StrokeLine& line : lines)
        for (const ON_2dPoint& p : line.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                return false;
    return true;
}

Drawing draw(const Options& options, std::vector<MeshPart>&& parts, const KvHLR::ViewInfoCriteria& camera,
             const std::optional<SectionPlane>& section, Timings& timings) {
    DrawOptions drawOptions = options.draw;
    drawOptions.section = section;
    if (section)
        drawOptions.hidden = options.sectionHidden;
    drawOptions.progress = [](double share) {
        showFraction(share);
        return true;
    };
    Drawing drawing =
        timings.timed(timings.drawing, [&] { return drawParts(std::move(parts), camera, drawOptions); });
    if (!allFinite(drawing.lines))
        throw std::runtime_error("the drawing holds coordinates that are not finite numbers");
    return drawing;
}

// Every view of the sheet, as the kit plans them.
std::vector<SheetView> drawViews(const Options& options, std::vector<MeshPart>&& parts,
                                 const std::string& subject, Timings& timings) {
    const ViewsChoice choice = viewsChoice(options, parts);
    const std::vector<PlannedView> plan = planViews(choice, parts, subject);
    if (options.format != OutputFormat::Json)
        checkViewsFit(plan, choice, options.sheet, parts);
    std::vector<SheetView> views;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        showStage(plan.size() > 1 ? "drawing " + options.views[i] + " view" : "drawing", StageMeasure::Share);
        std::vector<MeshPart> copy;
        if (i + 1 < plan.size())
            copy = parts;
        views.push_back({plan[i].name,
                         draw(options, std::move(i + 1 < plan.size() ? copy : parts), plan[i].camera,
                              plan[i].cut ? choice.section : std::nullopt, timings),
                         {},
                         {}});
        for (const std::string& note : views.back().drawing.notes)
            say("warning: " + subject + ": " + note);
    }
    markPlannedSection(views, choice);
    return views;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// Refuses an output that would replace an input, also when a link or a second name leads to it.
void checkOutputsAreNotInputs(const Options& options) {
    for (const std::string& input : options.inputs)
        for (const std::string& output : options.outputs) {
            std::error_code error;
            if (input != kStandardStream && output != kStandardStream &&
                std::filesystem::equivalent(input, output, error))
                throw InputError(output, "is the input file; give the drawing another name");
        }
}

// What one model becomes: the JSON drawing, or a finished page.
struct Result {
    Drawing drawing;
    std::vector<Page> pages; // none for JSON
};

// The options for one model: the sheet's scale true to the model's unit, and CAD files, named or on
// standard input, drawn z up unless --up-axis says otherwise.
Options optionsFor(const Options& given, const std::vector<MeshPart>& parts) {
    Options options = given;
    options.sheet.unitMm = pointUnitMm(parts, given.unitMm);
    if (fromCadFile(parts) && given.cadZUp)
        options.camera.upAxis = UpAxis::Z;
    return options;
}

std::string subjectOf(const Options& options, const std::string& input) {
    return options.demo ? "--demo" : input == kStandardStream ? "standard input" : input;
}

Result drawModel(const Options& given, const std::string& input, Timings& timings) {
    std::vector<MeshPart> parts = timings.timed(timings.reading, [&] { return loadModel(given, input); });
    const Options options = optionsFor(given, parts);
    const std::string subject = subjectOf(options, input);
    std::vector<SheetView> views = drawViews(options, std::move(parts), subject, timings);
    Result result;
    if (options.format == OutputFormat::Json) {
        result.drawing = std::move(views.front().drawing);
        if (options.plotterOrder) {
            const Box2 bounds = drawingBounds(result.drawing);
            orderForPlotter(result.drawing.lines, ON_2dPoint(bounds.minX, bounds.minY));
        }
        return result;
    }
    showStage("laying out the page", StageMeasure::TimeOnly);
    SheetOptions sheet = options.sheet;
    sheet.modelName = modelName(options.demo ? "" : input);
    sheet.date = today();
    result.pages = {layoutSheet(views, sheet)};
    if (options.fitArcsMm)
        fitArcs(result.pages.front(), *options.fitArcsMm,
                options.fittedCentreMarks ? std::optional<Pen>(sheet.style.penOf(CentreLine)) : std::nullopt);
    finishPage(result.pages.front(), options.dashes, options.plotterOrder);
    return result;
}

void toStandardOutput(const std::string& text) {
    std::cout << text << std::flush;
    if (!std::cout)
        throw InputError("standard output", "cannot be written");
}

// Draws one model (of index i); the drawing is put in place as soon as it is done, or its page kept
// in `pages` for the one PDF that takes the pages of every model.
void drawOne(const Options& options, const std::vector<std::string>& models, std::size_t i,
             std::vector<Page>& pages, Timings& timings) {
    const std::string& output = options.outputs.size() == 1 ? options.outputs[0] : options.outputs[i];
    if (options.format == OutputFormat::Pdf && options.outputs.size() == 1 && i + 1 < models.size()) {
        pages.push_back(std::move(drawModel(options, models[i], timings).pages.front()));
        return;
    }
    // Draws the model and writes it to `out`, with the pages kept before it; `finish` puts it in place.
    const auto drawAndWrite = [&](std::ostream& out, const std::string& name, const auto& finish) {
        Result result = drawModel(options, models[i], timings);
        pages.insert(pages.end(), std::make_move_iterator(result.pages.begin()),
                     std::make_move_iterator(result.pages.end()));
        showStage("writing " + name,
                  options.format == OutputFormat::Json ? StageMeasure::TimeOnly : StageMeasure::Share);
        timings.timed(timings.writing, [&] {
            writeDrawingFile(out, options.format, result.drawing, pages, name, showFraction);
            finish();
        });
        pages.clear();
    };
    if (output == kStandardStream) {
        std::ostringstream text;
        drawAndWrite(text, "standard output", [&] { toStandardOutput(text.str()); });
        return;
    }
    // Created before the work, so that a stop removes it, and the folders made for it.
    AtomicFile file(output, MissingFolders::Make);
    const RemovedOnStop removedOnStop(file.temporaryPath());
    const FoldersRemovedOnStop foldersRemovedOnStop(file.madeFolders());
    drawAndWrite(file.stream(), output, [&] { file.commit(); });
}

// The kit's error named as the user gave the option: the kit calls a cutting plane "section" however it
// was chosen, and the user chose it with --section, --section-point and --section-normal, or --plan.
InputError asGiven(const InputError& error, const Options& options) {
    if (error.parameter() == "section" && options.section && options.section->named.empty())
        return asOption(InputError::ofParameter(options.section->planHeight ? "plan" : "section_point",
                                                error.reason()));
    return asOption(error);
}

// The error of one model, naming the model (in a batch) and the inputs left undrawn from `first` on.
InputError batchError(const InputError& error, const Options& options, const std::vector<std::string>& models,
                      std::size_t model, std::size_t first) {
    InputError named = asGiven(error, options);
    if (models.size() == 1)
        return named;
    std::string reason = named.reason();
    if (named.subject() != models[model])
        reason = subjectOf(options, models[model]) + ": " + reason;
    if (first < models.size()) {
        reason += "; not drawn: ";
        for (std::size_t k = first; k < models.size(); ++k)
            reason += (k > first ? ", " : "") + subjectOf(options, models[k]);
    }
    return InputError(named.subject(), reason);
}

// A section of a batch: each model read, its cutting plane placed and checked against its views, and let
// go, before the first drawing, so that a plane that misses a later model stops the run before it draws
// anything. Standard input, which cannot be read twice, is checked when it is drawn.
void checkBatchSections(const Options& options, const std::vector<std::string>& models, Timings& timings) {
    if (!options.section || models.size() < 2)
        return;
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (models[i] == kStandardStream)
            continue;
        try {
            const std::vector<MeshPart> parts =
                timings.timed(timings.reading, [&] { return loadModel(options, models[i]); });
            const Options modelOptions = optionsFor(options, parts);
            planViews(viewsChoice(modelOptions, parts), parts, subjectOf(modelOptions, models[i]));
        } catch (const InputError& error) {
            throw batchError(error, options, models, i, 0);
        }
    }
}

// Draws one model after the other. A bad input stops the run with the drawings before it kept, and
// names those left undrawn.
void drawAll(const Options& options, Timings& timings) {
    const std::vector<std::string> models = options.demo ? std::vector<std::string>{""} : options.inputs;
    checkBatchSections(options, models, timings);
    std::vector<Page> pages;
    for (std::size_t i = 0; i < models.size(); ++i) {
        try {
            drawOne(options, models, i, pages, timings);
        } catch (const InputError& error) {
            throw batchError(error, options, models, i, i + 1);
        }
    }
}

int run(int argc, const char* const* argv) {
    const std::optional<Options> options = parseOptions(argc, argv, std::cout);
    if (!options)
        return kExitOk;
    for (const std::string& warning : options->warnings)
        say("warning: " + warning);
    checkOutputsAreNotInputs(*options);
    // Every input too, so that a batch does not stop at a missing one halfway.
    for (const std::string& input : options->inputs)
        if (input != kStandardStream)
            checkReadableFile(input, "mesh file");
    // Every output is tried before the work, so that one that cannot be written is reported at once; the
    // folders it needs are made and removed again.
    for (const std::string& output : options->outputs)
        if (output != kStandardStream)
            AtomicFile probe(output, MissingFolders::Make);
    if (options->threads > 0) {
        omp_set_num_threads(options->threads);   // the parallel hide loop
        Kv::SetProcessorLimit(options->threads); // the window-query tree's builders
    }
    if (!options->quiet && (options->forceProgress || isatty(STDERR_FILENO)))
        startProgressDisplay();
    Timings timings;
    drawAll(*options, timings);
    stopProgressDisplay();
    if (options->timings)
        timings.report();
    return kExitOk;
}

} // namespace

int runTool(int argc, const char* const* argv) {
    try {
        return run(argc, argv);
    } catch (const InputError& error) {
        stopProgressDisplay();
        say(asOption(error).what());
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
