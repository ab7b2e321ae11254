// Writes the mesh of kvhlr's built-in demo part (`kvhlr --demo`) as OBJ, so that the checker can judge
// drawings of it. Coordinates are written round-trip exact.

#include "kit/mesh/DemoPart.h"

#include <fstream>
#include <iomanip>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: export_demo OUT.obj\n";
        return 2;
    }
    std::ofstream out(argv[1]);
    out << std::setprecision(17);
    std::size_t base = 1;
    for (const kvhlr::MeshPart& part : kvhlr::demoPart()) {
        for (const ON_3dPoint& p : part.points)
            out << "v " << p.x << ' ' << p.y << ' ' << p.z << '\n';
        for (const Kv::KvTriangleList& face : part.faces)
            for (const auto& t : face)
                out << "f " << base + t.v[0] << ' ' << base + t.v[1] << ' ' << base + t.v[2] << '\n';
        base += part.points.size();
    }
    if (!out) {
        std::cerr << "export_demo: cannot write " << argv[1] << '\n';
        return 2;
    }
}
