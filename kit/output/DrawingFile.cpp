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

// `progress` told shares from..to for the shares 0..1 of one step of several.
std::function<void(double)> scaledProgress(const std::function<void(double)>& progress, double from, double to) {
    if (!progress)
        return {};
    return [progress, from, to](double share) { progress(from + (to - from) * share); };
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

void finishPage(Page& page, HiddenDashes dashes, bool plotterOrder, const std::function<void(double)>& progress) {
    const bool cut = dashes == HiddenDashes::Segments;
    const double cutShare = cut && plotterOrder ? 0.5 : 1.0;
    if (cut)
        cutDashes(page, scaledProgress(progress, 0.0, cutShare));
    if (plotterOrder)
        orderForPlotter(page, scaledProgress(progress, cut ? cutShare : 0.0, 1.0));
}

void writeDrawingFile(std::ostream& out, OutputFormat format, const Drawing& drawing, const std::vector<Page>& pages,
                      const std::string& name, const std::function<void(double)>& progress) {
    if (format == OutputFormat::Json)
        return writeDrawingJson(out, drawing, progress);
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

void saveDrawingFile(const std::string& path, OutputFormat format, const Drawing& drawing,
                     const std::vector<Page>& pages, const std::function<void(double)>& progress) {
    AtomicFile file(path);
    writeDrawingFile(file.stream(), format, drawing, pages, path, progress);
    file.commit();
}

void saveDrawing(const Drawing& drawing, const std::string& path, HiddenDashes dashes,
                 const std::function<void(double)>& progress) {
    const OutputFormat format = formatOf(path);
    std::vector<Page> pages;
    if (format != OutputFormat::Json) {
        pages.push_back(drawingPage(drawing));
        finishPage(pages.back(), dashes, true, scaledProgress(progress, 0.0, 0.5));
    }
    saveDrawingFile(path, format, drawing, pages, scaledProgress(progress, pages.empty() ? 0.0 : 0.5, 1.0));
}

} // namespace kvhlr
