#include "host/KvCore.h"

#include <algorithm>
#include <thread>

namespace Kv {

std::uint32_t GetNumberOfProcessors() {
    // hardware_concurrency may report 0 when the count cannot be determined.
    return std::max(1u, std::thread::hardware_concurrency());
}

KvObject::~KvObject() = default;

const KvRuntimeClass* KvObject::GetThisClass() {
    static const KvRuntimeClass record{"KvObject", nullptr};
    return &record;
}

const KvRuntimeClass* KvObject::GetRuntimeClass() const {
    return GetThisClass();
}

bool KvObject::IsKindOf(const KvRuntimeClass* runtimeClass) const {
    for (const KvRuntimeClass* c = GetRuntimeClass(); c != nullptr; c = c->baseClass) {
        if (c == runtimeClass) {
            return true;
        }
    }
    return false;
}

void intrusive_ptr_add_ref(const KvObject* object) {
    object->m_referenceCount.fetch_add(1, std::memory_order_relaxed);
}

void intrusive_ptr_release(const KvObject* object) {
    // acq_rel: the deleting thread must see every write made by threads that dropped earlier handles.
    if (object->m_referenceCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete object;
    }
}

} // namespace Kv
