#include "kit/DrawingFile.h"

#include "kit/DrawingJson.h"
#include "kit/DxfWriter.h"
#include "kit/InputError.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kvhlr {

OutputFormat formatOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".svg")
        return OutputFormat::Svg;
    if (extension == ".dxf")
        return OutputFormat::Dxf;
    if (extension == ".json")
        return OutputFormat::Json;
    throw InputError(path, "unknown output type '" + extension + "': name the output .svg, .dxf or .json");
}

void writeDrawing(std::ostream& out, const Drawing& drawing, OutputFormat format, HiddenDashes dashes) {
    switch (format) {
    case OutputFormat::Svg:
        writeSvg(out, drawing, dashes);
        break;
    case OutputFormat::Dxf:
        writeDxf(out, drawing);
        break;
    case OutputFormat::Json:
        writeDrawingJson(out, drawing);
        break;
    }
}

void saveDrawing(const Drawing& drawing, const std::string& path, HiddenDashes dashes) {
    const OutputFormat format = formatOf(path);
    AtomicFile file(path);
    writeDrawing(file.stream(), drawing, format, dashes);
    file.commit();
}

} // namespace kvhlr
