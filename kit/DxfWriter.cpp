#include "kit/DxfWriter.h"

#include "kit/NumberFormat.h"

#include <cstdio>
#include <string>

namespace kvhlr {
namespace {

// A DXF file is a sequence of (group code, value) pairs, each on its own line.
class GroupWriter {
public:
    std::string text;

    void code(int group) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%3d\n", group);
        text += buffer;
    }
    void pair(int group, const std::string& value) {
        code(group);
        text += value;
        text += '\n';
    }
    void pair(int group, int value) { pair(group, std::to_string(value)); }
    void number(int group, double value) {
        code(group);
        appendExact(text, value);
        text += '\n';
    }
    void point(double x, double y) {
        number(10, x);
        number(20, y);
        number(30, 0.0);
    }
};

void writeHeader(GroupWriter& dxf, const Box2& bounds) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "HEADER");
    dxf.pair(9, "$ACADVER");
    dxf.pair(1, "AC1009");
    dxf.pair(9, "$EXTMIN");
    dxf.point(bounds.minX, bounds.minY);
    dxf.pair(9, "$EXTMAX");
    dxf.point(bounds.maxX, bounds.maxY);
    dxf.pair(9, "$LTSCALE");
    dxf.number(40, 1.0);
    dxf.pair(0, "ENDSEC");
}

void writeLineType(GroupWriter& dxf, const char* name, const char* description, const DashPattern* pattern) {
    dxf.pair(0, "LTYPE");
    dxf.pair(2, name);
    dxf.pair(70, 0);
    dxf.pair(3, description);
    dxf.pair(72, 65);
    dxf.pair(73, pattern ? 2 : 0);
    dxf.number(40, pattern ? pattern->dash + pattern->gap : 0.0);
    if (pattern) {
        dxf.number(49, pattern->dash);
        dxf.number(49, -pattern->gap); // negative: a gap
    }
}

void writeLayer(GroupWriter& dxf, const char* name, int colour, const char* lineType) {
    dxf.pair(0, "LAYER");
    dxf.pair(2, name);
    dxf.pair(70, 0);
    dxf.pair(62, colour);
    dxf.pair(6, lineType);
}

void writeTables(GroupWriter& dxf, const Box2& bounds) {
    const DashPattern dashes = hiddenDashes(bounds);
    dxf.pair(0, "SECTION");
    dxf.pair(2, "TABLES");
    dxf.pair(0, "TABLE");
    dxf.pair(2, "LTYPE");
    dxf.pair(70, 2);
    writeLineType(dxf, "CONTINUOUS", "Solid line", nullptr);
    writeLineType(dxf, "DASHED", "Dashed __ __ __", &dashes);
    dxf.pair(0, "ENDTAB");
    dxf.pair(0, "TABLE");
    dxf.pair(2, "LAYER");
    dxf.pair(70, static_cast<int>(layers().size()) + 1);
    writeLayer(dxf, "0", 7, "CONTINUOUS"); // the layer every CAD program expects to find
    for (const Layer& layer : layers())
        writeLayer(dxf, layer.dxfName, layer.dxfColor, layer.hidden ? "DASHED" : "CONTINUOUS");
    dxf.pair(0, "ENDTAB");
    dxf.pair(0, "ENDSEC");
}

void writePolyline(GroupWriter& dxf, const KvHLR::StrokeLine& line) {
    const char* layer = layerOf(line.kind).dxfName;
    dxf.pair(0, "POLYLINE");
    dxf.pair(8, layer);
    dxf.pair(66, 1); // vertices follow
    dxf.point(0.0, 0.0);
    dxf.pair(70, 0); // open
    for (const ON_2dPoint& p : line.points) {
        dxf.pair(0, "VERTEX");
        dxf.pair(8, layer);
        dxf.point(p.x, p.y);
    }
    dxf.pair(0, "SEQEND");
    dxf.pair(8, layer);
}

} // namespace

void writeDxf(std::ostream& out, const Drawing& drawing) {
    const Box2 bounds = drawingBounds(drawing);
    GroupWriter dxf;
    writeHeader(dxf, bounds);
    writeTables(dxf, bounds);
    dxf.pair(0, "SECTION");
    dxf.pair(2, "ENTITIES");
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        writePolyline(dxf, line);
        out << dxf.text;
        dxf.text.clear();
    }
    dxf.pair(0, "ENDSEC");
    dxf.pair(0, "EOF");
    out << dxf.text;
}

} // namespace kvhlr
