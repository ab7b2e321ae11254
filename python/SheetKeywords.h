#pragma once

// The keywords of Drawing.save, to_svg and to_dxf, read once into the kit's sheet options as kvhlr
// reads its options: paper, scale, views, margins, style, order and the rest. Also the warning of
// options given that change nothing, in kvhlr's words.
//
// In:  the keywords. Out: the sheet options and what else a page or file needs.

#include "kit/camera/CameraFit.h"
#include "kit/output/DrawingFile.h"
#include "kit/sheet/ArcFit.h"
#include "kit/sheet/Sheet.h"

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

namespace kvhlr::python {

namespace py = pybind11;

struct SheetKeywords {
    SheetOptions sheet;
    std::vector<std::string> views;   // empty: the drawing itself
    std::optional<UpAxis> upAxis;     // for views; default: the model's own
    std::optional<double> unitMm;     // millimetres per unit of the model's file; default: the file's
    std::optional<bool> plotterOrder; // default: plotter order, the library's for JSON
    HiddenDashes dashes = HiddenDashes::Style;
    std::optional<double> fitArcsMm; // arcs fitted to the page's polylines within this tolerance
    bool centreMarks = false;        // with fitArcsMm: a centre mark on each whole circle fitted
    // The sheet's views drawn with or without hidden lines, with a layer per part or per kind; default:
    // as the drawing was drawn.
    std::optional<bool> hidden;
    std::optional<bool> partLayers;
    std::vector<std::string> given; // the keywords given, for warnings of those that change nothing
};

// Throws TypeError for an unknown keyword or a value of the wrong type, ValueError naming the keyword
// for a value that kvhlr refuses, and OSError for a style file that cannot be read.
SheetKeywords sheetKeywords(const py::kwargs& keywords);

// A UserWarning for each option given that changes nothing in such a run, as kvhlr warns of its options.
void warnOfIdle(const std::vector<std::string>& given, const SheetOptions& sheet, const RunShape& run);

} // namespace kvhlr::python
