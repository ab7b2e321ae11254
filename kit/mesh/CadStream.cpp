#include "kit/mesh/CadStream.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace kvhlr {
namespace {

// Sent out once this much is waiting.
constexpr std::size_t kBufferSize = 1 << 16;
// What a stream may hold at most: texts are names and messages; points are indexed by 32 bits; a part
// has far fewer faces, tangent and B-rep edges than points.
constexpr std::uint32_t kLongestText = 1 << 16;
constexpr std::uint64_t kMostPoints = UINT32_MAX;
constexpr std::uint32_t kMostLists = 1u << 26;
// A length unit, in millimetres, lies between a nanometre and a light year.
constexpr double kShortestUnitMm = 1e-6;
constexpr double kLongestUnitMm = 1e19;
// Lists are read in pieces of at most this many items, so that they grow only with what arrives.
constexpr std::uint64_t kPiece = 1 << 14;

class Reader {
public:
    Reader(const CadStreamSource& source, const std::string& path) : m_source(source), m_path(path) {}

    [[noreturn]] void broken(const std::string& what) const {
        throw InputError(m_path, "the CAD reader sent a broken answer (" + what + ")");
    }
    void bytes(void* to, std::size_t size) {
        if (!m_source(to, size))
            broken("it ends early");
    }
    template <class T> T value() {
        T v;
        bytes(&v, sizeof v);
        return v;
    }
    template <class T> T count(T most, const char* what) {
        const T n = value<T>();
        if (n > most)
            broken(std::string("too many ") + what);
        return n;
    }
    std::string text() {
        std::string t(count<std::uint32_t>(kLongestText, "characters"), '\0');
        bytes(t.data(), t.size());
        return t;
    }
    // Up to `most` items of `size` bytes, appended piece by piece.
    template <class T> void list(std::vector<T>& items, std::uint64_t most, const char* what) {
        const std::uint64_t n = count<std::uint64_t>(most, what);
        for (std::uint64_t done = 0; done < n;) {
            const std::size_t piece = static_cast<std::size_t>(std::min(kPiece, n - done));
            const std::size_t start = items.size();
            items.resize(start + piece);
            bytes(items.data() + start, piece * sizeof(T));
            done += piece;
        }
    }
    double unitMm() {
        const double mm = value<double>();
        if (!(mm >= kShortestUnitMm && mm <= kLongestUnitMm))
            broken("a length unit out of range");
        return mm;
    }
    void points(std::vector<ON_3dPoint>& points) {
        list(points, kMostPoints, "points");
        for (const ON_3dPoint& p : points)
            if (!(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)))
                broken("a point is not finite");
    }
    template <class T> T point() {
        const auto p = value<std::array<double, 3>>();
        if (!(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])))
            broken("a point is not finite");
        return T(p[0], p[1], p[2]);
    }
    CadCurve curve() {
        CadCurve c;
        c.centre = point<ON_3dPoint>();
        c.major = point<ON_3dVector>();
        c.minor = point<ON_3dVector>();
        c.start = value<double>();
        c.end = value<double>();
        c.sphere = value<std::uint8_t>() != 0;
        if (!(std::isfinite(c.start) && c.end > c.start && c.end - c.start <= 2.0 * M_PI + 1e-9 &&
              c.major.Length() > 0.0 && c.minor.Length() > 0.0))
            broken("a curve out of range");
        return c;
    }
    CadAxis axis() {
        CadAxis a;
        a.origin = point<ON_3dPoint>();
        a.direction = point<ON_3dVector>();
        a.from = value<double>();
        a.to = value<double>();
        a.radius = value<double>();
        if (!(std::fabs(a.direction.Length() - 1.0) < 1e-6 && std::isfinite(a.from) && a.to >= a.from &&
              std::isfinite(a.to) && a.radius > 0.0 && std::isfinite(a.radius)))
            broken("an axis out of range");
        return a;
    }
    // A B-rep edge's number: from 1.
    std::uint32_t brepEdge() {
        const auto number = value<std::uint32_t>();
        if (number == 0)
            broken("a B-rep edge numbered 0");
        return number;
    }
    MeshPart part() {
        MeshPart part;
        part.body = part.brepFaces = true;
        part.partName = text();
        part.instanceName = text();
        part.unitMm = unitMm();
        part.fileUnitMm = unitMm();
        points(part.points);
        for (std::uint32_t f = count<std::uint32_t>(kMostLists, "faces"); f > 0; --f) {
            Kv::KvTriangleList& face = part.faces.emplace_back();
            std::vector<std::array<std::uint32_t, 3>> triangles;
            list(triangles, kMostPoints, "triangles");
            for (const auto& t : triangles) {
                if (t[0] >= part.points.size() || t[1] >= part.points.size() || t[2] >= part.points.size())
                    broken("a triangle refers to a point that does not exist");
                face.push_back({t[0], t[1], t[2]});
            }
        }
        for (std::uint32_t e = count<std::uint32_t>(kMostLists, "tangent edges"); e > 0; --e) {
            points(part.tangentEdges.emplace_back());
            part.tangentBrepEdges.push_back(brepEdge());
        }
        part.deflection = value<double>();
        if (!(part.deflection >= 0.0 && std::isfinite(part.deflection)))
            broken("a deflection out of range");
        for (std::uint32_t c = count<std::uint32_t>(kMostLists, "curves"); c > 0; --c)
            part.curves.push_back(curve());
        for (std::uint32_t a = count<std::uint32_t>(kMostLists, "axes"); a > 0; --a)
            part.axes.push_back(axis());
        for (std::uint32_t e = count<std::uint32_t>(kMostLists, "B-rep edges"); e > 0; --e) {
            CadEdge& edge = part.brepEdges.emplace_back();
            edge.index = brepEdge();
            list(edge.points, kMostPoints, "points along a B-rep edge");
            for (const std::uint32_t p : edge.points)
                if (p >= part.points.size())
                    broken("a B-rep edge runs through a point that does not exist");
        }
        return part;
    }

private:
    const CadStreamSource& m_source;
    const std::string& m_path;
};

} // namespace

void CadStreamWriter::bytes(const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    m_buffer.insert(m_buffer.end(), at, at + size);
    if (m_buffer.size() >= kBufferSize)
        flush();
}

void CadStreamWriter::text(const std::string& text) {
    const std::string kept = text.substr(0, kLongestText);
    value(static_cast<std::uint32_t>(kept.size()));
    bytes(kept.data(), kept.size());
}

void CadStreamWriter::points(const std::vector<ON_3dPoint>& points) {
    value(static_cast<std::uint64_t>(points.size()));
    bytes(points.data(), points.size() * sizeof(ON_3dPoint));
}

// A parent that is gone makes the write fail (or SIGPIPE end the reader): nothing more is to be done.
void CadStreamWriter::flush() {
    for (std::size_t at = 0; at < m_buffer.size();) {
        const ssize_t written = write(m_fd, m_buffer.data() + at, m_buffer.size() - at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            _exit(1);
        at += static_cast<std::size_t>(written);
    }
    m_buffer.clear();
}

void CadStreamWriter::progress(double share) {
    value('P');
    value(share);
    flush();
}

void CadStreamWriter::warning(const std::string& message) {
    value('W');
    text(message);
    flush();
}

void CadStreamWriter::part(const MeshPart& part) {
    static_assert(sizeof(ON_3dPoint) == 3 * sizeof(double) && sizeof(ON_3dVector) == 3 * sizeof(double),
                  "points are sent as they lie in memory");
    value('M');
    text(part.partName);
    text(part.instanceName);
    value(part.unitMm);
    value(part.fileUnitMm);
    points(part.points);
    value(static_cast<std::uint32_t>(part.faces.size()));
    for (const Kv::KvTriangleList& face : part.faces) {
        value(static_cast<std::uint64_t>(face.size()));
        for (const auto& t : face)
            for (int k = 0; k < 3; ++k)
                value(static_cast<std::uint32_t>(t[k]));
    }
    value(static_cast<std::uint32_t>(part.tangentEdges.size()));
    for (std::size_t e = 0; e < part.tangentEdges.size(); ++e) {
        points(part.tangentEdges[e]);
        value(part.tangentBrepEdges[e]);
    }
    value(part.deflection);
    value(static_cast<std::uint32_t>(part.curves.size()));
    for (const CadCurve& c : part.curves) {
        value(c.centre);
        value(c.major);
        value(c.minor);
        value(c.start);
        value(c.end);
        value(static_cast<std::uint8_t>(c.sphere));
    }
    value(static_cast<std::uint32_t>(part.axes.size()));
    for (const CadAxis& a : part.axes) {
        value(a.origin);
        value(a.direction);
        value(a.from);
        value(a.to);
        value(a.radius);
    }
    value(static_cast<std::uint32_t>(part.brepEdges.size()));
    for (const CadEdge& edge : part.brepEdges) {
        value(edge.index);
        value(static_cast<std::uint64_t>(edge.points.size()));
        bytes(edge.points.data(), edge.points.size() * sizeof(std::uint32_t));
    }
}

void CadStreamWriter::error(const InputError& error) {
    value('E');
    value(static_cast<std::uint8_t>(!error.parameter().empty()));
    text(error.subject());
    text(error.reason());
    flush();
}

void CadStreamWriter::done() {
    value('D');
    flush();
}

std::vector<MeshPart> readCadStream(const CadStreamSource& source, const std::string& path,
                                    const std::function<void(double)>& progress,
                                    const std::function<void(const std::string&)>& warning) {
    Reader in(source, path);
    std::vector<MeshPart> parts;
    for (;;) {
        switch (in.value<char>()) {
        case 'P': {
            const double share = in.value<double>();
            if (!(share >= 0.0 && share <= 1.0))
                in.broken("a share out of 0 to 1");
            progress(share);
            break;
        }
        case 'W': {
            const std::string text = in.text();
            if (warning)
                warning(text);
            break;
        }
        case 'M':
            parts.push_back(in.part());
            break;
        case 'E': {
            const bool parameter = in.value<std::uint8_t>() != 0;
            const std::string subject = in.text(), reason = in.text();
            if (parameter)
                throw InputError::ofParameter(subject, reason);
            throw InputError(path, reason);
        }
        case 'D':
            return parts;
        default:
            in.broken("an unknown message");
        }
    }
}

} // namespace kvhlr
