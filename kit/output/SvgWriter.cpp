#include "kit/output/SvgWriter.h"

#include "kit/NumberText.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

namespace kvhlr {
namespace {

// Eight significant digits: a hundred-thousandth of a millimetre on the largest paper.
constexpr int kDigits = 8;
// A sans-serif font's capitals are about this share of its size; texts give the capitals' height.
constexpr double kCapHeightPerSize = 0.72;

void appendNumber(std::string& text, double value) {
    appendRounded(text, value, kDigits);
}

void appendEscaped(std::string& text, const std::string& value) {
    for (char c : value) {
        switch (c) {
        case '&': text += "&amp;"; break;
        case '<': text += "&lt;"; break;
        case '>': text += "&gt;"; break;
        case '"': text += "&quot;"; break;
        default: text += c;
        }
    }
}

class SvgText {
public:
    explicit SvgText(const Page& page) : m_height(page.heightMm) {}

    std::string text;

    // SVG's y axis points down from the top; the page's up from the bottom.
    void point(const PagePoint& p) {
        appendNumber(text, p.x);
        text += ',';
        appendNumber(text, m_height - p.y);
    }

    // With provenance, the model edges a line runs along, for a script to read: data-edge="4-9 9-12".
    void edges(const std::string* edges) {
        if (edges && !edges->empty()) {
            text += " data-edge=\"";
            text += *edges;
            text += '"';
        }
    }

    void polyline(const std::vector<PagePoint>& points, const std::string* modelEdges) {
        text += "    <polyline points=\"";
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (i > 0)
                text += ' ';
            point(points[i]);
        }
        text += '"';
        edges(modelEdges);
        text += "/>\n";
    }

    // Arcs of at most half a turn each, so that none needs the large-arc flag, and a closed curve is
    // two. The page turns counter-clockwise; seen through SVG's downward y, the sweep is negative.
    void curve(const PageCurve& c, const std::string* modelEdges) {
        text += "    <path d=\"M";
        point(c.at(c.start));
        const int pieces = std::max(1, static_cast<int>(std::ceil((c.end - c.start) / M_PI - 1e-9)));
        for (int i = 1; i <= pieces; ++i) {
            text += " A";
            appendNumber(text, c.majorMm);
            text += ',';
            appendNumber(text, c.minorMm);
            text += ' ';
            appendNumber(text, -c.rotation * 180.0 / M_PI);
            text += " 0,0 ";
            point(c.at(c.start + (c.end - c.start) * i / pieces));
        }
        text += '"';
        edges(modelEdges);
        text += "/>\n";
    }

    void label(const char* id, const std::string& name, const std::string& label) {
        text += "<g id=\"";
        text += id;
        appendEscaped(text, name);
        text += "\" inkscape:groupmode=\"layer\" inkscape:label=\"";
        appendEscaped(text, label);
        text += '"';
    }

    // The part a layer's lines belong to, for a script to select them by: [data-part="NAME"].
    void part(const std::string& name) {
        if (name.empty())
            return;
        text += " data-part=\"";
        appendEscaped(text, name);
        text += '"';
    }

    // Butt ends keep dashes as long as the pen says; solid lines get round ends like a plotter pen's.
    void pen(const Pen& pen) {
        text += " fill=\"none\" stroke=\"";
        appendEscaped(text, pen.color);
        text += "\" stroke-width=\"";
        appendNumber(text, pen.widthMm);
        text += pen.dashMm.empty() ? "\" stroke-linecap=\"round\"" : "\" stroke-linecap=\"butt\"";
        text += " stroke-linejoin=\"round\"";
        if (!pen.dashMm.empty()) {
            text += " stroke-dasharray=\"";
            for (std::size_t i = 0; i < pen.dashMm.size(); ++i) {
                if (i > 0)
                    text += ' ';
                appendNumber(text, pen.dashMm[i]);
            }
            text += '"';
        }
        text += ">\n";
    }

    void pageText(const PageText& t, const Pen& pen) {
        text += "    <text x=\"";
        appendNumber(text, t.at.x);
        text += "\" y=\"";
        appendNumber(text, m_height - t.at.y);
        text += "\" font-family=\"sans-serif\" font-size=\"";
        appendNumber(text, t.heightMm / kCapHeightPerSize);
        text += "\" fill=\"";
        appendEscaped(text, pen.color);
        text += "\" stroke=\"none\">";
        appendEscaped(text, t.text);
        text += "</text>\n";
    }

private:
    double m_height;
};

void appendHeader(std::string& text, const Page& page) {
    text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\"\n     width=\"";
    appendNumber(text, page.widthMm);
    text += "mm\" height=\"";
    appendNumber(text, page.heightMm);
    text += "mm\" viewBox=\"0 0 ";
    appendNumber(text, page.widthMm);
    text += ' ';
    appendNumber(text, page.heightMm);
    text += "\">\n";
}

// A layer's id is its name without the pen number, which several layers share.
std::string idOf(const PageLayer& layer) {
    const std::size_t dash = layer.name.find('-');
    return dash == std::string::npos ? layer.name : layer.name.substr(dash + 1);
}

} // namespace

void writeSvg(std::ostream& out, const Page& page, const std::function<void(double)>& progress) {
    StepProgress written(lineCount(page), progress);
    std::set<std::string> views;
    for (const PageLayer& layer : page.layers)
        if (!layer.view.empty())
            views.insert(layer.view);
    const bool viewGroups = views.size() > 1;
    SvgText svg(page);
    appendHeader(svg.text, page);
    std::string openView;
    for (const PageLayer& layer : page.layers) {
        const std::string view = viewGroups ? layer.view : "";
        if (view != openView) {
            if (!openView.empty())
                svg.text += "  </g>\n";
            if (!view.empty()) {
                svg.text += "  ";
                svg.label("view-", view, view);
                svg.text += ">\n";
            }
            openView = view;
        }
        const std::string indent = openView.empty() ? "  " : "    ";
        svg.text += indent;
        svg.label("", idOf(layer), layer.name);
        svg.part(layer.part);
        svg.pen(layer.pen);
        for (std::size_t i = 0; i < layer.polylines.size(); ++i) {
            svg.polyline(layer.polylines[i], layer.edges.empty() ? nullptr : &layer.edges[i]);
            out << svg.text;
            svg.text.clear();
            written.done(1);
        }
        for (std::size_t i = 0; i < layer.curves.size(); ++i) {
            svg.curve(layer.curves[i], layer.curveEdges.empty() ? nullptr : &layer.curveEdges[i]);
            written.done(1);
        }
        for (const PageText& text : page.texts)
            if (text.layer == layer.name)
                svg.pageText(text, layer.pen);
        svg.text += indent + "</g>\n";
    }
    if (!openView.empty())
        svg.text += "  </g>\n";
    svg.text += "</svg>\n";
    out << svg.text;
}

} // namespace kvhlr
