#pragma once

// Reading mesh files: every format the import library knows (OBJ, STL, PLY, OFF, glTF/GLB, 3MF, 3DS,
// COLLADA and more), with node transforms applied and vertices welded by exact position. OBJ and binary
// STL files are read by kvhlr's own readers, with the same result; a file without an extension that is
// binary STL by its size (84 bytes and 50 a triangle) is read as such. CAD files (STEP .step/.stp, IGES
// .iges/.igs, or without an extension when their first line shows them) are read and tessellated with
// Open CASCADE where the kit was built with it, in a process of its own (kit/mesh/CadProcess.h): each
// solid a body, each face of the B-rep a face of it (kit/mesh/CadFile.h).

#include "kit/mesh/MeshPart.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kvhlr {

// --- CAD files ---
// How CAD files are tessellated, and where their warnings go.
struct CadReading {
    // The largest distance between a face and its triangles: a share of the model's largest side
    // (`relativeDeflection`) or a length in model units. The default keeps a 100 mm part's curves within
    // 0.05 mm, finer than a pen's line on an A4 sheet at 1:1.
    double deflection = 0.0005;
    bool relativeDeflection = true;
    // The largest angle in degrees between neighbouring triangles along a curve: small curves (fillets,
    // holes) get enough triangles that their silhouettes look round.
    double angularDeflection = 15.0;
    // Threads the mesher tessellates faces on at most (0: one per processor).
    int threads = 0;
    // The memory in MB the reader may take, its process's address space (0: half of the machine's):
    // a file that needs more is refused naming "cad_memory_limit".
    std::size_t memoryLimitMb = 0;
    // The processor time in seconds the reader may take (0: ten minutes), its threads' together: a
    // damaged file on which the third-party reader loops without end is refused naming
    // "cad_time_limit", and a file that needs longer may be given more.
    std::size_t timeLimitSeconds = 0;
    // Told of what was left out (a face that could not be tessellated), one line each; nothing is said
    // when empty.
    std::function<void(const std::string&)> warning;
};

// The largest memory limit of the CAD reader, in MB: a thousand terabytes, far beyond any machine.
constexpr std::size_t kMostCadMemoryMb = std::size_t(1) << 30;

// Throws InputError naming the parameter "deflection", "angular_deflection" or "cad_memory_limit" for a
// tessellation that cannot be made (not a positive finite length, share below 1, angle within 0..90
// degrees, memory limit below 256 MB or above kMostCadMemoryMb), or "cad_time_limit" for a processor
// time limit beyond a year.
void checkCadReading(const CadReading& reading);

// Whether the file is a CAD file by its name (.step, .stp, .iges, .igs, in any case).
bool isCadFile(const std::string& path);

// Whether the parts were read from a CAD file (drawn z up unless told otherwise).
bool fromCadFile(const std::vector<MeshPart>& parts);

// Whether this kit reads CAD files (it was built with Open CASCADE).
bool readsCadFiles();
// --- end of CAD files ---

// Without `bodies`, every mesh of the file (once for each node that places it) becomes a part of its
// own; with `bodies`, every node that holds meshes becomes one body part whose faces are its meshes,
// named after the node (an OBJ file's object, by its `o` or `g` name: MeshPart::partName).
// Only triangles are kept (polygons are split, points and lines dropped); the result may hold no
// triangle at all. `progress` is told the share of the file read, 0 to 1, as the read goes on. A file that is missing, unreadable, empty, not understood, declaring more than it
// can hold, or holding coordinates that are not finite or too large to draw throws InputError naming
// `path`.
// CAD files are read as `cad` says, always as bodies; InputError also for a CAD file that is not one,
// holds no solids or faces, is too large to draw or to tessellate as asked (naming the parameter), makes
// the reader fail in any way, or that this kit cannot read.
std::vector<MeshPart> readMeshFile(const std::string& path, bool bodies,
                                   const std::function<void(double)>& progress, const CadReading& cad = {});

// The same, every format read by the import library. readMeshFile reads OBJ and binary STL files with
// kvhlr's own readers (kit/mesh/ObjReader.h, kit/mesh/StlReader.h), which give the same parts many
// times faster, and hands everything else to this.
std::vector<MeshPart> importMeshFile(const std::string& path, bool bodies,
                                     const std::function<void(double)>& progress);

// Joins a triangle soup's vertices at exactly the same position, as the readers weld a mesh file's, so
// that loose triangles (an STL soup, arrays from another program) share their edges. Triangles that
// welding collapses are dropped, and so are vertices that no triangle uses. `poll` is called every
// 65,536 corners and may throw to stop: a million triangles take a good part of a second. Throws
// std::out_of_range for an index beyond the points.
void weldMesh(KvHLR::Polygon3D& mesh, const std::function<void()>& poll = {});

// Whether files of a type, named as their extension without the dot ("stl", "glb"), can be read.
bool readsMeshType(const std::string& type);

} // namespace kvhlr
