#include "python/Sheets.h"

#include "python/FileError.h"
#include "python/Interpreter.h"
#include "python/SheetKeywords.h"

#include "kit/InputError.h"
#include "kit/sheet/PenOrder.h"
#include "kit/sheet/SheetViews.h"

#include <algorithm>
#include <optional>
#include <sstream>

namespace kvhlr::python {
namespace {

// What the sheet's views are drawn from: the drawing's source, with hidden lines and part layers as
// the keywords ask.
std::shared_ptr<const Source> sheetSource(const PyDrawing& drawing, const SheetKeywords& keywords) {
    const Source& source = *drawing.source;
    const bool hidden = keywords.hidden.value_or(source.options.hidden);
    const bool partLayers = keywords.partLayers.value_or(source.options.partLayers);
    if (hidden == source.options.hidden && partLayers == source.options.partLayers)
        return drawing.source;
    if (partLayers && !source.parts)
        throw py::value_error("layers: only a Model (load_model) has parts");
    auto changed = std::make_shared<Source>(source);
    changed->options.hidden = hidden;
    changed->options.partLayers = partLayers;
    return changed;
}

// The views of the sheet: the drawing itself (drawn again if the keywords change what it shows), or
// each named view drawn again from the drawing's source, as kvhlr draws --views.
std::vector<SheetView> sheetViews(const PyDrawing& drawing, const SheetKeywords& keywords,
                                  const SheetOptions& sheet) {
    const std::shared_ptr<const Source> source = sheetSource(drawing, keywords);
    if (keywords.views.empty())
        return {{"",
                 source == drawing.source ? *drawing.drawing
                                          : drawSource(*source, drawing.drawing->camera, py::none(), true),
                 {},
                 {}}};
    const Bounds model = source->parts ? boundsOf(source->parts) : boundsOf(source->vertices);
    ViewsChoice choice;
    choice.views = keywords.views;
    choice.camera.upAxis = keywords.upAxis.value_or(model.upAxis);
    choice.section = source->options.section;
    std::vector<PlannedView> plan;
    try {
        plan = planViews(choice, *model.parts, "model");
        checkViewsFit(plan, choice, sheet, *model.parts);
    } catch (const InputError& error) {
        if (error.parameter() != "view")
            throw;
        throw py::value_error("views: " + error.reason());
    }
    std::vector<SheetView> views;
    for (const PlannedView& view : plan)
        views.push_back({view.name, drawSource(*source, view.camera, py::none(), view.cut), {}, {}});
    markPlannedSection(views, choice);
    return views;
}

bool given(const SheetKeywords& keywords, const char* name) {
    return std::find(keywords.given.begin(), keywords.given.end(), name) != keywords.given.end();
}

void warnOfIdleKeywords(const PyDrawing& drawing, const SheetKeywords& keywords, bool json) {
    RunShape run = runOf(*drawing.source);
    run.viewCount = std::max<std::size_t>(1, keywords.views.size());
    run.json = json;
    warnOfIdle(keywords.given, keywords.sheet, run);
}

// The sheet's options: the keywords', the model's name and unit from its file unless given (arrays
// carry no unit: millimetres unless given).
SheetOptions sheetOptions(const PyDrawing& drawing, const SheetKeywords& keywords) {
    SheetOptions sheet = keywords.sheet;
    sheet.unitMm = drawing.source->parts ? pointUnitMm(*drawing.source->parts, keywords.unitMm)
                                         : keywords.unitMm.value_or(1.0);
    sheet.trueScale = !keywords.views.empty() || !isPerspective(drawing.drawing->camera);
    checkSheetScale(sheet);
    if (!given(keywords, "name"))
        sheet.modelName = drawing.source->name;
    return sheet;
}

Page pageOf(const PyDrawing& drawing, const SheetKeywords& keywords) {
    const SheetOptions sheet = sheetOptions(drawing, keywords);
    const std::vector<SheetView> views = sheetViews(drawing, keywords, sheet);
    const py::gil_scoped_release release;
    Page page = layoutSheet(views, sheet);
    if (keywords.fitArcsMm)
        fitArcs(page, *keywords.fitArcsMm,
                keywords.centreMarks ? std::optional<Pen>(sheet.style.penOf(CentreLine)) : std::nullopt);
    finishPage(page, keywords.dashes, keywords.plotterOrder.value_or(true), stopOnSignal());
    return page;
}

} // namespace

void save(const PyDrawing& drawing, const std::filesystem::path& path, const py::kwargs& given) {
    const std::string name = path.string();
    const OutputFormat format =
        formatOf(name); // an unknown extension is a ValueError, not a file that failed
    const SheetKeywords keywords = sheetKeywords(given);
    const bool json = format == OutputFormat::Json;
    warnOfIdleKeywords(drawing, keywords, json);
    std::vector<Page> pages;
    std::optional<Drawing> view; // the view asked for, or the drawing in plotter order
    if (!json) {
        pages.push_back(pageOf(drawing, keywords));
    } else {
        try {
            checkJsonDrawing(keywords.views.size(), keywords.sheet);
        } catch (const InputError& error) {
            throw py::value_error("path: " + error.reason());
        }
        if (!keywords.views.empty() || keywords.hidden || keywords.partLayers)
            view = std::move(sheetViews(drawing, keywords, sheetOptions(drawing, keywords)).front().drawing);
    }
    const py::gil_scoped_release release;
    if (json && keywords.plotterOrder.value_or(false)) {
        if (!view)
            view = *drawing.drawing;
        const Box2 bounds = drawingBounds(*view);
        orderForPlotter(view->lines, ON_2dPoint(bounds.minX, bounds.minY), stopOnSignal());
    }
    fileCall([&] { saveDrawingFile(name, format, view ? *view : *drawing.drawing, pages, stopOnSignal()); });
}

std::string pageText(const PyDrawing& drawing, OutputFormat format, const py::kwargs& given) {
    const SheetKeywords keywords = sheetKeywords(given);
    warnOfIdleKeywords(drawing, keywords, false);
    const Page page = pageOf(drawing, keywords);
    std::ostringstream text;
    const py::gil_scoped_release release;
    writeDrawingFile(text, format, *drawing.drawing, {page}, "", stopOnSignal());
    return text.str();
}

} // namespace kvhlr::python
