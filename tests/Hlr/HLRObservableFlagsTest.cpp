#include "Hlr/HLRCompletionObservable.h"
#include "Hlr/HLRValidityObservable.h"

#include <gtest/gtest.h>

using KvHLR::HLRCompletionObservable;
using KvHLR::HLRValidityObservable;

namespace {

// Subclasses may react to invalidation (a merged stroke end, say); the call must reach them.
class CountingValidity : public HLRValidityObservable {
public:
    void setValid(bool valid) override {
        ++m_calls;
        HLRValidityObservable::setValid(valid);
    }
    int calls() const { return m_calls; }

private:
    int m_calls = 0;
};

// Both flags together, in the order the stroke ends inherit them.
class BothFlags : public HLRCompletionObservable, public CountingValidity {};

} // namespace

TEST(HLRObservableFlagsTest, StartIncompleteAndValidAndToggleIndependently) {
    BothFlags flags;
    EXPECT_FALSE(flags.isCompleted());
    EXPECT_TRUE(flags.isValid());

    flags.setCompleted(true);
    EXPECT_TRUE(flags.isCompleted());
    EXPECT_TRUE(flags.isValid());

    HLRValidityObservable& base = flags;
    base.setValid(false);
    EXPECT_FALSE(flags.isValid());
    EXPECT_TRUE(flags.isCompleted());
    EXPECT_EQ(flags.calls(), 1);

    flags.setCompleted(false);
    base.setValid(true);
    EXPECT_FALSE(flags.isCompleted());
    EXPECT_TRUE(flags.isValid());
    EXPECT_EQ(flags.calls(), 2);
}
