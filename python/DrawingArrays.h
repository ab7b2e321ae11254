#pragma once

// A finished drawing seen from Python without copying it line by line: Line objects that view the
// drawing's points, and the whole drawing as three arrays (every point, where each line starts, each
// line's kind), which also make its pickle.
//
// In:  a drawing, shared and never changed. Out: Line objects and numpy arrays; and, for unpickling,
//      the drawing made again from its arrays.

#include "kit/drawing/Drawing.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>

namespace kvhlr::python {

namespace py = pybind11;

// Shared and never changed, so that the arrays of its lines view its points instead of copying them,
// and stay valid after the Drawing and Line objects are gone.
using SharedDrawing = std::shared_ptr<const Drawing>;

struct Line {
    SharedDrawing drawing;
    std::size_t index;

    const KvHLR::StrokeLine& stroke() const { return drawing->lines[index]; }
};

// The line's points as a read-only (N, 2) array that views the drawing.
py::array pointsView(const Line& line);

// "<Line kind=HIDDEN, 12 points>".
std::string lineRepr(const Line& line);

// The line at `index` (negative counts from the end); IndexError beyond the lines.
Line lineAt(const SharedDrawing& drawing, py::ssize_t index);

// The lines of a slice, as a new list.
py::list linesIn(const SharedDrawing& drawing, const py::slice& slice);

// Lines made one at a time as the iteration goes.
py::iterator lineIterator(const SharedDrawing& drawing);

// Every point of every line, one line after the other: a new (P, 2) float64 array.
py::array_t<double> allPoints(const Drawing& drawing);
// Where each line's points start: a new (N + 1,) int64 array.
py::array_t<std::int64_t> lineOffsets(const Drawing& drawing);
// Each line's kind: a new (N,) int32 array.
py::array_t<std::int32_t> lineKinds(const Drawing& drawing);
// Each line's occlusion level (StrokeLine::level: 0 unless a hidden line's level was counted): a new (N,)
// int32 array.
py::array_t<std::int32_t> lineLevels(const Drawing& drawing);
// The inverse, for unpickling: ValueError "not the state of a Drawing" for anything but one level, 0 or
// more, per line.
void setLevels(Drawing& drawing, py::handle levels);

// A body's or vertex's index as Python sees it: -1 for none (LineSource::kNone).
std::int64_t sourceIndex(std::uint32_t index);

// Provenance (Drawing::provenance): each line's body, an index into the drawing's part names: a new
// (N,) int64 array, -1 for a line without one (one the kit drew); empty without provenance.
py::array_t<std::int64_t> lineBodies(const Drawing& drawing);
// Each segment's model edge, its two vertex indices in its body's mesh (an intersection line's: the two
// triangles it lies on), -1 where it lies on none: a new (S, 2) int64 array, the segments of all lines
// one line after the other (line i's rows offsets[i] - i to offsets[i + 1] - i - 1); (0, 2) without.
py::array_t<std::int64_t> segmentEdges(const Drawing& drawing);
// One line's rows of segmentEdges.
py::array_t<std::int64_t> lineEdges(const Line& line);
// With provenance of CAD parts (Drawing::brepEdges): each segment's B-rep edge, -1 where it lies on
// none: a new (S,) int64 array, rows as in segmentEdges; empty for other drawings.
py::array_t<std::int64_t> segmentBrepEdges(const Drawing& drawing);
// One line's entries of segmentBrepEdges.
py::array_t<std::int64_t> lineBrepEdges(const Line& line);
// The sources whole, a (S, 5) uint32 row each (body, edge, other body, B-rep edge), for pickles; and
// back, with whether the sources name B-rep edges: ValueError "not the state of a Drawing" for rows that
// do not give each line a source per segment.
py::array_t<std::uint32_t> sourceRows(const Drawing& drawing);
void setSources(Drawing& drawing, py::handle rows, bool brepEdges);

// The curves (Drawing::curves): a new (C, 8) float64 array, a row each: its line's index, its centre x
// and y, major and minor radius, rotation, start and end angle (radians).
py::array_t<double> curveRows(const Drawing& drawing);
// The inverse, for unpickling: ValueError "not the state of a Drawing" for rows that make no curves of
// the drawing's lines.
void setCurves(Drawing& drawing, py::handle rows);

// The inverse of the three arrays, for unpickling: checked, since a pickle may come from anywhere.
// Throws ValueError "not the state of a Drawing" for arrays that do not make one.
Drawing drawingOf(const KvHLR::ViewInfoCriteria& camera, py::handle points, py::handle offsets,
                  py::handle kinds);

} // namespace kvhlr::python
