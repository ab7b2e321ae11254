#include "checker/Occlusion.h"

#include <embree3/rtcore.h>

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

// Embree's per-query context, extended with what the double-precision test needs; Embree hands the
// pointer to its first member back to the callbacks.
struct TraceContext {
    RTCIntersectContext base;
    const Ray* ray;
    std::array<std::uint32_t, 2> ignored;
    int ignoredCount;
    bool touched;
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
    for (int k = 0; k < context.ignoredCount; ++k)
        if (context.ignored[k] == args->primID)
            return;
    const Triangle& t = data.mesh.triangles[args->primID];
    const Vec3* p = &data.mesh.points[0];
    switch (crossTriangle(*context.ray, p[t[0]], p[t[1]], p[t[2]], data.tolerance)) {
    case Crossing::Hit:
        RTCRayN_tfar(args->ray, args->N, 0) = -std::numeric_limits<float>::infinity(); // stops the search
        break;
    case Crossing::Touch:
        context.touched = true;
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

    Impl(const Mesh& mesh, double tolerance) : data{mesh, tolerance, static_cast<float>(2 * tolerance)} {}
    ~Impl() {
        if (scene)
            rtcReleaseScene(scene);
        if (device)
            rtcReleaseDevice(device);
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

Visibility OcclusionScene::trace(const Ray& ray, const std::array<std::uint32_t, 2>& ignored,
                                 int ignoredCount) const {
    TraceContext context{{}, &ray, ignored, ignoredCount, false};
    rtcInitIntersectContext(&context.base);
    RTCRay query{};
    query.org_x = static_cast<float>(ray.origin.x);
    query.org_y = static_cast<float>(ray.origin.y);
    query.org_z = static_cast<float>(ray.origin.z);
    query.dir_x = static_cast<float>(ray.direction.x);
    query.dir_y = static_cast<float>(ray.direction.y);
    query.dir_z = static_cast<float>(ray.direction.z);
    query.tnear = 0;
    query.tfar = static_cast<float>(ray.length) + m_impl->data.padding;
    query.mask = ~0u;
    rtcOccluded1(m_impl->scene, &context.base, &query);
    if (query.tfar < 0)
        return Visibility::Hidden;
    return context.touched ? Visibility::Unscored : Visibility::Visible;
}

} // namespace kvcheck
