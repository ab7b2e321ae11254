#include "kit/mesh/ObjReader.h"

#include "Hlr/HLRHugePages.h"
#include "kit/InputError.h"
#include "kit/WorkSharing.h"
#include "kit/mesh/MeshReading.h"
#include "kit/mesh/VertexWelder.h"

#include <assimp/types.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace kvhlr {
namespace {

// Below these sizes a thread would not pay for its start: bytes of the file to parse, and vertices of a
// mesh to weld.
constexpr std::size_t kBytesPerThread = 1 << 20;
constexpr std::size_t kVerticesPerThread = 1 << 15;

// Lines end where the import library ends them; every piece of text the parser reads ends with one,
// so scanning needs no bounds check.
bool isLineEnd(char c) {
    return c == '\n' || c == '\r' || c == '\0' || c == '\f';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
// The import library takes a comma for a decimal point.
bool isPoint(char c) {
    return c == '.' || c == ',';
}

const char* toLineEnd(const char* p) {
    while (!isLineEnd(*p))
        ++p;
    return p;
}
const char* pastWord(const char* p) {
    while (!isBlank(*p) && !isLineEnd(*p))
        ++p;
    return p;
}
const char* pastBlanks(const char* p) {
    while (isBlank(*p))
        ++p;
    return p;
}

// Whether the text at p starts with `lower`, ignoring case; a line end stops the comparison.
bool startsWithWord(const char* p, const char* lower) {
    for (; *lower != '\0'; ++p, ++lower)
        if (std::tolower(static_cast<unsigned char>(*p)) != *lower)
            return false;
    return true;
}

// Whether the import library reads the word at p as a number (it would reject it otherwise).
bool startsNumber(const char* p) {
    if (*p == '-' || *p == '+')
        ++p;
    return isDigit(*p) || (isPoint(*p) && isDigit(p[1])) || startsWithWord(p, "nan") || startsWithWord(p, "inf");
}

// Reads the number at p exactly as the import library does, so that every coordinate rounds to the
// same float: the whole part converted to float, the first 15 digits of the fraction scaled in double
// and added in float, then a power of ten in float. Returns the end of the number, or nullptr for an
// exponent without digits. Where the library gives up (a whole part beyond 64 bits reads as 0, an
// exponent beyond 64 bits as none), this reads the number written.
const char* parseReal(const char* c, float& out) {
    static constexpr double kTenths[16] = {1.0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                           1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};
    const bool negative = *c == '-';
    if (negative || *c == '+')
        ++c;
    if (!isDigit(*c) && startsWithWord(c, "nan")) {
        out = std::numeric_limits<float>::quiet_NaN();
        return c + 3;
    }
    if (!isDigit(*c) && startsWithWord(c, "inf")) {
        out = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
        return startsWithWord(c + 3, "inity") ? c + 8 : c + 3;
    }
    float value = 0;
    if (!isPoint(*c)) {
        std::uint64_t whole = 0;
        double large = 0;
        bool overflow = false;
        for (; isDigit(*c); ++c) {
            overflow |= __builtin_mul_overflow(whole, 10u, &whole) ||
                        __builtin_add_overflow(whole, static_cast<unsigned>(*c - '0'), &whole);
            large = large * 10 + (*c - '0');
        }
        value = overflow ? static_cast<float>(large) : static_cast<float>(whole);
    }
    if (isPoint(*c) && isDigit(c[1])) {
        ++c;
        std::uint64_t fraction = 0;
        int digits = 0;
        for (; isDigit(*c); ++c)
            if (digits < 15) {
                fraction = fraction * 10 + static_cast<unsigned>(*c - '0');
                ++digits;
            }
        value += static_cast<float>(static_cast<double>(fraction) * kTenths[digits]);
    } else if (*c == '.') {
        ++c;
    }
    if (*c == 'e' || *c == 'E') {
        ++c;
        const bool negativeExponent = *c == '-';
        if (negativeExponent || *c == '+')
            ++c;
        if (!isDigit(*c))
            return nullptr;
        // Every power of ten from 10^39 up is infinite in float and every one from 10^-46 down is zero.
        std::uint64_t exponent = 0;
        for (; isDigit(*c); ++c)
            exponent = std::min<std::uint64_t>(exponent * 10 + static_cast<unsigned>(*c - '0'), 1000000);
        const float power = static_cast<float>(exponent);
        value *= std::pow(10.0f, negativeExponent ? -power : power);
    }
    out = negative ? -value : value;
    return c;
}

// The faces of one object. Objects are made the way the import library makes them: one for each new
// `o` name (a name seen before changes nothing: faces keep going where they went) and one for each
// change of `g` group; faces go to the object made last. Without materials an object has one mesh.
struct Mesh {
    std::vector<std::array<std::uint32_t, 3>> triangles; // file vertex indices, 0-based
    std::vector<std::size_t> quads;                      // the first of each quad's two triangles
    bool hasFaces = false;                               // lines and points count, though they draw nothing

    void append(Mesh&& more) {
        hasFaces |= more.hasFaces;
        if (triangles.empty()) {
            triangles = std::move(more.triangles);
            quads = std::move(more.quads);
            return;
        }
        for (std::size_t first : more.quads)
            quads.push_back(triangles.size() + first);
        triangles.insert(triangles.end(), more.triangles.begin(), more.triangles.end());
        more = Mesh(); // its memory is given back at once, not when the whole file is read
    }
};

// The faces between one `g` or `o` line and the next. Which object they go to depends on the names met
// before, in other pieces of the file, so a piece keeps them apart until the pieces are joined in order.
struct Segment {
    char statement = 0; // 'g' or 'o'; 0 for the faces at the start of a piece
    std::string name;
    Mesh mesh;
};

// Thrown where the file holds something left to the import library.
struct LeftToImportLibrary {};

// What a piece of the file holds: those after it must know its lines and vertices to tell their own,
// and its vertices and faces size the arrays they are read into.
struct PieceCount {
    std::uint64_t lines;    // newlines
    std::uint64_t vertices; // vertex statements
    std::uint64_t faces;    // lines that start with 'f'
    std::uint64_t bytes;
    std::uint64_t backslashes;

    PieceCount& operator+=(const PieceCount& more) {
        lines += more.lines;
        vertices += more.vertices;
        faces += more.faces;
        bytes += more.bytes;
        backslashes += more.backslashes;
        return *this;
    }
};

// Reads one piece of the file, which starts at the start of a line.
class ObjParser {
public:
    explicit ObjParser(const std::string& path) : m_path(path) {}

    // Moves the piece's start past `before`, the lines and vertices of a piece before it.
    void start(const PieceCount& before) {
        m_line += before.lines;
        m_firstVertex += before.vertices;
    }

    // Makes room for the vertices and triangles of `count` before reading, so that the arrays are not
    // copied as they grow: the first piece's room is the whole file's, which the later pieces' are then
    // joined into. A valid vertex or triangle takes at least 8 bytes of the file, which bounds the room
    // a file of short bad lines could ask for.
    void reserve(const PieceCount& count) {
        KvHLR::HLRHugePages::reserve(xyz, 3 * std::min(count.vertices, count.bytes / 8));
        m_triangleRoom = std::min(count.faces, count.bytes / 8);
    }

    // Reads `text` up to `end`, the character before which is a line end, telling `progress` the share
    // read. Each statement's reader returns where it stopped in its line (nullptr to leave the file to
    // the import library); the rest of the line is ignored.
    void parse(const char* text, const char* end, const std::function<void(double)>& progress);

    std::vector<float> xyz; // three coordinates a vertex
    std::vector<Segment> segments{1};
    std::unordered_map<std::uint32_t, std::uint64_t> badLines; // the line of each non-finite vertex
    std::int64_t largestIndex = 0;
    std::uint64_t largestIndexLine = 0;

private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw InputError(m_path, "line " + std::to_string(m_line) + ": " + reason);
    }
    std::uint64_t vertexCount() const { return m_firstVertex + xyz.size() / 3; }
    const char* vertex(const char* p);
    const char* face(char kind, const char* p);
    std::uint32_t fileVertex(std::int64_t index);
    const char* group(const char* p);
    const char* object(const char* p);

    const std::string& m_path;
    std::uint64_t m_line = 1;
    std::uint64_t m_firstVertex = 0;
    std::uint64_t m_triangleRoom = 0; // given to the first mesh that gets a face, then 0
};

void ObjParser::parse(const char* text, const char* end, const std::function<void(double)>& progress) {
    constexpr std::size_t kProgressStep = 1 << 20;
    const char* nextReport = text;
    for (const char* p = text; p < end;) {
        if (p >= nextReport) {
            progress(static_cast<double>(p - text) / static_cast<double>(end - text));
            nextReport = p + kProgressStep;
        }
        switch (*p) {
        case 'v': // texture coordinates and normals (vt, vn) are not drawn, and other v words are ignored
            if (isBlank(p[1]))
                p = vertex(p + 1);
            break;
        case 'f':
        case 'l':
        case 'p':
            p = face(*p, pastBlanks(pastWord(p)));
            break;
        case 'u':
            if (std::string_view(p, static_cast<std::size_t>(pastWord(p) - p)) == "usemtl")
                throw LeftToImportLibrary(); // materials split meshes by rules of their own
            break;
        case 'g':
            p = group(pastBlanks(pastWord(p)));
            break;
        case 'o':
            p = object(pastBlanks(pastWord(p)));
            break;
        default: // comments, smoothing groups, material libraries and what else the format allows
            break;
        }
        if (p == nullptr)
            throw LeftToImportLibrary();
        p = toLineEnd(p);
        m_line += *p == '\n';
        ++p;
    }
}

// A vertex: the numbers that start the line, three, four (divided by the fourth) or six (a colour
// follows); words after them (a comment) are ignored. The rest of a word that starts with a number is
// ignored too, as the import library ignores it ("1.0f" reads 1).
const char* ObjParser::vertex(const char* p) {
    float values[6];
    int count = 0;
    for (p = pastBlanks(p); !isLineEnd(*p) && startsNumber(p); p = pastBlanks(pastWord(p))) {
        float value = 0;
        if (parseReal(p, value) == nullptr)
            fail("'" + std::string(p, pastWord(p)) + "' is not a number");
        if (count < 6)
            values[count] = value;
        ++count;
    }
    if (count != 3 && count != 4 && count != 6)
        fail("a vertex needs 3 coordinates (4 with a weight, 6 with a colour), not " + std::to_string(count));
    float x = values[0], y = values[1], z = values[2];
    if (count == 4) {
        if (values[3] == 0)
            fail("a vertex has the weight 0");
        x /= values[3];
        y /= values[3];
        z /= values[3];
    }
    if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(z)))
        badLines.emplace(static_cast<std::uint32_t>(vertexCount()), m_line);
    xyz.insert(xyz.end(), {x, y, z});
    return p;
}

// A face (f), polyline (l) or point set (p): corners of up to three indices separated by '/', of which
// the first is the vertex; a negative index counts back from the vertices read so far.
const char* ObjParser::face(char kind, const char* p) {
    constexpr std::int64_t kIndexCap = std::int64_t(1) << 40; // beyond any file's vertex count
    std::uint32_t corners[4];
    int count = 0;
    int slot = 0; // 0 vertex, 1 texture coordinate, 2 normal
    while (!isLineEnd(*p)) {
        if (*p == '/') {
            ++slot;
            ++p;
            continue;
        }
        if (isBlank(*p)) {
            slot = 0;
            ++p;
            continue;
        }
        const char* start = p;
        const bool negative = *p == '-';
        if (negative || *p == '+')
            ++p;
        const char* digits = p;
        std::int64_t index = 0;
        for (; isDigit(*p); ++p)
            index = std::min(index * 10 + (*p - '0'), kIndexCap);
        if (p == digits || (!isBlank(*p) && *p != '/' && !isLineEnd(*p)))
            fail("'" + std::string(start, pastWord(start)) + "' is not a vertex index");
        if (index == 0)
            fail("a face refers to index 0, but indices start at 1");
        if (slot > 2)
            fail("a face corner holds more than three indices");
        if (slot > 0)
            continue;
        const std::uint32_t vertex = fileVertex(negative ? -index : index);
        if (kind == 'f' && count == 4)
            return nullptr; // the import library cuts larger polygons into ears
        if (kind == 'f')
            corners[count] = vertex;
        ++count;
    }
    if (count == 0)
        return p; // the import library ignores an empty face
    if ((kind == 'f' && count < 3) || (kind == 'l' && count < 2))
        return nullptr;
    Mesh& mesh = segments.back().mesh;
    mesh.hasFaces = true;
    if (kind != 'f')
        return p;
    if (m_triangleRoom != 0) {
        // Touched by this thread alone as it reads: advised, not touched ahead on the library's threads.
        mesh.triangles.reserve(m_triangleRoom);
        KvHLR::HLRHugePages::advise(mesh.triangles.data(), m_triangleRoom * sizeof mesh.triangles[0]);
        m_triangleRoom = 0;
    }
    if (count == 4) {
        mesh.quads.push_back(mesh.triangles.size());
        mesh.triangles.push_back({corners[0], corners[1], corners[2]});
        mesh.triangles.push_back({corners[0], corners[2], corners[3]});
    } else {
        mesh.triangles.push_back({corners[0], corners[1], corners[2]});
    }
    return p;
}

// A 0-based file vertex index for the 1-based or negative `index`. A positive index may refer to a
// vertex further on; it is checked once the whole file is read.
std::uint32_t ObjParser::fileVertex(std::int64_t index) {
    if (index > 0) {
        if (index > largestIndex) {
            largestIndex = index;
            largestIndexLine = m_line;
        }
        return static_cast<std::uint32_t>(index - 1);
    }
    const std::int64_t resolved = static_cast<std::int64_t>(vertexCount()) + index;
    if (resolved < 0)
        fail("a face refers to vertex " + std::to_string(index) + ", but only " + std::to_string(vertexCount()) +
             " vertices come before it");
    return static_cast<std::uint32_t>(resolved);
}

// A group line: its name runs to the line end, blanks included; a change of group starts an object.
const char* ObjParser::group(const char* p) {
    const char* end = toLineEnd(p);
    segments.push_back({'g', std::string(p, end), {}});
    return end;
}

// An object line: its name is one word; an empty one changes nothing.
const char* ObjParser::object(const char* p) {
    const char* end = pastWord(p);
    if (end != p)
        segments.push_back({'o', std::string(p, end), {}});
    return end;
}

// The whole file: its vertices, and its faces sorted into objects once its pieces are read.
class ObjFile {
public:
    explicit ObjFile(const std::string& path) : m_path(path) {}

    // Takes a piece's vertices, faces and findings; pieces come in file order.
    void join(ObjParser& piece);
    bool hasFaces() const {
        return std::any_of(m_meshes.begin(), m_meshes.end(), [](const Mesh& mesh) { return mesh.hasFaces; });
    }
    // `progress` is told the share of the welding done.
    std::vector<MeshPart> parts(bool bodies, unsigned threads, const std::function<void(double)>& progress);

private:
    [[noreturn]] void fail(std::uint64_t line, const std::string& reason) const {
        throw InputError(m_path, "line " + std::to_string(line) + ": " + reason);
    }
    std::uint64_t vertexCount() const { return m_xyz.size() / 3; }
    void createObject(std::string_view name);
    void splitQuads(Mesh& mesh) const;
    Kv::KvTriangleList weld(Mesh& mesh, unsigned threads, Kv::KvPointList& points,
                            std::vector<std::uint32_t>& fileVertices, const std::function<void(double)>& progress);

    const std::string& m_path;
    std::vector<float> m_xyz;                                    // three coordinates a vertex
    std::unordered_map<std::uint32_t, std::uint64_t> m_badLines; // the line of each non-finite vertex
    std::int64_t m_largestIndex = 0;
    std::uint64_t m_largestIndexLine = 0;

    std::vector<Mesh> m_meshes; // one an object
    std::vector<std::string> m_meshNames; // each object's `o` or `g` name (empty for the faces before any)
    std::unordered_set<std::string> m_objectNames;
    std::string m_activeGroup;
    std::vector<std::uint32_t> m_meshVertexOf; // scratch for weld: a file vertex's index in the mesh
};

void ObjFile::join(ObjParser& piece) {
    if (m_xyz.empty())
        m_xyz = std::move(piece.xyz);
    else
        m_xyz.insert(m_xyz.end(), piece.xyz.begin(), piece.xyz.end());
    piece.xyz = std::vector<float>();
    m_badLines.insert(piece.badLines.begin(), piece.badLines.end());
    if (piece.largestIndex > m_largestIndex) {
        m_largestIndex = piece.largestIndex;
        m_largestIndexLine = piece.largestIndexLine;
    }
    for (Segment& segment : piece.segments) {
        if (segment.statement == 'g' && segment.name != m_activeGroup) {
            createObject(segment.name);
            m_activeGroup = segment.name;
        } else if (segment.statement == 'o' && m_objectNames.count(segment.name) == 0) {
            createObject(segment.name);
        }
        if (!segment.mesh.hasFaces)
            continue;
        if (m_meshes.empty())
            createObject("defaultobject");
        m_meshes.back().append(std::move(segment.mesh));
    }
}

void ObjFile::createObject(std::string_view name) {
    m_objectNames.emplace(name);
    m_meshes.emplace_back();
    m_meshNames.resize(m_meshes.size());
    m_meshNames.back() = name;
}

// Splits each quad as the import library does: a quad has at most one concave corner, and the fan
// starts there (or at the first corner). The arithmetic is the library's own, in float.
void ObjFile::splitQuads(Mesh& mesh) const {
    auto at = [this](std::uint32_t v) { return aiVector3D(m_xyz[3 * v], m_xyz[3 * v + 1], m_xyz[3 * v + 2]); };
    for (std::size_t first : mesh.quads) {
        const std::uint32_t q[4] = {mesh.triangles[first][0], mesh.triangles[first][1], mesh.triangles[first][2],
                                    mesh.triangles[first + 1][2]};
        unsigned start = 0;
        for (unsigned i = 0; i < 4; ++i) {
            const aiVector3D v = at(q[i]);
            aiVector3D left = at(q[(i + 3) % 4]) - v, diagonal = at(q[(i + 2) % 4]) - v,
                       right = at(q[(i + 1) % 4]) - v;
            left.Normalize();
            diagonal.Normalize();
            right.Normalize();
            const float angle = std::acos(left * diagonal) + std::acos(right * diagonal);
            if (angle > AI_MATH_PI_F) {
                start = i;
                break;
            }
        }
        mesh.triangles[first] = {q[start], q[(start + 1) % 4], q[(start + 2) % 4]};
        mesh.triangles[first + 1] = {q[start], q[(start + 2) % 4], q[(start + 3) % 4]};
    }
}

// The mesh's triangles welded, their points into `points` and each point's first vertex in the file into
// `fileVertices`. They are first renumbered onto the mesh's
// own vertices, in order of first use, so that welding takes memory for the mesh alone, not for every
// vertex of the file.
Kv::KvTriangleList ObjFile::weld(Mesh& mesh, unsigned threads, Kv::KvPointList& points,
                                 std::vector<std::uint32_t>& fileVertices,
                                 const std::function<void(double)>& progress) {
    constexpr std::uint32_t unset = ~std::uint32_t(0);
    if (m_meshVertexOf.empty()) // the file's vertex count: set once, for every mesh
        KvHLR::HLRHugePages::assign(m_meshVertexOf, vertexCount(), unset);
    std::vector<std::uint32_t> fileVertexOf;
    KvHLR::HLRHugePages::reserve(fileVertexOf,
                                 std::min<std::uint64_t>(vertexCount(), 3 * mesh.triangles.size()));
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        if (t % (1 << 16) == 0)
            progress(0.0); // a cancel is heard here too
        for (std::uint32_t& v : mesh.triangles[t]) {
            std::uint32_t& own = m_meshVertexOf[v];
            if (own == unset) {
                own = static_cast<std::uint32_t>(fileVertexOf.size());
                fileVertexOf.push_back(v);
            }
            v = own;
        }
    }
    std::vector<float> xyz;
    KvHLR::HLRHugePages::reserve(xyz, 3 * fileVertexOf.size());
    xyz.resize(3 * fileVertexOf.size());
    for (std::size_t i = 0; i < fileVertexOf.size(); ++i) {
        m_meshVertexOf[fileVertexOf[i]] = unset;
        std::copy_n(&m_xyz[3 * fileVertexOf[i]], 3, &xyz[3 * i]);
    }
    const FloatVertices vertices{reinterpret_cast<const char*>(xyz.data()), 9 * sizeof(float),
                                 fileVertexOf.size()};
    std::optional<WeldedTriangles> welded =
        weldInParallel(vertices, mesh.triangles.data(), mesh.triangles.size(), vertices.count,
                       threadsFor(threads, vertices.count, kVerticesPerThread), progress);
    // Nothing welded: a vertex is not finite, and the first corner at one is named by its line.
    for (std::size_t t = 0; !welded && t < mesh.triangles.size(); ++t)
        for (std::uint32_t v : mesh.triangles[t]) {
            const float* p = &xyz[3 * v];
            if (!(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])))
                checkSinglePrecisionVertex(p[0], p[1], p[2], m_path,
                                           "line " + std::to_string(m_badLines.at(fileVertexOf[v])) + ": ");
        }
    points = std::move(welded->points);
    fileVertices = std::move(welded->firstVertices);
    for (std::uint32_t& vertex : fileVertices)
        vertex = fileVertexOf[vertex];
    return std::move(welded->triangles);
}

std::vector<MeshPart> ObjFile::parts(bool bodies, unsigned threads,
                                     const std::function<void(double)>& progress) {
    if (static_cast<std::uint64_t>(m_largestIndex) > vertexCount())
        fail(m_largestIndexLine, "a face refers to vertex " + std::to_string(m_largestIndex) +
                                     ", but the file holds " + std::to_string(vertexCount()) + " vertices");
    // An object with faces is a part of its own, a body of one face when `bodies`.
    std::vector<MeshPart> parts;
    std::size_t total = 1, done = 0; // one more, so that no share divides by zero
    for (const Mesh& mesh : m_meshes)
        total += mesh.triangles.size();
    m_meshNames.resize(m_meshes.size());
    for (std::size_t m = 0; m < m_meshes.size(); ++m) {
        Mesh& mesh = m_meshes[m];
        if (!mesh.hasFaces)
            continue;
        splitQuads(mesh);
        MeshPart& part = parts.emplace_back();
        part.body = bodies;
        // A body is named after its object; the faces before any object have none (the import library
        // calls their object "defaultobject").
        if (bodies && m_meshNames[m] != "defaultobject")
            part.partName = m_meshNames[m];
        const double start = static_cast<double>(done) / static_cast<double>(total);
        const double size = static_cast<double>(mesh.triangles.size()) / static_cast<double>(total);
        part.faces.push_back(
            weld(mesh, threads, part.points, part.fileVertices, [&](double share) { progress(start + size * share); }));
        done += mesh.triangles.size();
    }
    return parts;
}

// The lines, vertices, faces and backslashes in the text from p, at the start of a line, up to `end`,
// the character before which is a line end: lines and vertices found the way the parser finds them, so
// that each piece knows where it starts. Written so that the compiler can test many characters at once,
// in runs short enough for byte counters.
PieceCount counted(const char* text, const char* end) {
    const auto* u = reinterpret_cast<const unsigned char*>(text);
    const auto n = static_cast<std::size_t>(end - text);
    PieceCount count{0, n > 1 && text[0] == 'v' && isBlank(text[1]), n > 0 && text[0] == 'f', n, 0};
    std::size_t i = 0;
    // A vertex line's 'v' is followed by a blank, and the text ends with a line end: the last two
    // characters start no vertex line.
    while (i + 2 < n) {
        const std::size_t stop = std::min(n - 2, i + 240);
        std::uint8_t vertices = 0, faces = 0, lines = 0, backslashes = 0;
        for (; i < stop; ++i) {
            const std::uint8_t a = u[i], b = u[i + 1], c = u[i + 2];
            const std::uint8_t lineEnd = (a == '\n') | (a == '\r') | (a == '\0') | (a == '\f');
            vertices += lineEnd & (b == 'v') & ((c == ' ') | (c == '\t'));
            faces += lineEnd & (b == 'f');
            lines += a == '\n';
            backslashes += a == '\\';
        }
        count.vertices += vertices;
        count.faces += faces;
        count.lines += lines;
        count.backslashes += backslashes;
    }
    for (; i < n; ++i) {
        count.lines += u[i] == '\n';
        count.backslashes += u[i] == '\\';
    }
    return count;
}

} // namespace

std::optional<std::vector<MeshPart>> readObjFile(const std::string& path, bool bodies,
                                                 const std::function<void(double)>& progress,
                                                 unsigned threads) {
    const MappedFile file(path);
    const char* const begin = file.data();
    const char* const end = begin + file.size();
    // The import library refuses files under 16 bytes, and joins a line ending in a backslash to the next
    // (a file with a backslash anywhere is left to it once counted).
    if (file.size() < 16)
        return std::nullopt;
    // Everything up to the last line end is read in place; a last line without one is read from a copy.
    const char* cut = end;
    while (cut > begin && !isLineEnd(cut[-1]))
        --cut;
    const std::string lastLine = std::string(cut, end) + '\n';

    // One piece a thread, each ending after a newline; the last line joins the last piece. Each piece
    // is counted first, all at once, so that a piece knows its first line and vertex and the arrays
    // are made large enough before reading.
    const unsigned pieces = threadsFor(threads, static_cast<std::size_t>(cut - begin), kBytesPerThread);
    std::vector<const char*> bounds(pieces + 1, cut);
    bounds[0] = begin;
    for (unsigned k = 1; k < pieces; ++k) {
        const char* from = std::max(bounds[k - 1], begin + (cut - begin) * k / pieces);
        if (const void* newline = std::memchr(from, '\n', static_cast<std::size_t>(cut - from)))
            bounds[k] = static_cast<const char*>(newline) + 1;
    }
    std::vector<PieceCount> counts(pieces);
    runInParallel(pieces, [&](unsigned k) {
        counts[k] = counted(bounds[k], bounds[k + 1]);
        if (k + 1 == pieces && cut != end)
            counts[k] += counted(lastLine.data(), lastLine.data() + lastLine.size());
    });
    PieceCount whole{};
    for (const PieceCount& count : counts)
        whole += count;
    if (whole.backslashes != 0)
        return std::nullopt;
    std::vector<ObjParser> parsers;
    parsers.reserve(pieces);
    for (unsigned k = 0; k < pieces; ++k) {
        ObjParser& parser = parsers.emplace_back(path);
        for (unsigned j = 0; j < k; ++j)
            parser.start(counts[j]);
        parser.reserve(k == 0 ? whole : counts[k]);
    }
    // Welding takes about a tenth of the time: its share follows the parsing's. A hook that throws stops
    // the reading within a fraction of a second: the first piece's at once, the others at their next step.
    constexpr double kParsingShare = 0.9;
    std::atomic<bool> stopped{false};
    struct Stopped {};
    const std::function<void(double)> parsing = [&](double share) {
        try {
            progress(kParsingShare * share);
        } catch (...) {
            stopped = true;
            throw;
        }
    };
    const std::function<void(double)> quiet = [&](double) {
        if (stopped)
            throw Stopped(); // runInParallel throws the first piece's exception, the hook's
    };
    const std::function<void(double)> welding = [&](double share) {
        progress(kParsingShare + (1.0 - kParsingShare) * share);
    };
    try {
        runInParallel(pieces, [&](unsigned k) {
            parsers[k].parse(bounds[k], bounds[k + 1], k == 0 ? parsing : quiet);
            if (k + 1 == pieces && cut != end)
                parsers[k].parse(lastLine.data(), lastLine.data() + lastLine.size(), quiet);
        });
    } catch (const LeftToImportLibrary&) {
        return std::nullopt;
    }
    ObjFile obj(path);
    for (ObjParser& parser : parsers)
        obj.join(parser);
    if (!obj.hasFaces())
        return std::nullopt;
    std::vector<MeshPart> parts = obj.parts(bodies, threads, welding);
    progress(1.0);
    return parts;
}

} // namespace kvhlr
