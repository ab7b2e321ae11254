#pragma once

// What the CAD reader program (kit/mesh/CadReaderMain.cpp) sends back to the kit through its pipe: a
// sequence of messages, each a tag byte and its content, in the machine's own byte order (both ends are
// one build on one machine). Progress and warnings come as the read goes on; then either every part and
// the end, or one error.
//
//   'P' share: f64                          the share of the reading done, 0 to 1
//   'W' text                                a warning (CadReading::warning)
//   'M' part                                one part (below)
//   'E' parameter: u8, subject, reason      an InputError, of a parameter (1) or a file (0)
//   'D'                                     the end: every part was sent
//
// A text is its length (u32) and its bytes. A part: its part and instance names (texts), its length
// units in millimetres (f64: of its points, then of the file's numbers), its points (u64 count, three
// f64 each), its faces (u32 count; each a u64 count of triangles, three u32 each), its
// tangent edges (u32 count; each a u64 count of points, three f64 each, and its B-rep edge's number,
// u32), its deflection (f64), its curves (u32 count; each its centre, major and minor vectors, three f64
// each, start and end angles, f64, and whether it is a sphere's outline, u8), its axes (u32 count; each
// its origin and unit direction, three f64 each, from, to and radius, f64) and its B-rep edges (u32
// count; each its number, u32 from 1, and the points along it, a u64 count of u32 indices).
//
// In:  (writer) the reader's results; (reader) the bytes, from any source.
// Out: (reader) the parts, the progress and warnings passed on. Every count is checked against what can
//      be and the lists grow only with what actually arrives, so that a broken stream throws InputError
//      naming the file, never makes a huge allocation.

#include "kit/InputError.h"
#include "kit/mesh/MeshPart.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvhlr {

// Writes messages to a file descriptor, buffered; progress and warnings go out at once.
class CadStreamWriter {
public:
    explicit CadStreamWriter(int fd) : m_fd(fd) {}
    void progress(double share);
    void warning(const std::string& text);
    void part(const MeshPart& part);
    void error(const InputError& error);
    void done();

private:
    void bytes(const void* data, std::size_t size);
    template <class T> void value(T v) { bytes(&v, sizeof v); }
    void text(const std::string& text);
    void points(const std::vector<ON_3dPoint>& points);
    void flush();

    int m_fd;
    std::vector<char> m_buffer;
};

// Hands the stream's bytes over: fills `size` bytes at `to`, or returns false where the stream ends first.
using CadStreamSource = std::function<bool(void* to, std::size_t size)>;

// Reads messages up to the end and returns the parts; throws the error sent, or InputError naming `path`
// for a stream that is broken or ends early.
std::vector<MeshPart> readCadStream(const CadStreamSource& source, const std::string& path,
                                    const std::function<void(double)>& progress,
                                    const std::function<void(const std::string&)>& warning);

} // namespace kvhlr
