#include "kit/output/DxfWriter.h"

#include "kit/NumberText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
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
    void handle(int group, unsigned value) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%X", value);
        pair(group, buffer);
    }
    void number(int group, double value) {
        code(group);
        appendExact(text, value);
        text += '\n';
    }
    void point(int group, double x, double y) {
        number(group, x);
        number(group + 10, y);
    }
};

// Handles of the objects every file has; records and entities are numbered from kFirstFreeHandle on.
enum FixedHandle : unsigned {
    kVportTable = 1,
    kLtypeTable,
    kLayerTable,
    kStyleTable,
    kViewTable,
    kUcsTable,
    kAppidTable,
    kDimstyleTable,
    kBlockRecordTable,
    kModelSpace,
    kPaperSpace,
    kRootDictionary,
    kGroupDictionary,
    kFirstFreeHandle
};

// LibreCAD draws line types by name from patterns of its own and ignores the table's elements; naming
// a pattern after the standard type of its shape (dashes, dash-dot, dash-dot-dot: 2, 4 or 6 elements)
// nearest in size makes it show so there, at about its size, while every other program reads the exact
// elements. Periods in mm: of the dashed types as LibreCAD draws them, of the others as the standard
// metric line type file gives them.
struct KnownLineType {
    const char* name;
    std::size_t elements;
    double period;
};
constexpr KnownLineType kKnownLineTypes[] = {
    {"HIDDEN2", 2, 3.0},    {"DASHED2", 2, 9.0},    {"DASHED", 2, 18.0},    {"DASHEDX2", 2, 36.0},
    {"DASHEDTINY", 2, 3.0}, {"HIDDEN", 2, 18.0},    {"HIDDENX2", 2, 36.0},  {"DASHDOT2", 4, 12.7},
    {"DASHDOT", 4, 25.4},   {"DASHDOTX2", 4, 50.8}, {"DIVIDE2", 6, 15.875}, {"DIVIDE", 6, 31.75},
    {"DIVIDEX2", 6, 63.5}};

struct LineType {
    std::string name;
    std::vector<double> dashMm;
};

// One line type per distinct dash pattern, in the order the layers use them.
std::vector<LineType> lineTypesOf(const Page& page) {
    std::vector<LineType> types;
    std::vector<bool> taken(std::size(kKnownLineTypes), false);
    for (const PageLayer& layer : page.layers) {
        const std::vector<double>& dashes = layer.pen.dashMm;
        if (dashes.empty() || std::any_of(types.begin(), types.end(),
                                          [&](const LineType& type) { return type.dashMm == dashes; }))
            continue;
        double period = 0.0;
        for (double length : dashes)
            period += length;
        std::size_t best = std::size(kKnownLineTypes);
        for (std::size_t i = 0; i < std::size(kKnownLineTypes); ++i)
            if (!taken[i] && kKnownLineTypes[i].elements == dashes.size() && (best == std::size(kKnownLineTypes) ||
                              std::fabs(std::log(period / kKnownLineTypes[i].period)) <
                                  std::fabs(std::log(period / kKnownLineTypes[best].period))))
                best = i;
        if (best < std::size(kKnownLineTypes)) {
            taken[best] = true;
            types.push_back({kKnownLineTypes[best].name, dashes});
        } else {
            types.push_back({"DASHES" + std::to_string(types.size() + 1), dashes});
        }
    }
    return types;
}

const std::string& lineTypeOf(const std::vector<LineType>& types, const Pen& pen) {
    static const std::string continuous = "Continuous";
    for (const LineType& type : types)
        if (type.dashMm == pen.dashMm)
            return type.name;
    return continuous;
}

// Lineweights come in fixed steps, in hundredths of a millimetre.
int lineweightOf(double widthMm) {
    constexpr int steps[] = {0,  5,  9,  13, 15, 18, 20,  25,  30,  35,  40,  50,
                             53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    int best = steps[0];
    for (int step : steps)
        if (std::fabs(step - widthMm * 100.0) < std::fabs(best - widthMm * 100.0))
            best = step;
    return best;
}

// The colour of an index of the standard palette: 1 to 9 named colours (7 draws black on paper, white
// on a dark screen); 10 to 249 24 hues 15 degrees apart, each at five brightnesses, strong (even
// indices) and mixed half with white (odd); 250 to 255 greys from dark to white.
std::array<int, 3> paletteColor(int index) {
    constexpr std::array<std::array<int, 3>, 9> named{{{255, 0, 0},
                                                       {255, 255, 0},
                                                       {0, 255, 0},
                                                       {0, 255, 255},
                                                       {0, 0, 255},
                                                       {255, 0, 255},
                                                       {0, 0, 0},
                                                       {128, 128, 128},
                                                       {192, 192, 192}}};
    if (index < 10)
        return named[static_cast<std::size_t>(index - 1)];
    if (index >= 250) {
        const int grey = 51 + 204 * (index - 250) / 5;
        return {grey, grey, grey};
    }
    constexpr double brightness[] = {255.0, 165.0, 127.0, 76.0, 38.0};
    const int hue = (index - 10) / 10 * 15, shade = (index - 10) % 10;
    const double high = brightness[shade / 2], low = shade % 2 == 0 ? 0.0 : high / 2;
    const double share = (hue % 60) / 60.0;
    const int rising = static_cast<int>(low + (high - low) * share);
    const int falling = static_cast<int>(low + (high - low) * (1.0 - share));
    const int h = static_cast<int>(high), l = static_cast<int>(low);
    const std::array<std::array<int, 3>, 6> sectors{{{h, rising, l},
                                                     {falling, h, l},
                                                     {l, h, rising},
                                                     {l, falling, h},
                                                     {rising, l, h},
                                                     {h, l, falling}}};
    return sectors[static_cast<std::size_t>(hue / 60)];
}

// The nearest of the standard palette's 255 colour indices.
int colorIndexOf(const std::string& color) {
    unsigned value = 0;
    if (color.size() != 7 || std::sscanf(color.c_str() + 1, "%6x", &value) != 1)
        return 7;
    const int channels[3] = {static_cast<int>(value >> 16), static_cast<int>((value >> 8) & 255),
                             static_cast<int>(value & 255)};
    int best = 7;
    long bestDistance = std::numeric_limits<long>::max();
    for (int index = 1; index <= 255; ++index) {
        const std::array<int, 3> rgb = paletteColor(index);
        long distance = 0;
        for (int c = 0; c < 3; ++c)
            distance += static_cast<long>(channels[c] - rgb[c]) * (channels[c] - rgb[c]);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

// Text in the file's code page: ASCII as it is, every other character as \U+XXXX, a caret as "^ ".
std::string dxfString(const std::string& utf8) {
    std::string text;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const int length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        unsigned code = length == 1 ? byte : byte & (0xFF >> (length + 1));
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        char buffer[12];
        if (code == '^') {
            text += "^ ";
        } else if (code >= 0x20 && code < 0x7F) {
            text += static_cast<char>(code);
        } else if (code >= 0x80) {
            std::snprintf(buffer, sizeof buffer, "\\U+%04X", code);
            text += buffer;
        }
    }
    return text;
}

void writeHeader(GroupWriter& dxf, const Page& page, unsigned handleSeed) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "HEADER");
    dxf.pair(9, "$ACADVER");
    dxf.pair(1, "AC1015");
    dxf.pair(9, "$DWGCODEPAGE");
    dxf.pair(3, "ANSI_1252");
    dxf.pair(9, "$HANDSEED");
    dxf.handle(5, handleSeed);
    dxf.pair(9, "$INSUNITS");
    dxf.pair(70, 4); // millimetres
    dxf.pair(9, "$MEASUREMENT");
    dxf.pair(70, 1); // metric
    dxf.pair(9, "$LWDISPLAY");
    dxf.pair(290, 1); // show lineweights
    dxf.pair(9, "$EXTMIN");
    dxf.point(10, 0.0, 0.0);
    dxf.number(30, 0.0);
    dxf.pair(9, "$EXTMAX");
    dxf.point(10, page.widthMm, page.heightMm);
    dxf.number(30, 0.0);
    dxf.pair(9, "$LIMMIN");
    dxf.point(10, 0.0, 0.0);
    dxf.pair(9, "$LIMMAX");
    dxf.point(10, page.widthMm, page.heightMm);
    dxf.pair(9, "$LTSCALE");
    dxf.number(40, 1.0);
    dxf.pair(0, "ENDSEC");
    dxf.pair(0, "SECTION");
    dxf.pair(2, "CLASSES");
    dxf.pair(0, "ENDSEC");
}

class Tables {
public:
    Tables(GroupWriter& dxf, unsigned& nextHandle) : m_dxf(dxf), m_next(nextHandle) {}

    void table(const char* name, unsigned handle, std::size_t entries) {
        m_dxf.pair(0, "TABLE");
        m_dxf.pair(2, name);
        m_dxf.handle(5, handle);
        m_dxf.pair(330, "0");
        m_dxf.pair(100, "AcDbSymbolTable");
        m_dxf.pair(70, static_cast<int>(entries));
    }

    void record(const char* type, unsigned owner, const char* subclass, const std::string& name) {
        m_dxf.pair(0, type);
        m_dxf.handle(5, m_next++);
        m_dxf.handle(330, owner);
        m_dxf.pair(100, "AcDbSymbolTableRecord");
        m_dxf.pair(100, subclass);
        m_dxf.pair(2, name);
        m_dxf.pair(70, 0);
    }

    void lineType(const std::string& name, const std::vector<double>& dashMm) {
        record("LTYPE", kLtypeTable, "AcDbLinetypeTableRecord", name);
        std::string description;
        double period = 0.0;
        for (std::size_t i = 0; i < dashMm.size(); ++i) {
            description += i % 2 == 0 ? "__" : " ";
            period += dashMm[i];
        }
        m_dxf.pair(3, description);
        m_dxf.pair(72, 65);
        m_dxf.pair(73, static_cast<int>(dashMm.size()));
        m_dxf.number(40, period);
        for (std::size_t i = 0; i < dashMm.size(); ++i) {
            m_dxf.number(49, i % 2 == 0 ? dashMm[i] : -dashMm[i]); // negative: a gap
            m_dxf.pair(74, 0);
        }
    }

    void layer(const std::string& name, int color, const std::string& lineType, int lineweight) {
        record("LAYER", kLayerTable, "AcDbLayerTableRecord", name);
        m_dxf.pair(62, color);
        m_dxf.pair(6, lineType);
        m_dxf.pair(370, lineweight);
    }

    void end() { m_dxf.pair(0, "ENDTAB"); }

private:
    GroupWriter& m_dxf;
    unsigned& m_next;
};

void writeTables(GroupWriter& dxf, const Page& page, const std::vector<LineType>& lineTypes,
                 unsigned& nextHandle) {
    Tables tables(dxf, nextHandle);
    dxf.pair(0, "SECTION");
    dxf.pair(2, "TABLES");
    tables.table("VPORT", kVportTable, 0);
    tables.end();
    tables.table("LTYPE", kLtypeTable, 3 + lineTypes.size());
    for (const char* name : {"ByBlock", "ByLayer", "Continuous"})
        tables.lineType(name, {});
    for (const LineType& type : lineTypes)
        tables.lineType(type.name, type.dashMm);
    tables.end();
    tables.table("LAYER", kLayerTable, 1 + page.layers.size());
    tables.layer("0", 7, "Continuous", -3); // the layer every CAD program expects, default lineweight
    for (const PageLayer& layer : page.layers)
        tables.layer(layer.name, colorIndexOf(layer.pen.color), lineTypeOf(lineTypes, layer.pen),
                     lineweightOf(layer.pen.widthMm));
    tables.end();
    tables.table("STYLE", kStyleTable, 1);
    tables.record("STYLE", kStyleTable, "AcDbTextStyleTableRecord", "Standard");
    dxf.number(40, 0.0);
    dxf.number(41, 1.0);
    dxf.number(50, 0.0);
    dxf.pair(71, 0);
    dxf.number(42, 2.5);
    dxf.pair(3, "txt");
    dxf.pair(4, "");
    tables.end();
    tables.table("VIEW", kViewTable, 0);
    tables.end();
    tables.table("UCS", kUcsTable, 0);
    tables.end();
    tables.table("APPID", kAppidTable, 1);
    tables.record("APPID", kAppidTable, "AcDbRegAppTableRecord", "ACAD");
    tables.end();
    tables.table("DIMSTYLE", kDimstyleTable, 1);
    dxf.pair(100, "AcDbDimStyleTable");
    dxf.pair(71, 0);
    dxf.pair(0, "DIMSTYLE");
    dxf.handle(105, nextHandle++);
    dxf.handle(330, kDimstyleTable);
    dxf.pair(100, "AcDbSymbolTableRecord");
    dxf.pair(100, "AcDbDimStyleTableRecord");
    dxf.pair(2, "Standard");
    dxf.pair(70, 0);
    tables.end();
    tables.table("BLOCK_RECORD", kBlockRecordTable, 2);
    for (const auto& [name, handle] : {std::pair{"*Model_Space", kModelSpace}, {"*Paper_Space", kPaperSpace}}) {
        dxf.pair(0, "BLOCK_RECORD");
        dxf.handle(5, handle);
        dxf.handle(330, kBlockRecordTable);
        dxf.pair(100, "AcDbSymbolTableRecord");
        dxf.pair(100, "AcDbBlockTableRecord");
        dxf.pair(2, name);
    }
    tables.end();
    dxf.pair(0, "ENDSEC");
}

void writeBlocks(GroupWriter& dxf, unsigned& nextHandle) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "BLOCKS");
    for (const auto& [name, record] : {std::pair{"*Model_Space", kModelSpace}, {"*Paper_Space", kPaperSpace}}) {
        for (const char* part : {"BLOCK", "ENDBLK"}) {
            dxf.pair(0, part);
            dxf.handle(5, nextHandle++);
            dxf.handle(330, record);
            dxf.pair(100, "AcDbEntity");
            if (record == kPaperSpace)
                dxf.pair(67, 1);
            dxf.pair(8, "0");
            if (part[0] == 'E') {
                dxf.pair(100, "AcDbBlockEnd");
                continue;
            }
            dxf.pair(100, "AcDbBlockBegin");
            dxf.pair(2, name);
            dxf.pair(70, 0);
            dxf.point(10, 0.0, 0.0);
            dxf.number(30, 0.0);
            dxf.pair(3, name);
            dxf.pair(1, "");
        }
    }
    dxf.pair(0, "ENDSEC");
}

void entityStart(GroupWriter& dxf, const char* type, unsigned handle, const std::string& layer,
                 const char* subclass) {
    dxf.pair(0, type);
    dxf.handle(5, handle);
    dxf.handle(330, kModelSpace);
    dxf.pair(100, "AcDbEntity");
    dxf.pair(8, layer);
    dxf.pair(100, subclass);
}

// A line of one point is a dot: two equal vertices. The dash pattern runs on across vertices (flag
// 128), as it does in the other formats: restarted at each one, it would leave a curve of short
// segments solid. LibreCAD ignores the flag, so curved hidden lines look solid there; dashes cut into
// real pieces (HiddenDashes::Segments) show there too.
void writePolyline(GroupWriter& dxf, unsigned handle, const std::string& layer,
                   const std::vector<PagePoint>& points) {
    entityStart(dxf, "LWPOLYLINE", handle, layer, "AcDbPolyline");
    dxf.pair(90, static_cast<int>(std::max<std::size_t>(points.size(), 2)));
    dxf.pair(70, 128); // open, pattern continuous
    for (const PagePoint& p : points)
        dxf.point(10, p.x, p.y);
    if (points.size() == 1)
        dxf.point(10, points[0].x, points[0].y);
}

// A circle or an arc of one as CIRCLE or ARC (angles in degrees, counter-clockwise), any other as
// ELLIPSE (its major axis from the centre, the minor's share of it, parameters in radians).
void writeCurve(GroupWriter& dxf, unsigned handle, const std::string& layer, const PageCurve& curve) {
    const bool circle = curve.circular();
    entityStart(dxf, circle ? (curve.closed() ? "CIRCLE" : "ARC") : "ELLIPSE", handle, layer,
                circle ? "AcDbCircle" : "AcDbEllipse");
    dxf.point(10, curve.centre.x, curve.centre.y);
    dxf.number(30, 0.0);
    if (circle) {
        dxf.number(40, curve.majorMm);
        if (curve.closed())
            return;
        // Degrees from 0 to 360, which every reader takes; the arc runs on past 360 where the end is less.
        const auto degrees = [](double radians) {
            const double turned = std::fmod(radians * 180.0 / M_PI, 360.0);
            return turned < 0.0 ? turned + 360.0 : turned;
        };
        dxf.pair(100, "AcDbArc");
        dxf.number(50, degrees(curve.rotation + curve.start));
        dxf.number(51, degrees(curve.rotation + curve.end));
        return;
    }
    dxf.point(11, curve.majorMm * std::cos(curve.rotation), curve.majorMm * std::sin(curve.rotation));
    dxf.number(31, 0.0);
    dxf.number(40, curve.minorMm / curve.majorMm);
    dxf.number(41, curve.closed() ? 0.0 : curve.start);
    dxf.number(42, curve.closed() ? 2.0 * M_PI : curve.end);
}

void writeText(GroupWriter& dxf, unsigned handle, const PageText& text) {
    entityStart(dxf, "TEXT", handle, text.layer, "AcDbText");
    dxf.point(10, text.at.x, text.at.y);
    dxf.number(30, 0.0);
    dxf.number(40, text.heightMm);
    dxf.pair(1, dxfString(text.text));
    dxf.pair(100, "AcDbText");
}

void writeObjects(GroupWriter& dxf) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "OBJECTS");
    dxf.pair(0, "DICTIONARY");
    dxf.handle(5, kRootDictionary);
    dxf.pair(330, "0");
    dxf.pair(100, "AcDbDictionary");
    dxf.pair(281, 1);
    dxf.pair(3, "ACAD_GROUP");
    dxf.handle(350, kGroupDictionary);
    dxf.pair(0, "DICTIONARY");
    dxf.handle(5, kGroupDictionary);
    dxf.handle(330, kRootDictionary);
    dxf.pair(100, "AcDbDictionary");
    dxf.pair(281, 1);
    dxf.pair(0, "ENDSEC");
}

} // namespace

void writeDxf(std::ostream& out, const Page& page, const std::function<void(double)>& progress) {
    StepProgress written(lineCount(page), progress);
    const std::vector<LineType> lineTypes = lineTypesOf(page);
    // Every record, block and entity takes one handle; the header names the first one left over.
    std::size_t handles = 3 + lineTypes.size() + 1 + page.layers.size() + 3 + 4 + page.texts.size();
    for (const PageLayer& layer : page.layers)
        handles += layer.polylines.size() + layer.curves.size();
    unsigned nextHandle = kFirstFreeHandle;
    GroupWriter dxf;
    writeHeader(dxf, page, kFirstFreeHandle + static_cast<unsigned>(handles));
    writeTables(dxf, page, lineTypes, nextHandle);
    writeBlocks(dxf, nextHandle);
    dxf.pair(0, "SECTION");
    dxf.pair(2, "ENTITIES");
    for (const PageLayer& layer : page.layers)
        for (const std::vector<PagePoint>& polyline : layer.polylines) {
            if (polyline.empty())
                continue;
            writePolyline(dxf, nextHandle++, layer.name, polyline);
            out << dxf.text;
            dxf.text.clear();
            written.done(1);
        }
    for (const PageLayer& layer : page.layers)
        for (const PageCurve& curve : layer.curves) {
            writeCurve(dxf, nextHandle++, layer.name, curve);
            written.done(1);
        }
    for (const PageText& text : page.texts)
        writeText(dxf, nextHandle++, text);
    dxf.pair(0, "ENDSEC");
    writeObjects(dxf);
    dxf.pair(0, "EOF");
    out << dxf.text;
}

} // namespace kvhlr
