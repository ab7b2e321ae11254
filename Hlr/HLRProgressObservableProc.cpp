#include "Hlr/HLRProgressObservableProc.h"

#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRError.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <sstream>

namespace KvHLR {

std::map<std::string, HLRProgressObservableProc*> HLRProgressObservableProc::sm_procByName;
std::deque<HLRProgressObservableProc*> HLRProgressObservableProc::sm_sessionStack;
HLRProgressObservableProc* HLRProgressObservableProc::sm_current = nullptr;

namespace {

// Truncates toward zero like a 32-bit conversion, but saturates instead of overflowing when a
// stage is stepped far past its announced count.
std::int32_t truncatedPercent(double percent) {
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (!(percent > lowest)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (percent > highest) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(percent);
}

} // namespace

HLRProgressObservableProc::HLRProgressObservableProc(const std::string& name, HLRProgressCallback callback,
                                                     HLRProgressObservableProc* parent, double weight)
    : m_name(name), m_callback(callback), m_parent(parent), m_weight(weight) {
    if (m_parent != nullptr) {
        m_parent->m_children.push_back(this);
    }
}

HLRProgressObservableProc::~HLRProgressObservableProc() {
    sm_sessionStack.erase(std::remove(sm_sessionStack.begin(), sm_sessionStack.end(), this),
                          sm_sessionStack.end());
    if (sm_current == this) {
        currentFromStackTop();
    }
    if (m_parent != nullptr) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    for (HLRProgressObservableProc* child : m_children) {
        child->m_parent = nullptr;
    }
}

void HLRProgressObservableProc::startSession(std::int32_t steps) {
    if (m_parent != nullptr && !m_parent->m_inSession) {
        throw HLRError("HLRProgressObservableProc::startSession(): Parent not in session.", __FILE__,
                       __LINE__);
    }
    m_steps = steps;
    // A stage restarted while still running keeps its place in the run.
    if (!m_inSession) {
        m_start = m_parent != nullptr ? startAfterEarlierSiblings() : 0.0;
        m_span = m_parent != nullptr ? m_parent->m_span * m_weight : 1.0;
    }
    m_inSession = true;
    m_count = 0;
}

// Earlier siblings hold their share whether they ran or not; the parent is running here.
double HLRProgressObservableProc::startAfterEarlierSiblings() {
    double start = m_parent->m_start;
    for (HLRProgressObservableProc* sibling : m_parent->m_children) {
        if (sibling == this) {
            break;
        }
        if (!sibling->m_inSession) {
            sibling->m_span = m_parent->m_span * sibling->m_weight;
        }
        start += sibling->m_span;
    }
    return start;
}

void HLRProgressObservableProc::updateObserver() {
    ++m_count;
    // A stage announced with no steps is complete as soon as it reports.
    const double done =
        m_steps > 0 ? static_cast<double>(m_count) * m_span / static_cast<double>(m_steps) : m_span;
    if (m_callback == nullptr) {
        return;
    }
    const std::int32_t percent = truncatedPercent((done + m_start) * 100.0);
    if (HLRCancelPoll::armed()) {
        HLRCancelPoll::report(percent);
        return;
    }
    if (m_callback(percent, 100) != 0) {
        std::ostringstream message;
        message << "HLRProgressObservableProc::updateObserver(): " << m_name << " is canceled.";
        throw HLRCancelException(message.str(), __FILE__, __LINE__);
    }
}

void HLRProgressObservableProc::startProcess(const std::string& name, std::int32_t steps) {
    const auto entry = sm_procByName.find(name);
    if (entry == sm_procByName.end() || entry->second == nullptr) {
        sm_current = nullptr;
        return;
    }
    HLRProgressObservableProc* proc = entry->second;
    // Pushed only once started, so a failed start leaves the running stages as they were.
    proc->startSession(steps);
    sm_sessionStack.push_back(proc);
    sm_current = proc;
}

void HLRProgressObservableProc::stepProcess(const std::string& /*name*/) {
    if (sm_current != nullptr) {
        sm_current->updateObserver();
    }
}

void HLRProgressObservableProc::endProcess(const std::string& /*name*/) {
    HLRProgressObservableProc* proc = sm_current;
    if (proc == nullptr) {
        return;
    }
    // The end reports start + span, and the callback may still cancel here.
    proc->m_count = proc->m_steps > 0 ? proc->m_steps - 1 : 0;
    proc->updateObserver();
    proc->m_inSession = false;
    sm_sessionStack.pop_back();
    currentFromStackTop();
}

void HLRProgressObservableProc::registerProc(HLRProgressObservableProc* proc) {
    sm_procByName.emplace(proc->m_name, proc);
}

void HLRProgressObservableProc::abandonSessionsFrom(HLRProgressObservableProc* proc) {
    const auto found = std::find(sm_sessionStack.rbegin(), sm_sessionStack.rend(), proc);
    if (proc == nullptr || found == sm_sessionStack.rend()) {
        return;
    }
    const auto first = std::prev(found.base());
    for (auto running = first; running != sm_sessionStack.end(); ++running) {
        (*running)->m_inSession = false;
    }
    sm_sessionStack.erase(first, sm_sessionStack.end());
    currentFromStackTop();
}

void HLRProgressObservableProc::currentFromStackTop() {
    sm_current = sm_sessionStack.empty() ? nullptr : sm_sessionStack.back();
}

} // namespace KvHLR
