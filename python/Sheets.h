#pragma once

// A drawing saved or shown as kvhlr writes it: the drawing itself, or a sheet of views drawn again
// from what the drawing was drawn from, planned by the kit as kvhlr plans them (kit/sheet/SheetViews.h),
// laid out, made ready for the device and written, the interpreter given up meanwhile and Ctrl-C heard.
//
// In:  a drawing and the keywords of save, to_svg and to_dxf (python/SheetKeywords.h).
// Out: a file, written whole or not at all, or the page's text.

#include "python/Drawings.h"

#include "kit/output/DrawingFile.h"

#include <pybind11/pybind11.h>

#include <filesystem>
#include <string>

namespace kvhlr::python {

namespace py = pybind11;

// Raises ValueError for an extension of no format and what kvhlr refuses, OSError when the file cannot
// be written.
void save(const PyDrawing& drawing, const std::filesystem::path& path, const py::kwargs& keywords);

std::string pageText(const PyDrawing& drawing, OutputFormat format, const py::kwargs& keywords);

} // namespace kvhlr::python
