#include "kit/drawing/DrawMesh.h"

#include "api/CalcSilhouette.h"
#include "kit/InputError.h"
#include "kit/drawing/Curves.h"
#include "kit/drawing/NearPlaneCut.h"
#include "kit/drawing/PartLines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

namespace kvhlr {
namespace {

// The library's callback is a plain function: the hook of the drawing under way is reached through
// this pointer, set while the kit's lock is held. An exception from the hook cancels the drawing and
// is thrown again once the library has returned. One lock for every way of drawing (a lock inside
// drawWith would be one per instantiation, and a section's drawing would run beside a plain one's).
std::mutex g_lock;
const DrawOptions* g_current = nullptr;
std::exception_ptr g_hookFailure;

int forwardProgress(long done, long total) {
    if (!g_current->progress || total <= 0)
        return 0;
    try {
        return g_current->progress(static_cast<double>(done) / static_cast<double>(total)) ? 0 : 1;
    } catch (...) {
        g_hookFailure = std::current_exception();
        return 1;
    }
}

KvHLR::ProjectorCriteria criteriaOf(const DrawOptions& options) {
    checkDrawOptions(options);
    KvHLR::ProjectorCriteria criteria;
    criteria.showSilhouette = options.silhouettes;
    criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = options.sharp;
    criteria.showHiddenLine = options.hidden || options.hiddenLevels > 0;
    criteria.sharpEdgeAngle = options.sharpAngle;
    criteria.separateBodyFaces = options.separateBodyFaces;
    criteria.showTangentEdge = options.tangentEdges;
    return criteria;
}

// Leaves out the hidden lines deeper than `deepest` where levels were counted.
void dropDeeperLevels(std::vector<KvHLR::StrokeLine>& lines, int deepest) {
    if (deepest <= 0)
        return;
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [deepest](const KvHLR::StrokeLine& line) { return line.level > deepest; }),
                lines.end());
}

// Runs one library call with the options' hide test, intersection lines and hook, and frequent progress.
// The modes go to the call alone, so the library's process-wide switches stay as a host set them; the
// lock keeps the hook's state to one drawing at a time. A model cut at the near plane is drawn with the
// cut's camera and clipped to the frame; the drawing keeps `camera`. Intersection lines too many to draw
// are an error of the option that asks for them, and so are occlusion levels too many to count.
template <typename Call>
Drawing drawWith(const KvHLR::ViewInfoCriteria& camera,
                 const std::optional<KvHLR::ViewInfoCriteria>& cutCamera, const DrawOptions& options,
                 Call call) {
    const KvHLR::ProjectorCriteria criteria = criteriaOf(options);
    KvHLR::HLRRunModes modes;
    modes.exactHiding = options.exact;
    modes.intersectionLines = options.intersections;
    modes.frequentProgress = true;
    modes.occlusionLevels = options.hiddenLevels > 0;
    modes.deepestLevel = options.hiddenLevels;
    modes.provenance = options.provenance;
    modes.unjoinedPieces = options.unjoined;
    const std::lock_guard<std::mutex> guard(g_lock);
    g_current = &options;
    g_hookFailure = nullptr;
    Drawing drawing;
    drawing.camera = camera;
    bool completed = false;
    try {
        completed = call(modes, criteria, drawing.lines, forwardProgress, cutCamera ? *cutCamera : camera);
    } catch (const KvHLR::HLRTooManyIntersectionLines& tooMany) {
        throw InputError::ofParameter("intersections", tooMany.what());
    }
    catch (const KvHLR::HLRTooManyOcclusionLevels& tooMany) {
        throw InputError::ofParameter("hidden_levels", std::string(tooMany.what()) + " (draw up to level 1 or 2)");
    }
    g_current = nullptr;
    if (g_hookFailure)
        std::rethrow_exception(std::exchange(g_hookFailure, nullptr));
    if (!completed)
        throw DrawingCancelled();
    if (cutCamera)
        clipToFrame(drawing.lines, cameraFrame(camera));
    dropDeeperLevels(drawing.lines, options.hiddenLevels);
    return drawing;
}

// The key of the side of a part's triangles between two of its points, either way round.
std::uint64_t sideKey(std::uint32_t a, std::uint32_t b) {
    return std::uint64_t{std::min(a, b)} << 32 | std::max(a, b);
}

// What the library's bodies were before the kit drew them, to tell the lines' sources in the parts'
// terms: the parts' names, each part's points before any cut and where the file had them, the parts
// that became meshes, and the B-rep edge along each side of a CAD part's triangles that lies on one.
struct PartOrigins {
    std::vector<std::string> names;
    std::vector<std::size_t> pointCounts;
    std::vector<std::vector<std::uint32_t>> fileVertices;
    std::vector<std::uint32_t> partOfMesh;
    std::vector<std::unordered_map<std::uint64_t, std::uint32_t>> brepEdgeOf;
    std::vector<std::unordered_map<std::uint32_t, std::array<std::uint32_t, 2>>> cutSides;
    bool brep = false;

    explicit PartOrigins(const std::vector<MeshPart>& parts) : names(partLayerNames(parts)) {
        for (const MeshPart& part : parts) {
            pointCounts.push_back(part.points.size());
            fileVertices.push_back(part.fileVertices);
            std::unordered_map<std::uint64_t, std::uint32_t>& sides = brepEdgeOf.emplace_back();
            for (const CadEdge& edge : part.brepEdges)
                for (std::size_t i = 1; i < edge.points.size(); ++i)
                    sides.emplace(sideKey(edge.points[i - 1], edge.points[i]), edge.index);
            brep = brep || part.brepFaces;
        }
    }

    // The parts that keep triangles become the meshes, in order (toMeshList); where a cut added points
    // on the sides of their triangles, those are taken too.
    void takeMeshes(std::vector<MeshPart>& parts) {
        for (MeshPart& part : parts)
            cutSides.push_back(std::move(part.cutSides));
        for (std::size_t i = 0; i < parts.size(); ++i)
            if (std::any_of(parts[i].faces.begin(), parts[i].faces.end(),
                            [](const Kv::KvTriangleList& face) { return !face.empty(); }))
                partOfMesh.push_back(static_cast<std::uint32_t>(i));
    }

    // The B-rep edge of the side of a CAD part's triangles that a segment between two points of its
    // (perhaps cut) mesh lies on, or LineSource::kNone: a segment that a cut shortened still names it.
    std::uint32_t brepEdgeAlong(std::uint32_t part, const std::array<std::uint32_t, 2>& edge) const {
        const auto side = sideThrough(cutSides[part], edge[0], edge[1]);
        const auto& sides = brepEdgeOf[part];
        const auto found = side ? sides.find(sideKey((*side)[0], (*side)[1])) : sides.end();
        return found == sides.end() ? KvHLR::LineSource::kNone : found->second;
    }

    // Turns the library's bodies (meshes) into parts. A cut (near plane, section) adds points after a
    // part's own and renumbers its triangles: an edge at an added point, or a triangle of a cut model,
    // is no edge of the part's mesh.
    void toParts(Drawing& drawing, bool cut) const {
        using KvHLR::LineSource;
        const auto part = [&](std::uint32_t body) { return body < partOfMesh.size() ? partOfMesh[body] : LineSource::kNone; };
        for (KvHLR::StrokeLine& line : drawing.lines)
            for (LineSource& source : line.sources) {
                source.body = part(source.body);
                const bool intersection = source.otherBody != LineSource::kNone;
                source.otherBody = part(source.otherBody);
                if (brep && source.body != LineSource::kNone && !intersection && source.edge[0] != LineSource::kNone)
                    source.brepEdge = brepEdgeAlong(source.body, source.edge);
                const bool kept = source.body != LineSource::kNone && !(intersection && cut) &&
                                  (intersection || (source.edge[0] < pointCounts[source.body] &&
                                                    source.edge[1] < pointCounts[source.body]));
                if (!kept)
                    source.edge = {LineSource::kNone, LineSource::kNone};
                else if (!intersection && !fileVertices[source.body].empty())
                    for (std::uint32_t& point : source.edge)
                        point = fileVertices[source.body][point];
            }
        drawing.partNames = names;
        drawing.provenance = true;
        drawing.brepEdges = brep;
    }
};

// With provenance every line has a source per segment: those the kit drew (a section's outline and
// hatching, centre lines) none of body and edge.
void giveEveryLineSources(Drawing& drawing) {
    for (KvHLR::StrokeLine& line : drawing.lines)
        if (line.points.size() > 1 && line.sources.size() + 1 != line.points.size())
            line.sources.assign(line.points.size() - 1, KvHLR::LineSource());
}

} // namespace

void checkDrawOptions(const DrawOptions& options) {
    if (!(options.sharpAngle >= 0.0 && options.sharpAngle <= 180.0))
        throw InputError::ofParameter("sharp_angle", "the angle must lie between 0 and 180 degrees");
    if (!(options.hatching.spacing >= 0.0 && std::isfinite(options.hatching.spacing)))
        throw InputError::ofParameter("hatch_spacing", "the spacing must be a finite length, not negative (0: chosen "
                                                       "to suit the view)");
    if (!std::isfinite(options.hatching.angleDegrees))
        throw InputError::ofParameter("hatch_angle", "the angle must be a finite number of degrees");
    if (options.hiddenLevels < 0)
        throw InputError::ofParameter("hidden_levels", "the deepest level drawn must be 1 or more");
    if (options.hiddenLevels > 0 && !options.exact)
        throw InputError::ofParameter("hidden_levels", "occlusion levels are counted by the exact hide test only");
    if (options.provenance && !options.exact)
        throw InputError::ofParameter("provenance", "lines record where they come from only with the exact hide test");
    if (options.section)
        checkSectionChoice({"", options.section->point, options.section->normal, std::nullopt});
    if (options.unjoined &&
        (!options.exact || options.hiddenLevels > 0 || options.provenance || options.section))
        throw InputError::ofParameter("unjoined",
                                      "unjoined pieces come from the exact hide test alone, without "
                                      "levels, provenance or a section");
}

Drawing joinPieces(const std::vector<KvHLR::StrokeLine>& pieces, const KvHLR::ViewInfoCriteria& camera,
                   const ON_2dPoint& screenMin, const ON_2dPoint& screenMax, const DrawOptions& options) {
    if (std::any_of(pieces.begin(), pieces.end(), [](const KvHLR::StrokeLine& piece) {
            return piece.points.size() != 2 || piece.sources.size() != 1;
        }))
        throw InputError::ofParameter("pieces", "each piece has two points and its end nodes' numbers");
    if (!(screenMin.x < screenMax.x && screenMin.y < screenMax.y))
        throw InputError::ofParameter("screen_box", "the model's box on the screen must have an area");
    return drawWith(camera, std::nullopt, options,
                    [&](const auto&, const auto& criteria, auto& lines, auto hook, const auto&) {
                        return KvHLR::JoinLinePieces(criteria, camera, screenMin, screenMax, pieces, lines, hook);
                    });
}

Drawing drawMesh(KvHLR::Polygon3D&& mesh, const KvHLR::ViewInfoCriteria& camera, const DrawOptions& options) {
    // The soup is lent to a mesh part for the near-plane check, and cut as one when it reaches the plane
    // or a section cuts it.
    const std::size_t soupPoints = mesh.points.size();
    std::vector<MeshPart> parts(1);
    parts[0].points = std::move(mesh.points);
    std::optional<KvHLR::ViewInfoCriteria> cutCamera;
    if (options.section || reachesNearPlane(camera, parts)) {
        Kv::KvTriangleList& face = parts[0].faces.emplace_back();
        face.reserve(mesh.triangles.size());
        for (const std::array<std::uint32_t, 3>& t : mesh.triangles)
            face.emplace_back(t[0], t[1], t[2]);
        mesh.triangles.clear();
        if (options.section) // sections are cut part by part
            return drawParts(std::move(parts), camera, options);
        if (options.unjoined) // a cut camera's pieces would need clipping to the frame, as joined lines get
            throw InputError::ofParameter("camera",
                                          "unjoined pieces need the whole model beyond the near plane");
        cutCamera = cutAtNearPlane(camera, parts);
        for (const auto& t : face)
            mesh.triangles.push_back({static_cast<std::uint32_t>(t[0]), static_cast<std::uint32_t>(t[1]),
                                      static_cast<std::uint32_t>(t[2])});
    }
    mesh.points = std::move(parts[0].points);
    Drawing drawing = drawWith(camera, cutCamera, options,
                               [&](const auto& modes, const auto& criteria, auto& lines, auto hook, const auto& drawn) {
                                   return KvHLR::CalcSilhouette(modes, criteria, drawn, mesh, {}, lines, hook);
                               });
    if (options.provenance) {
        PartOrigins origins(std::vector<MeshPart>(1)); // one part, named as a mesh file's would be
        origins.pointCounts = {soupPoints};
        origins.partOfMesh = {0};
        origins.toParts(drawing, cutCamera.has_value());
        drawing.lineParts.assign(drawing.lines.size(), 0);
        giveEveryLineSources(drawing);
    }
    return drawing;
}

Drawing drawParts(std::vector<MeshPart>&& parts, const KvHLR::ViewInfoCriteria& camera,
                  const DrawOptions& options) {
    checkDrawOptions(options);
    std::optional<PartOrigins> origins;
    if (options.provenance)
        origins.emplace(parts);
    std::optional<SectionCut> section;
    if (options.section)
        section = cutSection(parts, *options.section, camera, options.progress);
    // The faces of a CAD part are the B-rep's: their borders are its edges, drawn whatever the angle
    // between the faces, as outlines that PartEdges tells apart from the sharp edges; no line runs
    // between triangles of one face, however coarse the tessellation, but the face's outline.
    const bool cad =
        std::any_of(parts.begin(), parts.end(), [](const MeshPart& part) { return part.brepFaces; });
    DrawOptions used = options;
    if (cad) {
        used.separateBodyFaces = true;
        used.sharpAngle = 0.0;
    }
    const std::optional<KvHLR::ViewInfoCriteria> cutCamera = cutAtNearPlane(camera, parts);
    std::optional<SectionImage> sectionLines;
    if (section) {
        sectionLines = sectionImage(*section, camera, cutCamera.has_value(), options.progress);
        checkHatching(*sectionLines, camera, options.hatching);
    }
    const bool partLayers = options.partLayers || options.provenance;
    const std::unique_ptr<PartEdges> partEdges =
        cad || partLayers ? std::make_unique<PartEdges>(parts, camera) : nullptr;
    const std::unique_ptr<PartCurves> curves = cad ? std::make_unique<PartCurves>(parts, camera) : nullptr;
    if (origins)
        origins->takeMeshes(parts);
    const KvHLR::MeshList meshes = toMeshList(std::move(parts));
    Drawing drawing =
        drawWith(camera, cutCamera, used,
                 [&](const auto& modes, const auto& criteria, auto& lines, auto hook, const auto& drawn) {
                     return KvHLR::CalcSilhouette(modes, criteria, drawn, meshes, {}, lines, hook);
                 });
    if (origins)
        origins->toParts(drawing, section || cutCamera);
    if (section)
        drawing.notes = drawSection(drawing, *section, *sectionLines, options.hatching, options.progress);
    if (partEdges)
        partEdges->assign(drawing, partLayers);
    if (curves) {
        curves->fitCurves(drawing);
        if (options.centreLines)
            curves->addCentreLines(drawing);
        if (options.centreLines && section)
            removeCentreLinesOnCaps(drawing, *sectionLines);
    }
    if (origins)
        giveEveryLineSources(drawing);
    return drawing;
}

} // namespace kvhlr
