#include "python/DrawingArrays.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kvhlr::python {
namespace {

struct LineIterator {
    SharedDrawing drawing;
    std::size_t index;

    Line operator*() const { return Line{drawing, index}; }
    LineIterator& operator++() {
        ++index;
        return *this;
    }
    bool operator==(const LineIterator& other) const { return index == other.index; }
};

} // namespace

py::array pointsView(const Line& line) {
    static_assert(sizeof(ON_2dPoint) == 2 * sizeof(double), "points are viewed as rows of two doubles");
    const std::vector<ON_2dPoint>& points = line.stroke().points;
    const py::capsule owner(new SharedDrawing(line.drawing),
                            [](void* drawing) { delete static_cast<SharedDrawing*>(drawing); });
    const auto size = static_cast<py::ssize_t>(sizeof(double));
    py::array_t<double> view({static_cast<py::ssize_t>(points.size()), py::ssize_t{2}}, {2 * size, size},
                             &points.data()->x, owner);
    view.attr("flags").attr("writeable") = false;
    return view;
}

std::string lineRepr(const Line& line) {
    const py::object kind = py::cast(static_cast<LineKind>(line.stroke().kind));
    return py::str("<Line kind={}, {} points>").format(kind.attr("name"), line.stroke().points.size());
}

Line lineAt(const SharedDrawing& drawing, py::ssize_t index) {
    const auto count = static_cast<py::ssize_t>(drawing->lines.size());
    if (index < -count || index >= count)
        throw py::index_error("line index " + std::to_string(index) + " out of range for " +
                              std::to_string(count) + " lines");
    return Line{drawing, static_cast<std::size_t>(index < 0 ? index + count : index)};
}

py::list linesIn(const SharedDrawing& drawing, const py::slice& slice) {
    std::size_t start = 0, stop = 0, step = 0, length = 0;
    if (!slice.compute(drawing->lines.size(), &start, &stop, &step, &length))
        throw py::error_already_set();
    py::list lines;
    for (std::size_t i = 0; i < length; ++i, start += step)
        lines.append(Line{drawing, start});
    return lines;
}

py::iterator lineIterator(const SharedDrawing& drawing) {
    return py::make_iterator<py::return_value_policy::move>(LineIterator{drawing, 0},
                                                            LineIterator{drawing, drawing->lines.size()});
}

py::array_t<double> allPoints(const Drawing& drawing) {
    std::size_t count = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        count += line.points.size();
    py::array_t<double> points({static_cast<py::ssize_t>(count), py::ssize_t{2}});
    double* out = points.mutable_data();
    for (const KvHLR::StrokeLine& line : drawing.lines)
        for (const ON_2dPoint& p : line.points) {
            *out++ = p.x;
            *out++ = p.y;
        }
    return points;
}

py::array_t<std::int64_t> lineOffsets(const Drawing& drawing) {
    py::array_t<std::int64_t> offsets(static_cast<py::ssize_t>(drawing.lines.size() + 1));
    std::int64_t* out = offsets.mutable_data();
    *out = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        out[1] = out[0] + static_cast<std::int64_t>(line.points.size());
        ++out;
    }
    return offsets;
}

py::array_t<std::int32_t> lineLevels(const Drawing& drawing) {
    py::array_t<std::int32_t> levels(static_cast<py::ssize_t>(drawing.lines.size()));
    std::int32_t* out = levels.mutable_data();
    for (const KvHLR::StrokeLine& line : drawing.lines)
        *out++ = line.level;
    return levels;
}

void setLevels(Drawing& drawing, py::handle levelsObject) {
    const auto levels = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>::ensure(levelsObject);
    if (!levels || levels.ndim() != 1 || static_cast<std::size_t>(levels.shape(0)) != drawing.lines.size())
        throw py::value_error("not the state of a Drawing");
    for (std::size_t i = 0; i < drawing.lines.size(); ++i) {
        if (levels.data()[i] < 0)
            throw py::value_error("not the state of a Drawing");
        drawing.lines[i].level = levels.data()[i];
    }
}

py::array_t<std::int32_t> lineKinds(const Drawing& drawing) {
    py::array_t<std::int32_t> kinds(static_cast<py::ssize_t>(drawing.lines.size()));
    std::int32_t* out = kinds.mutable_data();
    for (const KvHLR::StrokeLine& line : drawing.lines)
        *out++ = line.kind;
    return kinds;
}

std::int64_t sourceIndex(std::uint32_t index) {
    return index == KvHLR::LineSource::kNone ? -1 : static_cast<std::int64_t>(index);
}

namespace {

std::size_t segmentCount(const Drawing& drawing) {
    std::size_t count = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        count += line.sources.size();
    return count;
}

py::array_t<std::int64_t> edgeRows(const std::vector<KvHLR::LineSource>& sources, std::size_t count,
                                   const std::vector<KvHLR::StrokeLine>& lines) {
    py::array_t<std::int64_t> rows({static_cast<py::ssize_t>(count), py::ssize_t{2}});
    std::int64_t* out = rows.mutable_data();
    const auto add = [&out](const std::vector<KvHLR::LineSource>& of) {
        for (const KvHLR::LineSource& source : of) {
            *out++ = sourceIndex(source.edge[0]);
            *out++ = sourceIndex(source.edge[1]);
        }
    };
    add(sources);
    for (const KvHLR::StrokeLine& line : lines)
        add(line.sources);
    return rows;
}

} // namespace

py::array_t<std::int64_t> lineBodies(const Drawing& drawing) {
    py::array_t<std::int64_t> bodies(static_cast<py::ssize_t>(drawing.provenance ? drawing.lines.size() : 0));
    std::int64_t* out = bodies.mutable_data();
    if (drawing.provenance)
        for (const KvHLR::StrokeLine& line : drawing.lines)
            *out++ = sourceIndex(bodyOf(line));
    return bodies;
}

py::array_t<std::int64_t> segmentEdges(const Drawing& drawing) {
    return edgeRows({}, segmentCount(drawing), drawing.lines);
}

py::array_t<std::int64_t> lineEdges(const Line& line) {
    return edgeRows(line.stroke().sources, line.stroke().sources.size(), {});
}

namespace {

// The B-rep edges of the segments of lines `first` to `last` (not included) of a drawing that names them.
py::array_t<std::int64_t> brepEdgeColumn(const Drawing& drawing, const KvHLR::StrokeLine* first,
                                         const KvHLR::StrokeLine* last) {
    std::size_t count = 0;
    for (const KvHLR::StrokeLine* line = first; drawing.brepEdges && line != last; ++line)
        count += line->sources.size();
    py::array_t<std::int64_t> column(static_cast<py::ssize_t>(count));
    std::int64_t* out = column.mutable_data();
    for (const KvHLR::StrokeLine* line = first; drawing.brepEdges && line != last; ++line)
        for (const KvHLR::LineSource& source : line->sources)
            *out++ = sourceIndex(source.brepEdge);
    return column;
}

} // namespace

py::array_t<std::int64_t> segmentBrepEdges(const Drawing& drawing) {
    return brepEdgeColumn(drawing, drawing.lines.data(), drawing.lines.data() + drawing.lines.size());
}

py::array_t<std::int64_t> lineBrepEdges(const Line& line) {
    return brepEdgeColumn(*line.drawing, &line.stroke(), &line.stroke() + 1);
}

py::array_t<std::uint32_t> sourceRows(const Drawing& drawing) {
    py::array_t<std::uint32_t> rows({static_cast<py::ssize_t>(segmentCount(drawing)), py::ssize_t{5}});
    std::uint32_t* out = rows.mutable_data();
    for (const KvHLR::StrokeLine& line : drawing.lines)
        for (const KvHLR::LineSource& source : line.sources) {
            *out++ = source.body;
            *out++ = source.edge[0];
            *out++ = source.edge[1];
            *out++ = source.otherBody;
            *out++ = source.brepEdge;
        }
    return rows;
}

void setSources(Drawing& drawing, py::handle rows, bool brepEdges) {
    const auto table = py::array_t<std::uint32_t, py::array::c_style | py::array::forcecast>::ensure(rows);
    std::size_t segments = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        segments += line.points.empty() ? 0 : line.points.size() - 1;
    const bool none = table && table.ndim() == 2 && table.shape(0) == 0;
    if (!table || table.ndim() != 2 || table.shape(1) != 5 ||
        !(none || static_cast<std::size_t>(table.shape(0)) == segments))
        throw py::value_error("not the state of a Drawing");
    const std::uint32_t* in = table.data();
    for (KvHLR::StrokeLine& line : drawing.lines)
        for (std::size_t i = 1; !none && i < line.points.size(); ++i, in += 5)
            line.sources.push_back({in[0], {in[1], in[2]}, in[3], in[4]});
    drawing.provenance = !none;
    drawing.brepEdges = brepEdges && !none;
}

py::array_t<double> curveRows(const Drawing& drawing) {
    py::array_t<double> rows({static_cast<py::ssize_t>(drawing.curves.size()), py::ssize_t{8}});
    double* out = rows.mutable_data();
    for (const DrawingCurve& c : drawing.curves)
        for (const double value : {static_cast<double>(c.line), c.centre.x, c.centre.y, c.majorRadius, c.minorRadius,
                                   c.rotation, c.start, c.end})
            *out++ = value;
    return rows;
}

void setCurves(Drawing& drawing, py::handle rowsObject) {
    const auto rows = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(rowsObject);
    if (!rows || rows.ndim() != 2 || rows.shape(1) != 8)
        throw py::value_error("not the state of a Drawing");
    for (py::ssize_t i = 0; i < rows.shape(0); ++i) {
        const double* r = rows.data() + 8 * i;
        const DrawingCurve curve{static_cast<std::size_t>(r[0]), {r[1], r[2]}, r[3], r[4], r[5], r[6], r[7]};
        if (!(r[0] >= 0 && r[0] < static_cast<double>(drawing.lines.size()) && r[0] == std::floor(r[0]) &&
              std::all_of(r, r + 8, [](double v) { return std::isfinite(v); }) && curve.minorRadius > 0 &&
              curve.majorRadius >= curve.minorRadius && curve.end > curve.start && curve.end - curve.start <= 2 * M_PI + 1e-9))
            throw py::value_error("not the state of a Drawing");
        drawing.curves.push_back(curve);
    }
}

Drawing drawingOf(const KvHLR::ViewInfoCriteria& camera, py::handle pointsObject, py::handle offsetsObject,
                  py::handle kindsObject) {
    const auto points = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(pointsObject);
    const auto offsets =
        py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(offsetsObject);
    const auto kinds =
        py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>::ensure(kindsObject);
    if (!points || !offsets || !kinds || points.ndim() != 2 || points.shape(1) != 2 || offsets.ndim() != 1 ||
        kinds.ndim() != 1 || offsets.shape(0) != kinds.shape(0) + 1)
        throw py::value_error("not the state of a Drawing");
    Drawing drawing;
    drawing.camera = camera;
    const std::int64_t* offset = offsets.data();
    if (offset[0] != 0 || offset[kinds.shape(0)] != points.shape(0))
        throw py::value_error("not the state of a Drawing");
    for (py::ssize_t i = 0; i < kinds.shape(0); ++i) {
        if (offset[i + 1] < offset[i])
            throw py::value_error("not the state of a Drawing");
        KvHLR::StrokeLine& line = drawing.lines.emplace_back();
        line.kind = kinds.data()[i];
        for (std::int64_t p = offset[i]; p < offset[i + 1]; ++p)
            line.points.emplace_back(points.data()[2 * p], points.data()[2 * p + 1]);
    }
    return drawing;
}

} // namespace kvhlr::python
