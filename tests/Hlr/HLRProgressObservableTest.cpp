#include "Hlr/HLRProgressObservable.h"
#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRProgressObservableExec.h"
#include "Hlr/HLRProgressObservableProc.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using KvHLR::HLRCancelException;
using KvHLR::HLRError;
using KvHLR::HLRProgressCallback;
using KvHLR::HLRProgressObservable;
using KvHLR::HLRProgressObservableExec;
using KvHLR::HLRProgressObservableProc;
using Proc = KvHLR::HLRProgressObservableProc;

namespace {

// What one callback saw. The callback is a plain function, so the record is process-wide; each
// channel is a distinct function, which tells apart the observables that report to it.
struct Reports {
    std::vector<long> percents;
    std::vector<long> totals;
    int cancelOnCall = 0; // 1-based call that answers "stop"; 0 never
};
Reports g_reports[2];

template <int Channel> int record(long percent, long total) {
    Reports& reports = g_reports[Channel];
    reports.percents.push_back(percent);
    reports.totals.push_back(total);
    return static_cast<int>(reports.percents.size()) == reports.cancelOnCall ? 1 : 0;
}

const HLRProgressCallback first = &record<0>;
const HLRProgressCallback second = &record<1>;

struct StageDefinition {
    std::string name;
    std::string parent; // empty for a root
    double weight;
};

// An observable that registers a given stage tree; the tests open and close the stages by hand,
// the way a model build does.
class StageTree : public HLRProgressObservable {
public:
    explicit StageTree(std::vector<StageDefinition> stages) : m_stages(std::move(stages)) {}

    void setUpProgressObservation(HLRProgressCallback callback) override {
        setCallback(callback);
        std::map<std::string, Proc*> created;
        for (const StageDefinition& stage : m_stages) {
            Proc* parent = stage.parent.empty() ? nullptr : created.at(stage.parent);
            created[stage.name] = newProc(stage.name, parent, stage.weight);
        }
    }

private:
    std::vector<StageDefinition> m_stages;
};

std::vector<StageDefinition> modelLikeTree() {
    return {{"Model::build", "", 1.0},
            {"Model::preBuild", "Model::build", 0.3},
            {"Model::buildShells", "Model::build", 0.4},
            {"Model::buildTriangleData", "Model::build", 0.3}};
}

// An algorithm-like job: three weighted phases, the main one with a nested stepped loop.
class PhasedJob : public HLRProgressObservableExec {
public:
    PhasedJob(HLRProgressCallback callback, std::vector<std::string>* phases = nullptr) : m_phases(phases) {
        set("Job::execute", callback);
    }

    void setUpProgressObservation(HLRProgressCallback callback) override {
        setCallback(callback);
        Proc* root = newProc("Job::execute", nullptr, 1.0);
        newProc("Job::preProcess", root, 0.25);
        Proc* main = newProc("Job::mainProcess", root, 0.5);
        newProc("Job::loop", main, 1.0);
        newProc("Job::postProcess", root, 0.25);
    }

    void preProcess() override {
        note("pre");
        Proc::startProcess("Job::preProcess", 1);
        Proc::endProcess("Job::preProcess");
    }
    void mainProcess() override {
        note("main");
        Proc::startProcess("Job::mainProcess", 1);
        runStepped("Job::loop", 4);
        Proc::endProcess("Job::mainProcess");
    }
    void postProcess() override {
        note("post");
        runStepped("Job::postProcess", 2);
    }

private:
    static void runStepped(const std::string& name, int steps) {
        Proc::startProcess(name, steps);
        for (int step = 0; step < steps; ++step) {
            Proc::stepProcess(name);
        }
        Proc::endProcess(name);
    }
    void note(const char* phase) {
        if (m_phases != nullptr) {
            m_phases->push_back(phase);
        }
    }

    std::vector<std::string>* m_phases;
};

const std::vector<long> kJobReports = {25, 37, 50, 62, 75, 75, 75, 87, 100, 100, 100};

class HLRProgressObservableTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (Reports& reports : g_reports) {
            reports = Reports();
        }
    }

    static void expectNothingRunning() {
        EXPECT_TRUE(Proc::sessionStack().empty());
        EXPECT_EQ(Proc::current(), nullptr);
    }

    // Runs a new job on the first channel and returns what it reported.
    static std::vector<long> newJobReports() {
        g_reports[0].percents.clear();
        PhasedJob(first).execute();
        return g_reports[0].percents;
    }
};

} // namespace

TEST_F(HLRProgressObservableTest, WeightedChildrenReportTheirShareOfTheParent) {
    StageTree tree(modelLikeTree());
    tree.setUpProgressObservation(first);

    // Every child run in turn, one step each and ended without stepping.
    Proc::startProcess("Model::build", 1);
    for (const char* child : {"Model::preBuild", "Model::buildShells", "Model::buildTriangleData"}) {
        Proc::startProcess(child, 1);
        Proc::endProcess(child);
    }
    Proc::endProcess("Model::build");
    EXPECT_EQ(g_reports[0].percents, (std::vector<long>{30, 70, 100, 100}));

    // Stages that never start still hold their share: the last child begins at 70.
    g_reports[0].percents.clear();
    Proc::startProcess("Model::build", 1);
    Proc::startProcess("Model::buildTriangleData", 2);
    const Proc* last = Proc::current();
    ASSERT_NE(last, nullptr);
    EXPECT_DOUBLE_EQ(last->start(), 0.7);
    EXPECT_DOUBLE_EQ(last->span(), 0.3);
    Proc::stepProcess("Model::buildTriangleData");
    Proc::endProcess("Model::buildTriangleData");
    Proc::endProcess("Model::build");
    EXPECT_EQ(g_reports[0].percents, (std::vector<long>{85, 100, 100}));
    expectNothingRunning();
}

TEST_F(HLRProgressObservableTest, EarlierRegistrationWinsAndEachOwnerTakesItsNamesAway) {
    StageTree older({{"Shared", "", 1.0}});
    older.setUpProgressObservation(first);
    {
        StageTree newer({{"Shared", "", 1.0}});
        newer.setUpProgressObservation(second);
        Proc::startProcess("Shared", 1);
        Proc::endProcess("Shared");
    }
    EXPECT_EQ(g_reports[0].percents, (std::vector<long>{100}));
    EXPECT_TRUE(g_reports[1].percents.empty());
    // The later owner took its stage names with it, the older stage's registration included.
    EXPECT_EQ(Proc::procByName().count("Shared"), 0u);
    Proc::startProcess("Shared", 1);
    EXPECT_EQ(Proc::current(), nullptr);
}

TEST_F(HLRProgressObservableTest, RunAfterACancelledRunReportsLikeAFreshOne) {
    // Cancelled at every possible report: inside the nested loop, at stage ends, at the very end.
    for (int cancelAt = 1; cancelAt <= static_cast<int>(kJobReports.size()); ++cancelAt) {
        SCOPED_TRACE(cancelAt);
        g_reports[1] = Reports();
        g_reports[1].cancelOnCall = cancelAt;
        auto cancelled = std::make_unique<PhasedJob>(second);
        EXPECT_THROW(cancelled->execute(), HLRCancelException);
        EXPECT_EQ(g_reports[1].percents.size(), static_cast<std::size_t>(cancelAt));
        expectNothingRunning();

        // The cancelled job may even be run again while it lives ...
        g_reports[1].cancelOnCall = 0;
        g_reports[1].percents.clear();
        cancelled->execute();
        EXPECT_EQ(g_reports[1].percents, kJobReports);

        // ... and once it is gone, a new job reports exactly as in a clean process.
        cancelled.reset();
        EXPECT_EQ(Proc::procByName().count("Job::execute"), 0u);
        EXPECT_EQ(newJobReports(), kJobReports);
        expectNothingRunning();
    }
}

// Stages opened by hand (no executable around them) stay running after a cancellation until their
// owner is destroyed; that alone must clean up.
TEST_F(HLRProgressObservableTest, CancelledHandOpenedStagesAreClearedByTheirOwner) {
    auto model = std::make_unique<StageTree>(modelLikeTree());
    model->setUpProgressObservation(second);
    g_reports[1].cancelOnCall = 1;
    Proc::startProcess("Model::build", 1);
    Proc::startProcess("Model::buildTriangleData", 2);
    EXPECT_THROW(Proc::stepProcess("Model::buildTriangleData"), HLRCancelException);
    EXPECT_EQ(Proc::sessionStack().size(), 2u);

    model.reset();
    expectNothingRunning();
    EXPECT_EQ(newJobReports(), kJobReports);
    g_reports[0].percents.clear();
    Proc::stepProcess("nothing is running: no report, no stale stage");
    EXPECT_TRUE(g_reports[0].percents.empty());
}
