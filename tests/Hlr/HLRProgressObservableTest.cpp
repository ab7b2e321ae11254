#include "Hlr/HLRProgressObservable.h"
#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRProgressObservableExec.h"
#include "Hlr/HLRProgressObservableProc.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using KvHLR::HLRCancelException;
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
    int cancelOnCall = 0; // 1-based call that answers "stop"; 0 never
};
Reports g_reports[2];

template <int Channel> int record(long percent, long /*total*/) {
    Reports& reports = g_reports[Channel];
    reports.percents.push_back(percent);
    return static_cast<int>(reports.percents.size()) == reports.cancelOnCall ? 1 : 0;
}

const HLRProgressCallback first = &record<0>;
const HLRProgressCallback second = &record<1>;

// An observable with the single stage "Shared", opened and closed by hand the way a model build does.
class SharedStage : public HLRProgressObservable {
public:
    void setUpProgressObservation(HLRProgressCallback callback) override {
        setCallback(callback);
        newProc("Shared", nullptr, 1.0);
    }
};

// An algorithm-like job: three weighted phases, the main one with a nested stepped loop.
class PhasedJob : public HLRProgressObservableExec {
public:
    explicit PhasedJob(HLRProgressCallback callback) {
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
        Proc::startProcess("Job::preProcess", 1);
        Proc::endProcess("Job::preProcess");
    }
    void mainProcess() override {
        Proc::startProcess("Job::mainProcess", 1);
        runStepped("Job::loop", 4);
        Proc::endProcess("Job::mainProcess");
    }
    void postProcess() override {
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

TEST_F(HLRProgressObservableTest, EarlierRegistrationWinsAndEachOwnerTakesItsNamesAway) {
    SharedStage older;
    older.setUpProgressObservation(first);
    {
        SharedStage newer;
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
