#include "checker/Occlusion.h"

#include <embree3/rtcore.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace kvcheck {

namespace {

// What the callbacks read.
struct SceneData {
    const Mesh& mesh;
    double tolerance;
    float padding; // added to every bounding box
};

// A corner or side touch (RayTriangle.h) met on the way.
struct Touch {
    std::uint32_t triangle;
    Contact contact;
};

// Embree's per-query context, extended with what the double-precision test needs; Embree hands the
// pointer to its first member back to the callbacks. Touches beyond the first kTouchesKept are dropped:
// a side or corner with a triangle missing from the list is never taken to block, so dropping one can
// only leave a sample unscored.
constexpr int kTouchesKept = 64;

struct TraceContext {
    RTCIntersectContext base;
    const Ray* ray;
    Carriers ignored;
    bool touched;
    int touchCount;
    std::array<Touch, kTouchesKept> touches;
    // Counting levels: every hit is collected instead of ending the search, and every touch counted.
    std::vector<std::uint32_t>* hits = nullptr;
    int touchTotal = 0;

    const Contact* contactOf(std::uint32_t triangle) const {
        for (int k = 0; k < touchCount; ++k)
            if (touches[k].triangle == triangle)
                return &touches[k].contact;
        return nullptr;
    }
};

void boundsOf(const RTCBoundsFunctionArguments* args) {
    const auto& data = *static_cast<const SceneData*>(args->geometryUserPtr);
    const Triangle& t = data.mesh.triangles[args->primID];
    RTCBounds& box = *args->bounds_o;
    box.lower_x = box.lower_y = box.lower_z = std::numeric_limits<float>::max();
    box.upper_x = box.upper_y = box.upper_z = std::numeric_limits<float>::lowest();
    for (std::uint32_t index : t) {
        const Vec3& p = data.mesh.points[index];
        box.lower_x = std::min(box.lower_x, static_cast<float>(p.x) - data.padding);
        box.lower_y = std::min(box.lower_y, static_cast<float>(p.y) - data.padding);
        box.lower_z = std::min(box.lower_z, static_cast<float>(p.z) - data.padding);
        box.upper_x = std::max(box.upper_x, static_cast<float>(p.x) + data.padding);
        box.upper_y = std::max(box.upper_y, static_cast<float>(p.y) + data.padding);
        box.upper_z = std::max(box.upper_z, static_cast<float>(p.z) + data.padding);
    }
}

void occluded(const RTCOccludedFunctionNArguments* args) {
    if (!args->valid[0])
        return;
    const auto& data = *static_cast<const SceneData*>(args->geometryUserPtr);
    auto& context = *reinterpret_cast<TraceContext*>(args->context);
    for (int k = 0; k < context.ignored.count; ++k)
        if (context.ignored.triangles[k] == args->primID)
            return;
    const Triangle& t = data.mesh.triangles[args->primID];
    const Vec3* p = &data.mesh.points[0];
    const Contact contact = crossTriangle(*context.ray, p[t[0]], p[t[1]], p[t[2]], data.tolerance);
    switch (contact.crossing) {
    case Crossing::Hit:
        if (context.hits)
            context.hits->push_back(args->primID);
        else
            RTCRayN_tfar(args->ray, args->N, 0) = -std::numeric_limits<float>::infinity(); // stops the search
        break;
    case Crossing::Touch:
        context.touched = true;
        ++context.touchTotal;
        if (contact.place != Place::Elsewhere && context.touchCount < kTouchesKept)
            context.touches[context.touchCount++] = {args->primID, contact};
        break;
    case Crossing::Miss:
        break;
    }
}

void check(RTCDevice device, const char* step) {
    const RTCError error = rtcGetDeviceError(device);
    if (error != RTC_ERROR_NONE)
        throw std::runtime_error(std::string("ray tracing: ") + step + " failed with error " +
                                 std::to_string(static_cast<int>(error)));
}

} // namespace

struct OcclusionScene::Impl {
    SceneData data;
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    // The triangles at point p: trianglesAt[firstAt[p] .. firstAt[p + 1]).
    std::vector<std::uint32_t> firstAt, trianglesAt;

    Impl(const Mesh& mesh, double tolerance) : data{mesh, tolerance, static_cast<float>(2 * tolerance)} {
        firstAt.assign(mesh.points.size() + 1, 0);
        for (const Triangle& t : mesh.triangles)
            for (std::uint32_t p : t)
                ++firstAt[p + 1];
        for (std::size_t p = 0; p < mesh.points.size(); ++p)
            firstAt[p + 1] += firstAt[p];
        trianglesAt.resize(firstAt.back());
        std::vector<std::uint32_t> filled(firstAt.begin(), firstAt.end() - 1);
        for (std::uint32_t i = 0; i < mesh.triangles.size(); ++i)
            for (std::uint32_t p : mesh.triangles[i])
                trianglesAt[filled[p]++] = i;
    }
    ~Impl() {
        if (scene)
            rtcReleaseScene(scene);
        if (device)
            rtcReleaseDevice(device);
    }

    const Triangle& triangle(std::uint32_t i) const { return data.mesh.triangles[i]; }

    // Whether the triangles on the touched side cover both sides of it, seen along the ray: the ray
    // passes from one side of the surface to the other there. Each of them must touch on that side.
    bool sideBlocks(const TraceContext& context, const Touch& touch) const {
        const Triangle& t = triangle(touch.triangle);
        const std::uint32_t u = t[touch.contact.index], v = t[(touch.contact.index + 1) % 3];
        bool left = false, right = false; // of the side run from u to v, in the flattened view
        for (std::uint32_t i = firstAt[u]; i < firstAt[u + 1]; ++i) {
            const Triangle& other = triangle(trianglesAt[i]);
            if (std::find(other.begin(), other.end(), v) == other.end())
                continue;
            const Contact* contact = context.contactOf(trianglesAt[i]);
            if (!contact || contact->place != Place::Side)
                return false;
            const std::uint32_t from = other[contact->index], to = other[(contact->index + 1) % 3];
            if (!((from == u && to == v) || (from == v && to == u)))
                return false;
            ((contact->facing > 0) == (from == u) ? left : right) = true;
        }
        return left && right;
    }

    // Whether the triangles at the touched corner form one closed fan around it that turns the same
    // way throughout, seen along the ray: the ray passes through the surface there. Each of them must
    // touch at that corner.
    bool cornerBlocks(const TraceContext& context, const Touch& touch) const {
        const Triangle& first = triangle(touch.triangle);
        const std::uint32_t centre = first[touch.contact.index];
        const std::uint32_t start = first[(touch.contact.index + 1) % 3];
        const int turn = touch.contact.facing; // of the step from `start` to `reached` through `first`
        std::uint32_t current = touch.triangle, reached = first[(touch.contact.index + 2) % 3];
        const std::uint32_t fanSize = firstAt[centre + 1] - firstAt[centre];
        std::uint32_t steps = 1;
        while (reached != start) {
            // The one other triangle of the fan on the side from the centre to `reached`.
            std::uint32_t next = UINT32_MAX;
            for (std::uint32_t i = firstAt[centre]; i < firstAt[centre + 1]; ++i) {
                const Triangle& other = triangle(trianglesAt[i]);
                if (trianglesAt[i] == current ||
                    std::find(other.begin(), other.end(), reached) == other.end())
                    continue;
                if (next != UINT32_MAX)
                    return false;
                next = trianglesAt[i];
            }
            const Contact* contact = next == UINT32_MAX ? nullptr : context.contactOf(next);
            if (!contact || contact->place != Place::Corner || ++steps > fanSize)
                return false;
            const Triangle& t = triangle(next);
            const bool forward = t[(contact->index + 1) % 3] == reached; // winds centre, reached, beyond
            if ((forward ? contact->facing : -contact->facing) != turn)
                return false;
            current = next;
            reached = t[(contact->index + (forward ? 2 : 1)) % 3];
        }
        return steps == fanSize;
    }
};

OcclusionScene::OcclusionScene(const Mesh& mesh, double tolerance)
    : m_impl(std::make_unique<Impl>(mesh, tolerance)) {
    // One thread: the checks run side by side under ctest, and a scene of this size builds quickly.
    m_impl->device = rtcNewDevice("threads=1");
    if (!m_impl->device)
        throw std::runtime_error("ray tracing: cannot create a device");
    m_impl->scene = rtcNewScene(m_impl->device);
    RTCGeometry geometry = rtcNewGeometry(m_impl->device, RTC_GEOMETRY_TYPE_USER);
    rtcSetGeometryUserPrimitiveCount(geometry, static_cast<unsigned>(mesh.triangles.size()));
    rtcSetGeometryUserData(geometry, &m_impl->data);
    rtcSetGeometryBoundsFunction(geometry, boundsOf, nullptr);
    rtcSetGeometryOccludedFunction(geometry, occluded);
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(m_impl->scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(m_impl->scene);
    check(m_impl->device, "building the scene");
}

OcclusionScene::~OcclusionScene() = default;

namespace {

// Offers the ray's candidates to `occluded`; whether a hit ended the search.
bool castThrough(RTCScene scene, const Ray& ray, float padding, TraceContext& context) {
    rtcInitIntersectContext(&context.base);
    RTCRay query{};
    query.org_x = static_cast<float>(ray.origin.x);
    query.org_y = static_cast<float>(ray.origin.y);
    query.org_z = static_cast<float>(ray.origin.z);
    query.dir_x = static_cast<float>(ray.direction.x);
    query.dir_y = static_cast<float>(ray.direction.y);
    query.dir_z = static_cast<float>(ray.direction.z);
    query.tnear = 0;
    query.tfar = static_cast<float>(ray.length) + padding;
    query.mask = ~0u;
    rtcOccluded1(scene, &context.base, &query);
    return query.tfar < 0;
}

} // namespace

std::optional<int> OcclusionScene::level(const Ray& ray, const Carriers& ignored) const {
    const Crossing extra = m_occluder ? m_occluder(ray) : Crossing::Miss;
    if (extra == Crossing::Touch)
        return std::nullopt;
    std::vector<std::uint32_t> hits;
    TraceContext context{{}, &ray, ignored, false, 0, {}};
    context.hits = &hits;
    castThrough(m_impl->scene, ray, m_impl->data.padding, context);
    if (context.touchTotal > context.touchCount)
        return std::nullopt; // touches elsewhere than at a side or a corner, or too many kept
    std::sort(hits.begin(), hits.end());
    int count = static_cast<int>(std::unique(hits.begin(), hits.end()) - hits.begin());
    // Each blocking side (its two points) or corner (its point, and UINT32_MAX) once.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
    for (int k = 0; k < context.touchCount; ++k) {
        const Touch& touch = context.touches[k];
        const Triangle& t = m_impl->triangle(touch.triangle);
        const std::uint32_t u = t[touch.contact.index], v = t[(touch.contact.index + 1) % 3];
        const bool side = touch.contact.place == Place::Side;
        if (!(side ? m_impl->sideBlocks(context, touch) : m_impl->cornerBlocks(context, touch)))
            return std::nullopt;
        places.push_back(side ? std::pair(std::min(u, v), std::max(u, v)) : std::pair(u, UINT32_MAX));
    }
    std::sort(places.begin(), places.end());
    count += static_cast<int>(std::unique(places.begin(), places.end()) - places.begin());
    return count + (extra == Crossing::Hit ? 1 : 0);
}

Visibility OcclusionScene::trace(const Ray& ray, const Carriers& ignored) const {
    const Crossing extra = m_occluder ? m_occluder(ray) : Crossing::Miss;
    if (extra == Crossing::Hit)
        return Visibility::Hidden;
    TraceContext context{{}, &ray, ignored, false, 0, {}};
    if (castThrough(m_impl->scene, ray, m_impl->data.padding, context))
        return Visibility::Hidden;
    if (!context.touched)
        return extra == Crossing::Touch ? Visibility::Unscored : Visibility::Visible;
    for (int k = 0; k < context.touchCount; ++k) {
        const Touch& touch = context.touches[k];
        if (touch.contact.place == Place::Side ? m_impl->sideBlocks(context, touch)
                                               : m_impl->cornerBlocks(context, touch))
            return Visibility::Hidden;
    }
    return Visibility::Unscored;
}

} // namespace kvcheck
