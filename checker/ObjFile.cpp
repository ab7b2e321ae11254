#include "checker/ObjFile.h"

#include "checker/InputError.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace kvcheck {
namespace {

class LineReader {
public:
    LineReader(const std::string& path, std::size_t lineNumber, const std::string& line)
        : m_path(path), m_lineNumber(lineNumber), m_cursor(line.c_str()) {}

    // The next whitespace-separated word, empty at the end of the line.
    std::string word() {
        skipSpace();
        const char* start = m_cursor;
        while (*m_cursor != '\0' && !std::isspace(static_cast<unsigned char>(*m_cursor)))
            ++m_cursor;
        return std::string(start, m_cursor);
    }

    // A coordinate, rounded to single precision.
    double coordinate() {
        const std::string text = word();
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0')
            fail("expected a number, found '" + text + "'");
        const float rounded = static_cast<float>(value);
        if (!std::isfinite(rounded))
            fail("coordinate '" + text + "' is not a finite single-precision number");
        return rounded;
    }

    [[noreturn]] void fail(const std::string& reason) const {
        throw InputError(m_path, "line " + std::to_string(m_lineNumber) + ": " + reason);
    }

private:
    void skipSpace() {
        while (std::isspace(static_cast<unsigned char>(*m_cursor)))
            ++m_cursor;
    }

    const std::string& m_path;
    std::size_t m_lineNumber;
    const char* m_cursor;
};

// The 0-based vertex index of one face corner ("7", "7/2", "7//3", "-1/...").
std::uint32_t cornerIndex(const std::string& corner, std::size_t vertexCount, LineReader& line) {
    char* end = nullptr;
    errno = 0;
    const long long index = std::strtoll(corner.c_str(), &end, 10);
    if (end == corner.c_str() || (*end != '\0' && *end != '/') || errno == ERANGE)
        line.fail("malformed face corner '" + corner + "'");
    const long long resolved = index < 0 ? static_cast<long long>(vertexCount) + index : index - 1;
    if (index == 0 || resolved < 0 || resolved >= static_cast<long long>(vertexCount))
        line.fail("face corner '" + corner + "' names no vertex read so far");
    return static_cast<std::uint32_t>(resolved);
}

std::vector<std::uint32_t> corners(LineReader& line, const Mesh& mesh, std::size_t least, const char* what) {
    std::vector<std::uint32_t> corners;
    for (std::string corner = line.word(); !corner.empty(); corner = line.word())
        corners.push_back(cornerIndex(corner, mesh.points.size(), line));
    if (corners.size() < least)
        line.fail(std::string(what) + " needs at least " + std::to_string(least) + " corners");
    return corners;
}

void readFace(LineReader& line, Mesh& mesh) {
    const std::vector<std::uint32_t> c = corners(line, mesh, 3, "a face");
    for (std::size_t k = 1; k + 1 < c.size(); ++k)
        mesh.triangles.push_back({c[0], c[k], c[k + 1]});
}

void readPolyline(LineReader& line, Mesh& mesh) {
    const std::vector<std::uint32_t> c = corners(line, mesh, 2, "a polyline");
    for (std::size_t k = 1; k < c.size(); ++k)
        mesh.tangentSides.push_back({c[k - 1], c[k]});
}

} // namespace

ObjContent readObj(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw InputError(path, std::string("cannot open: ") + std::strerror(errno));
    ObjContent content;
    std::string text;
    for (std::size_t lineNumber = 1; std::getline(in, text); ++lineNumber) {
        LineReader line(path, lineNumber, text);
        const std::string keyword = line.word();
        if (keyword == "v") {
            const double x = line.coordinate(), y = line.coordinate(), z = line.coordinate();
            if (content.mesh.points.size() >= UINT32_MAX)
                line.fail("more vertices than the checker indexes");
            content.mesh.points.push_back({x, y, z});
        } else if (keyword == "f") {
            readFace(line, content.mesh);
        } else if (keyword == "l") {
            readPolyline(line, content.mesh);
        } else if (keyword == "o" || keyword == "g" || keyword == "usemtl") {
            ++content.groupLines;
        }
    }
    if (in.bad())
        throw InputError(path, "read error");
    return content;
}

} // namespace kvcheck
