#include "api/CalcSilhouette.h"

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjector.h"
#include "Hlr/HLRTriangleData.h"
#include "api/DrawableGeometry.h"
#include "api/SilhouettePipeline.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

namespace KvHLR {

HLRTooManyIntersectionLines::HLRTooManyIntersectionLines(std::size_t plainHidingLimit)
    : std::length_error("the model's triangles cross each other along more than " +
                        std::to_string(plainHidingLimit) +
                        " segments, more intersection lines than the plain hide test can draw in reasonable "
                        "time: use exact hiding, or turn them off") {}

namespace {

// The library keeps process-wide state (progress stages, packed-box grids, tolerances, orientation
// and stroke flags) that one run writes and reads throughout, so runs from different host threads
// take turns.
std::mutex& runMutex() {
    static std::mutex mutex;
    return mutex;
}

// Frees a run's leftovers on a thread of its own. Their destructors touch the stages' process-wide
// state, so the next run waits for the freeing first, and so does the end of the process. A process
// forked meanwhile has no such thread: it leaves those objects, its copies, where they are.
class Reaper {
public:
    ~Reaper() { wait(); }
    void wait() {
        if (!m_thread)
            return;
        if (m_process == getpid()) {
            m_thread->join();
            m_thread.reset();
        } else {
            (void)m_thread.release(); // the parent process's thread: destroying its object would abort
        }
    }
    // The same, with the run's checks going on (a large model's objects take up to a second to free),
    // so that a cancel meanwhile ends the call.
    void waitChecking() {
        while (m_thread && m_process == getpid() && !m_done.load()) {
            HLRCancelPoll::check();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        wait();
    }
    // Freed last made first, as they would be on the stack. Without a thread to spare, the leftovers
    // are freed here, with the thread's task.
    void take(Leftovers&& leftovers) noexcept {
        wait();
        m_done.store(false);
        try {
            m_thread = std::make_unique<std::thread>([this, objects = std::move(leftovers)]() mutable {
                while (!objects.empty())
                    objects.pop_back();
                m_done.store(true);
            });
            m_process = getpid();
        } catch (std::exception const&) {
        }
    }

private:
    std::unique_ptr<std::thread> m_thread;
    pid_t m_process = 0;
    std::atomic<bool> m_done{true};
};

// Made at the first run, so that it is destroyed before the stages' process-wide state it relies on.
Reaper& reaper() {
    static Reaper instance;
    return instance;
}

// Below this many triangles a run's objects are freed on the calling thread, in less time than a
// thread of their own takes to start and to be waited for by the next call.
constexpr std::size_t FREED_IN_PLACE = 10000;

// What a run makes: its model (newModel), which tells how large the run was, and its other objects.
struct RunObjects {
    Leftovers leftovers;
    HLRModel const* model = nullptr;

    // A large run's objects go to the reaper; a small run's are freed here, last made first.
    ~RunObjects() {
        std::size_t triangles = 0;
        if (model)
            for (HLRTriangleData const& data : model->triangleData())
                triangles += data.triangles().size();
        if (triangles >= FREED_IN_PLACE)
            reaper().take(std::move(leftovers));
        while (!leftovers.empty())
            leftovers.pop_back();
    }
};

// Runs `run`, which puts what it makes into the run objects it is handed, with the checks of frequent
// progress armed (HLRCancelPoll), which may cancel as early as the model's build. Called with the run
// lock held.
template <class Run> bool cancellable(ProgressFunction progress, HLRRunModes const& modes, Run run) {
    RunObjects objects;
    // However the run ends, the threads its loops started do not stay awake after it.
    struct TeamRelease {
        ~TeamRelease() { releaseTeam(); }
    } teamRelease;
    const HLRCancelPoll::Run armed(progress, modes.frequentProgress);
    try {
        reaper().waitChecking();
        return run(objects);
    } catch (HLRCancelException const&) {
        return false;
    }
}

// Runs the pipeline on what the camera of `viewInfo` can draw of the built model.
bool drawModel(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, HLRModel const& model,
               std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
               ProgressFunction progress, HLRRunModes const& modes, Leftovers& leftovers) {
    const HLRProjector projector = projectorFor(viewInfo);
    const std::shared_ptr<HLRModel> part = drawablePart(model, projector);
    leftovers.push_back(part);
    return calcSilhouetteCore(criteria, viewInfo, projector, part ? *part : model, userPolylines, strokeLines,
                              progress, modes, leftovers);
}

// The modes given for a call, or else those the switches hold when its run starts (under the run lock).
HLRRunModes modesOf(std::optional<HLRRunModes> const& given) {
    return given ? *given : HLRPolyAlgo::switchedModes();
}

// A model of its own for each run, freed with the run's other leftovers.
HLRModel& newModel(RunObjects& objects) {
    const auto model = std::make_shared<HLRModel>();
    objects.leftovers.push_back(model);
    objects.model = model.get();
    return *model;
}

bool drawPolygon(std::optional<HLRRunModes> const& modes, ProjectorCriteria const& criteria,
                 ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                 std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                 ProgressFunction progress) {
    if (polygon.triangles.empty())
        return true;
    const std::lock_guard<std::mutex> hold(runMutex());
    const HLRRunModes runModes = modesOf(modes);
    return cancellable(progress, runModes, [&](RunObjects& objects) {
        HLRModel& model = newModel(objects);
        model.build(polygon);
        // The model holds its own copy of the geometry; free the caller's before the heavy work starts.
        polygon = Polygon3D();
        return drawModel(criteria, viewInfo, model, userPolylines, strokeLines, progress, runModes,
                         objects.leftovers);
    });
}

bool drawMeshes(std::optional<HLRRunModes> const& modes, ProjectorCriteria const& criteria,
                ViewInfoCriteria const& viewInfo, MeshList const& meshes,
                std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                ProgressFunction progress) {
    if (meshes.empty())
        return true;
    const std::lock_guard<std::mutex> hold(runMutex());
    const HLRRunModes runModes = modesOf(modes);
    return cancellable(progress, runModes, [&](RunObjects& objects) {
        HLRModel& model = newModel(objects);
        model.build(meshes, criteria.separateBodyFaces, criteria.showTangentEdge);
        return drawModel(criteria, viewInfo, model, userPolylines, strokeLines, progress, runModes,
                         objects.leftovers);
    });
}

} // namespace

void waitForLeftoversOfLastRun() {
    const std::lock_guard<std::mutex> lock(runMutex());
    reaper().wait();
}

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    return drawPolygon(std::nullopt, criteria, viewInfo, polygon, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                    std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    return drawMeshes(std::nullopt, criteria, viewInfo, meshes, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(HLRRunModes const& modes, ProjectorCriteria const& criteria,
                    ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    return drawPolygon(modes, criteria, viewInfo, polygon, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(HLRRunModes const& modes, ProjectorCriteria const& criteria,
                    ViewInfoCriteria const& viewInfo, MeshList const& meshes,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    return drawMeshes(modes, criteria, viewInfo, meshes, userPolylines, strokeLines, progress);
}

bool JoinLinePieces(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    ON_2dPoint const& screenMin, ON_2dPoint const& screenMax,
                    std::vector<StrokeLine> const& pieces, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (!(screenMin.x < screenMax.x && screenMin.y < screenMax.y))
        throw std::invalid_argument("JoinLinePieces: the screen box has no area");
    // The joiner reads the screen box from the library's process-wide state, which runs set.
    const std::lock_guard<std::mutex> hold(runMutex());
    HLRRunModes modes;
    modes.frequentProgress = true; // millions of pieces take seconds: a cancel is heard within them
    std::vector<StrokeLine> lines;
    const bool joined = cancellable(progress, modes, [&](RunObjects&) {
        joinLoosePieces(criteria, viewInfo,
                        HLRBox2D(HLRVector2D(screenMin.x, screenMin.y), HLRVector2D(screenMax.x, screenMax.y)),
                        pieces, lines);
        return true;
    });
    if (!joined)
        return false;
    strokeLines.reserve(strokeLines.size() + lines.size());
    for (StrokeLine& line : lines)
        if (!line.points.empty())
            strokeLines.push_back(std::move(line));
    return true;
}

// The model is built before the view is asked for anything, so a mesh list that the build refuses
// throws whatever the view, and a view without a camera has had the meshes read.
bool CalcSilhouette(ProjectorCriteria const& criteria, Kv::KvvView* view, MeshList const& meshes,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (meshes.empty())
        return true;
    const std::lock_guard<std::mutex> hold(runMutex());
    const HLRRunModes runModes = modesOf(std::nullopt);
    return cancellable(progress, runModes, [&](RunObjects& objects) {
        HLRModel& model = newModel(objects);
        model.build(meshes, criteria.separateBodyFaces, criteria.showTangentEdge);
        if (view == nullptr)
            return false;
        ViewInfoCriteria viewInfo;
        viewInfo.clientRect = CRect(0, 0, 0, 0);
        GetClientRect(view->GetSafeHwnd(), &viewInfo.clientRect); // a failed call leaves the zero rectangle
        if (!view->GetProjector(viewInfo.modelViewXform, viewInfo.projectionXform, viewInfo.nearPlaneDepth,
                                viewInfo.farPlaneDepth, nullptr))
            return false;
        return drawModel(criteria, viewInfo, model, userPolylines, strokeLines, progress, runModes,
                         objects.leftovers);
    });
}

} // namespace KvHLR
