#include "python/SheetKeywords.h"

#include "python/FileError.h"
#include "python/Interpreter.h"
#include "python/Keywords.h"

#include "kit/InputError.h"
#include "kit/sheet/Style.h"

#include <pybind11/stl.h>

#include <algorithm>

namespace kvhlr::python {
namespace {

// A style's name (any case), the path of a style file, or a dict holding what a style file holds.
Style styleOf(py::handle value) {
    if (py::isinstance<py::dict>(value)) {
        const std::string text = py::str(py::module_::import("json").attr("dumps")(value));
        return parseStyle(text, "style");
    }
    if (py::hasattr(value, "__fspath__"))
        return fileCall([&] { return readStyleFile(py::str(value.attr("__fspath__")())); });
    const auto style = keyword<std::string>(value, "style", "a str, a path or a dict");
    const std::string lower = nameOf(value, "style");
    for (const std::string& name : styleNames())
        if (lower == name)
            return namedStyle(name);
    return fileCall([&] { return readStyleFile(style); });
}

// A length in mm on paper, as kvhlr takes --margin and --gap.
double millimetres(py::handle value, const char* name) {
    const auto mm = keyword<double>(value, name, "a number");
    if (!(mm >= 0.0 && mm <= 1e4))
        throw py::value_error(std::string(name) + ": expected a length in mm from 0 to 10000");
    return mm;
}

void apply(SheetKeywords& keywords, const std::string& name, py::handle value) {
    SheetOptions& sheet = keywords.sheet;
    if (name == "paper")
        sheet.paper = paperNamed(keyword<std::string>(value, "paper", "a str"));
    else if (name == "scale")
        sheet.scale = parseScale(
            py::isinstance<py::str>(value)
                ? value.cast<std::string>()
                : std::string(py::str(py::float_(keyword<double>(value, "scale", "a str or a number")))));
    else if (name == "units")
        keywords.unitMm = unitNamed(keyword<std::string>(value, "units", "a str"));
    else if (name == "views") {
        keywords.views.clear();
        for (const std::string& view : keyword<std::vector<std::string>>(value, "views", "a list of str"))
            keywords.views.push_back(viewNameOf(view));
    } else if (name == "style")
        sheet.style = styleOf(value);
    else if (name == "order")
        keywords.plotterOrder = oneOf(value, "order", {"plotter", "library"}) == "plotter";
    else if (name == "dashes")
        keywords.dashes = oneOf(value, "dashes", {"style", "segments"}) == "segments" ? HiddenDashes::Segments
                                                                                      : HiddenDashes::Style;
    else if (name == "up_axis")
        keywords.upAxis = upAxisOf(value);
    else if (name == "fit_arcs") {
        keywords.fitArcsMm = keyword<double>(value, "fit_arcs", "a number");
        checkArcTolerance(*keywords.fitArcsMm);
    } else if (name == "centre_lines")
        keywords.centreMarks = keyword<bool>(value, "centre_lines", "a bool");
    else if (name == "projection")
        sheet.projection =
            oneOf(value, "projection", {"third", "first"}) == "first" ? Projection::First : Projection::Third;
    else if (name == "orientation") {
        const std::string orientation = oneOf(value, "orientation", {"auto", "portrait", "landscape"});
        sheet.orientation = orientation == "portrait"    ? Orientation::Portrait
                            : orientation == "landscape" ? Orientation::Landscape
                                                         : Orientation::Auto;
    } else if (name == "title")
        sheet.title = keyword<bool>(value, "title", "a bool");
    else if (name == "name")
        sheet.modelName = keyword<std::string>(value, "name", "a str");
    else if (name == "margin")
        sheet.marginMm = millimetres(value, "margin");
    else if (name == "gap")
        sheet.gapMm = millimetres(value, "gap");
    else if (name == "hidden")
        keywords.hidden = keyword<bool>(value, "hidden", "a bool");
    else if (name == "layers")
        keywords.partLayers = oneOf(value, "layers", {"kinds", "parts"}) == "parts";
    else
        throw py::type_error("unexpected keyword argument '" + name + "'");
}

} // namespace

SheetKeywords sheetKeywords(const py::kwargs& given) {
    SheetKeywords keywords;
    keywords.sheet.date =
        py::str(py::module_::import("datetime").attr("date").attr("today")().attr("isoformat")());
    for (const auto& [key, value] : given) {
        const auto name = key.cast<std::string>();
        if (value.is_none())
            continue;
        try {
            apply(keywords, name, value);
        } catch (const InputError& error) {
            throw py::value_error(name + ": " + error.reason());
        }
        keywords.given.push_back(name);
    }
    try {
        checkPaperRoom(keywords.sheet);
    } catch (const InputError& error) {
        throw py::value_error(error.parameter() + ": " + error.reason());
    }
    return keywords;
}

void warnOfIdle(const std::vector<std::string>& given, const SheetOptions& sheet, const RunShape& run) {
    for (const IdleOption& idle : idleOptions(sheet, run))
        if (std::find(given.begin(), given.end(), idle.parameter) != given.end())
            warn(idle.parameter + std::string(" has no effect here: ") + idle.why);
}

} // namespace kvhlr::python
