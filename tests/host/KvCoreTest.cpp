#include "host/KvCore.h"
#include "host/KvMesh.h"

#include <boost/intrusive_ptr.hpp>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Kv::KvObject;

// Counts its destructions so that tests can see exactly when the last handle let go.
class Tracked : public KvObject {
public:
    explicit Tracked(int& destroyed) : m_destroyed(destroyed) {}
    ~Tracked() override { ++m_destroyed; }

private:
    int& m_destroyed;
};

TEST(KvCore, ProcessorCountMatchesTheHardware) {
    const std::uint32_t count = Kv::GetNumberOfProcessors();
    EXPECT_GE(count, 1u);
    if (std::thread::hardware_concurrency() != 0) {
        EXPECT_EQ(count, std::thread::hardware_concurrency());
    }
    Kv::SetProcessorLimit(1);
    EXPECT_EQ(Kv::GetNumberOfProcessors(), 1u);
    Kv::SetProcessorLimit(count + 5); // a limit above the hardware does not invent processors
    EXPECT_EQ(Kv::GetNumberOfProcessors(), count);
    Kv::SetProcessorLimit(0);
    EXPECT_EQ(Kv::GetNumberOfProcessors(), count);
}

TEST(KvCore, RuntimeClassChainOfAMeshBodyRunsUpToTheRoot) {
    auto vertices = std::make_shared<const Kv::KvPointList>(1, ON_3dPoint());
    boost::intrusive_ptr<Kv::KvaMeshBody> body(new Kv::KvaMeshBody(vertices, {}));
    std::vector<std::string> names;
    for (const Kv::KvRuntimeClass* c = body->GetRuntimeClass(); c != nullptr; c = c->baseClass) {
        names.emplace_back(c->className);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"KvaMeshBody", "KvaMesh", "KvaMeshPrimitive", "KvObject"}));
    EXPECT_EQ(body->GetRuntimeClass(), Kv::KvaMeshBody::GetThisClass());
    EXPECT_TRUE(body->IsKindOf(Kv::KvaMesh::GetThisClass()));
    EXPECT_TRUE(body->IsKindOf(KvObject::GetThisClass()));
    EXPECT_FALSE(body->IsKindOf(Kv::KvaMeshFace::GetThisClass()));
    // Seen through a base pointer the dynamic class still answers.
    const Kv::KvaMesh& asMesh = *body;
    EXPECT_EQ(asMesh.GetRuntimeClass(), Kv::KvaMeshBody::GetThisClass());
    EXPECT_EQ(Kv::KvmMesh::GetThisClass()->baseClass, KvObject::GetThisClass());
}

TEST(KvCore, LastHandleDeletesTheObject) {
    int destroyed = 0;
    {
        boost::intrusive_ptr<Tracked> first(new Tracked(destroyed));
        EXPECT_EQ(first->GetReferenceCount(), 1u);
        {
            boost::intrusive_ptr<const KvObject> second = first;
            EXPECT_EQ(first->GetReferenceCount(), 2u);
        }
        EXPECT_EQ(first->GetReferenceCount(), 1u);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(KvCore, ReferenceCountingIsSafeAcrossThreads) {
    int destroyed = 0;
    boost::intrusive_ptr<Tracked> shared(new Tracked(destroyed));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([shared] {
            for (int i = 0; i < 20000; ++i) {
                boost::intrusive_ptr<Tracked> copy = shared;
                boost::intrusive_ptr<const KvObject> another = copy;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(shared->GetReferenceCount(), 1u);
    shared.reset();
    EXPECT_EQ(destroyed, 1);
}

} // namespace
