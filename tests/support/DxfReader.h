#pragma once

// A small reader for the DXF the tool writes: the header's variables, the line types and layers, the
// polylines and the texts' strings.

#include <istream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kvhlrtest {

struct DxfPolyline {
    std::string layer;
    std::vector<std::pair<double, double>> points;
};

// A CIRCLE, ARC or ELLIPSE: its numbers by group code (10, 20 centre; 40 radius or ratio; 50, 51
// angles in degrees; 11, 21 major axis; 41, 42 parameters).
struct DxfCurve {
    std::string type;
    std::string layer;
    std::map<int, double> values;
};

struct DxfLayer {
    std::string lineType;
    int color = 0;
};

struct DxfText {
    std::string text;
};

struct DxfDocument {
    std::vector<std::string> sections;                           // section names in order
    std::map<std::string, std::string> header;                   // variable -> its first value
    std::map<std::string, DxfLayer> layers;                      // layer name -> its properties
    std::map<std::string, std::vector<double>> lineTypePatterns; // line type -> its 49 entries
    std::vector<DxfPolyline> polylines;                          // LWPOLYLINE entities
    std::vector<DxfText> texts;
    std::vector<DxfCurve> curves;
    bool endsWithEof = false;
};

inline std::vector<std::pair<int, std::string>> dxfPairs(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::pair<int, std::string>> pairs;
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value))
        pairs.emplace_back(std::stoi(code), value);
    return pairs;
}

// Throws std::runtime_error on anything out of place.
inline DxfDocument readDxf(const std::string& text) {
    const auto pairs = dxfPairs(text);
    DxfDocument doc;
    std::string entity, name, variable;
    double x = 0;
    std::size_t vertices = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto& [code, value] = pairs[i];
        if (code == 0) {
            if (entity == "LWPOLYLINE" && doc.polylines.back().points.size() != vertices)
                throw std::runtime_error("LWPOLYLINE with another count of vertices than it declares");
            entity = value;
            if (value == "LWPOLYLINE")
                doc.polylines.emplace_back();
            else if (value == "TEXT")
                doc.texts.emplace_back();
            else if (value == "CIRCLE" || value == "ARC" || value == "ELLIPSE")
                doc.curves.push_back({value, "", {}});
            else if (value == "EOF")
                doc.endsWithEof = i + 1 == pairs.size();
            continue;
        }
        if (entity == "SECTION" && code == 2)
            doc.sections.push_back(value);
        else if (entity == "SECTION" && code == 9)
            variable = value;
        else if (entity == "SECTION" && !variable.empty() && !doc.header.count(variable))
            doc.header[variable] = value;
        else if ((entity == "LAYER" || entity == "LTYPE") && code == 2)
            name = value;
        else if (entity == "LAYER" && code == 6)
            doc.layers[name].lineType = value;
        else if (entity == "LAYER" && code == 62)
            doc.layers[name].color = std::stoi(value);
        else if (entity == "LTYPE" && code == 49)
            doc.lineTypePatterns[name].push_back(std::stod(value));
        else if (entity == "LWPOLYLINE" && code == 8)
            doc.polylines.back().layer = value;
        else if (entity == "LWPOLYLINE" && code == 90)
            vertices = std::stoul(value);
        else if (entity == "LWPOLYLINE" && code == 10)
            x = std::stod(value);
        else if (entity == "LWPOLYLINE" && code == 20)
            doc.polylines.back().points.emplace_back(x, std::stod(value));
        else if (!doc.curves.empty() && entity == doc.curves.back().type && code == 8)
            doc.curves.back().layer = value;
        else if (!doc.curves.empty() && entity == doc.curves.back().type && code >= 10 && code < 60)
            doc.curves.back().values[code] = std::stod(value);
        else if (entity == "TEXT" && code == 1)
            doc.texts.back().text = value;
    }
    return doc;
}

} // namespace kvhlrtest
