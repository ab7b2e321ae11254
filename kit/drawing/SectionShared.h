#pragma once

// What the files of section views share (Section.cpp chooses the plane, SectionCut.cpp cuts and caps,
// SectionDrawing.cpp draws): the progress poll of their loops, the model's bounds, and the parts of
// lines on one side of a level. Not installed.

#include "kit/drawing/DrawMesh.h"
#include "kit/drawing/Section.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace kvhlr {

// Calls a drawing's progress hook with a fixed share about every 20 ms of a loop of the section's own,
// so that a cancel (the hook returning false, or throwing) ends it within a fraction of a second. A
// step is cheap (a cut triangle, a corner put into the triangulation, a hatch line): the clock is read
// once in 16 steps.
class ProgressPoll {
public:
    ProgressPoll(const ProgressHook& hook, double share) : m_hook(hook), m_share(share) {}

    void operator()() {
        if (!m_hook || ++m_steps % 16 != 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(20))
            return;
        m_last = now;
        if (!m_hook(m_share))
            throw DrawingCancelled();
    }

private:
    const ProgressHook& m_hook;
    double m_share;
    unsigned m_steps = 0;
    std::chrono::steady_clock::time_point m_last = std::chrono::steady_clock::now();
};

// The model's bounding box: its lowest and highest corners.
std::pair<ON_3dPoint, ON_3dPoint> boundsOf(const std::vector<MeshPart>& parts);

// The point a share t of the way from p to q.
inline ON_2dPoint between(const ON_2dPoint& p, const ON_2dPoint& q, double t) {
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

inline ON_3dPoint between(const ON_3dPoint& p, const ON_3dPoint& q, double t) {
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), p.z + t * (q.z - p.z)};
}

// The stretches of a polyline where value(point) >= 0, cut where it crosses 0.
template <class Value>
std::vector<std::vector<ON_3dPoint>> keptStretches(const std::vector<ON_3dPoint>& line, Value value) {
    std::vector<std::vector<ON_3dPoint>> stretches;
    bool open = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const double b = value(line[i]);
        if (i > 0) {
            const double a = value(line[i - 1]);
            if ((a < 0.0) != (b < 0.0) && a != 0.0 && b != 0.0) {
                if (!open)
                    stretches.emplace_back();
                stretches.back().push_back(between(line[i - 1], line[i], a / (a - b)));
                open = !open;
            } else if (b < 0.0) {
                open = false;
            }
        }
        if (b >= 0.0) {
            if (!open)
                stretches.emplace_back();
            stretches.back().push_back(line[i]);
            open = true;
        }
    }
    stretches.erase(
        std::remove_if(stretches.begin(), stretches.end(), [](const auto& s) { return s.size() < 2; }),
        stretches.end());
    return stretches;
}

} // namespace kvhlr
