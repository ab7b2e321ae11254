#pragma once

// Core services of the host: processor count, run-time class records and the reference-counted
// base of every host object.

#include "host/KvHostExport.h"

#include <atomic>
#include <cstdint>

namespace Kv {

// Number of processors the host lets its libraries use: the hardware thread count, never less than 1,
// unless the application has set a limit.
KVHOST_API std::uint32_t GetNumberOfProcessors();
// Caps what GetNumberOfProcessors reports (an application's "use N threads" setting); 0 lifts the cap.
KVHOST_API void SetProcessorLimit(std::uint32_t limit);

// One record per class, linked to the record of its base class (null for the root), so that a
// client can tell the dynamic class of an object by walking the chain.
struct KvRuntimeClass {
    const char* className;
    const KvRuntimeClass* baseClass;
};

// Put in the class body of every host class below KvObject; pair with KV_IMPLEMENT_RUNTIME_CLASS.
#define KV_DECLARE_RUNTIME_CLASS()                                                                           \
public:                                                                                                      \
    static const ::Kv::KvRuntimeClass* GetThisClass();                                                       \
    const ::Kv::KvRuntimeClass* GetRuntimeClass() const override;

#define KV_IMPLEMENT_RUNTIME_CLASS(Class, Base)                                                              \
    const ::Kv::KvRuntimeClass* Class::GetThisClass() {                                                      \
        static const ::Kv::KvRuntimeClass record{#Class, Base::GetThisClass()};                              \
        return &record;                                                                                      \
    }                                                                                                        \
    const ::Kv::KvRuntimeClass* Class::GetRuntimeClass() const {                                             \
        return GetThisClass();                                                                               \
    }

class KvObject;
KVHOST_API void intrusive_ptr_add_ref(const KvObject* object);
KVHOST_API void intrusive_ptr_release(const KvObject* object);

// Host objects live on the heap and are shared through boost::intrusive_ptr; the last release
// deletes the object. Counting is atomic, so handles may be copied and dropped on any thread.
class KVHOST_API KvObject {
public:
    KvObject() = default;
    // The count belongs to the object's identity, so objects are never copied.
    KvObject(const KvObject&) = delete;
    KvObject& operator=(const KvObject&) = delete;
    virtual ~KvObject();

    static const KvRuntimeClass* GetThisClass();
    virtual const KvRuntimeClass* GetRuntimeClass() const;

    // True when `runtimeClass` is this object's class or one of its bases.
    bool IsKindOf(const KvRuntimeClass* runtimeClass) const;

    std::uint32_t GetReferenceCount() const { return m_referenceCount.load(std::memory_order_relaxed); }

private:
    friend void intrusive_ptr_add_ref(const KvObject* object);
    friend void intrusive_ptr_release(const KvObject* object);

    mutable std::atomic<std::uint32_t> m_referenceCount{0};
};

} // namespace Kv
