#include "kit/mesh/CadFile.h"

#include "kit/InputError.h"
#include "kit/mesh/CadFacets.h"
#include "kit/mesh/CadProcess.h"

#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <BRepBndLib.hxx>
#include <BRepLProp_CLProps.hxx>
#include <BRepLProp_SLProps.hxx>
#include <BRepTools.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <BRepLib.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <IGESData_GlobalSection.hxx>
#include <IGESData_IGESModel.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_ProgressIndicator.hxx>
#include <Message_ProgressScope.hxx>
#include <OSD_Parallel.hxx>
#include <OSD_ThreadPool.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TDataStd_Name.hxx>
#include <TColStd_SequenceOfAsciiString.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <optional>
#include <thread>
#include <unordered_map>

namespace kvhlr {
namespace {

constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;

// Faces whose normals along their common edge differ by less than this meet smoothly: the edge is a
// tangent edge. Fillets meet their faces far closer than this; no chamfer is this gentle.
constexpr double kSmoothAngle = 0.5 * kRadiansPerDegree;

// Passes Open CASCADE's progress on as the share done. Its parallel mesher reports from its worker
// threads too; only the reading thread's reports go on, so that the hook (which may take a Python
// interpreter's lock, or throw to stop the reading) runs where the caller called.
class ShareIndicator : public Message_ProgressIndicator {
public:
    explicit ShareIndicator(const std::function<void(double)>& progress)
        : m_progress(progress), m_thread(std::this_thread::get_id()) {}
    void Show(const Message_ProgressScope&, const Standard_Boolean) override {
        if (std::this_thread::get_id() == m_thread)
            m_progress(std::clamp(GetPosition(), 0.0, 1.0));
    }

private:
    const std::function<void(double)>& m_progress;
    const std::thread::id m_thread;
};

std::string nameOf(const TDF_Label& label) {
    Handle(TDataStd_Name) name;
    if (label.IsNull() || !label.FindAttribute(TDataStd_Name::GetID(), name))
        return "";
    return TCollection_AsciiString(name->Get()).ToCString();
}

// Open CASCADE reports to standard output; our errors say what matters. Its printers are taken away
// while a file is read, and put back after, for a host that uses them.
class QuietReports {
public:
    QuietReports() : m_printers(Message::DefaultMessenger()->Printers()) {
        Message::DefaultMessenger()->ChangePrinters().Clear();
    }
    ~QuietReports() { Message::DefaultMessenger()->ChangePrinters() = m_printers; }
    QuietReports(const QuietReports&) = delete;
    QuietReports& operator=(const QuietReports&) = delete;

private:
    Message_SequenceOfPrinters m_printers;
};

// One shape of the file where the assembly places it, with the names of its part and instance.
struct PlacedShape {
    TopoDS_Shape shape;
    std::string part;
    std::string instance;
};

void collectShapes(const Handle(XCAFDoc_ShapeTool) & tool, const TDF_Label& label,
                   const TopLoc_Location& place, const std::string& instance, std::vector<PlacedShape>& out) {
    if (XCAFDoc_ShapeTool::IsAssembly(label)) {
        TDF_LabelSequence components;
        XCAFDoc_ShapeTool::GetComponents(label, components);
        for (const TDF_Label& component : components) {
            TDF_Label referred;
            if (XCAFDoc_ShapeTool::GetReferredShape(component, referred))
                collectShapes(tool, referred, place * XCAFDoc_ShapeTool::GetLocation(component),
                              nameOf(component), out);
        }
        return;
    }
    const TopoDS_Shape shape = XCAFDoc_ShapeTool::GetShape(label);
    if (!shape.IsNull())
        out.push_back({shape.Moved(place), nameOf(label), instance});
}

// A file's shapes, and their length unit and the file's own in millimetres: Open CASCADE converts a
// file's lengths into its document's unit as it transfers the shapes.
struct FileShapes {
    std::vector<PlacedShape> shapes;
    double unitMm = 1.0;
    double fileUnitMm = 1.0;
};

// A STEP file's length unit in millimetres, by the name the file gives it: SI units ("millimetre") or
// units converted from them ("INCH"). Nothing for a name not known here, or several units in one file.
std::optional<double> stepUnitMm(STEPControl_Reader& reader) {
    static const std::map<std::string, double> units{
        {"micrometre", 1e-3}, {"millimetre", 1.0},  {"centimetre", 10.0}, {"decimetre", 100.0},
        {"metre", 1000.0},    {"kilometre", 1e6},   {"inch", 25.4},       {"foot", 304.8},
        {"micrometer", 1e-3}, {"millimeter", 1.0},  {"centimeter", 10.0}, {"decimeter", 100.0},
        {"meter", 1000.0},    {"kilometer", 1e6},   {"feet", 304.8}};
    TColStd_SequenceOfAsciiString lengths, angles, solidAngles;
    reader.FileUnits(lengths, angles, solidAngles);
    std::optional<double> unit;
    for (TCollection_AsciiString name : lengths) {
        name.LowerCase();
        const auto found = units.find(name.ToCString());
        if (found == units.end() || (unit && *unit != found->second))
            return std::nullopt;
        unit = found->second;
    }
    return unit;
}

// The file read into an XDE document and flattened to placed shapes. Open CASCADE's readers keep
// process-wide settings, so reads take turns.
FileShapes readShapes(const std::string& path, bool step, const Message_ProgressRange& range) {
    Handle(TDocStd_Document) document;
    Handle(XCAFApp_Application) application = XCAFApp_Application::GetApplication();
    application->NewDocument("MDTV-XCAF", document);
    struct Closer {
        Handle(XCAFApp_Application) application;
        Handle(TDocStd_Document) document;
        ~Closer() { application->Close(document); }
    } closer{application, document};

    const auto transfer = [&](auto& reader, const char* type) {
        reader.SetNameMode(true);
        const IFSelect_ReturnStatus status = reader.ReadFile(path.c_str());
        if (status == IFSelect_RetVoid)
            throw InputError(path, "the file holds no solids or faces to draw");
        if (status != IFSelect_RetDone)
            throw InputError(path, std::string("a broken ") + type + " file: it cannot be read");
        if (!reader.Transfer(document, range))
            throw InputError(path, "the file holds no solids or faces to draw");
    };
    FileShapes read;
    double documentMetres = 0.0;
    if (step) {
        STEPCAFControl_Reader reader;
        transfer(reader, "STEP");
        read.fileUnitMm = stepUnitMm(reader.ChangeReader()).value_or(0.0);
    } else {
        IGESCAFControl_Reader reader;
        transfer(reader, "IGES");
        read.fileUnitMm = reader.IGESModel()->GlobalSection().UnitValue(); // in Open CASCADE's mm
    }
    if (XCAFDoc_DocumentTool::GetLengthUnit(document, documentMetres) && documentMetres > 0.0)
        read.unitMm = documentMetres * 1000.0;
    // A file unit not known is taken to be what the shapes are in.
    if (!(read.fileUnitMm > 0.0 && std::isfinite(read.fileUnitMm)))
        read.fileUnitMm = read.unitMm;
    const Handle(XCAFDoc_ShapeTool) tool = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    TDF_LabelSequence roots;
    tool->GetFreeShapes(roots);
    for (const TDF_Label& root : roots)
        collectShapes(tool, root, TopLoc_Location(), "", read.shapes);
    return read;
}

// Indices that are joined into sets; each set is told by its root.
class Sets {
public:
    explicit Sets(std::size_t count) : m_parent(count) { std::iota(m_parent.begin(), m_parent.end(), 0); }
    std::size_t root(std::size_t i) {
        while (m_parent[i] != i)
            i = m_parent[i] = m_parent[m_parent[i]];
        return i;
    }
    void join(std::size_t a, std::size_t b) { m_parent[root(a)] = root(b); }

private:
    std::vector<std::size_t> m_parent;
};

// The tessellated faces of one body, their nodes numbered across the body.
struct BodyNodes {
    TopTools_IndexedMapOfShape faces;
    std::vector<Handle(Poly_Triangulation)> triangulations; // null: the face could not be tessellated
    std::vector<TopLoc_Location> locations;
    std::vector<std::size_t> firstNode; // of each face; one more entry for the total
};

BodyNodes nodesOf(const TopoDS_Shape& body) {
    BodyNodes nodes;
    TopExp::MapShapes(body, TopAbs_FACE, nodes.faces);
    nodes.firstNode.push_back(0);
    for (int f = 1; f <= nodes.faces.Extent(); ++f) {
        TopLoc_Location location;
        Handle(Poly_Triangulation) triangulation =
            BRep_Tool::Triangulation(TopoDS::Face(nodes.faces(f)), location);
        const int count = triangulation.IsNull() ? 0 : triangulation->NbNodes();
        nodes.triangulations.push_back(count > 0 ? triangulation : Handle(Poly_Triangulation)());
        nodes.locations.push_back(location);
        nodes.firstNode.push_back(nodes.firstNode.back() + static_cast<std::size_t>(count));
    }
    return nodes;
}

// The body's nodes of one face's polygon along an edge, or none.
std::vector<std::size_t> edgeNodes(const BodyNodes& nodes, int face, const TopoDS_Edge& edge) {
    const Handle(Poly_Triangulation)& triangulation = nodes.triangulations[face - 1];
    if (triangulation.IsNull())
        return {};
    const Handle(Poly_PolygonOnTriangulation)& polygon =
        BRep_Tool::PolygonOnTriangulation(edge, triangulation, nodes.locations[face - 1]);
    std::vector<std::size_t> body;
    if (polygon.IsNull())
        return body;
    for (int i = 1; i <= polygon->NbNodes(); ++i)
        body.push_back(nodes.firstNode[face - 1] + static_cast<std::size_t>(polygon->Node(i) - 1));
    return body;
}

// The surface's normal at a node, as the triangulation winds around it (whatever the face's orientation);
// zero where it has none (at a pole).
gp_XYZ normalAt(BRepAdaptor_Surface& surface, const gp_Pnt2d& uv) {
    BRepLProp_SLProps properties(surface, uv.X(), uv.Y(), 1, Precision::Confusion());
    return properties.IsNormalDefined() ? properties.Normal().XYZ() : gp_XYZ(0, 0, 0);
}

// The triangles of a face over the body's points (`pointOf` its nodes'), wound as its triangulation
// winds them, turned to follow its surface (CadFacets.h) across its welded seam. Triangles that welding
// makes degenerate are left out.
std::vector<FacetTriangle> facetsOf(const TopoDS_Face& face, const Poly_Triangulation& triangulation,
                                    const std::uint32_t* pointOf) {
    std::vector<std::uint32_t> bodyPoint;
    std::unordered_map<std::uint32_t, std::uint32_t> local;
    std::vector<std::uint32_t> localOf(static_cast<std::size_t>(triangulation.NbNodes()) + 1);
    for (int n = 1; n <= triangulation.NbNodes(); ++n) {
        const auto [at, added] = local.emplace(pointOf[n - 1], static_cast<std::uint32_t>(bodyPoint.size()));
        if (added)
            bodyPoint.push_back(pointOf[n - 1]);
        localOf[static_cast<std::size_t>(n)] = at->second;
    }
    std::vector<FacetTriangle> triangles;
    for (int t = 1; t <= triangulation.NbTriangles(); ++t) {
        int a, b, c;
        triangulation.Triangle(t).Get(a, b, c);
        const FacetTriangle corner{localOf[static_cast<std::size_t>(a)], localOf[static_cast<std::size_t>(b)],
                                   localOf[static_cast<std::size_t>(c)]};
        if (corner[0] != corner[1] && corner[1] != corner[2] && corner[0] != corner[2])
            triangles.push_back(corner);
    }
    // The surface in the triangulation's own frame, where its nodes lie.
    BRepAdaptor_Surface surface(TopoDS::Face(face.Located(TopLoc_Location())), false);
    if (surface.GetType() != GeomAbs_Plane && triangulation.HasUVNodes()) {
        std::vector<gp_XYZ> points(bodyPoint.size()), normals(bodyPoint.size());
        for (int n = 1; n <= triangulation.NbNodes(); ++n) {
            points[localOf[static_cast<std::size_t>(n)]] = triangulation.Node(n).XYZ();
            normals[localOf[static_cast<std::size_t>(n)]] = normalAt(surface, triangulation.UVNode(n));
        }
        followSurface(points, std::move(normals), triangles);
    }
    for (FacetTriangle& t : triangles)
        for (std::uint32_t& corner : t)
            corner = bodyPoint[corner];
    return triangles;
}

ON_3dPoint pointOf(const gp_Pnt& p) {
    return ON_3dPoint(p.X(), p.Y(), p.Z());
}

ON_3dVector vectorOf(const gp_Dir& d, double length) {
    return ON_3dVector(d.X() * length, d.Y() * length, d.Z() * length);
}

// The body's edges that are circles or ellipses, and the spheres' outlines.
void addCurves(const TopoDS_Shape& body, MeshPart& part) {
    TopTools_IndexedMapOfShape edges;
    TopExp::MapShapes(body, TopAbs_EDGE, edges);
    for (int e = 1; e <= edges.Extent(); ++e) {
        const TopoDS_Edge& edge = TopoDS::Edge(edges(e));
        if (BRep_Tool::Degenerated(edge))
            continue;
        const BRepAdaptor_Curve curve(edge);
        gp_Ax2 frame;
        double major = 0.0, minor = 0.0;
        if (curve.GetType() == GeomAbs_Circle) {
            frame = curve.Circle().Position();
            major = minor = curve.Circle().Radius();
        } else if (curve.GetType() == GeomAbs_Ellipse) {
            frame = curve.Ellipse().Position();
            major = curve.Ellipse().MajorRadius();
            minor = curve.Ellipse().MinorRadius();
        } else {
            continue;
        }
        const double start = curve.FirstParameter(), end = curve.LastParameter();
        if (!(end > start && end - start <= 2.0 * M_PI + 1e-9))
            continue;
        part.curves.push_back({pointOf(frame.Location()), vectorOf(frame.XDirection(), major),
                               vectorOf(frame.YDirection(), minor), start, end, false});
    }
}

// The axis of a face that turns at least half round one, if it does.
std::optional<CadAxis> axisOf(const TopoDS_Face& face) {
    double u0, u1, v0, v1;
    BRepTools::UVBounds(face, u0, u1, v0, v1);
    if (!(u1 - u0 >= M_PI - 1e-6 && std::isfinite(v0) && std::isfinite(v1)))
        return std::nullopt;
    const BRepAdaptor_Surface surface(face);
    gp_Ax3 frame;
    double from = v0, to = v1, radius = 0.0;
    switch (surface.GetType()) {
    case GeomAbs_Cylinder:
        frame = surface.Cylinder().Position();
        radius = surface.Cylinder().Radius();
        break;
    case GeomAbs_Cone: {
        const gp_Cone cone = surface.Cone();
        frame = cone.Position();
        from = v0 * std::cos(cone.SemiAngle());
        to = v1 * std::cos(cone.SemiAngle());
        radius = std::max(std::fabs(cone.RefRadius() + v0 * std::sin(cone.SemiAngle())),
                          std::fabs(cone.RefRadius() + v1 * std::sin(cone.SemiAngle())));
        break;
    }
    case GeomAbs_Torus:
        frame = surface.Torus().Position();
        from = -surface.Torus().MinorRadius();
        to = surface.Torus().MinorRadius();
        radius = surface.Torus().MajorRadius() + surface.Torus().MinorRadius();
        break;
    default:
        return std::nullopt;
    }
    return CadAxis{pointOf(frame.Location()), vectorOf(frame.Direction(), 1.0), std::min(from, to),
                   std::max(from, to), radius};
}

// The axes of the body's faces that turn about one, and the outlines of its spheres.
void addAxes(const TopoDS_Shape& body, MeshPart& part) {
    for (TopExp_Explorer it(body, TopAbs_FACE); it.More(); it.Next()) {
        const TopoDS_Face& face = TopoDS::Face(it.Current());
        const BRepAdaptor_Surface surface(face);
        if (surface.GetType() == GeomAbs_Sphere) {
            const gp_Sphere sphere = surface.Sphere();
            part.curves.push_back({pointOf(sphere.Location()), ON_3dVector(sphere.Radius(), 0.0, 0.0),
                                   ON_3dVector(0.0, sphere.Radius(), 0.0), 0.0, 2.0 * M_PI, true});
        } else if (const std::optional<CadAxis> axis = axisOf(face)) {
            part.axes.push_back(*axis);
        }
    }
}

// One body part from a solid (or from the loose faces of a shape). Nodes along every edge are welded:
// between the two faces it joins and, on a closed face, between the two sides of its seam, so that a
// cylinder's mantle is one closed surface with no border along its seam.
MeshPart bodyPart(const TopoDS_Shape& body, const std::string& subject, const CadReading& cad) {
    BRepLib::EncodeRegularity(body, kSmoothAngle);
    const BodyNodes nodes = nodesOf(body);
    const int faceCount = nodes.faces.Extent();
    Sets welded(nodes.firstNode.back());
    Sets smoothFaces(static_cast<std::size_t>(faceCount) + 1);

    TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
    TopExp::MapShapesAndAncestors(body, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
    TopTools_IndexedMapOfShape numbered; // the B-rep edges' numbers (CadFile.h)
    TopExp::MapShapes(body, TopAbs_EDGE, numbered);
    MeshPart part;
    std::vector<std::pair<std::uint32_t, std::vector<std::size_t>>> brepNodes, tangentNodes;
    for (int e = 1; e <= edgeFaces.Extent(); ++e) {
        const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(e));
        const auto number = static_cast<std::uint32_t>(numbered.FindIndex(edge));
        // The edge as each face holds it: a seam twice, once in each orientation.
        std::vector<std::pair<int, std::vector<std::size_t>>> sides;
        std::vector<int> seen;
        for (const TopoDS_Shape& face : edgeFaces(e)) {
            const int f = nodes.faces.FindIndex(face);
            if (std::find(seen.begin(), seen.end(), f) != seen.end())
                continue;
            seen.push_back(f);
            for (TopExp_Explorer it(face, TopAbs_EDGE); it.More(); it.Next())
                if (it.Current().IsSame(edge))
                    sides.emplace_back(f, edgeNodes(nodes, f, TopoDS::Edge(it.Current())));
        }
        for (std::size_t s = 1; s < sides.size(); ++s)
            if (sides[s].second.size() == sides[0].second.size())
                for (std::size_t i = 0; i < sides[0].second.size(); ++i)
                    welded.join(sides[s].second[i], sides[0].second[i]);
        const int first = sides.empty() ? 0 : sides[0].first;
        const bool twoFaces = sides.size() == 2 && sides[1].first != first && !sides[0].second.empty();
        if (twoFaces && BRep_Tool::HasContinuity(edge) &&
            BRep_Tool::Continuity(edge, TopoDS::Face(nodes.faces(first)),
                                  TopoDS::Face(nodes.faces(sides[1].first))) != GeomAbs_C0) {
            smoothFaces.join(static_cast<std::size_t>(first), static_cast<std::size_t>(sides[1].first));
            tangentNodes.emplace_back(number, sides[0].second);
        }
        // A seam runs inside its face (its two sides are one face's), and no line is drawn along it.
        const bool seam = sides.size() == 2 && sides[1].first == first;
        const auto along = std::find_if(sides.begin(), sides.end(), [](const auto& side) { return !side.second.empty(); });
        if (!seam && !BRep_Tool::Degenerated(edge) && along != sides.end())
            brepNodes.emplace_back(number, along->second);
    }

    // Points: one per set of welded nodes, placed by its face's location.
    std::vector<std::uint32_t> pointOf(nodes.firstNode.back(), UINT32_MAX);
    std::vector<std::uint32_t> rootPoint(nodes.firstNode.back(), UINT32_MAX);
    for (int f = 1; f <= faceCount; ++f) {
        const Handle(Poly_Triangulation)& triangulation = nodes.triangulations[f - 1];
        if (triangulation.IsNull())
            continue;
        const gp_Trsf place = nodes.locations[f - 1].Transformation();
        for (int n = 1; n <= triangulation->NbNodes(); ++n) {
            const std::size_t node = nodes.firstNode[f - 1] + static_cast<std::size_t>(n - 1);
            std::uint32_t& point = rootPoint[welded.root(node)];
            if (point == UINT32_MAX) {
                const gp_Pnt p = triangulation->Node(n).Transformed(place);
                point = static_cast<std::uint32_t>(part.points.size());
                part.points.push_back(ON_3dPoint(p.X(), p.Y(), p.Z()));
            }
            pointOf[node] = point;
        }
    }

    // Faces: those joined by smooth edges become one.
    std::map<std::size_t, std::size_t> faceOfRoot;
    for (int f = 1; f <= faceCount; ++f) {
        const Handle(Poly_Triangulation)& triangulation = nodes.triangulations[f - 1];
        const TopoDS_Face& face = TopoDS::Face(nodes.faces(f));
        if (triangulation.IsNull()) {
            if (cad.warning && !BRep_Tool::Surface(face).IsNull())
                cad.warning(subject + ": face " + std::to_string(f) +
                            " could not be tessellated; the drawing leaves it out");
            continue;
        }
        const auto [at, added] =
            faceOfRoot.emplace(smoothFaces.root(static_cast<std::size_t>(f)), part.faces.size());
        if (added)
            part.faces.emplace_back();
        Kv::KvTriangleList& triangles = part.faces[at->second];
        // Outward winding: a reversed face, or a mirroring placement, turns its triangles over.
        const bool flip =
            (face.Orientation() == TopAbs_REVERSED) != nodes.locations[f - 1].Transformation().IsNegative();
        for (FacetTriangle corner : facetsOf(face, *triangulation, &pointOf[nodes.firstNode[f - 1]])) {
            if (flip)
                std::swap(corner[1], corner[2]);
            triangles.push_back({corner[0], corner[1], corner[2]});
        }
    }
    for (const auto& [number, edge] : tangentNodes) {
        std::vector<ON_3dPoint>& line = part.tangentEdges.emplace_back();
        for (const std::size_t node : edge)
            line.push_back(part.points[pointOf[node]]);
        part.tangentBrepEdges.push_back(number);
    }
    for (const auto& [number, edge] : brepNodes) {
        CadEdge& along = part.brepEdges.emplace_back();
        along.index = number;
        for (const std::size_t node : edge)
            along.points.push_back(pointOf[node]);
    }
    addCurves(body, part);
    addAxes(body, part);
    part.body = true;
    part.brepFaces = true;
    return part;
}

// The largest side of the box around everything the file holds; refused where it is not finite or too
// large to draw, before the mesher, which loops or crashes on such sizes.
double modelSize(const std::vector<PlacedShape>& shapes, const std::string& path) {
    Bnd_Box box;
    for (const PlacedShape& placed : shapes)
        BRepBndLib::Add(placed.shape, box);
    if (box.IsVoid())
        throw InputError(path, "the file holds no solids or faces to draw");
    double x0, y0, z0, x1, y1, z1;
    box.Get(x0, y0, z0, x1, y1, z1);
    for (const double corner : {x0, y0, z0, x1, y1, z1})
        if (!(std::fabs(corner) <= kLargestCoordinate))
            throw InputError(path, "the model is too large: the drawing can be computed only with coordinates up "
                                   "to 1e+60 in size");
    return std::max({x1 - x0, y1 - y0, z1 - z0});
}

// The longest side a triangle may have where the surface (or an edge) bends by `bend` (1 / radius): its
// chord strays at most `deflection` from the arc (the sagitta, side² bend / 8) and turns at most `angle`.
double longestSide(double bend, double deflection, double angle) {
    return bend > 0.0 ? std::min(std::sqrt(8.0 * deflection / bend), angle / bend) : INFINITY;
}

// How many triangles the mesher will make, told cheaply from the B-rep before it runs, on the high side:
// each face's area (from a grid of its points) over the triangles the deflections allow where it bends
// most, and the nodes along each edge, where it bends most.
class TessellationEstimate {
public:
    explicit TessellationEstimate(const TopoDS_Shape& shape) {
        for (TopExp_Explorer it(shape, TopAbs_FACE); it.More(); it.Next())
            m_faces.push_back(faceOf(TopoDS::Face(it.Current())));
        TopTools_IndexedMapOfShape edges;
        TopExp::MapShapes(shape, TopAbs_EDGE, edges);
        for (int e = 1; e <= edges.Extent(); ++e)
            if (!BRep_Tool::Degenerated(TopoDS::Edge(edges(e))))
                m_edges.push_back(edgeOf(TopoDS::Edge(edges(e))));
    }

    double triangles(double deflection, double angle) const {
        double count = 0.0;
        for (const Face& face : m_faces) {
            // The mesher keeps a curved face's triangles about as long as wide.
            const double side = longestSide(face.bend, deflection, angle);
            count += 2.0 + (std::isfinite(side) ? 2.0 * face.area / (side * side) : 0.0);
        }
        for (const Edge& edge : m_edges)
            count += 2.0 * (1.0 + edge.length / longestSide(edge.bend, deflection, angle));
        return count;
    }

private:
    static constexpr int kSamples = 5; // along each parameter

    struct Face {
        double area = 0.0, bend = 0.0; // the most it bends, in any direction
    };
    struct Edge {
        double length = 0.0, bend = 0.0;
    };

    static Face faceOf(const TopoDS_Face& face) {
        Face result;
        double u0, u1, v0, v1;
        BRepTools::UVBounds(face, u0, u1, v0, v1);
        if (!(std::isfinite(u0) && std::isfinite(u1) && std::isfinite(v0) && std::isfinite(v1)))
            return result;
        const BRepAdaptor_Surface surface(face, false);
        gp_Pnt grid[kSamples][kSamples];
        for (int i = 0; i < kSamples; ++i)
            for (int j = 0; j < kSamples; ++j) {
                const double u = u0 + (u1 - u0) * i / (kSamples - 1), v = v0 + (v1 - v0) * j / (kSamples - 1);
                BRepLProp_SLProps properties(surface, u, v, 2, Precision::Confusion());
                grid[i][j] = properties.Value();
                if (properties.IsCurvatureDefined())
                    result.bend = std::max({result.bend, std::fabs(properties.MaxCurvature()),
                                            std::fabs(properties.MinCurvature())});
                if (i > 0 && j > 0)
                    result.area += 0.5 * (gp_Vec(grid[i - 1][j - 1], grid[i][j - 1]).Crossed(gp_Vec(grid[i - 1][j - 1], grid[i - 1][j])).Magnitude() +
                                          gp_Vec(grid[i][j], grid[i - 1][j]).Crossed(gp_Vec(grid[i][j], grid[i][j - 1])).Magnitude());
            }
        return result;
    }

    static Edge edgeOf(const TopoDS_Edge& edge) {
        Edge result;
        const BRepAdaptor_Curve curve(edge);
        BRepLProp_CLProps properties(curve, 2, Precision::Confusion());
        const double t0 = curve.FirstParameter(), t1 = curve.LastParameter();
        if (!(std::isfinite(t0) && std::isfinite(t1)))
            return result;
        gp_Pnt last;
        for (int i = 0; i < 2 * kSamples; ++i) {
            properties.SetParameter(t0 + (t1 - t0) * i / (2 * kSamples - 1));
            if (i > 0)
                result.length += last.Distance(properties.Value());
            last = properties.Value();
            if (properties.IsTangentDefined())
                result.bend = std::max(result.bend, properties.Curvature());
        }
        return result;
    }

    std::vector<Face> m_faces;
    std::vector<Edge> m_edges;
};

// A value, rounded up to two digits.
std::string roundedUp(double value) {
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 1.0);
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::ceil(value / unit) * unit);
    return text;
}

// Refuses a tessellation of more than `most` triangles, naming the deflection that makes it so and a value
// of it that would do (the given one made coarser step by step until the estimate fits).
void checkTessellation(const TopoDS_Shape& shape, double deflection, double size, const CadReading& cad,
                       double most) {
    const TessellationEstimate estimate(shape);
    const double angle = cad.angularDeflection * kRadiansPerDegree, widest = 90.0 * kRadiansPerDegree;
    const double triangles = estimate.triangles(deflection, angle);
    if (triangles <= most)
        return;
    const std::string lead = "the tessellation would take about " + roundedUp(triangles) +
                             " triangles, more than this machine can draw (" + roundedUp(most) + "); ";
    constexpr double kStep = 1.25;
    if (estimate.triangles(deflection, widest) > most) {
        double fit = deflection;
        for (int i = 0; i < 200 && estimate.triangles(fit, widest) > most; ++i)
            fit *= kStep;
        const bool share = cad.relativeDeflection && size > 0.0;
        throw InputError::ofParameter("deflection", lead + "a deflection of " +
                                                        (share ? roundedUp(100.0 * fit / size) + "%" : roundedUp(fit)) +
                                                        " or more would do");
    }
    double fit = angle;
    while (estimate.triangles(deflection, fit) > most)
        fit *= kStep;
    throw InputError::ofParameter("angular_deflection", lead + "an angle of " +
                                                             roundedUp(std::min(fit, widest) / kRadiansPerDegree) +
                                                             " degrees or more would do");
}

// Faces that belong to no solid (surface models, the usual content of IGES files) come apart, each
// with edges of its own: sewn, neighbours share their edges, so that they are welded and their smooth
// joins found as in a solid. Gaps up to a ten-thousandth of the model's size are closed.
constexpr double kSewingGap = 1e-4;

TopoDS_Shape sewn(const TopoDS_Shape& placed, double size) {
    BRepBuilderAPI_Sewing sewing(kSewingGap * size);
    bool any = false;
    for (TopExp_Explorer face(placed, TopAbs_FACE, TopAbs_SOLID); face.More(); face.Next()) {
        sewing.Add(face.Current());
        any = true;
    }
    if (!any)
        return TopoDS_Shape();
    sewing.Perform();
    return sewing.SewedShape();
}

// The mesher's threads, limited for the time of a read to `threads` (0: no limit): Open CASCADE's own
// pool of that size, in place of the threading library it may have been built with, which takes every
// processor. With one, the mesher runs on the calling thread alone.
class MesherThreads {
public:
    explicit MesherThreads(int threads) : m_threads(threads) {
        if (threads < 2)
            return;
        m_ownPool = OSD_Parallel::ToUseOcctThreads();
        m_poolSize = OSD_ThreadPool::DefaultPool()->NbThreads();
        OSD_Parallel::SetUseOcctThreads(true);
        OSD_ThreadPool::DefaultPool()->Init(threads);
    }
    ~MesherThreads() {
        if (m_threads < 2)
            return;
        OSD_ThreadPool::DefaultPool()->Init(m_poolSize);
        OSD_Parallel::SetUseOcctThreads(m_ownPool);
    }
    MesherThreads(const MesherThreads&) = delete;
    MesherThreads& operator=(const MesherThreads&) = delete;

    bool parallel() const { return m_threads != 1; }

private:
    int m_threads;
    bool m_ownPool = false;
    int m_poolSize = 0;
};

struct Body {
    TopoDS_Shape shape;
    const PlacedShape* placed;
};

} // namespace

std::vector<MeshPart> readCadFile(const std::string& path, bool step, const std::function<void(double)>& progress,
                                  const CadReading& cad, double mostTriangles) {
    const QuietReports quiet;

    Handle(ShareIndicator) indicator = new ShareIndicator(progress);
    Message_ProgressScope scope(indicator->Start(), "reading", 4);
    const FileShapes read = readShapes(path, step, scope.Next());
    const std::vector<PlacedShape>& shapes = read.shapes;
    const double size = modelSize(shapes, path);

    std::vector<Body> bodies;
    TopoDS_Compound all;
    BRep_Builder builder;
    builder.MakeCompound(all);
    for (const PlacedShape& placed : shapes) {
        for (TopExp_Explorer solid(placed.shape, TopAbs_SOLID); solid.More(); solid.Next())
            bodies.push_back({solid.Current(), &placed});
        // Sewn faces make a body of each shell they close up into, and one of those left over.
        if (const TopoDS_Shape faces = sewn(placed.shape, size); !faces.IsNull()) {
            for (TopExp_Explorer shell(faces, TopAbs_SHELL); shell.More(); shell.Next())
                bodies.push_back({shell.Current(), &placed});
            TopoDS_Compound rest;
            builder.MakeCompound(rest);
            bool any = false;
            for (TopExp_Explorer face(faces, TopAbs_FACE, TopAbs_SHELL); face.More(); face.Next(), any = true)
                builder.Add(rest, face.Current());
            if (any)
                bodies.push_back({rest, &placed});
        }
    }
    for (const Body& body : bodies)
        builder.Add(all, body.shape);
    IMeshTools_Parameters parameters;
    parameters.Deflection = cad.relativeDeflection && size > 0.0 ? cad.deflection * size : cad.deflection;
    if (parameters.Deflection < Precision::Confusion())
        throw InputError::ofParameter("deflection", "the length comes to less than Open CASCADE's precision, 1e-07");
    checkTessellation(all, parameters.Deflection, size, cad, mostTriangles);
    parameters.Angle = cad.angularDeflection * kRadiansPerDegree;
    const MesherThreads threads(cad.threads);
    parameters.InParallel = threads.parallel(); // faces on several processors: a third less time on two
    BRepMesh_IncrementalMesh mesher(all, parameters, scope.Next(3));

    std::vector<MeshPart> parts;
    for (const Body& body : bodies) {
        const std::string& name = body.placed->part;
        MeshPart& part = parts.emplace_back(
            bodyPart(body.shape, path + ": " + (name.empty() ? "a shape" : "part " + name), cad));
        part.partName = name;
        part.instanceName = body.placed->instance;
        part.unitMm = read.unitMm;
        part.fileUnitMm = read.fileUnitMm;
        part.deflection = parameters.Deflection;
    }
    if (parts.empty())
        throw InputError(path, "the file holds no solids or faces to draw");
    return parts;
}

} // namespace kvhlr
