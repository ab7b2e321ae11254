#pragma once

// Drawings as files: the format that a file name's extension asks for, pages made ready for it, and
// the drawing written in it.
//
// In:  a drawing (or the pages of a sheet) and a path or stream.
// Out: SVG, DXF or PDF of the pages, or the JSON drawing file of one drawing.

#include "kit/drawing/Drawing.h"
#include "kit/output/AtomicFile.h"
#include "kit/sheet/Page.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kvhlr {

enum class OutputFormat { Svg, Dxf, Json, Pdf };

// .svg, .dxf, .json or .pdf, in any case. Throws InputError naming `path` for any other extension.
OutputFormat formatOf(const std::string& path);

// "svg", "dxf", "json" or "pdf": the extension without its dot. Throws InputError naming the parameter
// "format" for any other name.
OutputFormat formatNamed(const std::string& name);
const char* extensionOf(OutputFormat format);

// How dashed lines are drawn: by the pen's dash pattern, or cut into real dash pieces.
enum class HiddenDashes { Style, Segments };

// Cuts the dashes if asked, then puts the polylines in plotter order (kit/sheet/PenOrder.h) unless
// `plotterOrder` is false. `progress` is told the share done and may throw to stop (StepProgress);
// the page is then unfinished: drop it.
void finishPage(Page& page, HiddenDashes dashes, bool plotterOrder, const std::function<void(double)>& progress = {});

// Writes a drawing file in `format` to `out`, the one place where a format picks its writer: the JSON
// drawing file of `drawing`, or `pages` as SVG or DXF (one page) or PDF (a page each). Throws
// InputError naming `name` when the pages cannot be written (a PDF without pages or of a page without
// area), std::invalid_argument for an SVG or DXF of other than one page; `progress` is told the share
// of the lines written and may throw to stop (StepProgress): `out` then holds part of the file.
void writeDrawingFile(std::ostream& out, OutputFormat format, const Drawing& drawing, const std::vector<Page>& pages,
                      const std::string& name, const std::function<void(double)>& progress = {});

// writeDrawingFile to `path`, as a whole or not at all (AtomicFile): an error or a stop from `progress`
// leaves an existing file as it was. Throws InputError naming `path` when it cannot be written.
void saveDrawingFile(const std::string& path, OutputFormat format, const Drawing& drawing,
                     const std::vector<Page>& pages, const std::function<void(double)>& progress = {});

// The page of a drawing on its own: fitted to 200 mm, classic style.
Page drawingPage(const Drawing& drawing);

// Writes the drawing to `path` in the format its extension asks for, as a whole or not at all
// (AtomicFile): JSON as the library drew it; SVG, DXF and PDF as drawingPage, in plotter order.
// Throws InputError naming `path` when it cannot be written. `progress` is told the share done (the
// page's making, then its writing) and may throw to stop, leaving an existing file as it was.
void saveDrawing(const Drawing& drawing, const std::string& path, HiddenDashes dashes = HiddenDashes::Style,
                 const std::function<void(double)>& progress = {});

} // namespace kvhlr
