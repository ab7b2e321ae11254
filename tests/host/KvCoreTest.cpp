#include "host/KvCore.h"
#include "host/KvMesh.h"

#include <boost/intrusive_ptr.hpp>
#include <gtest/gtest.h>

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
