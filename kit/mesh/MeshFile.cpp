#include "kit/mesh/MeshFile.h"

#include "kit/InputError.h"
#include "kit/InputFile.h"
#include "kit/mesh/CadProcess.h"
#include "kit/mesh/DeclaredSizes.h"
#include "kit/mesh/MeshReading.h"
#include "kit/mesh/ObjReader.h"
#include "kit/mesh/StlReader.h"
#include "kit/mesh/VertexWelder.h"

#include <assimp/Importer.hpp>
#include <assimp/commonMetaData.h>
#include <assimp/ProgressHandler.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <utility>

namespace kvhlr {
namespace {

// Passes the import library's progress on, as the share of the file read.
class ReadProgress : public Assimp::ProgressHandler {
public:
    explicit ReadProgress(std::function<void(double)> progress) : m_progress(std::move(progress)) {}
    bool Update(float share) override {
        if (share >= 0.0f) // negative: the reader cannot tell
            m_progress(std::min(1.0, static_cast<double>(share)));
        return true;
    }

private:
    std::function<void(double)> m_progress;
};

void checkReadable(const std::string& path) {
    checkReadableFile(path, "mesh file");
    if (std::ifstream(path, std::ios::binary).peek() == std::ifstream::traits_type::eof())
        throw InputError(path, "the file is empty");
    if (const std::string problem = declaredSizeProblem(path); !problem.empty())
        throw InputError(path, problem);
}

// The import library's messages may span lines; an InputError is one.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text.empty() ? "unknown error" : text;
}

ON_Xform toXform(const aiMatrix4x4& m) {
    const ai_real* rows[4] = {&m.a1, &m.b1, &m.c1, &m.d1};
    ON_Xform xform;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            xform[r][c] = rows[r][c];
    return xform;
}

bool isIdentity(const ON_Xform& xform) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (xform[r][c] != (r == c ? 1.0 : 0.0))
                return false;
    return true;
}

bool mirrors(const ON_Xform& x) {
    const double det = x[0][0] * (x[1][1] * x[2][2] - x[1][2] * x[2][1]) -
                       x[0][1] * (x[1][0] * x[2][2] - x[1][2] * x[2][0]) +
                       x[0][2] * (x[1][0] * x[2][1] - x[1][1] * x[2][0]);
    return det < 0.0;
}

// The triangles of a mesh, turned to stay outward wound under a mirroring transform.
std::vector<std::array<std::uint32_t, 3>> trianglesOf(const aiMesh& mesh, bool flip,
                                                      const std::string& path) {
    std::vector<std::array<std::uint32_t, 3>> triangles;
    triangles.reserve(mesh.mNumFaces);
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices != 3)
            continue; // points and lines draw nothing
        for (unsigned k = 0; k < 3; ++k)
            if (face.mIndices[k] >= mesh.mNumVertices)
                throw InputError(path, "a triangle refers to a vertex that does not exist");
        triangles.push_back({face.mIndices[0], face.mIndices[flip ? 2 : 1], face.mIndices[flip ? 1 : 2]});
    }
    return triangles;
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", value);
    return text;
}

// The mesh's triangles placed in world coordinates by `xform` and welded into `welder`.
Kv::KvTriangleList weldMesh(const aiMesh& mesh, const ON_Xform& xform, VertexWelder& welder,
                            const std::string& path) {
    const bool identity = isIdentity(xform);
    auto positionOf = [&](std::uint32_t i) {
        const aiVector3D& v = mesh.mVertices[i];
        checkSinglePrecisionVertex(v.x, v.y, v.z, path, ""); // the import library reads in single precision
        const ON_3dPoint p = identity ? ON_3dPoint(v.x, v.y, v.z) : xform * ON_3dPoint(v.x, v.y, v.z);
        // Also false for a coordinate that the file's transforms carry past infinity or make NaN.
        if (!(std::fabs(p.x) <= kLargestCoordinate && std::fabs(p.y) <= kLargestCoordinate &&
              std::fabs(p.z) <= kLargestCoordinate))
            throw InputError(
                path,
                "a vertex coordinate is too large: the drawing can be computed only with coordinates up to " +
                    numberText(kLargestCoordinate) + " in size");
        return p;
    };
    return weldTriangles(welder, mesh.mNumVertices, positionOf, trianglesOf(mesh, mirrors(xform), path));
}

// Appends the parts of one node: one per mesh, or one body for all of them.
void addNodeParts(const aiScene& scene, const aiNode& node, const ON_Xform& xform, bool bodies,
                  const std::string& path, std::vector<MeshPart>& parts) {
    if (node.mNumMeshes == 0)
        return;
    MeshPart body;
    body.body = true;
    VertexWelder bodyWelder;
    for (unsigned m = 0; m < node.mNumMeshes; ++m) {
        if (node.mMeshes[m] >= scene.mNumMeshes)
            throw InputError(path, "a node refers to a mesh that does not exist");
        const aiMesh& mesh = *scene.mMeshes[node.mMeshes[m]];
        if (bodies) {
            body.faces.push_back(weldMesh(mesh, xform, bodyWelder, path));
            continue;
        }
        VertexWelder welder;
        MeshPart& part = parts.emplace_back();
        part.faces.push_back(weldMesh(mesh, xform, welder, path));
        part.points = welder.takePoints();
    }
    if (bodies) {
        body.points = bodyWelder.takePoints();
        body.partName = node.mName.C_Str(); // a body is named after its node
        parts.push_back(std::move(body));
    }
}

std::vector<MeshPart> partsOf(const aiScene& scene, bool bodies, const std::string& path) {
    std::vector<MeshPart> parts;
    if (scene.mRootNode == nullptr)
        return parts;
    // Depth-first over the node tree with an explicit stack, carrying each node's world transform.
    std::vector<std::pair<const aiNode*, ON_Xform>> stack{
        {scene.mRootNode, toXform(scene.mRootNode->mTransformation)}};
    while (!stack.empty()) {
        const auto [node, xform] = stack.back();
        stack.pop_back();
        addNodeParts(scene, *node, xform, bodies, path, parts);
        for (unsigned c = node->mNumChildren; c-- > 0;)
            stack.emplace_back(node->mChildren[c], xform * toXform(node->mChildren[c]->mTransformation));
    }
    return parts;
}

std::vector<MeshPart> imported(const std::string& path, bool bodies, const std::function<void(double)>& progress) {
    Assimp::Importer importer;
    importer.SetProgressHandler(new ReadProgress(progress)); // the importer owns and deletes it
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_ValidateDataStructure);
    if (scene == nullptr)
        throw InputError(path, "not a mesh file that can be read: " + oneLine(importer.GetErrorString()));
    std::vector<MeshPart> parts = partsOf(*scene, bodies, path);
    // glTF's lengths are metres by its definition; the importer names the format it read, also of a file
    // told by its content.
    aiString format;
    if (scene->mMetaData != nullptr && scene->mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format) &&
        std::string(format.C_Str()).rfind("glTF", 0) == 0)
        for (MeshPart& part : parts)
            part.unitMm = part.fileUnitMm = 1000.0;
    return parts;
}

// Whether `path` ends in `extension` (lower case), ignoring case: the import library picks its reader so.
bool hasExtension(const std::string& path, const std::string& extension) {
    return path.size() >= extension.size() &&
           std::equal(extension.begin(), extension.end(), path.end() - static_cast<long>(extension.size()),
                      [](char e, char p) { return e == std::tolower(static_cast<unsigned char>(p)); });
}

} // namespace

// --- CAD files ---
void checkCadReading(const CadReading& reading) {
    if (!(reading.deflection > 0.0 && std::isfinite(reading.deflection)) ||
        (reading.relativeDeflection && reading.deflection >= 1.0))
        throw InputError::ofParameter("deflection",
                                      reading.relativeDeflection
                                          ? "a share of the model's size must lie between 0 and 100 %"
                                          : "must be a positive length");
    if (!(reading.angularDeflection > 0.0 && reading.angularDeflection <= 90.0))
        throw InputError::ofParameter("angular_deflection", "must lie between 0 and 90 degrees");
    // Open CASCADE's libraries alone take about 150 MB of address space.
    if (reading.memoryLimitMb != 0 && reading.memoryLimitMb < 256)
        throw InputError::ofParameter("cad_memory_limit", "must be at least 256 (MB)");
    // The reader's address-space limit is this many bytes, which must not wrap round to a tiny one.
    if (reading.memoryLimitMb > kMostCadMemoryMb)
        throw InputError::ofParameter("cad_memory_limit", "must be at most " + std::to_string(kMostCadMemoryMb) +
                                                              " (MB)");
    // A limit past a year is a slip (a negative number read as a huge one); the reader's limits must fit.
    if (reading.timeLimitSeconds > 31536000)
        throw InputError::ofParameter("cad_time_limit", "must be at most 31536000 seconds (a year)");
}

bool isCadFile(const std::string& path) {
    return hasExtension(path, ".step") || hasExtension(path, ".stp") || hasExtension(path, ".iges") ||
           hasExtension(path, ".igs");
}

bool fromCadFile(const std::vector<MeshPart>& parts) {
    return std::any_of(parts.begin(), parts.end(), [](const MeshPart& part) { return part.brepFaces; });
}

namespace {

std::string firstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

// The CAD type of a file: by its name, which its first line must bear out; without an extension (standard
// input's copy), by its first line alone.
CadType cadTypeOf(const std::string& path) {
    const bool step = hasExtension(path, ".step") || hasExtension(path, ".stp");
    if (step || isCadFile(path)) {
        const CadType type = step ? CadType::Step : CadType::Iges;
        if (cadTypeOfFirstLine(firstLine(path)) != type)
            throw InputError(path, step ? "not a STEP file: it does not start with ISO-10303-21"
                                        : "not an IGES file: its first line is not a start or global record");
        return type;
    }
    return std::filesystem::path(path).has_extension() ? CadType::None : cadTypeOfFirstLine(firstLine(path));
}

} // namespace

#ifdef KVHLR_WITH_CAD
bool readsCadFiles() {
    return true;
}
#else
bool readsCadFiles() {
    return false;
}
#endif

namespace {

std::vector<MeshPart> readCadFile(const std::string& path, CadType type,
                                  const std::function<void(double)>& progress, const CadReading& cad) {
    checkCadReading(cad);
    if (!readsCadFiles())
        throw InputError(path, "STEP and IGES files cannot be read: this build has no Open CASCADE "
                               "(scripts/install-deps.sh installs it; then build again)");
    return readCadFileApart(path, type, progress, cad);
}

} // namespace
// --- end of CAD files ---

std::vector<MeshPart> readMeshFile(const std::string& path, bool bodies,
                                   const std::function<void(double)>& progress, const CadReading& cad) {
    checkReadable(path);
    if (const CadType type = cadTypeOf(path); type != CadType::None)
        return readCadFile(path, type, progress, cad);
    std::optional<std::vector<MeshPart>> parts;
    if (hasExtension(path, ".obj"))
        parts = readObjFile(path, bodies, progress);
    else if (hasExtension(path, ".stl") || !std::filesystem::path(path).has_extension())
        // Without a name to go by (standard input's copy), binary STL is told by its size: the import
        // library looks for it only in files named .stl.
        parts = readBinaryStlFile(path, bodies, progress);
    return parts ? std::move(*parts) : imported(path, bodies, progress);
}

void weldMesh(KvHLR::Polygon3D& mesh, const std::function<void()>& poll) {
    VertexWelder welder(mesh.points.size());
    std::uint32_t corners = 0;
    const Kv::KvTriangleList welded = weldTriangles(
        welder, mesh.points.size(),
        [&](std::uint32_t vertex) {
            if (++corners % 65536 == 0 && poll)
                poll();
            return mesh.points.at(vertex);
        },
        mesh.triangles);
    mesh.triangles.resize(welded.size());
    for (std::size_t i = 0; i < welded.size(); ++i)
        for (int corner = 0; corner < 3; ++corner)
            mesh.triangles[i][corner] = static_cast<std::uint32_t>(welded[i][corner]);
    mesh.points = welder.takePoints();
}

bool readsMeshType(const std::string& type) {
    if (isCadFile("." + type))
        return readsCadFiles();
    return Assimp::Importer().IsExtensionSupported("." + type);
}

std::vector<MeshPart> importMeshFile(const std::string& path, bool bodies,
                                     const std::function<void(double)>& progress) {
    checkReadable(path);
    return imported(path, bodies, progress);
}

} // namespace kvhlr
