#pragma once

// Reading a CAD file in a process of its own. Open CASCADE's readers crash, loop or take all memory on
// some damaged files; the kit starts its reader program (kvhlr-cad-reader, kit/mesh/CadReaderMain.cpp,
// installed beside the kit's library) for every CAD file and reads the parts back through a pipe
// (kit/mesh/CadStream.h), so that whatever happens there ends that process only and comes back as one
// InputError naming the file. The program is started with posix_spawn (the caller may be a process of
// many threads, as Python is), in a process group of its own (a terminal's Ctrl-C goes to the caller,
// which decides), with a memory and a processor time limit, and dies with its caller. Each read has its own process, so
// threads may read at once.
//
// In:  the file, its type (told by its name or by its first line), how to tessellate it (CadReading).
// Out: the parts, as the reader made them; the progress hook is called at least ten times a second,
//      so that a hook that throws (a cancel, Python's Ctrl-C) stops the read at once: the reader is
//      killed and reaped, and the exception goes on.

#include "kit/mesh/MeshFile.h"

#include <string>
#include <vector>

namespace kvhlr {

enum class CadType { None, Step, Iges };

// The type a file's first line shows: a STEP file opens with its standard's number, an IGES file with an
// 80-column record marked in column 73 (S for the start section, G where it has none).
CadType cadTypeOfFirstLine(const std::string& line);

// The largest coordinate a model may have, read from any file. The library multiplies up to five
// coordinates together (exact hiding's convexity test takes the lengths of two normals and an edge):
// from about 1e61, the fifth root of the largest double, concave edges come out convex, and from about
// 1e77 the drawing comes out empty. The bound leaves a margin.
constexpr double kLargestCoordinate = 1e60;

// Whether the reader's memory is limited: not under AddressSanitizer or ThreadSanitizer, whose shadow
// memory takes terabytes of address space.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCadMemoryLimited = false;
#elif defined(__has_feature)
constexpr bool kCadMemoryLimited = !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer);
#else
constexpr bool kCadMemoryLimited = true;
#endif

// The reader's exit status when its memory limit was reached.
constexpr int kOutOfMemory = 3;

// The processor time the reader may take by default, in seconds.
constexpr std::size_t kDefaultCadTimeLimit = 600;

// The memory the reader may take by default, in MB: half of the machine's.
std::size_t defaultCadMemoryMb();

// The most triangles a tessellation may have: what the machine's memory holds, drawn.
double mostCadTriangles();

// Throws InputError naming `path` for anything the reader could not do (the reader's own errors, a
// crash, a broken answer), and naming the parameter "cad_memory_limit" or "cad_time_limit" where it
// reached its memory or processor time limit.
std::vector<MeshPart> readCadFileApart(const std::string& path, CadType type,
                                       const std::function<void(double)>& progress, const CadReading& cad);

} // namespace kvhlr
