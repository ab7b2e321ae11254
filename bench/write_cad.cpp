// Writes the CAD models that the tests and the timings draw, built with Open CASCADE at test time so that
// no CAD file need be kept: `write_cad MODEL OUT.step|OUT.iges [FINE.obj|MESH.stl]`. FINE.obj, when
// given, is the same model tessellated finely, for the checker to judge a drawing against; MESH.stl is
// the model tessellated as kvhlr does it, for timings.
//
// Models: filleted_block (a block with every edge rounded), plate_with_holes (a plate with six holes,
// their top edges rounded), box_and_cylinder (a cylinder fused onto a box), bracket (an angle bracket:
// holes, a boss, rounded and chamfered edges), gentle_roof (a block with a roof ridge of 4 degrees),
// knob (a ball fused on a cylinder), broken_face (a block and a face that cannot be tessellated),
// two_parts (an assembly of a named base and two instances of a named pin), plate_grid (a plate with a
// 14 x 12 grid of rounded and chamfered holes: about 500 faces), gearbox (an assembly of 50 parts: a
// housing, shafts, gears and bolts).

#include "kit/mesh/CadFacets.h"

#include <BRepAdaptor_Surface.hxx>
#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepFilletAPI_MakeChamfer.hxx>
#include <BRepFilletAPI_MakeFillet.hxx>
#include <BRepLib.hxx>
#include <BRepLProp_SLProps.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <IGESCAFControl_Writer.hxx>
#include <IGESControl_Controller.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_Printer.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Ax2.hxx>
#include <gp_Pln.hxx>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

struct Part {
    std::string name;
    TopoDS_Shape shape;
    std::vector<std::pair<std::string, gp_Trsf>> instances; // one unplaced instance when empty
};

gp_Trsf moved(double x, double y, double z) {
    gp_Trsf trsf;
    trsf.SetTranslation(gp_Vec(x, y, z));
    return trsf;
}

TopoDS_Shape cylinder(double x, double y, double z, double radius, double height) {
    return BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(x, y, z), gp::DZ()), radius, height).Shape();
}

// Rounds the edges of `shape` that `pick` chooses (given each edge's middle point).
TopoDS_Shape rounded(const TopoDS_Shape& shape, double radius,
                     const std::function<bool(const gp_Pnt&)>& pick) {
    BRepFilletAPI_MakeFillet fillet(shape);
    for (TopExp_Explorer it(shape, TopAbs_EDGE); it.More(); it.Next()) {
        const TopoDS_Edge& edge = TopoDS::Edge(it.Current());
        double first, last;
        const Handle(Geom_Curve) curve = BRep_Tool::Curve(edge, first, last);
        if (!curve.IsNull() && pick(curve->Value((first + last) / 2)))
            fillet.Add(radius, edge);
    }
    return fillet.Shape();
}

TopoDS_Shape filletedBlock() {
    return rounded(BRepPrimAPI_MakeBox(60, 40, 30).Shape(), 6, [](const gp_Pnt&) { return true; });
}

// A plate of `columns` x `rows` holes 10 mm apart, the top edges of the holes rounded; with `chamfer`,
// their bottom edges chamfered too.
TopoDS_Shape plate(int columns, int rows, bool chamfer) {
    const double width = 10.0 * columns + 10, depth = 10.0 * rows + 10, thickness = 6;
    TopoDS_Shape shape = BRepPrimAPI_MakeBox(width, depth, thickness).Shape();
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j)
            shape =
                BRepAlgoAPI_Cut(shape, cylinder(10.0 + 10 * i, 10.0 + 10 * j, -1, 3, thickness + 2)).Shape();
    const auto onHole = [&](const gp_Pnt& p, double z) {
        const double u = (p.X() - 10) / 10, v = (p.Y() - 10) / 10;
        const double du = u - std::round(u), dv = v - std::round(v);
        return std::abs(p.Z() - z) < 1e-6 && std::hypot(du, dv) * 10 < 3.5 && p.X() > 5 && p.Y() > 5 &&
               p.X() < width - 5 && p.Y() < depth - 5;
    };
    shape = rounded(shape, 1.0, [&](const gp_Pnt& p) { return onHole(p, thickness); });
    if (!chamfer)
        return shape;
    BRepFilletAPI_MakeChamfer chamfers(shape);
    for (TopExp_Explorer it(shape, TopAbs_EDGE); it.More(); it.Next()) {
        double first, last;
        const Handle(Geom_Curve) curve = BRep_Tool::Curve(TopoDS::Edge(it.Current()), first, last);
        if (!curve.IsNull() && onHole(curve->Value((first + last) / 2), 0))
            chamfers.Add(0.5, TopoDS::Edge(it.Current()));
    }
    return chamfers.Shape();
}

// An angle bracket: a base with two countersunk holes and an upright with a bored boss; the inner corner
// and the base's front corners rounded (tangent edges), a seam on every hole and on the boss.
TopoDS_Shape bracket() {
    const auto near = [](double a, double b) { return std::abs(a - b) < 1e-6; };
    TopoDS_Shape shape = BRepAlgoAPI_Fuse(BRepPrimAPI_MakeBox(80, 50, 10).Shape(),
                                          BRepPrimAPI_MakeBox(gp_Pnt(0, 40, 0), 80, 10, 50).Shape())
                             .Shape();
    shape = rounded(shape, 6, [&](const gp_Pnt& p) { return near(p.Y(), 40) && near(p.Z(), 10); });
    shape = rounded(shape, 8,
                    [&](const gp_Pnt& p) { return near(p.Y(), 0) && (near(p.X(), 0) || near(p.X(), 80)); });
    shape = BRepAlgoAPI_Fuse(shape,
                             BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(40, 40, 32), -gp::DY()), 12, 6).Shape())
                .Shape();
    shape =
        BRepAlgoAPI_Cut(shape, BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(40, 30, 32), gp::DY()), 6, 25).Shape())
            .Shape();
    for (const double x : {15.0, 65.0})
        shape = BRepAlgoAPI_Cut(shape, cylinder(x, 18, -1, 5, 12)).Shape();
    BRepFilletAPI_MakeChamfer chamfers(shape);
    for (TopExp_Explorer it(shape, TopAbs_EDGE); it.More(); it.Next()) {
        double first, last;
        const Handle(Geom_Curve) curve = BRep_Tool::Curve(TopoDS::Edge(it.Current()), first, last);
        const gp_Pnt p = curve.IsNull() ? gp_Pnt() : curve->Value((first + last) / 2);
        const double fromHole =
            std::min(std::hypot(p.X() - 15, p.Y() - 18), std::hypot(p.X() - 65, p.Y() - 18));
        if (!curve.IsNull() && near(p.Z(), 10) && std::abs(fromHole - 5) < 1e-3)
            chamfers.Add(1.5, TopoDS::Edge(it.Current()));
    }
    return chamfers.Shape();
}

// A block whose top is a roof of two faces sloping 2 degrees: a ridge so gentle that only the B-rep tells it.
TopoDS_Shape gentleRoof() {
    BRepBuilderAPI_MakePolygon outline;
    for (const auto& [x, z] : std::vector<std::pair<double, double>>{
             {0, 0}, {40, 0}, {40, 20}, {20, 20 + 20 * std::tan(2 * M_PI / 180)}, {0, 20}})
        outline.Add(gp_Pnt(x, 0, z));
    outline.Close();
    return BRepPrimAPI_MakePrism(BRepBuilderAPI_MakeFace(outline.Wire()).Face(), gp_Vec(0, 30, 0)).Shape();
}

// A knob: a cylinder with a ball fused on top, whose seams run along curves and which closes at a pole.
TopoDS_Shape knob() {
    return BRepAlgoAPI_Fuse(cylinder(0, 0, 0, 8, 20), BRepPrimAPI_MakeSphere(gp_Pnt(0, 0, 20), 12).Shape())
        .Shape();
}

// A block with a loose face beside it whose border runs out along a line and back: a face with no area,
// which the mesher cannot tessellate (the reader must leave it out, say so, and draw the block).
TopoDS_Shape brokenFace() {
    BRepBuilderAPI_MakeWire border;
    border.Add(BRepBuilderAPI_MakeEdge(gp_Pnt(50, 0, 0), gp_Pnt(60, 0, 0)).Edge());
    border.Add(BRepBuilderAPI_MakeEdge(gp_Pnt(60, 0, 0), gp_Pnt(50, 0, 0)).Edge());
    TopoDS_Compound shape;
    BRep_Builder builder;
    builder.MakeCompound(shape);
    builder.Add(shape, BRepPrimAPI_MakeBox(40, 30, 20).Shape());
    builder.Add(shape, BRepBuilderAPI_MakeFace(gp_Pln(gp::XOY()), border.Wire()).Face());
    return shape;
}

TopoDS_Shape boxAndCylinder() {
    return BRepAlgoAPI_Fuse(BRepPrimAPI_MakeBox(60, 40, 10).Shape(), cylinder(30, 20, 10, 12, 25)).Shape();
}

std::vector<Part> twoParts() {
    return {{"base", BRepPrimAPI_MakeBox(80, 40, 10).Shape(), {}},
            {"pin",
             cylinder(0, 0, 0, 5, 30),
             {{"pin-left", moved(20, 20, 10)}, {"pin-right", moved(60, 20, 10)}}}};
}

// 50 parts: a housing with bosses, 4 shafts, 9 gears (fused hub and rim), 36 bolts.
std::vector<Part> gearbox() {
    std::vector<Part> parts;
    TopoDS_Shape housing = BRepPrimAPI_MakeBox(200, 120, 20).Shape();
    for (int i = 0; i < 4; ++i)
        housing = BRepAlgoAPI_Fuse(housing, cylinder(30 + 45 * i, 60, 20, 14, 10)).Shape();
    parts.push_back({"housing", housing, {}});
    for (int i = 0; i < 4; ++i)
        parts.push_back({"shaft-" + std::to_string(i + 1), cylinder(30 + 45 * i, 60, 30, 6, 80), {}});
    for (int i = 0; i < 9; ++i) {
        const double x = 30 + 45 * (i % 4), z = 40 + 15 * (i / 4);
        const TopoDS_Shape gear =
            BRepAlgoAPI_Fuse(cylinder(x, 60, z, 20 + 2 * (i % 3), 6), cylinder(x, 60, z + 6, 9, 6)).Shape();
        parts.push_back({"gear-" + std::to_string(i + 1), gear, {}});
    }
    const TopoDS_Shape bolt = BRepAlgoAPI_Fuse(cylinder(0, 0, 0, 3, 12), cylinder(0, 0, 12, 5, 4)).Shape();
    for (int i = 0; i < 36; ++i)
        parts.push_back({"bolt-" + std::to_string(i + 1),
                         bolt.Moved(TopLoc_Location(moved(8 + 5.3 * i, i % 2 == 0 ? 8 : 112, 8))),
                         {}});
    return parts;
}

// The parts as an XDE document: each a named shape, each instance a named component of the assembly.
Handle(TDocStd_Document) documentOf(const std::vector<Part>& parts) {
    Handle(TDocStd_Document) document;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", document);
    const Handle(XCAFDoc_ShapeTool) tool = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    const bool assembly = parts.size() > 1;
    const TDF_Label top = assembly ? tool->NewShape() : TDF_Label();
    if (assembly)
        TDataStd_Name::Set(top, "assembly");
    for (const Part& part : parts) {
        const TDF_Label label = tool->AddShape(part.shape, false);
        TDataStd_Name::Set(label, part.name.c_str());
        if (!assembly)
            continue;
        const auto instances =
            part.instances.empty() ? decltype(part.instances){{part.name, gp_Trsf()}} : part.instances;
        for (const auto& [name, place] : instances)
            TDataStd_Name::Set(tool->AddComponent(top, label, TopLoc_Location(place)), name.c_str());
    }
    tool->UpdateAssemblies();
    return document;
}

bool write(const std::vector<Part>& parts, const std::string& path) {
    const Handle(TDocStd_Document) document = documentOf(parts);
    const std::string extension = path.substr(path.find_last_of('.') + 1);
    bool written;
    if (extension == "step" || extension == "stp") {
        STEPCAFControl_Writer writer;
        written =
            writer.Transfer(document, STEPControl_AsIs) && writer.Write(path.c_str()) == IFSelect_RetDone;
    } else {
        IGESControl_Controller::Init();
        IGESCAFControl_Writer writer;
        written = writer.Transfer(document) && writer.Write(path.c_str());
    }
    XCAFApp_Application::GetApplication()->Close(document);
    return written;
}

// A face's triangles (node numbers, wound as its triangulation winds them), its seam welded and the
// triangles turned to follow the surface as kvhlr's reader turns them (kit/mesh/CadFacets.h).
std::vector<kvhlr::FacetTriangle> facets(const TopoDS_Face& face, const Poly_Triangulation& triangulation) {
    std::map<std::array<double, 3>, std::uint32_t> atPosition;
    std::vector<std::uint32_t> local(static_cast<std::size_t>(triangulation.NbNodes()) + 1), node;
    std::vector<gp_XYZ> points, normals;
    BRepAdaptor_Surface surface(TopoDS::Face(face.Located(TopLoc_Location())), false);
    for (int n = 1; n <= triangulation.NbNodes(); ++n) {
        const gp_XYZ p = triangulation.Node(n).XYZ();
        const auto [at, added] = atPosition.emplace(std::array<double, 3>{p.X(), p.Y(), p.Z()}, points.size());
        local[static_cast<std::size_t>(n)] = at->second;
        if (!added)
            continue;
        node.push_back(static_cast<std::uint32_t>(n));
        points.push_back(p);
        BRepLProp_SLProps properties(surface, triangulation.UVNode(n).X(), triangulation.UVNode(n).Y(), 1, 1e-9);
        normals.push_back(properties.IsNormalDefined() ? properties.Normal().XYZ() : gp_XYZ(0, 0, 0));
    }
    std::vector<kvhlr::FacetTriangle> triangles;
    for (int t = 1; t <= triangulation.NbTriangles(); ++t) {
        int a, b, c;
        triangulation.Triangle(t).Get(a, b, c);
        const kvhlr::FacetTriangle corner{local[static_cast<std::size_t>(a)], local[static_cast<std::size_t>(b)],
                                          local[static_cast<std::size_t>(c)]};
        if (corner[0] != corner[1] && corner[1] != corner[2] && corner[0] != corner[2])
            triangles.push_back(corner);
    }
    if (surface.GetType() != GeomAbs_Plane)
        kvhlr::followSurface(points, std::move(normals), triangles);
    for (kvhlr::FacetTriangle& t : triangles)
        for (std::uint32_t& corner : t)
            corner = node[corner];
    return triangles;
}

// The edges of a tessellated shape along which two of its faces meet smoothly (tangent edges, as kvhlr's
// reader finds them), each as the polyline of its nodes.
std::vector<std::vector<gp_Pnt>> tangentEdges(const TopoDS_Shape& shape) {
    BRepLib::EncodeRegularity(shape, 0.5 * M_PI / 180);
    TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
    TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
    std::vector<std::vector<gp_Pnt>> edges;
    for (int e = 1; e <= edgeFaces.Extent(); ++e) {
        const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(e));
        const TopTools_ListOfShape& faces = edgeFaces(e);
        if (faces.Extent() != 2 || faces.First().IsSame(faces.Last()) || !BRep_Tool::HasContinuity(edge) ||
            BRep_Tool::Continuity(edge, TopoDS::Face(faces.First()), TopoDS::Face(faces.Last())) == GeomAbs_C0)
            continue;
        TopLoc_Location location;
        const Handle(Poly_Triangulation) triangulation =
            BRep_Tool::Triangulation(TopoDS::Face(faces.First()), location);
        const Handle(Poly_PolygonOnTriangulation) polygon =
            BRep_Tool::PolygonOnTriangulation(edge, triangulation, location);
        if (polygon.IsNull())
            continue;
        std::vector<gp_Pnt>& line = edges.emplace_back();
        for (int i = 1; i <= polygon->NbNodes(); ++i)
            line.push_back(triangulation->Node(polygon->Node(i)).Transformed(location.Transformation()));
    }
    return edges;
}

// Every placed part tessellated, as one mesh: an OBJ file finely (0.01 mm, 3 degrees), for the checker,
// with the tangent edges as polylines (`l`), or a binary STL file as kvhlr tessellates by default (0.05 %
// of the largest side, 15 degrees), for the timings to compare reading the CAD file with reading its
// triangles.
bool writeMesh(const std::vector<Part>& parts, const std::string& path) {
    const bool stl = path.size() > 4 && path.compare(path.size() - 4, 4, ".stl") == 0;
    Bnd_Box box;
    for (const Part& part : parts)
        BRepBndLib::Add(part.shape, box);
    double x0, y0, z0, x1, y1, z1;
    box.Get(x0, y0, z0, x1, y1, z1);
    const double deflection = stl ? 0.0005 * std::max({x1 - x0, y1 - y0, z1 - z0}) : 0.01;
    std::vector<std::array<gp_Pnt, 3>> triangles;
    std::vector<std::vector<gp_Pnt>> tangent;
    for (const Part& part : parts) {
        BRepMesh_IncrementalMesh(part.shape, deflection, false, (stl ? 15.0 : 3.0) * M_PI / 180);
        const auto instances =
            part.instances.empty() ? decltype(part.instances){{part.name, gp_Trsf()}} : part.instances;
        for (const auto& instance : instances) {
            const TopoDS_Shape placed = part.shape.Moved(TopLoc_Location(instance.second));
            for (std::vector<gp_Pnt>& edge : tangentEdges(placed))
                tangent.push_back(std::move(edge));
            for (TopExp_Explorer it(placed, TopAbs_FACE); it.More(); it.Next()) {
                const TopoDS_Face& face = TopoDS::Face(it.Current());
                TopLoc_Location location;
                const Handle(Poly_Triangulation) triangulation = BRep_Tool::Triangulation(face, location);
                if (triangulation.IsNull())
                    return false;
                for (kvhlr::FacetTriangle t : facets(face, *triangulation)) {
                    if (face.Orientation() == TopAbs_REVERSED)
                        std::swap(t[1], t[2]);
                    triangles.push_back({});
                    for (int k : {0, 1, 2})
                        triangles.back()[k] =
                            triangulation->Node(static_cast<int>(t[k])).Transformed(location.Transformation());
                }
            }
        }
    }
    std::ofstream out(path, std::ios::binary);
    if (stl) {
        const std::string header(80, ' ');
        const auto count = static_cast<std::uint32_t>(triangles.size());
        out.write(header.data(), 80).write(reinterpret_cast<const char*>(&count), 4);
        for (const auto& triangle : triangles) {
            float values[12] = {};
            for (int k = 0; k < 3; ++k)
                for (int i = 0; i < 3; ++i)
                    values[3 + 3 * k + i] = static_cast<float>(triangle[k].Coord(i + 1));
            out.write(reinterpret_cast<const char*>(values), sizeof values).write("\0\0", 2);
        }
    } else {
        for (const auto& triangle : triangles)
            for (const gp_Pnt& p : triangle)
                out << "v " << p.X() << ' ' << p.Y() << ' ' << p.Z() << '\n';
        for (std::size_t t = 0; t < triangles.size(); ++t)
            out << "f " << 3 * t + 1 << ' ' << 3 * t + 2 << ' ' << 3 * t + 3 << '\n';
        std::size_t count = 3 * triangles.size();
        for (const std::vector<gp_Pnt>& edge : tangent) {
            for (const gp_Pnt& p : edge)
                out << "v " << p.X() << ' ' << p.Y() << ' ' << p.Z() << '\n';
            out << 'l';
            for (std::size_t i = 1; i <= edge.size(); ++i)
                out << ' ' << count + i;
            out << '\n';
            count += edge.size();
        }
    }
    return static_cast<bool>(out.flush());
}

// A model of one unplaced part.
std::function<std::vector<Part>()> single(const char* name, std::function<TopoDS_Shape()> make) {
    return [name, make] { return std::vector<Part>{{name, make(), {}}}; };
}

} // namespace

int main(int argc, char** argv) {
    const std::map<std::string, std::function<std::vector<Part>()>> models{
        {"filleted_block", single("filleted_block", filletedBlock)},
        {"plate_with_holes", single("plate", [] { return plate(3, 2, false); })},
        {"box_and_cylinder", single("box_and_cylinder", boxAndCylinder)},
        {"bracket", single("bracket", bracket)},
        {"gentle_roof", single("gentle_roof", gentleRoof)},
        {"knob", single("knob", knob)},
        {"broken_face", single("broken_face", brokenFace)},
        {"two_parts", twoParts},
        {"plate_grid", single("plate_grid", [] { return plate(14, 12, true); })},
        {"gearbox", gearbox},
    };
    if (argc < 3 || argc > 4 || models.count(argv[1]) == 0) {
        std::fprintf(stderr, "usage: write_cad MODEL OUT.step|OUT.iges [FINE.obj|MESH.stl]; models:");
        for (const auto& model : models)
            std::fprintf(stderr, " %s", model.first.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_Printer)); // the writers' statistics
    const std::vector<Part> parts = models.at(argv[1])();
    if (!write(parts, argv[2]) || (argc == 4 && !writeMesh(parts, argv[3]))) {
        std::fprintf(stderr, "write_cad: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
