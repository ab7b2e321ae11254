// Headers that declare more vertices, faces or triangles than their file can hold.

#include "TempDir.h"
#include "kit/mesh/DeclaredSizes.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

const std::string kPlyBinary = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
                               "property float y\nproperty float z\nelement face 1\n"
                               "property list uchar int vertex_indices\nend_header\n";
const std::string kPlyAscii =
    "ply\nformat ascii 1.0\ncomment made by hand\nelement vertex 3\nproperty float x\n"
    "property float y\nproperty float z\nelement face 1\n"
    "property list uchar int vertex_indices\nend_header\n";
const std::string kPlyAsciiBody = "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

// A binary STL header declaring `triangles`, followed by `bytes` bytes.
std::string stl(std::uint32_t triangles, std::size_t bytes) {
    std::string file(80, ' ');
    file.append(reinterpret_cast<const char*>(&triangles), 4);
    return file + std::string(bytes, '\0');
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

TEST(DeclaredSizes, CountsThatCannotFitAreRefusedWithTheirReason) {
    const struct {
        const char* name;
        std::string content;
        std::string reason; // "" when the file may be read
    } cases[] = {
        // Binary PLY: 12 bytes a vertex, an empty list's length byte a face.
        {"binary.ply", kPlyBinary + std::string(37, '\0'), ""},
        {"short.ply", kPlyBinary + std::string(36, '\0'),
         "the header declares 3 vertices and 1 face, which cannot fit in " +
             std::to_string(kPlyBinary.size() + 36) + " bytes"},
        {"huge.ply", replaced(kPlyBinary, "vertex 3", "vertex 2000000000"), "2000000000 vertices"},
        {"beyond64bits.ply", replaced(kPlyBinary, "vertex 3", "vertex 99999999999999999999999"),
         "99999999999999999999999 vertices"},
        // Text PLY: a digit and a separator a number, the last separator optional.
        {"ascii.ply", kPlyAscii + kPlyAsciiBody, ""},
        {"tight.ply", kPlyAscii + "0 0 0 0 0 0 0 0 0 0", ""},
        {"tighter.ply", kPlyAscii + "0 0 0 0 0 0 0 0 0 ", "3 vertices and 1 face"},
        {"many.ply", replaced(kPlyAscii, "vertex 3", "vertex 1000") + kPlyAsciiBody, "1000 vertices"},
        {"negative.ply", replaced(kPlyAscii, "vertex 3", "vertex -3"), ""},
        {"tri.off", "OFF\n# 1000000 in a comment\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", ""},
        {"many.off", "OFF 1000 1 0\n0 0 0\n", "1000 vertices and 1 face"},
        // Binary STL: 50 bytes a triangle; text STL, starting with "solid", declares nothing.
        {"one.stl", stl(1, 50), ""},
        {"many.stl", stl(1000, 50), "1000 triangles, which cannot fit in 134 bytes"},
        {"text.stl",
         "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
         "endloop\nendfacet\nendsolid t\n",
         ""},
        {"tiny.stl", "not a mesh", ""},
        {"mesh.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", ""},
    };
    kvhlrtest::TempDir dir;
    for (const auto& c : cases) {
        const std::string reason = kvhlr::declaredSizeProblem(dir.write(c.name, c.content));
        if (c.reason.empty())
            EXPECT_EQ(reason, "") << c.name;
        else
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
    }
}

} // namespace
