#include "kit/output/DrawingFile.h"

#include "kit/InputError.h"
#include "kit/output/DrawingJson.h"
#include "kit/output/DxfWriter.h"
#include "kit/output/PdfWriter.h"
#include "kit/output/SvgWriter.h"
#include "kit/sheet/Dashes.h"
#include "kit/sheet/PenOrder.h"
#include "kit/sheet/Sheet.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace kvhlr {
namespace {

const OutputFormat kFormats[] = {OutputFormat::Svg, OutputFormat::Dxf, OutputFormat::Json, OutputFormat::Pdf};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

const char* extensionOf(OutputFormat format) {
    switch (format) {
    case OutputFormat::Svg:
        return "svg";
    case OutputFormat::Dxf:
        return "dxf";
    case OutputFormat::Json:
        return "json";
    case OutputFormat::Pdf:
        return "pdf";
    }
    throw std::invalid_argument("unknown output format");
}

OutputFormat formatOf(const std::string& path) {
    const std::string extension = lower(std::filesystem::path(path).extension().string());
    for (OutputFormat format : kFormats)
        if (extension == std::string(".") + extensionOf(format))
            return format;
    throw InputError(path, "unknown output type '" + extension + "': name the output .svg, .dxf, .pdf or .json");
}

OutputFormat formatNamed(const std::string& name) {
    for (OutputFormat format : kFormats)
        if (lower(name) == extensionOf(format))
            return format;
    throw InputError::ofParameter("format", "unknown format '" + name + "': name svg, dxf, pdf or json");
}

void finishPage(Page& page, HiddenDashes dashes, bool plotterOrder) {
    if (dashes == HiddenDashes::Segments)
        cutDashes(page);
    if (plotterOrder)
        orderForPlotter(page);
}

void writeDrawingFile(std::ostream& out, OutputFormat format, const Drawing& drawing, const std::vector<Page>& pages,
                      const std::string& name, const std::function<void(double)>& progress) {
    if (format == OutputFormat::Json)
        return writeDrawingJson(out, drawing);
    if (format == OutputFormat::Pdf)
        return writePdf(out, pages, name, progress);
    if (pages.size() != 1)
        throw std::invalid_argument("an SVG or DXF file holds one page");
    if (format == OutputFormat::Svg)
        writeSvg(out, pages.front(), progress);
    else
        writeDxf(out, pages.front(), progress);
}

Page drawingPage(const Drawing& drawing) {
    return layoutSheet({{"", drawing, {}, {}}}, SheetOptions());
}

void saveDrawing(const Drawing& drawing, const std::string& path, HiddenDashes dashes) {
    const OutputFormat format = formatOf(path);
    std::vector<Page> pages;
    if (format != OutputFormat::Json) {
        pages.push_back(drawingPage(drawing));
        finishPage(pages.back(), dashes, true);
    }
    AtomicFile file(path);
    writeDrawingFile(file.stream(), format, drawing, pages, path);
    file.commit();
}

} // namespace kvhlr
