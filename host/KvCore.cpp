#include "host/KvCore.h"

#include <algorithm>
#include <thread>

namespace Kv {

namespace {
std::atomic<std::uint32_t> processorLimit{0};
} // namespace

std::uint32_t GetNumberOfProcessors() {
    // hardware_concurrency may report 0 when the count cannot be determined.
    const std::uint32_t hardware = std::max(1u, std::thread::hardware_concurrency());
    const std::uint32_t limit = processorLimit.load();
    return limit == 0 ? hardware : std::min(hardware, limit);
}

void SetProcessorLimit(std::uint32_t limit) {
    processorLimit.store(limit);
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
