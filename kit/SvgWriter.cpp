#include "kit/SvgWriter.h"

#include "kit/NumberFormat.h"

#include <algorithm>
#include <string>

namespace kvhlr {
namespace {

// Ten significant digits: far below anything visible, a third shorter than exact text.
constexpr int kDigits = 10;
// The longer side of the page.
constexpr double kPageMillimetres = 200.0;

void appendNumber(std::string& text, double value) {
    appendRounded(text, value, kDigits);
}

// SVG's y axis points down; the drawing's points up.
void appendPoint(std::string& text, const ON_2dPoint& p) {
    appendNumber(text, p.x);
    text += ',';
    appendNumber(text, -p.y);
}

void appendPolyline(std::string& text, const std::vector<ON_2dPoint>& points) {
    text += "    <polyline points=\"";
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            text += ' ';
        appendPoint(text, points[i]);
    }
    text += "\"/>\n";
}

void appendDashedPath(std::string& text, const std::vector<ON_2dPoint>& points, const DashPattern& pattern) {
    const auto dashes = dashPolyline(points, pattern);
    if (dashes.empty())
        return;
    text += "    <path d=\"";
    bool first = true;
    for (const auto& dash : dashes) {
        text += first ? "M" : " M";
        first = false;
        appendPoint(text, dash.front());
        text += " L";
        for (std::size_t i = 1; i < dash.size(); ++i) {
            text += ' ';
            appendPoint(text, dash[i]);
        }
    }
    text += "\"/>\n";
}

void appendHeader(std::string& text, const Box2& bounds) {
    const double side = std::max(bounds.width(), bounds.height());
    const double margin = 0.02 * side;
    const double width = bounds.width() + 2 * margin, height = bounds.height() + 2 * margin;
    const double mm = kPageMillimetres / std::max(width, height);
    text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\"\n     width=\"";
    appendRounded(text, width * mm, 6);
    text += "mm\" height=\"";
    appendRounded(text, height * mm, 6);
    text += "mm\" viewBox=\"";
    appendNumber(text, bounds.minX - margin);
    text += ' ';
    appendNumber(text, -bounds.maxY - margin);
    text += ' ';
    appendNumber(text, width);
    text += ' ';
    appendNumber(text, height);
    text += "\">\n";
}

void appendGroupStart(std::string& text, const Layer& layer, const Box2& bounds, HiddenDashes dashes) {
    const double side = std::max(bounds.width(), bounds.height());
    text += "  <g id=\"";
    text += layer.id;
    text += "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
    text += layer.label;
    text += layer.hidden ? "\" fill=\"none\" stroke=\"#606060\"" : "\" fill=\"none\" stroke=\"#000000\"";
    text += " stroke-width=\"";
    appendNumber(text, layer.widthRatio * side);
    text += layer.hidden ? "\" stroke-linecap=\"butt\"" : "\" stroke-linecap=\"round\"";
    text += " stroke-linejoin=\"round\"";
    if (layer.hidden && dashes == HiddenDashes::Style) {
        const DashPattern pattern = hiddenDashes(bounds);
        text += " stroke-dasharray=\"";
        appendNumber(text, pattern.dash);
        text += ' ';
        appendNumber(text, pattern.gap);
        text += '"';
    }
    text += ">\n";
}

} // namespace

void writeSvg(std::ostream& out, const Drawing& drawing, HiddenDashes dashes) {
    const Box2 bounds = drawingBounds(drawing);
    const DashPattern pattern = hiddenDashes(bounds);
    std::string text;
    appendHeader(text, bounds);
    for (const Layer& layer : layers()) {
        appendGroupStart(text, layer, bounds, dashes);
        for (const KvHLR::StrokeLine& line : drawing.lines) {
            if (&layerOf(line.kind) != &layer)
                continue;
            if (layer.hidden && dashes == HiddenDashes::Segments)
                appendDashedPath(text, line.points, pattern);
            else
                appendPolyline(text, line.points);
            out << text;
            text.clear();
        }
        text += "  </g>\n";
    }
    text += "</svg>\n";
    out << text;
}

} // namespace kvhlr
