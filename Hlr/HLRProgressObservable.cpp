#include "Hlr/HLRProgressObservable.h"

#include "Hlr/HLRProgressObservableProc.h"

namespace KvHLR {

HLRProgressObservable::HLRProgressObservable() = default;

HLRProgressObservable::HLRProgressObservable(const HLRProgressObservable& other)
    : m_callback(other.m_callback) {}

HLRProgressObservable& HLRProgressObservable::operator=(const HLRProgressObservable& other) {
    m_callback = other.m_callback;
    return *this;
}

HLRProgressObservable::~HLRProgressObservable() {
    // Every name of this object's stages leaves the registry, also one under which another object's
    // stage was registered first: names are the registry's keys, and they go with their owner.
    for (const std::unique_ptr<HLRProgressObservableProc>& proc : m_procs) {
        HLRProgressObservableProc::unregisterName(proc->name());
    }
    // Children before parents, so that each stage can still detach from its living parent.
    while (!m_procs.empty()) {
        m_procs.pop_back();
    }
}

HLRProgressObservableProc* HLRProgressObservable::newProc(const std::string& name,
                                                          HLRProgressObservableProc* parent, double weight) {
    m_procs.push_back(std::make_unique<HLRProgressObservableProc>(name, m_callback, parent, weight));
    HLRProgressObservableProc* proc = m_procs.back().get();
    HLRProgressObservableProc::registerProc(proc);
    return proc;
}

} // namespace KvHLR
