#pragma once

// A small reader for the DXF the tool writes: the group pairs, the layer table and the polylines.

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

struct DxfDocument {
    std::vector<std::string> sections;                           // section names in order
    std::map<std::string, std::string> layerLineTypes;           // layer name -> line type
    std::map<std::string, std::vector<double>> lineTypePatterns; // line type -> its 49 entries
    std::vector<DxfPolyline> polylines;
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
    std::string entity, name, lineType;
    DxfPolyline* polyline = nullptr;
    double x = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto& [code, value] = pairs[i];
        if (code == 0) {
            if (entity == "LAYER")
                doc.layerLineTypes[name] = lineType;
            entity = value;
            if (value == "POLYLINE")
                polyline = &doc.polylines.emplace_back();
            else if (value == "SEQEND")
                polyline = nullptr;
            else if (value == "VERTEX" && polyline == nullptr)
                throw std::runtime_error("VERTEX outside a POLYLINE");
            else if (value == "EOF")
                doc.endsWithEof = i + 1 == pairs.size();
            continue;
        }
        if (entity == "SECTION" && code == 2)
            doc.sections.push_back(value);
        else if ((entity == "LAYER" || entity == "LTYPE") && code == 2)
            name = value;
        else if (entity == "LAYER" && code == 6)
            lineType = value;
        else if (entity == "LTYPE" && code == 49)
            doc.lineTypePatterns[name].push_back(std::stod(value));
        else if (entity == "POLYLINE" && code == 8)
            polyline->layer = value;
        else if (entity == "VERTEX" && code == 8 && value != polyline->layer)
            throw std::runtime_error("VERTEX on another layer than its POLYLINE");
        else if (entity == "VERTEX" && code == 10)
            x = std::stod(value);
        else if (entity == "VERTEX" && code == 20)
            polyline->points.emplace_back(x, std::stod(value));
    }
    return doc;
}

} // namespace kvhlrtest
